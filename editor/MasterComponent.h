#pragma once

#include "IconSelector.h"
#include "Palette.h"
#include "ValueDisplayLabel.h"

#include <juce_audio_processors/juce_audio_processors.h>

/** The "MASTER" panel: the routing and distortion pictures over invisible sliders,
    and the drive, level and dry/wet knobs. It has no refresh of its own: the main
    panel's timer repaints the routing picture and updates the level read-out.
    Message thread only.

    Members are public for that refresh. Their order matters: attachments go first
    on destruction, and the read-out before the slider it listens to. */
class MasterComponent : public juce::Component
{
public:
    explicit MasterComponent (juce::AudioProcessorValueTreeState& parameters);

    void paint (juce::Graphics& g) override;
    void resized() override;

    juce::SharedResourcePointer<QuorvaneUITools::Palette> palette;
    juce::Label header;

    juce::Slider mix_mode_slider;
    std::unique_ptr<QuorvaneUITools::IconSelector> mix_mode_selector;
    juce::Slider distortion_type_slider;
    std::unique_ptr<QuorvaneUITools::IconSelector> distortion_type_selector;

    juce::Slider drive_slider, amp_slider, dry_wet_slider;
    juce::Label drive_label, amp_label, dry_wet_label;

    std::unique_ptr<crvl::gui::ValueDisplayLabel> amp_display;

    using SliderAttachment = juce::AudioProcessorValueTreeState::SliderAttachment;
    std::unique_ptr<SliderAttachment> mix_mode_attachment, distortion_type_attachment, drive_attachment, amp_attachment,
        dry_wet_attachment;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MasterComponent)
};
