#include "ModulePanelControls.h"

void ModulePanelControls::init_knob (juce::Slider& knob, juce::Colour fill_colour, juce::Component& parent)
{
    knob.setSliderStyle (juce::Slider::RotaryVerticalDrag);
    knob.setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
    knob.setColour (juce::Slider::rotarySliderFillColourId, fill_colour);
    parent.addAndMakeVisible (knob);
}
