#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The knob set-up that every module panel repeats. No instances, no state;
    message thread only. */
struct ModulePanelControls
{
    ModulePanelControls() = delete;

    /** A rotary knob dragged vertically, without a text box, its value drawn in
        `fill_colour`, added to `parent` and shown. */
    static void init_knob (juce::Slider& knob, juce::Colour fill_colour, juce::Component& parent);
};
