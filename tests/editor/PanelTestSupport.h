#pragma once

#include "QuorvaneAudioProcessor.h"

#include <stdexcept>

/** Every parameter's raw value, by parameter index. */
inline std::vector<float> raw_values (QuorvaneAudioProcessor& processor)
{
    std::vector<float> values;
    for (int i = 0; i < QuorvaneParameters::num_parameters; ++i)
        values.push_back (*processor.parameter_state.getRawParameterValue (QuorvaneParameters::get_id_for_parameter (i)));
    return values;
}

/** A panel's button of this name, as a click reaches it. */
inline juce::Button& button_named (juce::Component& panel, const juce::String& name)
{
    for (auto* child : panel.getChildren())
        if (auto* button = dynamic_cast<juce::Button*> (child); button != nullptr && button->getName() == name)
            return *button;
    throw std::logic_error ("no button " + name.toStdString());
}
