#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

/** The 35 automatable parameters. The index is one order throughout: layout,
    host parameter list and the processor's raw-value pointer table. IDs are
    keys of stored state and must never change. */
struct QuorvaneParameters
{
    static constexpr int num_parameters = 35;

    /** The top of the delay-time range; the delay lines are sized to hold it. */
    static constexpr float max_delay_time_ms = 2000.0f;

    /** The ID of the parameter at this index, or an empty string outside 0..34. */
    static juce::String get_id_for_parameter (int index);

    /** The texts of the choice parameters, in choice order. */
    static juce::StringArray mix_mode_texts();
    static juce::StringArray distortion_type_texts();
    static juce::StringArray lfo_wave_texts();
    static juce::StringArray mod_source_texts();
    static juce::StringArray sync_rate_texts();

    /** All parameters, in index order. */
    static juce::AudioProcessorValueTreeState::ParameterLayout create_parameter_layout();

    QuorvaneParameters() = delete;
};
