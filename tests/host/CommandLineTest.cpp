// The command-line host run as a user runs it, in a child process: what info lists,
// what render writes, state files between renders, and every refusal.

#include "HostRig.h"

#include <gtest/gtest.h>

namespace
{
class CommandLineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (dir.createDirectory());
        HostRig::write_wav (file ("stereo.wav"), HostRig::noise (2, 48000), 48000, 24);
        HostRig::write_wav (file ("mono.wav"), HostRig::noise (1, 10000), 44100, 16);
    }

    juce::File file (const juce::String& name) const { return dir.getChildFile (name); }
    juce::String path (const juce::String& name) const { return file (name).getFullPathName(); }

    HostRig::Run render (const juce::String& output, const juce::StringArray& options, const juce::String& input = "stereo.wav") const
    {
        juce::StringArray args { "render", bundle, path (input), path (output) };
        args.addArray (options);
        return HostRig::Run (args);
    }

    const juce::TemporaryFile folder;
    const juce::File dir = folder.getFile();
    const juce::String bundle = HostRig::bundle().getFullPathName();
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

void expect_success (const HostRig::Run& run)
{
    EXPECT_EQ (run.exit_code, 0) << run.err;
    EXPECT_TRUE (host_lines (run.err).isEmpty()) << run.err;
}

TEST_F (CommandLineTest, InfoListsTheDescriptionAndEveryAutomatableParameter)
{
    const HostRig::Run run ({ "info", bundle });
    expect_success (run);
    const auto lines = juce::StringArray::fromLines (run.out);
    const auto row = [&lines] (int index)
    {
        for (int i = 0; i < lines.size(); ++i)
            if (lines[i].startsWith ("  " + juce::String (index).paddedLeft (' ', 5) + "  "))
                return i;
        return -1;
    };

    for (const auto* line : { "Quorvane 1.0.0 by Corvalen", "  category  Fx|Delay", "36 automatable parameters in host order:",
                              "  audio     2 in (Stereo), 2 out (Stereo), latency 0 samples, tail infinite" })
        EXPECT_TRUE (lines.contains (line)) << line;

    // Each row: index, host ID, name, range, default; a choice's texts on the next line.
    for (int i = 0; i < 35; ++i)
        EXPECT_TRUE (row (i) >= 0 && lines[row (i)].contains (" " + juce::String (HostedPlugin::host_id_for (HostRig::parameter_ids()[i])) + " "))
            << i << " " << HostRig::parameter_ids()[i];

    const std::pair<int, const char*> rows[] { { 0, "Delay1 Time " }, { 0, "1 to 2000 Ms" }, { 0, " 120 " }, { 19, "0.001 to 120 Hz" },
                                               { 21, "3 (1 BAR)" }, { 35, "Bypass (byps)" }, { 35, "0 (Off)" } };
    for (const auto& [index, text] : rows)
        EXPECT_TRUE (lines[row (index)].contains (text)) << lines[row (index)];
    EXPECT_EQ (lines[row (8) + 1],
               "         choices: 0 PARALLEL, 1 SERIAL, 2 REVERSE SERIAL, 3 SOLO 1, 4 SOLO 2, 5 STEREO SPLIT, 6 REVERSE STEREO SPLIT");
    EXPECT_EQ (row (36), -1);
}

