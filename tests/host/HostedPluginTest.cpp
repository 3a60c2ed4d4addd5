// The plug-in as a DAW sees it once loaded from the bundle: its description, its
// parameters in host order with their ranges in their own units, values set and
// read back through the plug-in's own conversions, and blocks processed.

#include "TestBundle.h"

#include <gtest/gtest.h>

namespace
{
using Kind = PluginParameter::Kind;

const juce::StringArray mix_modes { "PARALLEL", "SERIAL", "REVERSE SERIAL", "SOLO 1", "SOLO 2", "STEREO SPLIT", "REVERSE STEREO SPLIT" };
const juce::StringArray distortions { "SOFT CLIP", "HARD CLIP", "OVERDRIVE", "FOLDOVER" };
const juce::StringArray waves { "SINE", "SQUARE", "SAW UP", "SAW DOWN", "TRIANGLE", "RANDOM", "SMOOTH RANDOM" };
const juce::StringArray switches { "Off", "On" };
const juce::StringArray sources { "NONE", "ENVELOPE 1", "ENVELOPE 1 INVERT", "ENVELOPE 2", "ENVELOPE 2 INVERT",
                                  "LFO 1", "LFO 1 INVERT", "LFO 2", "LFO 2 INVERT" };
const juce::StringArray sync_rates { "8 BARS", "4 BARS", "2 BARS", "1 BAR", "1/2D", "1/2", "1/2T", "1/4D", "1/4",
                                     "1/4T", "1/8D", "1/8", "1/8T", "1/16D", "1/16", "1/16T", "1/32D", "1/32",
                                     "1/32T", "1/64D", "1/64", "1/64T", "1/128D", "1/128", "1/128T" };

struct Expected
{
    const char* name;
    double minimum, maximum, default_value;
    const char* unit;
    const juce::StringArray* choices; // null for a number
};

// What a host shows for each parameter, in index order: name, range and default in own units.
const Expected expected_parameters[] {
    { "Delay1 Time", 1, 2000, 120, "Ms", nullptr },
    { "Delay1 Feedback", 0, 100, 50, "%", nullptr },
    { "Delay1 Damp", 100, 18000, 11000, "Hz", nullptr },
    { "Delay1 Amp", -24, 6, -3, "dB", nullptr },
    { "Delay2 Time", 1, 2000, 120, "Ms", nullptr },
    { "Delay2 Feedback", 0, 100, 50, "%", nullptr },
    { "Delay2 Damp", 100, 18000, 11000, "Hz", nullptr },
    { "Delay2 Amp", -24, 6, -3, "dB", nullptr },
    { "Mix Mode", 0, 6, 0, "", &mix_modes },
    { "Distortion Type", 0, 3, 0, "", &distortions },
    { "Distortion Drive", 0, 100, 0, "%", nullptr },
    { "Master Amp", -36, 6, -3, "dB", nullptr },
    { "Dry-Wet Mix", 0, 100, 50, "%", nullptr },
    { "Envelope1 Sensitivity", -24, 24, 0, "dB", nullptr },
    { "Envelope1 Attack", 1, 60, 10, "Ms", nullptr },
    { "Envelope1 Release", 10, 250, 60, "Ms", nullptr },
    { "Envelope2 Sensitivity", -24, 24, 0, "dB", nullptr },
    { "Envelope2 Attack", 1, 60, 10, "Ms", nullptr },
    { "Envelope2 Release", 10, 250, 60, "Ms", nullptr },
    { "LFO1 Rate", 0.001, 120, 1, "Hz", nullptr },
    { "LFO1 Sync", 0, 1, 0, "", &switches },
    { "LFO1 Synced Rate", 0, 24, 3, "", &sync_rates },
    { "LFO1 Wave", 0, 6, 0, "", &waves },
    { "LFO2 Rate", 0.001, 120, 1, "Hz", nullptr },
    { "LFO2 Sync", 0, 1, 0, "", &switches },
    { "LFO2 Synced Rate", 0, 24, 3, "", &sync_rates },
    { "LFO2 Wave", 0, 6, 0, "", &waves },
    { "Delay1 Time Mod Source", 0, 8, 0, "", &sources },
    { "Delay1 Time Mod Depth", 0, 100, 0, "%", nullptr },
    { "Delay1 Feed Mod Source", 0, 8, 0, "", &sources },
    { "Delay1 Feed Mod Depth", 0, 100, 0, "%", nullptr },
    { "Delay2 Time Mod Source", 0, 8, 0, "", &sources },
    { "Delay2 Time Mod Depth", 0, 100, 0, "%", nullptr },
    { "Delay2 Feed Mod Source", 0, 8, 0, "", &sources },
    { "Delay2 Feed Mod Depth", 0, 100, 0, "%", nullptr },
};

class HostedPluginTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        plugin = TestBundle::load();
        ASSERT_NE (plugin, nullptr);
    }

    std::unique_ptr<HostedPlugin> plugin;
};

