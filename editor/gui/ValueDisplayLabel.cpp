#include "ValueDisplayLabel.h"

namespace crvl::gui
{
ValueDisplayLabel::ValueDisplayLabel (juce::Slider& s,
                                      const std::atomic<float>* value,
                                      juce::String unit,
                                      const juce::Colour& colour,
                                      bool whole_numbers,
                                      std::function<juce::String (float)> format)
    : slider (&s),
      raw_value (value),
      suffix (std::move (unit)),
      integer_only (whole_numbers),
      formatter (std::move (format))
{
    // A dark translucent box, so the text reads over the knob it covers.
    setColour (juce::Label::backgroundColourId, juce::Colour (0x99000000));
    setColour (juce::Label::textColourId, colour);
    setFont (juce::Font (12.0f));
    setJustificationType (juce::Justification::centred);
    s.addListener (this);
    setInterceptsMouseClicks (false, false);
    setVisible (false);
}

ValueDisplayLabel::~ValueDisplayLabel()
{
    // The owning panel destroys the read-out first; the check covers any other order.
    if (slider != nullptr)
        slider->removeListener (this);
}

void ValueDisplayLabel::sliderValueChanged (juce::Slider*) {}

void ValueDisplayLabel::sliderDragStarted (juce::Slider*)
{
    setVisible (true);
    toFront (false);
}

void ValueDisplayLabel::sliderDragEnded (juce::Slider*)
{
    setVisible (false);
}

juce::String ValueDisplayLabel::text_for (float value, int decimals) const
{
    if (formatter)
        return formatter (value);

    const auto number = integer_only ? juce::String (juce::roundToInt (value))
                                     : juce::String (value, decimals);
    return suffix.isEmpty() ? number : number + " " + suffix;
}

void ValueDisplayLabel::update (int decimals)
{
    if (! isVisible() || raw_value == nullptr)
        return;

    setText (text_for (raw_value->load (std::memory_order_relaxed), decimals), juce::dontSendNotification);
}
} // namespace crvl::gui