TEST_F (CommandLineTest, RenderWritesStereoFloatAtTheRateAndABypassedRenderCarriesEverySample)
{
    constexpr int processed = -2, same_channel = -1;
    const struct { const char* input; juce::StringArray options; double rate; int frames, source_channel; } cases[] {
        { "stereo.wav", {}, 48000, 48000, processed },
        { "stereo.wav", { "--block", "1" }, 48000, 48000, processed },
        { "stereo.wav", { "--block=4096", "--bpm", "87.5" }, 48000, 48000, processed },
        { "stereo.wav", { "--rate", "96000", "--block", "333" }, 96000, 48000, processed },
        { "stereo.wav", { "--set", "byps=1", "--block", "100" }, 48000, 48000, same_channel },
        { "mono.wav", { "--set", "byps=1" }, 44100, 10000, 0 }, // a mono file plays on both channels
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.options.joinIntoString (" "));
        expect_success (render ("out.wav", c.options, c.input));
        const auto out = HostRig::read_wav (file ("out.wav"));
        EXPECT_EQ (juce::String (out.audio.getNumChannels()) + " " + juce::String (out.audio.getNumSamples()) + " " + juce::String (out.sample_rate)
                       + " " + juce::String (out.bits) + (out.is_float ? " float" : ""),
                   "2 " + juce::String (c.frames) + " " + juce::String (c.rate) + " 32 float");

        const auto in = HostRig::read_wav (file (c.input)).audio;
        for (int ch = 0; c.source_channel != processed && ch < 2; ++ch)
            for (int i = 0; i < out.audio.getNumSamples(); ++i)
                ASSERT_EQ (out.audio.getSample (ch, i), in.getSample (c.source_channel < 0 ? ch : c.source_channel, i)) << ch << ":" << i;
    }
}

TEST_F (CommandLineTest, StateFilesCarryTheSessionBetweenRendersAndSetAppliesAfterTheState)
{
    const auto value_in = [this] (const char* state, const char* id)
    {
        auto plugin = HostRig::load();
        EXPECT_TRUE (plugin->restore_state_file (file (state)).wasOk());
        return plugin->find_parameter (id)->value();
    };

    expect_success (render ("a.wav", { "--set", "delay1_time=700", "--set", "mix_mode=5", "--save-state", path ("1.state") }));
    expect_success (render ("b.wav", { "--state", path ("1.state"), "--set", "delay2_time=300", "--save-state", path ("2.state") }));
    expect_success (render ("c.wav", { "--set", "delay1_time=50", "--state", path ("1.state"), "--save-state", path ("3.state") }));

    EXPECT_EQ (value_in ("2.state", "delay1_time"), 700.0);
    EXPECT_EQ (value_in ("2.state", "mix_mode"), 5.0);
    EXPECT_EQ (value_in ("2.state", "delay2_time"), 300.0);
    EXPECT_EQ (value_in ("3.state", "delay1_time"), 50.0);
    EXPECT_EQ (value_in ("3.state", "mix_mode"), 5.0);
}

