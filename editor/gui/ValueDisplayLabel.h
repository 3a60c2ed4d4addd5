#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <functional>

namespace crvl::gui
{
// Shows a knob's parameter value while the knob is dragged, hidden otherwise. The text
// changes only through update(), which the editor's refresh timer calls; clicks pass
// through to the knob below. Declare it after its slider: it listens to the slider until
// it is destroyed.
class ValueDisplayLabel : public juce::Label,
                          public juce::Slider::Listener
{
public:
    // formatter, when set, makes the whole text and overrides suffix and decimals.
    ValueDisplayLabel (juce::Slider& slider,
                       const std::atomic<float>* raw_value,
                       juce::String suffix,
                       const juce::Colour& colour,
                       bool integer_only = false,
                       std::function<juce::String (float)> formatter = {});
    ~ValueDisplayLabel() override;

    void sliderValueChanged (juce::Slider*) override;
    void sliderDragStarted (juce::Slider*) override;
    void sliderDragEnded (juce::Slider*) override;

    // Refreshes the text from the raw value while shown; a hidden read-out keeps its text.
    void update (int decimals);

private:
    juce::String text_for (float value, int decimals) const;

    juce::Component::SafePointer<juce::Slider> slider;
    const std::atomic<float>* raw_value;
    juce::String suffix;
    bool integer_only;
    std::function<juce::String (float)> formatter;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ValueDisplayLabel)
};
} // namespace crvl::gui
