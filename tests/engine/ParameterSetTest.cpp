#include "QuorvaneAudioProcessor.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
struct Expected
{
    const char* id;
    const char* name;
    float start, end, interval, skew, default_value;
    const char* label;
    int choices; // 0 for a float parameter, -1 for a bool
};

// The published table; a change here breaks stored sessions and presets.
const Expected table[] = {
    { "delay1_time", "Delay1 Time", 1, 2000, 1, 0.5f, 120, "Ms", 0 },
    { "delay1_feed", "Delay1 Feedback", 0, 100, 0.1f, 1, 50, "%", 0 },
    { "delay1_damp", "Delay1 Damp", 100, 18000, 1, 0.5f, 11000, "Hz", 0 },
    { "delay1_amp", "Delay1 Amp", -24, 6, 0.001f, 1.5f, -3, "dB", 0 },
    { "delay2_time", "Delay2 Time", 1, 2000, 1, 0.5f, 120, "Ms", 0 },
    { "delay2_feed", "Delay2 Feedback", 0, 100, 0.1f, 1, 50, "%", 0 },
    { "delay2_damp", "Delay2 Damp", 100, 18000, 1, 0.5f, 11000, "Hz", 0 },
    { "delay2_amp", "Delay2 Amp", -24, 6, 0.001f, 1.5f, -3, "dB", 0 },
    { "mix_mode", "Mix Mode", 0, 6, 1, 1, 0, "", 7 },
    { "distortion_type", "Distortion Type", 0, 3, 1, 1, 0, "", 4 },
    { "distortion_drive", "Distortion Drive", 0, 100, 0.1f, 1, 0, "%", 0 },
    { "master_amp", "Master Amp", -36, 6, 0.001f, 1.5f, -3, "dB", 0 },
    { "master_dry_wet", "Dry-Wet Mix", 0, 100, 0.1f, 1, 50, "%", 0 },
    { "env1_sens", "Envelope1 Sensitivity", -24, 24, 0.001f, 1.5f, 0, "dB", 0 },
    { "env1_attack", "Envelope1 Attack", 1, 60, 1, 0.5f, 10, "Ms", 0 },
    { "env1_release", "Envelope1 Release", 10, 250, 1, 0.5f, 60, "Ms", 0 },
    { "env2_sens", "Envelope2 Sensitivity", -24, 24, 0.001f, 1.5f, 0, "dB", 0 },
    { "env2_attack", "Envelope2 Attack", 1, 60, 1, 0.5f, 10, "Ms", 0 },
    { "env2_release", "Envelope2 Release", 10, 250, 1, 0.5f, 60, "Ms", 0 },
    { "lfo1_rate", "LFO1 Rate", 0.001f, 120, 0.001f, 0.5f, 1, "Hz", 0 },
    { "lfo1_sync", "LFO1 Sync", 0, 1, 1, 1, 0, "", -1 },
    { "lfo1_synced_rate", "LFO1 Synced Rate", 0, 24, 1, 1, 3, "", 25 },
    { "lfo1_wave", "LFO1 Wave", 0, 6, 1, 1, 0, "", 7 },
    { "lfo2_rate", "LFO2 Rate", 0.001f, 120, 0.001f, 0.5f, 1, "Hz", 0 },
    { "lfo2_sync", "LFO2 Sync", 0, 1, 1, 1, 0, "", -1 },
    { "lfo2_synced_rate", "LFO2 Synced Rate", 0, 24, 1, 1, 3, "", 25 },
    { "lfo2_wave", "LFO2 Wave", 0, 6, 1, 1, 0, "", 7 },
    { "delay1_time_mod_src", "Delay1 Time Mod Source", 0, 8, 1, 1, 0, "", 9 },
    { "delay1_time_mod_depth", "Delay1 Time Mod Depth", 0, 100, 0.1f, 1, 0, "%", 0 },
    { "delay1_feed_mod_src", "Delay1 Feed Mod Source", 0, 8, 1, 1, 0, "", 9 },
    { "delay1_feed_mod_depth", "Delay1 Feed Mod Depth", 0, 100, 0.1f, 1, 0, "%", 0 },
    { "delay2_time_mod_src", "Delay2 Time Mod Source", 0, 8, 1, 1, 0, "", 9 },
    { "delay2_time_mod_depth", "Delay2 Time Mod Depth", 0, 100, 0.1f, 1, 0, "%", 0 },
    { "delay2_feed_mod_src", "Delay2 Feed Mod Source", 0, 8, 1, 1, 0, "", 9 },
    { "delay2_feed_mod_depth", "Delay2 Feed Mod Depth", 0, 100, 0.1f, 1, 0, "%", 0 },
};
} // namespace

