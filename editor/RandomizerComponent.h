#pragma once

#include "Palette.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

/** The "RANDOMIZER" panel: four buttons, each setting a fixed group of parameters
    to values drawn uniformly over their normalised ranges. Message thread only. */
class RandomizerComponent : public juce::Component
{
public:
    explicit RandomizerComponent (juce::AudioProcessorValueTreeState& parameter_state);
    ~RandomizerComponent() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    /** Sets one parameter, by index, to a random unsnapped value through the state tree. */
    void randomize_parameter (int index);

private:
    void init_icon_button (juce::DrawableButton& button, const void* data, unsigned long size, const juce::Colour& colour);

    juce::AudioProcessorValueTreeState& parameter_state;
    juce::SharedResourcePointer<QuorvaneUITools::Palette> palette;

    juce::Label header;
    juce::DrawableButton delay1_button { "delay1", juce::DrawableButton::ImageFitted };
    juce::DrawableButton delay2_button { "delay2", juce::DrawableButton::ImageFitted };
    juce::DrawableButton mods_button { "mods", juce::DrawableButton::ImageFitted };
    juce::DrawableButton all_button { "all", juce::DrawableButton::ImageFitted };

    juce::Random random { 1 };

    std::vector<int> delay1_parameters, delay2_parameters, mods_parameters, all_parameters;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RandomizerComponent)
};