TEST_F (HostedPluginTest, LoadsAsAStereoEffectFromCorvalen)
{
    const auto& description = plugin->description();

    EXPECT_EQ (description.name, "Quorvane");
    EXPECT_EQ (description.manufacturerName, "Corvalen");
    EXPECT_EQ (description.version, "1.0.0");
    EXPECT_EQ (description.category, "Fx|Delay");
    EXPECT_EQ (description.pluginFormatName, "VST3");
    EXPECT_FALSE (description.isInstrument);
    EXPECT_EQ (description.numInputChannels, 2);
    EXPECT_EQ (description.numOutputChannels, 2);

    EXPECT_EQ (plugin->instance().getTotalNumInputChannels(), 2);
    EXPECT_EQ (plugin->instance().getTotalNumOutputChannels(), 2);
    EXPECT_EQ (plugin->instance().getLatencySamples(), 0);
    EXPECT_EQ (plugin->instance().getTailLengthSeconds(), 0.0);
}

TEST_F (HostedPluginTest, ListsThe35ParametersInIndexOrderThenBypass)
{
    const auto& ids = TestBundle::parameter_ids();
    auto& parameters = plugin->parameters();
    ASSERT_GE (parameters.size(), 36u);

    for (int i = 0; i < ids.size(); ++i)
    {
        SCOPED_TRACE (ids[i]);
        const auto& p = parameters[(size_t) i];
        const auto& expected = expected_parameters[i];

        // The host finds each by the ID that the plug-in's wrapper derives from its string ID.
        EXPECT_EQ (plugin->find_parameter (ids[i]), &p);
        EXPECT_EQ (plugin->find_parameter (juce::String (p.host_id)), &p);
        EXPECT_EQ (p.host_id, HostedPlugin::host_id_for (ids[i]));

        EXPECT_EQ (p.name, expected.name);
        EXPECT_TRUE (p.is_automatable);
        EXPECT_FALSE (p.is_bypass);
        EXPECT_DOUBLE_EQ (p.minimum, expected.minimum);
        EXPECT_DOUBLE_EQ (p.maximum, expected.maximum);
        EXPECT_DOUBLE_EQ (p.default_value, expected.default_value);
        EXPECT_DOUBLE_EQ (p.value(), expected.default_value);
        EXPECT_EQ (p.unit, expected.unit);

        if (expected.choices != nullptr)
        {
            EXPECT_EQ (p.kind, Kind::choice);
            EXPECT_EQ (p.choices, *expected.choices);
        }
        else
        {
            EXPECT_EQ (p.kind, Kind::continuous);
        }
    }

    const auto& bypass = parameters[35];
    EXPECT_TRUE (bypass.is_bypass);
    EXPECT_TRUE (bypass.is_automatable);
    EXPECT_EQ (bypass.name, "Bypass");
    EXPECT_EQ (bypass.choices, switches);
    EXPECT_EQ (bypass.value(), 0.0);
    EXPECT_EQ (plugin->find_parameter ("byps"), &bypass);

    // The framework's MIDI controllers come after, and no DAW lists them.
    for (size_t i = 36; i < parameters.size(); ++i)
        EXPECT_FALSE (parameters[i].is_automatable) << parameters[i].name;
}

TEST_F (HostedPluginTest, SetsValuesInTheirOwnUnitsAndReadsThemBack)
{
    struct Case
    {
        const char* id;
        const char* text;
        double value;
        const char* shown;
    };

    const Case cases[] {
        { "delay1_time", "500", 500, "500" },
        { "delay2_time", "500.4", 500, "500" }, // the plug-in keeps whole milliseconds
        { "delay1_amp", "-12.5", -12.5, "-12.500" },
        { "master_amp", "-36", -36, "-36.000" },
        { "lfo1_rate", "0.25", 0.25, "0.250" },
        { "delay2_damp", "18000", 18000, "18000" },
        { "mix_mode", "4", 4, "SOLO 2" },
        { "distortion_type", "foldover", 3, "FOLDOVER" },
        { "lfo2_synced_rate", "24", 24, "1/128T" },
        { "lfo1_sync", "1", 1, "On" },
        { "byps", "1", 1, "On" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.id) + "=" + c.text);
        const auto set = plugin->set_parameter (c.id, c.text);
        ASSERT_TRUE (set.wasOk()) << set.getErrorMessage();
        const auto* p = plugin->find_parameter (c.id);
        ASSERT_NE (p, nullptr);
        EXPECT_DOUBLE_EQ (p->value(), c.value);
        EXPECT_EQ (p->value_text(), c.shown);
    }
}

