#pragma once

#include "IconSelector.h"
#include "Palette.h"
#include "ValueDisplayLabel.h"

#include <juce_audio_processors/juce_audio_processors.h>

/** The panel of one LFO: a rate knob that is either the free rate or, with sync on,
    the note value (two knobs in one place, one visible), the sync button and the
    wave picture over an invisible slider. Index 0 is LFO 1, any other index LFO 2.
    Message thread only.

    Members are public for the main panel and the tests. Their order matters:
    attachments go first on destruction, then the read-outs, each before the
    slider it listens to. */
class LFOComponent : public juce::Component
{
public:
    LFOComponent (juce::AudioProcessorValueTreeState& parameters, int index);

    /** Shows the rate knob that matches the sync state, redraws the wave picture and
        refreshes the read-outs; the main panel's timer calls it. */
    void update();

    void paint (juce::Graphics& g) override;
    void resized() override;

    juce::SharedResourcePointer<QuorvaneUITools::Palette> palette;
    juce::Label header;

    juce::Slider rate_slider;
    juce::Slider synced_rate_slider;
    juce::Slider wave_slider;
    std::unique_ptr<QuorvaneUITools::IconSelector> wave_selector;
    juce::DrawableButton sync_button { "sync", juce::DrawableButton::ImageFitted };
    juce::Label rate_label;

    std::unique_ptr<crvl::gui::ValueDisplayLabel> rate_display;
    std::unique_ptr<crvl::gui::ValueDisplayLabel> synced_rate_display;

    using SliderAttachment = juce::AudioProcessorValueTreeState::SliderAttachment;
    std::unique_ptr<SliderAttachment> rate_attachment, synced_rate_attachment, wave_attachment;
    std::unique_ptr<juce::AudioProcessorValueTreeState::ButtonAttachment> sync_attachment;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LFOComponent)
};
