#pragma once

#include "IconSelector.h"
#include "Palette.h"
#include "ValueDisplayLabel.h"

#include <juce_audio_processors/juce_audio_processors.h>

/** The panel of one delay line: time, feedback, damping and level knobs, and for
    time and feedback a modulation depth knob over a source picture. Index 0 is
    delay 1, any other index delay 2. Message thread only.

    Members are public because the main panel's refresh reaches into the panels.
    Their order matters: attachments go first on destruction, then the read-outs,
    each before the slider it listens to. */
class DelayComponent : public juce::Component
{
public:
    DelayComponent (juce::AudioProcessorValueTreeState& parameters, int index);

    /** Redraws the source pictures and refreshes the read-outs; the main panel's timer calls it. */
    void update();

    /** Appends the nine modulation-source pictures, recoloured, to `selector`. */
    void init_mod_source_icons (QuorvaneUITools::IconSelector* selector);

    void paint (juce::Graphics& g) override;
    void resized() override;

    juce::SharedResourcePointer<QuorvaneUITools::Palette> palette;
    juce::Label header;

    juce::Slider time_slider, feed_slider, damp_slider, amp_slider;
    juce::Label time_label, feed_label, damp_label, amp_label;

    juce::Slider time_mod_depth_slider;
    juce::Slider time_mod_src_slider;
    std::unique_ptr<QuorvaneUITools::IconSelector> time_mod_src_selector;
    juce::Slider feed_mod_depth_slider;
    juce::Slider feed_mod_src_slider;
    std::unique_ptr<QuorvaneUITools::IconSelector> feed_mod_src_selector;

    std::unique_ptr<crvl::gui::ValueDisplayLabel> time_display;
    std::unique_ptr<crvl::gui::ValueDisplayLabel> amp_display;

    using SliderAttachment = juce::AudioProcessorValueTreeState::SliderAttachment;
    std::unique_ptr<SliderAttachment> time_attachment, feed_attachment, damp_attachment, amp_attachment,
        time_mod_depth_attachment, feed_mod_depth_attachment, time_mod_src_attachment, feed_mod_src_attachment;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DelayComponent)
};
