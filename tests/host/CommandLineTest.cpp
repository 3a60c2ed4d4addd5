// The command-line host run as a user runs it, in a child process: what info lists,
// what render writes, state files between renders, and every refusal.

#include "CliRun.h"
#include "TestAudioFiles.h"
#include "TestBundle.h"

#include <gtest/gtest.h>

namespace
{
class CommandLineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (dir.createDirectory());
        TestAudioFiles::write (file ("stereo.wav"), TestAudioFiles::noise (2, 48000), 48000, 24);
        TestAudioFiles::write (file ("mono.wav"), TestAudioFiles::noise (1, 10000), 44100, 16);
    }

    juce::File file (const juce::String& name) const { return dir.getChildFile (name); }
    juce::String path (const juce::String& name) const { return file (name).getFullPathName(); }

    CliRun render (const juce::String& input, const juce::String& output, const juce::StringArray& options = {}) const
    {
        juce::StringArray args { "render", bundle, path (input), path (output) };
        args.addArray (options);
        return CliRun (args);
    }

    const juce::TemporaryFile folder;
    const juce::File dir = folder.getFile();
    const juce::String bundle = TestBundle::file().getFullPathName();
};

/** The lines the host itself wrote: a Debug plug-in prints its JUCE version to stderr too. */
juce::StringArray host_lines (const juce::String& err)
{
    juce::StringArray lines;
    for (const auto& line : juce::StringArray::fromLines (err.trimEnd()))
        if (line.startsWith ("quorvane-host"))
            lines.add (line);
    return lines;
}

void expect_success (const CliRun& run)
{
    EXPECT_TRUE (run.exited);
    EXPECT_EQ (run.exit_code, 0) << run.err;
    EXPECT_TRUE (host_lines (run.err).isEmpty()) << run.err;
}

void expect_same_audio (const juce::AudioBuffer<float>& actual, const juce::AudioBuffer<float>& expected, int expected_channel)
{
    ASSERT_EQ (actual.getNumSamples(), expected.getNumSamples());

    for (int c = 0; c < actual.getNumChannels(); ++c)
        for (int i = 0; i < actual.getNumSamples(); ++i)
            ASSERT_EQ (actual.getSample (c, i), expected.getSample (expected_channel < 0 ? c : expected_channel, i))
                << "channel " << c << ", frame " << i;
}

TEST_F (CommandLineTest, InfoListsTheDescriptionAndEveryAutomatableParameter)
{
    const CliRun run ({ "info", bundle });
    expect_success (run);

    const auto lines = juce::StringArray::fromLines (run.out);
    for (const auto* line : { "Quorvane 1.0.0 by Corvalen", "  category  Fx|Delay", "36 automatable parameters in host order:",
                              "  audio     2 in (Stereo), 2 out (Stereo), latency 0 samples, tail infinite" })
        EXPECT_TRUE (lines.contains (line)) << line;

    // Each row: index, host ID, name, range, default; a choice's texts on the next line.
    const auto row = [&lines] (int index) -> juce::String
    {
        for (const auto& line : lines)
            if (line.startsWith ("  " + juce::String (index).paddedLeft (' ', 5) + "  "))
                return line;
        return {};
    };

    auto plugin = TestBundle::load();
    ASSERT_NE (plugin, nullptr);

    for (int i = 0; i < 36; ++i)
    {
        const auto& p = plugin->parameters()[(size_t) i];
        auto tokens = juce::StringArray::fromTokens (row (i), false);
        tokens.removeEmptyStrings();
        ASSERT_GE (tokens.size(), 3) << "no row " << i;
        EXPECT_EQ (tokens[1], juce::String (p.host_id));
        EXPECT_TRUE (row (i).contains ("  " + p.name + " ")) << row (i);
    }

    EXPECT_TRUE (row (0).contains ("1 to 2000 Ms") && row (0).contains (" 120 "));
    EXPECT_TRUE (row (19).contains ("0.001 to 120 Hz"));
    EXPECT_TRUE (row (21).contains ("3 (1 BAR)"));
    EXPECT_TRUE (row (35).contains ("Bypass (byps)") && row (35).contains ("0 (Off)"));

    const auto mix_mode_row = lines.indexOf (row (8));
    EXPECT_EQ (lines[mix_mode_row + 1],
               "         choices: 0 PARALLEL, 1 SERIAL, 2 REVERSE SERIAL, 3 SOLO 1, 4 SOLO 2, 5 STEREO SPLIT, 6 REVERSE STEREO SPLIT");
    EXPECT_TRUE (row (36).isEmpty());
}

