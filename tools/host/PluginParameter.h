#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <optional>

/** One parameter of a hosted plug-in as a DAW shows it. The host only sees
    normalised values and the plug-in's texts, so values in the parameter's own
    units (ms, %, Hz, dB) go through the plug-in's own text conversion, the way a
    value typed into a DAW's parameter field does. A discrete parameter whose
    texts are not numbers is a choice, and its own unit is the choice index
    (a switch is the choice of "Off"/"On", so 0 or 1). Message thread only. */
class PluginParameter
{
public:
    enum class Kind
    {
        continuous, // a number in the range, shown with `unit`
        stepped,    // a number in the range, in num_steps steps
        choice,     // an index into `choices`
        normalised  // texts that are no numbers: the raw 0 to 1 value
    };

    PluginParameter (juce::HostedAudioProcessorParameter& parameter, bool is_bypass);

    /** Current value in the parameter's own units. */
    double value() const;
    /** The plug-in's text for the current value. */
    juce::String value_text() const;

    /** Sets a value in the parameter's own units. Refuses, changing nothing, a
        value that is not finite, outside the range, or not a valid index. */
    juce::Result set_value (double own_value);
    /** Sets a value from text: a number in own units or, for a choice, one of
        its texts (any case). */
    juce::Result set_value_text (const juce::String& text);

    /** A text that is a plain decimal number, finite, and nothing else. */
    static std::optional<double> parse_number (const juce::String& text);
    /** A value written the way the listings show it: no trailing zeros. */
    static juce::String format_number (double value);

    juce::HostedAudioProcessorParameter& parameter;
    const juce::uint32 host_id;
    const bool is_bypass;
    const bool is_automatable; // what a DAW lists; not the MIDI controllers the framework emulates
    const juce::String name;
    const juce::String unit;
    const int num_steps; // 0 when continuous
    juce::StringArray choices;
    Kind kind = Kind::continuous;
    double minimum = 0.0, maximum = 1.0, default_value = 0.0;

private:
    double to_own_units (float normalised) const;
    juce::String range_text() const;
};
