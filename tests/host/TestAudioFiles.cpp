#include "TestAudioFiles.h"

juce::AudioBuffer<float> TestAudioFiles::noise (int channels, int frames)
{
    juce::Random random (20240611);
    juce::AudioBuffer<float> audio (channels, frames);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < frames; ++i)
            audio.setSample (c, i, 0.25f * (2.0f * random.nextFloat() - 1.0f));
    return audio;
}

void TestAudioFiles::write (const juce::File& file, const juce::AudioBuffer<float>& audio, double sample_rate, int bits)
{
    file.deleteFile();
    auto stream = file.createOutputStream();
    std::unique_ptr<juce::AudioFormatWriter> writer (juce::WavAudioFormat().createWriterFor (
        stream.get(), sample_rate, (unsigned int) audio.getNumChannels(), bits, {}, 0));
    jassert (writer != nullptr);
    stream.release(); // the writer owns it now
    writer->writeFromAudioSampleBuffer (audio, 0, audio.getNumSamples());
}

TestAudioFiles::Wav TestAudioFiles::read (const juce::File& file)
{
    Wav wav;
    auto stream = file.createInputStream();
    std::unique_ptr<juce::AudioFormatReader> reader (stream == nullptr ? nullptr
                                                                       : juce::WavAudioFormat().createReaderFor (stream.release(), true));
    if (reader == nullptr)
        return wav;

    wav.sample_rate = reader->sampleRate;
    wav.bits = (int) reader->bitsPerSample;
    wav.is_float = reader->usesFloatingPointData;
    wav.audio.setSize ((int) reader->numChannels, (int) reader->lengthInSamples);
    reader->read (&wav.audio, 0, wav.audio.getNumSamples(), 0, true, true);
    return wav;
}
