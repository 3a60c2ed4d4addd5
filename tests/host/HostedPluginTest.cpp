// The plug-in as a DAW sees it once loaded from the bundle: description, parameters in
// host order in their own units, values set through its own conversions, blocks processed.

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

TEST (HostedPlugin, LoadsAsAStereoEffectListingThe35ParametersInIndexOrderThenBypass)
{
    auto plugin = TestBundle::load();
    ASSERT_NE (plugin, nullptr);
    const auto& description = plugin->description();
    EXPECT_EQ (description.name + "|" + description.manufacturerName + "|" + description.version + "|" + description.category
                   + "|" + description.pluginFormatName, "Quorvane|Corvalen|1.0.0|Fx|Delay|VST3");
    EXPECT_FALSE (description.isInstrument);
    EXPECT_EQ (description.numInputChannels, 2);
    EXPECT_EQ (description.numOutputChannels, 2);
    EXPECT_EQ (plugin->instance().getTotalNumInputChannels(), 2);
    EXPECT_EQ (plugin->instance().getTotalNumOutputChannels(), 2);
    EXPECT_EQ (plugin->instance().getLatencySamples(), 0);
    // Feedback can hold the echoes for ever: a host must never cut them off.
    EXPECT_EQ (plugin->instance().getTailLengthSeconds(), std::numeric_limits<double>::infinity());

    const auto& ids = TestBundle::parameter_ids();
    auto& parameters = plugin->parameters();
    ASSERT_GE (parameters.size(), 36u);

    for (int i = 0; i < ids.size(); ++i)
    {
        SCOPED_TRACE (ids[i]);
        const auto& p = parameters[(size_t) i];
        const auto& expected = expected_parameters[i];

        // Found by string ID and by the host ID the wrapper derives from it.
        EXPECT_EQ (plugin->find_parameter (ids[i]), &p);
        EXPECT_EQ (plugin->find_parameter (juce::String (p.host_id)), &p);
        EXPECT_EQ (p.host_id, HostedPlugin::host_id_for (ids[i]));
        EXPECT_EQ (p.name, expected.name);
        EXPECT_TRUE (p.is_automatable && ! p.is_bypass);
        EXPECT_DOUBLE_EQ (p.minimum, expected.minimum);
        EXPECT_DOUBLE_EQ (p.maximum, expected.maximum);
        EXPECT_DOUBLE_EQ (p.default_value, expected.default_value);
        EXPECT_DOUBLE_EQ (p.value(), expected.default_value);
        EXPECT_EQ (p.unit, expected.unit);
        EXPECT_EQ (p.kind, expected.choices != nullptr ? Kind::choice : Kind::continuous);
        EXPECT_EQ (p.choices, expected.choices != nullptr ? *expected.choices : juce::StringArray());
    }

    const auto& bypass = parameters[35];
    EXPECT_TRUE (bypass.is_bypass && bypass.is_automatable);
    EXPECT_EQ (bypass.name, "Bypass");
    EXPECT_EQ (bypass.choices, switches);
    EXPECT_EQ (bypass.value(), 0.0);
    EXPECT_EQ (plugin->find_parameter ("byps"), &bypass);

    // The framework's MIDI controllers come after, and no DAW lists them.
    for (size_t i = 36; i < parameters.size(); ++i)
        EXPECT_FALSE (parameters[i].is_automatable) << parameters[i].name;
}

TEST (HostedPlugin, SetsValuesInTheirOwnUnitsAndRefusesBadOnesKeepingTheCurrentValue)
{
    auto plugin = TestBundle::load();
    ASSERT_NE (plugin, nullptr);

    // Refused cases (shown null) come after a set of the same parameter, whose value they keep.
    const struct { const char* id; const char* text; double value; const char* shown; } cases[] {
        { "delay1_time", "500", 500, "500" }, { "delay2_time", "500.4", 500, "500" }, // whole milliseconds
        { "delay1_amp", "-12.5", -12.5, "-12.500" }, { "master_amp", "-36", -36, "-36.000" },
        { "lfo1_rate", "0.25", 0.25, "0.250" }, { "delay2_damp", "18000", 18000, "18000" },
        { "mix_mode", "4", 4, "SOLO 2" }, { "distortion_type", "foldover", 3, "FOLDOVER" },
        { "lfo2_synced_rate", "24", 24, "1/128T" }, { "lfo1_sync", "1", 1, "On" }, { "byps", "1", 1, "On" },
        { "delay1_time", "2000.5", 500, nullptr }, { "delay1_time", "0", 500, nullptr }, { "delay1_time", "-1", 500, nullptr },
        { "delay1_time", "abc", 500, nullptr }, { "delay1_time", "12ms", 500, nullptr }, { "delay1_time", "", 500, nullptr },
        { "delay1_time", "nan", 500, nullptr }, { "delay1_time", "inf", 500, nullptr }, { "delay1_time", "1e9", 500, nullptr },
        { "mix_mode", "7", 4, nullptr }, { "mix_mode", "-1", 4, nullptr }, { "mix_mode", "2.5", 4, nullptr },
        { "mix_mode", "CHORUS", 4, nullptr }, { "lfo1_sync", "2", 1, nullptr }, { "byps", "0.5", 1, nullptr },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.id) + "=" + c.text);
        const auto set = plugin->set_parameter (c.id, c.text);
        EXPECT_EQ (set.wasOk(), c.shown != nullptr) << set.getErrorMessage();
        EXPECT_EQ (set.getErrorMessage().isEmpty(), c.shown != nullptr);
        EXPECT_DOUBLE_EQ (TestBundle::value (*plugin, c.id), c.value);
        if (c.shown != nullptr)
            EXPECT_EQ (plugin->find_parameter (c.id)->value_text(), c.shown);
    }

    EXPECT_TRUE (plugin->set_parameter ("delay1_tim", "250").failed());
    EXPECT_TRUE (plugin->set_parameter ("Delay1 Time", "250").failed());
    EXPECT_EQ (plugin->find_parameter ("no_such_id"), nullptr);
}

TEST (HostedPlugin, ProcessesAnyStereoLengthWhileThePlayHeadReportsTempoAndPosition)
{
    auto plugin = TestBundle::load();
    ASSERT_NE (plugin, nullptr);
    plugin->play_head.bpm = 90.0;
    juce::int64 total = 0;

    for (const int length : { 0, 1, 511, 512, 513, 5000, 4 * 48000 - 6537 })
    {
        SCOPED_TRACE (length);
        juce::AudioBuffer<float> buffer (2, length);
        buffer.clear();
        ASSERT_TRUE (plugin->process (buffer).wasOk());
        EXPECT_EQ (plugin->play_head.position, total += length);
    }

    const auto position = plugin->play_head.getPosition();
    ASSERT_TRUE (position.hasValue());
    EXPECT_EQ (position->getBpm(), 90.0);
    EXPECT_EQ (position->getTimeInSamples(), 4 * 48000);
    EXPECT_EQ (position->getTimeInSeconds(), 4.0);
    EXPECT_EQ (position->getPpqPosition(), 6.0); // 4 s at 90 BPM
    EXPECT_EQ (position->getPpqPositionOfLastBarStart(), 4.0);
    EXPECT_EQ (position->getBarCount(), 1);
    EXPECT_TRUE (position->getIsPlaying());

    juce::AudioBuffer<float> mono (1, 64);
    EXPECT_TRUE (plugin->process (mono).failed());
}

TEST (HostedPluginLoad, RefusesARateOrBlockSizeNoDawWouldUse)
{
    // Bundles that do not load are refused in the command line's tests.
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