TEST_F (CommandLineTest, RefusesBadInputWithOneLineAndWritesNothing)
{
    constexpr int refused = 1, usage = 2;
    HostRig::write_wav (file ("three.wav"), HostRig::noise (3, 1000), 48000, 16);
    juce::MemoryBlock whole, noise (2000);
    ASSERT_TRUE (file ("stereo.wav").loadFileAsData (whole));
    ASSERT_TRUE (file ("truncated.wav").replaceWithData (whole.getData(), whole.getSize() - 1000));
    ASSERT_TRUE (file ("text.wav").replaceWithText ("RIFF? no, just text"));
    ASSERT_TRUE (file ("Empty.vst3").createDirectory());
    ASSERT_TRUE (file ("File.vst3").replaceWithText ("not a module"));
    juce::Random (5).fillBitsRandomly (noise.getData(), noise.getSize());
    ASSERT_TRUE (file ("corrupt.state").replaceWithData (noise.getData(), noise.getSize()));
    ASSERT_TRUE (file ("stereo.wav").createSymbolicLink (file ("link.wav"), true));
    unsetenv ("DISPLAY"); // the editor needs an X display; this run has none

    const auto in = path ("stereo.wav"), out = path ("out.wav"), shot = path ("shot.png");
    const juce::StringArray render_in_out { "render", bundle, in, out }, editor { "editor", bundle, "--out", shot };
    const auto with = [] (juce::StringArray args, const juce::StringArray& more) { args.addArray (more); return args; };
    const auto render_with = [&] (const juce::StringArray& options) { return with (with (render_in_out, { "--save-state", path ("out.state") }), options); };

    const struct { juce::StringArray args; int exit_code; const char* says; } cases[] {
        { { "render", path ("Missing.vst3"), in, out }, refused, "no such bundle" },
        { { "render", dir.getFullPathName(), in, out }, refused, "not a VST 3 bundle" },
        { { "render", path ("File.vst3"), in, out }, refused, "not a VST 3 bundle" },
        { { "render", path ("Empty.vst3"), in, out }, refused, "not a loadable VST 3 bundle" },
        { { "render", bundle, path ("missing.wav"), out }, refused, "no such file" },
        { { "render", bundle, path ("truncated.wav"), out }, refused, "truncated" },
        { { "render", bundle, path ("text.wav"), out }, refused, "not a WAV file" },
        { { "render", bundle, path ("three.wav"), out }, refused, "takes stereo (2 channels)" },
        { { "render", bundle, in, path ("no/such/out.wav") }, refused, "no such folder" },
        { { "render", bundle, in, in }, refused, "would overwrite its input" },
        { { "render", bundle, in, path ("link.wav") }, refused, "would overwrite its input" },
        { with (render_in_out, { "--save-state", in }), refused, "would overwrite the input" },
        { with (render_in_out, { "--save-state", path ("no/such/out.state") }), refused, "no such folder" },
        { render_with ({ "--set", "no_such_parameter=1" }), refused, "unknown parameter 'no_such_parameter'" },
        { render_with ({ "--set", "delay1_time=0x10" }), refused, "'0x10' is not a number" },
        { render_with ({ "--set", "delay1_time=2001" }), refused, "outside the range 1 to 2000 Ms" },
        { render_with ({ "--set", "mix_mode=7" }), refused, "not a choice index" },
        { render_with ({ "--set", "delay1_time" }), usage, "--set takes ID=VALUE" },
        { render_with ({ "--set" }), usage, "needs a value" },
        { render_with ({ "--state", path ("missing.state") }), refused, "no such file" },
        { render_with ({ "--state", path ("corrupt.state") }), refused, "not a plug-in state" },
        { render_with ({ "--state", in }), refused, "not a plug-in state" },
        { render_with ({ "--save-state", path ("no/such/out.state") }), usage, "--save-state is given twice" },
        { render_with ({ "--block", "0" }), usage, "--block takes" },
        { render_with ({ "--block", "0x10" }), usage, "--block takes" },
        { render_with ({ "--rate", "4000" }), usage, "--rate takes" },
        { render_with ({ "--rate", "768001" }), usage, "--rate takes" },
        { render_with ({ "--rate", "44100.5" }), usage, "--rate takes a whole sample rate" },
        { render_with ({ "--bpm", "0" }), usage, "--bpm takes" },
        { render_with ({ "--frobnicate" }), usage, "unknown option '--frobnicate'" },
        { render_with ({ "extra.wav" }), usage, "render takes BUNDLE IN.wav OUT.wav" },
        { { "render", bundle, in }, usage, "render takes BUNDLE IN.wav OUT.wav" },
        { { "info" }, usage, "info takes one argument" },
        { { "info", path ("Missing.vst3") }, refused, "no such bundle" },
        { { "editor", bundle }, usage, "editor needs --out SHOT.png" },
        { { "editor", bundle, "--out" }, usage, "option --out needs a value" },
        { { "editor", "--out", shot }, usage, "editor takes one file argument" },
        { with (editor, { "--width", "0" }), usage, "--width takes" },
        { { "editor", bundle, "--out", path ("no/such/shot.png") }, refused, "no such folder" },
        { editor, refused, "no X display" },
        { { "play", bundle }, usage, "unknown command 'play'" },
        { {}, usage, "no command given" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.args.joinIntoString (" "));
        ASSERT_TRUE (file ("out.wav").replaceWithText ("the previous render"));
        const HostRig::Run run (c.args);
        const auto own = host_lines (run.err);
        EXPECT_EQ (run.exit_code, c.exit_code);
        EXPECT_EQ (run.out, "");
        EXPECT_EQ (own.size(), 1) << run.err;
        EXPECT_TRUE (own[0].startsWith ("quorvane-host: ") && own[0].contains (c.says) && run.err.endsWith (own[0] + "\n")) << run.err;
        juce::MemoryBlock input_now;
        EXPECT_TRUE (file ("stereo.wav").loadFileAsData (input_now) && input_now == whole);
        EXPECT_EQ (file ("out.wav").loadFileAsString(), "the previous render");
        EXPECT_FALSE (file ("out.state").exists() || file ("shot.png").exists());
    }
}
} // namespace
