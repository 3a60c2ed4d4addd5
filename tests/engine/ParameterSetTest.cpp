#include "QuorvaneAudioProcessor.h"

#include <gtest/gtest.h>

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

TEST (ParameterSet, IdsByIndexWithEmptyStringOutsideTheTable)
{
    ASSERT_EQ (std::size (table), (size_t) QuorvaneParameters::num_parameters);

    for (int i = 0; i < QuorvaneParameters::num_parameters; ++i)
        EXPECT_EQ (QuorvaneParameters::get_id_for_parameter (i), table[i].id);

    EXPECT_EQ (QuorvaneParameters::get_id_for_parameter (34), "delay2_feed_mod_depth");
    EXPECT_TRUE (QuorvaneParameters::get_id_for_parameter (35).isEmpty());
    EXPECT_TRUE (QuorvaneParameters::get_id_for_parameter (-1).isEmpty());
    EXPECT_TRUE (QuorvaneParameters::get_id_for_parameter (std::numeric_limits<int>::min()).isEmpty());
}

TEST (ParameterSet, ProcessorListsTheWholeTableInIndexOrder)
{
    QuorvaneAudioProcessor processor;
    const auto& parameters = processor.getParameters();
    ASSERT_EQ (parameters.size(), QuorvaneParameters::num_parameters);

    for (int i = 0; i < QuorvaneParameters::num_parameters; ++i)
    {
        SCOPED_TRACE (table[i].id);
        const auto& row = table[i];
        auto* parameter = dynamic_cast<juce::RangedAudioParameter*> (parameters[i]);
        ASSERT_NE (parameter, nullptr);

        EXPECT_EQ (parameter->paramID, row.id);
        EXPECT_EQ (parameter->getName (100), row.name);
        EXPECT_EQ (parameter->getLabel(), row.label);
        EXPECT_EQ (parameter->getCategory(), juce::AudioProcessorParameter::genericParameter);

        const auto& range = parameter->getNormalisableRange();
        EXPECT_FLOAT_EQ (range.start, row.start);
        EXPECT_FLOAT_EQ (range.end, row.end);
        EXPECT_FLOAT_EQ (range.interval, row.interval);
        EXPECT_FLOAT_EQ (range.skew, row.skew);
        EXPECT_FALSE (range.symmetricSkew);

        // The framework snaps the default to the interval in float: -3 dB reads as -2.9999981.
        EXPECT_NEAR (processor.parameter_state.getRawParameterValue (row.id)->load(), row.default_value, 1.0e-5f);
        EXPECT_NEAR (parameter->convertFrom0to1 (parameter->getDefaultValue()), row.default_value, 1.0e-5f);

        if (row.choices > 0)
        {
            auto* choice = dynamic_cast<juce::AudioParameterChoice*> (parameter);
            ASSERT_NE (choice, nullptr);
            EXPECT_EQ (choice->choices.size(), row.choices);
        }
        else if (row.choices < 0)
        {
            EXPECT_NE (dynamic_cast<juce::AudioParameterBool*> (parameter), nullptr);
        }
        else
        {
            EXPECT_NE (dynamic_cast<juce::AudioParameterFloat*> (parameter), nullptr);
        }
    }
}

TEST (ParameterSet, ChoiceTextsAreTheSystemsOwn)
{
    QuorvaneAudioProcessor processor;
    auto choices = [&] (const char* id)
    {
        return dynamic_cast<juce::AudioParameterChoice*> (processor.parameter_state.getParameter (id))->choices;
    };

    EXPECT_EQ (choices ("mix_mode").joinIntoString ("|"),
               "PARALLEL|SERIAL|REVERSE SERIAL|SOLO 1|SOLO 2|STEREO SPLIT|REVERSE STEREO SPLIT");
    EXPECT_EQ (choices ("distortion_type").joinIntoString ("|"), "SOFT CLIP|HARD CLIP|OVERDRIVE|FOLDOVER");
    EXPECT_EQ (choices ("lfo2_wave").joinIntoString ("|"),
               "SINE|SQUARE|SAW UP|SAW DOWN|TRIANGLE|RANDOM|SMOOTH RANDOM");
    EXPECT_EQ (choices ("delay2_feed_mod_src").joinIntoString ("|"),
               "NONE|ENVELOPE 1|ENVELOPE 1 INVERT|ENVELOPE 2|ENVELOPE 2 INVERT|LFO 1|LFO 1 INVERT|LFO 2|LFO 2 INVERT");
    EXPECT_EQ (choices ("lfo1_synced_rate").joinIntoString ("|"),
               "8 BARS|4 BARS|2 BARS|1 BAR|1/2D|1/2|1/2T|1/4D|1/4|1/4T|1/8D|1/8|1/8T|1/16D|1/16|1/16T"
               "|1/32D|1/32|1/32T|1/64D|1/64|1/64T|1/128D|1/128|1/128T");
}

TEST (ParameterSet, RawValuesFollowTheHostsNormalisedValues)
{
    QuorvaneAudioProcessor processor;
    auto& state = processor.parameter_state;

    // A choice raw value is its index; skewed float ranges land on their interval.
    state.getParameter ("mix_mode")->setValueNotifyingHost (state.getParameter ("mix_mode")->convertTo0to1 (5.0f));
    EXPECT_FLOAT_EQ (state.getRawParameterValue ("mix_mode")->load(), 5.0f);

    state.getParameter ("delay1_time")->setValueNotifyingHost (0.5f);
    EXPECT_FLOAT_EQ (state.getRawParameterValue ("delay1_time")->load(), std::round (1.0f + 1999.0f * 0.25f));

    state.getParameter ("lfo1_sync")->setValueNotifyingHost (1.0f);
    EXPECT_FLOAT_EQ (state.getRawParameterValue ("lfo1_sync")->load(), 1.0f);
    EXPECT_EQ (state.getParameter ("lfo1_sync")->getText (1.0f, 100), "On");
}