TEST (ParameterSet, ProcessorListsThePublishedTableInIndexOrder)
{
    QuorvaneAudioProcessor processor;
    const auto& parameters = processor.getParameters();
    ASSERT_EQ (parameters.size(), (int) std::size (table));
    EXPECT_TRUE (QuorvaneParameters::get_id_for_parameter (-1).isEmpty());
    EXPECT_TRUE (QuorvaneParameters::get_id_for_parameter ((int) std::size (table)).isEmpty());

    for (int i = 0; i < parameters.size(); ++i)
    {
        const auto& row = table[i];
        SCOPED_TRACE (row.id);
        auto* parameter = dynamic_cast<juce::RangedAudioParameter*> (parameters[i]);
        ASSERT_NE (parameter, nullptr);
        EXPECT_EQ (QuorvaneParameters::get_id_for_parameter (i), row.id);
        EXPECT_EQ (parameter->paramID, row.id);
        EXPECT_EQ (parameter->getName (100), row.name);
        EXPECT_EQ (parameter->getLabel(), row.label);

        const auto& range = parameter->getNormalisableRange();
        EXPECT_EQ (std::vector<float> ({ range.start, range.end, range.interval, range.skew }),
                   std::vector<float> ({ row.start, row.end, row.interval, row.skew }));
        // The framework snaps the default to the interval in float: -3 dB reads as -2.9999981.
        EXPECT_NEAR (processor.parameter_state.getRawParameterValue (row.id)->load(), row.default_value, 1.0e-5f);

        const auto* choice = dynamic_cast<juce::AudioParameterChoice*> (parameter);
        EXPECT_EQ (choice != nullptr ? choice->choices.size() : dynamic_cast<juce::AudioParameterBool*> (parameter) != nullptr ? -1 : 0,
                   row.choices);
    }

    const auto texts = [&] (const char* id)
    {
        return dynamic_cast<juce::AudioParameterChoice*> (processor.parameter_state.getParameter (id))->choices.joinIntoString ("|");
    };

    EXPECT_EQ (texts ("mix_mode"), "PARALLEL|SERIAL|REVERSE SERIAL|SOLO 1|SOLO 2|STEREO SPLIT|REVERSE STEREO SPLIT");
    EXPECT_EQ (texts ("distortion_type"), "SOFT CLIP|HARD CLIP|OVERDRIVE|FOLDOVER");
    EXPECT_EQ (texts ("lfo2_wave"), "SINE|SQUARE|SAW UP|SAW DOWN|TRIANGLE|RANDOM|SMOOTH RANDOM");
    EXPECT_EQ (texts ("delay2_feed_mod_src"),
               "NONE|ENVELOPE 1|ENVELOPE 1 INVERT|ENVELOPE 2|ENVELOPE 2 INVERT|LFO 1|LFO 1 INVERT|LFO 2|LFO 2 INVERT");
    EXPECT_EQ (texts ("lfo1_synced_rate"), "8 BARS|4 BARS|2 BARS|1 BAR|1/2D|1/2|1/2T|1/4D|1/4|1/4T|1/8D|1/8|1/8T|1/16D|1/16|1/16T"
                                           "|1/32D|1/32|1/32T|1/64D|1/64|1/64T|1/128D|1/128|1/128T");
}
