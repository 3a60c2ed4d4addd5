#include "LabelStyles.h"

#include "Palette.h"

namespace QuorvaneUITools
{
void init_header_label (juce::Label& label, const juce::String& text, juce::Component* parent)
{
    const juce::SharedResourcePointer<Palette> palette;
    label.setFont (juce::Font (16.0f));
    label.setJustificationType (juce::Justification::centredLeft);
    label.setColour (juce::Label::backgroundColourId, palette->header_colour);
    label.setColour (juce::Label::textColourId, palette->text_colour);
    label.setText (text, juce::dontSendNotification);
    label.setVisible (true);
    parent->addChildComponent (label);
}

void init_control_label (juce::Label& label, const juce::String& text, juce::Component* parent)
{
    const juce::SharedResourcePointer<Palette> palette;
    label.setFont (juce::Font (12.0f));
    label.setJustificationType (juce::Justification::centred);
    label.setColour (juce::Label::textColourId, palette->text_colour);
    label.setText (text, juce::dontSendNotification);
    label.setVisible (true);
    parent->addChildComponent (label);
}
} // namespace QuorvaneUITools
