#pragma once

#include "QuorvaneAudioProcessor.h"

/** Sets a parameter by ID to a raw value in its own units, through the host's path, so
    every listener hears of it. False, and nothing set, for an ID that names none. */
inline bool set_parameter (QuorvaneAudioProcessor& processor, const juce::String& id, float raw_value)
{
    auto* parameter = processor.parameter_state.getParameter (id);

    if (parameter == nullptr)
        return false;

    parameter->setValueNotifyingHost (parameter->convertTo0to1 (raw_value));
    return true;
}