TEST_F (CommandLineTest, RenderWritesStereoFloatAtTheRateAndABypassedRenderCarriesEverySample)
{
    constexpr int not_bypassed = -2, same_channel = -1;
    const struct { const char* input; juce::StringArray options; double rate; int frames, source_channel; } cases[] {
        { "stereo.wav", {}, 48000, 48000, not_bypassed },
        { "stereo.wav", { "--block", "1" }, 48000, 48000, not_bypassed },
        { "stereo.wav", { "--block=4096", "--bpm", "87.5" }, 48000, 48000, not_bypassed },
        { "stereo.wav", { "--rate", "96000", "--block", "333" }, 96000, 48000, not_bypassed },
        { "stereo.wav", { "--set", "byps=1", "--block", "100" }, 48000, 48000, same_channel },
        { "mono.wav", { "--set", "byps=1" }, 44100, 10000, 0 }, // a mono file plays on both channels
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.options.joinIntoString (" "));
        expect_success (render (c.input, "out.wav", c.options));

        const auto out = TestAudioFiles::read (file ("out.wav"));
        EXPECT_EQ (out.audio.getNumChannels(), 2);
        EXPECT_EQ (out.audio.getNumSamples(), c.frames);
        EXPECT_EQ (out.sample_rate, c.rate);
        EXPECT_EQ (out.bits, 32);
        EXPECT_TRUE (out.is_float);

        if (c.source_channel != not_bypassed)
            expect_same_audio (out.audio, TestAudioFiles::read (file (c.input)).audio, c.source_channel);
    }
}

TEST_F (CommandLineTest, StateFilesCarryTheSessionBetweenRenders)
{
    const auto value_in = [] (const juce::File& state, const juce::String& id)
    {
        auto plugin = TestBundle::load();
        EXPECT_TRUE (plugin->restore_state_file (state).wasOk());
        return TestBundle::value (*plugin, id);
    };

    expect_success (render ("stereo.wav", "a.wav", { "--set", "delay1_time=700", "--set", "mix_mode=5", "--save-state", path ("1.state") }));
    expect_success (render ("stereo.wav", "b.wav", { "--state", path ("1.state"), "--set", "delay2_time=300", "--save-state", path ("2.state") }));

    EXPECT_EQ (value_in (file ("2.state"), "delay1_time"), 700.0);
    EXPECT_EQ (value_in (file ("2.state"), "mix_mode"), 5.0);
    EXPECT_EQ (value_in (file ("2.state"), "delay2_time"), 300.0);

    // The --set values apply after the state.
    expect_success (render ("stereo.wav", "c.wav", { "--set", "delay1_time=50", "--state", path ("1.state"), "--save-state", path ("3.state") }));
    EXPECT_EQ (value_in (file ("3.state"), "delay1_time"), 50.0);
    EXPECT_EQ (value_in (file ("3.state"), "mix_mode"), 5.0);
}