TEST_F (HostedPluginTest, RefusesBadValuesAndKeepsTheCurrentOne)
{
    ASSERT_TRUE (plugin->set_parameter ("delay1_time", "250").wasOk());
    ASSERT_TRUE (plugin->set_parameter ("mix_mode", "2").wasOk());

    const char* const refused[][2] {
        { "delay1_time", "2000.5" }, { "delay1_time", "0" }, { "delay1_time", "-1" },
        { "delay1_time", "abc" }, { "delay1_time", "12ms" }, { "delay1_time", "" },
        { "delay1_time", "nan" }, { "delay1_time", "inf" }, { "delay1_time", "1e9" },
        { "mix_mode", "7" }, { "mix_mode", "-1" }, { "mix_mode", "2.5" }, { "mix_mode", "CHORUS" },
        { "lfo1_sync", "2" }, { "byps", "0.5" },
    };

    for (const auto& r : refused)
    {
        SCOPED_TRACE (juce::String (r[0]) + "=" + r[1]);
        const auto set = plugin->set_parameter (r[0], r[1]);
        EXPECT_TRUE (set.failed());
        EXPECT_TRUE (set.getErrorMessage().isNotEmpty());
    }

    EXPECT_TRUE (plugin->set_parameter ("delay1_tim", "250").failed());
    EXPECT_TRUE (plugin->set_parameter ("Delay1 Time", "250").failed());
    EXPECT_EQ (plugin->find_parameter ("no_such_id"), nullptr);

    EXPECT_EQ (TestBundle::value (*plugin, "delay1_time"), 250.0);
    EXPECT_EQ (TestBundle::value (*plugin, "mix_mode"), 2.0);
    EXPECT_EQ (TestBundle::value (*plugin, "lfo1_sync"), 0.0);
    EXPECT_EQ (TestBundle::value (*plugin, "byps"), 0.0);
}

TEST_F (HostedPluginTest, ProcessesAnyLengthInBlocksWhileThePlayHeadRuns)
{
    for (const int length : { 0, 1, 511, 512, 513, 5000 })
    {
        SCOPED_TRACE (length);
        const auto before = plugin->play_head.position;
        juce::AudioBuffer<float> buffer (2, length);
        buffer.clear();

        ASSERT_TRUE (plugin->process (buffer).wasOk());
        EXPECT_EQ (plugin->play_head.position - before, length);
    }

    juce::AudioBuffer<float> mono (1, 64);
    EXPECT_TRUE (plugin->process (mono).failed());
}

TEST_F (HostedPluginTest, PlayHeadReportsTheTempoAndWhereTheRenderIs)
{
    plugin->play_head.bpm = 90.0;
    juce::AudioBuffer<float> four_seconds (2, 4 * 48000);
    four_seconds.clear();
    ASSERT_TRUE (plugin->process (four_seconds).wasOk());

    const auto position = plugin->play_head.getPosition();
    ASSERT_TRUE (position.hasValue());
    EXPECT_EQ (position->getBpm(), 90.0);
    EXPECT_EQ (position->getTimeInSamples(), 4 * 48000);
    EXPECT_EQ (position->getTimeInSeconds(), 4.0);
    EXPECT_EQ (position->getPpqPosition(), 6.0); // 4 s at 90 BPM
    EXPECT_EQ (position->getPpqPositionOfLastBarStart(), 4.0);
    EXPECT_EQ (position->getBarCount(), 1);
    EXPECT_TRUE (position->getIsPlaying());
}

TEST (HostedPluginLoad, RefusesARateOrBlockSizeNoDawWouldUse)
{
    // Bundles that do not load are refused through the command line's tests.
    const std::pair<double, int> refused[] { { 0, 512 }, { 7999, 512 }, { 768001, 512 }, { 48000, 0 },
                                             { 48000, HostedPlugin::max_block_size + 1 } };

    for (const auto& [rate, block] : refused)
    {
        SCOPED_TRACE (juce::String (rate) + " Hz, block " + juce::String (block));
        juce::String error;
        EXPECT_EQ (HostedPlugin::load (TestBundle::file(), rate, block, error), nullptr);
        EXPECT_TRUE (error.isNotEmpty());
    }

    juce::String error;
    EXPECT_NE (HostedPlugin::load (TestBundle::file(), 8000, 1, error), nullptr) << error;
    EXPECT_NE (HostedPlugin::load (TestBundle::file(), 768000, HostedPlugin::max_block_size, error), nullptr) << error;
}
} // namespace
