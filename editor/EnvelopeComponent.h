#pragma once

#include "Palette.h"
#include "ValueDisplayLabel.h"

#include <juce_audio_processors/juce_audio_processors.h>

/** The panel of one envelope follower: sensitivity, attack and release knobs with
    their captions and read-outs. Index 0 is envelope 1, any other index envelope 2.
    It has no refresh of its own: the main panel's timer updates the three read-outs.
    Message thread only.

    Members are public for that refresh. Their order matters: attachments go first on
    destruction, then the read-outs, each before the slider it listens to. */
class EnvelopeComponent : public juce::Component
{
public:
    EnvelopeComponent (juce::AudioProcessorValueTreeState& parameters, int index);

    void paint (juce::Graphics& g) override;
    void resized() override;

    juce::SharedResourcePointer<QuorvaneUITools::Palette> palette;
    juce::Label header;

    juce::Slider sens_slider, attack_slider, release_slider;
    juce::Label sens_label, attack_label, release_label;

    std::unique_ptr<crvl::gui::ValueDisplayLabel> sens_display, attack_display, release_display;

    using SliderAttachment = juce::AudioProcessorValueTreeState::SliderAttachment;
    std::unique_ptr<SliderAttachment> sens_attachment, attack_attachment, release_attachment;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (EnvelopeComponent)
};
