#pragma once

#include "MainComponent.h"

#include <juce_audio_processors/juce_audio_processors.h>

class QuorvaneAudioProcessor;

/** The plug-in's editor window. The main panel is laid out once at the design
    size and scaled uniformly to the window's width; the window keeps a 2:1
    shape when resized, and its size outlives it in the preferences file.
    Message thread only. */
class QuorvaneAudioProcessorEditor : public juce::AudioProcessorEditor
{
public:
    static constexpr int design_width = 800, design_height = 400;
    static constexpr double aspect_ratio = 2.0;
    static constexpr int minimum_width = 200;

    explicit QuorvaneAudioProcessorEditor (QuorvaneAudioProcessor& owner);
    ~QuorvaneAudioProcessorEditor() override;

    void paint (juce::Graphics&) override;
    void resized() override;

private:
    QuorvaneAudioProcessor& audio_processor;
    MainComponent main_component;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuorvaneAudioProcessorEditor)
};