TEST_F (CommandLineTest, RefusesBadInputWithOneLineAndWritesNothing)
{
    constexpr int refused = 1, usage = 2;

    TestAudioFiles::write (file ("three.wav"), TestAudioFiles::noise (3, 1000), 48000, 16);
    juce::MemoryBlock whole;
    ASSERT_TRUE (file ("stereo.wav").loadFileAsData (whole));
    ASSERT_TRUE (file ("truncated.wav").replaceWithData (whole.getData(), whole.getSize() - 1000));
    ASSERT_TRUE (file ("text.wav").replaceWithText ("RIFF? no, just text"));
    ASSERT_TRUE (file ("Empty.vst3").createDirectory());
    ASSERT_TRUE (file ("File.vst3").replaceWithText ("not a module"));
    juce::MemoryBlock noise (2000);
    juce::Random (5).fillBitsRandomly (noise.getData(), noise.getSize());
    ASSERT_TRUE (file ("corrupt.state").replaceWithData (noise.getData(), noise.getSize()));
    ASSERT_TRUE (file ("stereo.wav").createSymbolicLink (file ("link.wav"), true));

    const auto in = path ("stereo.wav"), out = path ("out.wav"), state_out = path ("out.state");

    struct Case
    {
        juce::StringArray args;
        int exit_code;
        const char* says;
    };

    const auto render_with = [&] (const juce::StringArray& options)
    {
        juce::StringArray args { "render", bundle, in, out, "--save-state", state_out };
        args.addArray (options);
        return args;
    };

    const Case cases[] {
        { { "render", path ("Missing.vst3"), in, out }, refused, "no such bundle" },
        { { "render", dir.getFullPathName(), in, out }, refused, "not a VST 3 bundle" },
        { { "render", path ("File.vst3"), in, out }, refused, "not a VST 3 bundle" },
        { { "render", path ("Empty.vst3"), in, out }, refused, "not a loadable VST 3 bundle" },
        { { "render", bundle, path ("missing.wav"), out }, refused, "no such file" },
        { { "render", bundle, path ("truncated.wav"), out }, refused, "truncated" },
        { { "render", bundle, path ("text.wav"), out }, refused, "not a WAV file" },
        { { "render", bundle, path ("three.wav"), out }, refused, "takes stereo (2 channels)" },
        { render_with ({ "--set", "no_such_parameter=1" }), refused, "unknown parameter 'no_such_parameter'" },
        { render_with ({ "--set", "delay1_time=fast" }), refused, "'fast' is not a number" },
        { render_with ({ "--set", "delay1_time=2001" }), refused, "outside the range 1 to 2000 Ms" },
        { render_with ({ "--set", "master_amp=-37" }), refused, "outside the range -36 to 6 dB" },
        { render_with ({ "--set", "mix_mode=7" }), refused, "not a choice index" },
        { render_with ({ "--set", "lfo1_sync=2" }), refused, "not a choice index" },
        { render_with ({ "--set", "delay1_time" }), usage, "--set takes ID=VALUE" },
        { render_with ({ "--state", path ("missing.state") }), refused, "no such file" },
        { render_with ({ "--state", path ("corrupt.state") }), refused, "not a plug-in state" },
        { render_with ({ "--state", path ("stereo.wav") }), refused, "not a plug-in state" },
        { { "render", bundle, in, path ("no/such/out.wav") }, refused, "no such folder" },
        { render_with ({ "--save-state", path ("no/such/out.state") }), usage, "--save-state is given twice" },
        { { "render", bundle, in, out, "--save-state", path ("no/such/out.state") }, refused, "no such folder" },
        { render_with ({ "--block", "0" }), usage, "--block takes" },
        { render_with ({ "--block", "2.5" }), usage, "--block takes" },
        { render_with ({ "--rate", "fast" }), usage, "--rate takes" },
        { render_with ({ "--rate", "4000" }), usage, "--rate takes" },
        { render_with ({ "--rate", "44100.5" }), usage, "--rate takes a whole sample rate" },
        { render_with ({ "--block", "0x10" }), usage, "--block takes" },
        { render_with ({ "--set", "delay1_time=0x10" }), refused, "'0x10' is not a number" },
        { render_with ({ "--frobnicate" }), usage, "unknown option '--frobnicate'" },
        { { "render", bundle, in, in }, refused, "would overwrite its input" },
        { { "render", bundle, in, path ("link.wav") }, refused, "would overwrite its input" },
        { { "render", bundle, in, out, "--save-state", in }, refused, "would overwrite the input" },
        { render_with ({ "--bpm", "0" }), usage, "--bpm takes" },
        { render_with ({ "--frobnicate", "1" }), usage, "unknown option '--frobnicate'" },
        { render_with ({ "--set" }), usage, "needs a value" },
        { render_with ({ "extra.wav" }), usage, "render takes BUNDLE IN.wav OUT.wav" },
        { { "render", bundle, in }, usage, "render takes BUNDLE IN.wav OUT.wav" },
        { { "info" }, usage, "info takes one argument" },
        { { "info", path ("Missing.vst3") }, refused, "no such bundle" },
        { { "play", bundle }, usage, "unknown command 'play'" },
        { {}, usage, "no command given" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.args.joinIntoString (" "));
        ASSERT_TRUE (file ("out.wav").replaceWithText ("the previous render"));

        const CliRun run (c.args);

        EXPECT_TRUE (run.exited);
        EXPECT_EQ (run.exit_code, c.exit_code);
        EXPECT_EQ (run.out, "");
        const auto own = host_lines (run.err);
        EXPECT_EQ (own.size(), 1) << run.err;
        EXPECT_TRUE (own[0].startsWith ("quorvane-host: ")) << run.err;
        EXPECT_TRUE (own[0].contains (c.says)) << run.err;
        EXPECT_TRUE (run.err.endsWith (own[0] + "\n")) << run.err;
        EXPECT_EQ (file ("out.wav").loadFileAsString(), "the previous render");
        EXPECT_FALSE (file ("out.state").exists());
        juce::MemoryBlock input_now;
        EXPECT_TRUE (file ("stereo.wav").loadFileAsData (input_now) && input_now == whole);
    }
}
} // namespace
