#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace QuorvaneUITools
{
// Panel title: 16-unit text, left and vertically centred, on the header strip colour.
// Sets the text, makes the label visible and adds it to parent (never null).
void init_header_label (juce::Label& label, const juce::String& text, juce::Component* parent);

// Knob caption: 12-unit centred text with no background of its own.
void init_control_label (juce::Label& label, const juce::String& text, juce::Component* parent);
} // namespace QuorvaneUITools
