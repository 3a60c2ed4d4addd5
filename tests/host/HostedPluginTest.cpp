// The plug-in as a DAW sees it once loaded from the bundle: parameters in host order
// through the wrapper, values set in their own units, blocks processed under a play head.

#include "HostRig.h"

#include <gtest/gtest.h>

TEST (HostedPlugin, LoadsAsAStereoEffectListingThe35ParametersInIndexOrderThenBypass)
{
    auto plugin = HostRig::load();
    ASSERT_NE (plugin, nullptr);
    auto& instance = plugin->instance();
    EXPECT_EQ (instance.getTotalNumInputChannels() + 10 * instance.getTotalNumOutputChannels() + instance.getLatencySamples(), 22);
    // Feedback can hold the echoes for ever: a host must never cut them off.
    EXPECT_EQ (instance.getTailLengthSeconds(), std::numeric_limits<double>::infinity());

    const auto& ids = HostRig::parameter_ids();
    auto& parameters = plugin->parameters();
    ASSERT_GE (parameters.size(), 36u);
    for (int i = 0; i < 36; ++i)
    {
        const auto& p = parameters[(size_t) i];
        EXPECT_EQ (plugin->find_parameter (i < 35 ? ids[i] : HostedPlugin::bypass_id), &p) << i;
        EXPECT_EQ (plugin->find_parameter (juce::String (p.host_id)), &p) << i;
        EXPECT_TRUE (p.is_automatable && p.is_bypass == (i == 35)) << i;
    }

    // The framework's MIDI controllers come after, and no DAW lists them.
    for (size_t i = 36; i < parameters.size(); ++i)
        EXPECT_FALSE (parameters[i].is_automatable) << parameters[i].name;
}

TEST (HostedPlugin, SetsValuesInTheirOwnUnitsAndRefusesBadOnesKeepingTheCurrentValue)
{
    auto plugin = HostRig::load();
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
        { "delay1_tim", "250", 0, nullptr }, { "Delay1 Time", "250", 0, nullptr },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.id) + "=" + c.text);
        const auto set = plugin->set_parameter (c.id, c.text);
        EXPECT_EQ (set.wasOk(), c.shown != nullptr) << set.getErrorMessage();
        EXPECT_EQ (set.getErrorMessage().isEmpty(), c.shown != nullptr);
        if (const auto* p = plugin->find_parameter (c.id))
        {
            EXPECT_EQ (p->value(), c.value);
            EXPECT_TRUE (c.shown == nullptr || p->value_text() == c.shown) << p->value_text();
        }
    }
}

TEST (HostedPlugin, ProcessesAnyStereoLengthWhileThePlayHeadReportsTempoAndPosition)
{
    auto plugin = HostRig::load();
    ASSERT_NE (plugin, nullptr);
    plugin->play_head.bpm = 90.0;
    juce::int64 total = 0;

    for (const int length : { 0, 1, 511, 512, 513, 5000, 4 * 48000 - 6537 })
    {
        juce::AudioBuffer<float> buffer (2, length);
        buffer.clear();
        ASSERT_TRUE (plugin->process (buffer).wasOk());
        EXPECT_EQ (plugin->play_head.position, total += length) << length;
    }

    const auto position = plugin->play_head.getPosition();
    ASSERT_TRUE (position.hasValue());
    // 4 s at 90 BPM: six beats, the second bar began at beat four.
    EXPECT_EQ (juce::String (*position->getBpm()) + " " + juce::String (*position->getTimeInSamples()) + " " + juce::String (*position->getTimeInSeconds())
                   + " " + juce::String (*position->getPpqPosition()) + " " + juce::String (*position->getPpqPositionOfLastBarStart())
                   + " " + juce::String (*position->getBarCount()) + " " + juce::String ((int) position->getIsPlaying()),
               "90 192000 4 6 4 1 1");

    juce::AudioBuffer<float> mono (1, 64);
    EXPECT_TRUE (plugin->process (mono).failed());
}

TEST (HostedPlugin, RefusesARateOrBlockSizeNoDawWouldUse)
{
    const struct { double rate; int block; bool loads; } cases[] { { 0, 512, false }, { 7999, 512, false }, { 768001, 512, false },
        { 48000, 0, false }, { 48000, HostedPlugin::max_block_size + 1, false }, { 8000, 1, true }, { 768000, HostedPlugin::max_block_size, true } };

    for (const auto& c : cases)
    {
        juce::String error;
        EXPECT_EQ (HostedPlugin::load (HostRig::bundle(), c.rate, c.block, error) != nullptr, c.loads) << c.rate << " " << c.block << error;
        EXPECT_EQ (error.isEmpty(), c.loads) << c.rate << " " << c.block;
    }
}
