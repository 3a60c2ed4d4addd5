#include "HostRig.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

std::unique_ptr<HostedPlugin> HostRig::load (double sample_rate, int block_size)
{
    juce::String error;
    auto plugin = HostedPlugin::load (bundle(), sample_rate, block_size, error);
    EXPECT_NE (plugin, nullptr) << error;
    return plugin;
}

void HostRig::set (HostedPlugin& plugin, std::initializer_list<std::pair<const char*, double>> values)
{
    for (const auto& [id, value] : values)
    {
        auto* parameter = plugin.find_parameter (id);
        ASSERT_NE (parameter, nullptr) << id;
        ASSERT_TRUE (parameter->set_value (value).wasOk()) << id << " = " << value;
    }
}

const juce::StringArray& HostRig::parameter_ids()
{
    static const juce::StringArray ids {
        "delay1_time", "delay1_feed", "delay1_damp", "delay1_amp", "delay2_time", "delay2_feed", "delay2_damp", "delay2_amp",
        "mix_mode", "distortion_type", "distortion_drive", "master_amp", "master_dry_wet",
        "env1_sens", "env1_attack", "env1_release", "env2_sens", "env2_attack", "env2_release",
        "lfo1_rate", "lfo1_sync", "lfo1_synced_rate", "lfo1_wave", "lfo2_rate", "lfo2_sync", "lfo2_synced_rate", "lfo2_wave",
        "delay1_time_mod_src", "delay1_time_mod_depth", "delay1_feed_mod_src", "delay1_feed_mod_depth",
        "delay2_time_mod_src", "delay2_time_mod_depth", "delay2_feed_mod_src", "delay2_feed_mod_depth"
    };
    return ids;
}

HostRig::Run::Run (const juce::StringArray& args)
{
    // Files, not pipes: no deadlock whatever the child writes.
    const juce::TemporaryFile out_file, err_file;
    std::vector<std::string> storage { QUORVANE_HOST_CLI };
    for (const auto& arg : args)
        storage.push_back (arg.toStdString());
    std::vector<char*> argv;
    for (auto& arg : storage)
        argv.push_back (arg.data());
    argv.push_back (nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init (&actions);
    for (const auto& [fd, file] : { std::pair (STDOUT_FILENO, &out_file), std::pair (STDERR_FILENO, &err_file) })
        posix_spawn_file_actions_addopen (&actions, fd, file->getFile().getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = 0;
    const auto spawned = posix_spawn (&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy (&actions);
    if (spawned != 0)
    {
        err = "cannot start " QUORVANE_HOST_CLI;
        return;
    }

    int status = 0;
    while (waitpid (child, &status, 0) < 0 && errno == EINTR) {}
    exit_code = WIFEXITED (status) ? WEXITSTATUS (status) : -1;
    out = out_file.getFile().loadFileAsString();
    err = err_file.getFile().loadFileAsString();
}

juce::AudioBuffer<float> HostRig::noise (int channels, int frames)
{
    juce::Random random (20240611);
    juce::AudioBuffer<float> audio (channels, frames);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < frames; ++i)
            audio.setSample (c, i, 0.25f * (2.0f * random.nextFloat() - 1.0f));
    return audio;
}

void HostRig::write_wav (const juce::File& file, const juce::AudioBuffer<float>& audio, double sample_rate, int bits)
{
    file.deleteFile();
    auto stream = file.createOutputStream();
    std::unique_ptr<juce::AudioFormatWriter> writer (juce::WavAudioFormat().createWriterFor (
        stream.get(), sample_rate, (unsigned int) audio.getNumChannels(), bits, {}, 0));
    ASSERT_NE (writer, nullptr);
    stream.release(); // the writer owns it now
    writer->writeFromAudioSampleBuffer (audio, 0, audio.getNumSamples());
}

HostRig::Wav HostRig::read_wav (const juce::File& file)
{
    Wav wav;
    auto stream = file.createInputStream();
    std::unique_ptr<juce::AudioFormatReader> reader (stream == nullptr ? nullptr : juce::WavAudioFormat().createReaderFor (stream.release(), true));
    if (reader == nullptr)
        return wav;
    wav = { juce::AudioBuffer<float> ((int) reader->numChannels, (int) reader->lengthInSamples), reader->sampleRate,
            (int) reader->bitsPerSample, reader->usesFloatingPointData };
    reader->read (&wav.audio, 0, wav.audio.getNumSamples(), 0, true, true);
    return wav;
}
