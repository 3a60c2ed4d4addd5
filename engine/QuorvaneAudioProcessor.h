#pragma once

#include "QuorvaneParameters.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_dsp/juce_dsp.h>

/** The plug-in's audio processor: parameters, host state, presets folder,
    preferences file and the signal path. */
class QuorvaneAudioProcessor : public juce::AudioProcessor
{
public:
    QuorvaneAudioProcessor();
    ~QuorvaneAudioProcessor() override;

    const juce::String getName() const override;

    void prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    using AudioProcessor::processBlock; // 32-bit samples only: the double version stays the framework's

    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    bool isMidiEffect() const override;

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int) override;
    const juce::String getProgramName (int) override;
    void changeProgramName (int, const juce::String&) override;

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    /** Replaces the parameter state with a restored tree. A parameter the tree
        lacks keeps its current value and is appended with it, and a value that
        is not a finite number is ignored. Message thread only. */
    void restore_state (const juce::ValueTree& restored);

    const juce::String width_key { "width" };
    const juce::String height_key { "height" };

    juce::AudioProcessorValueTreeState parameter_state;

private:
    // Raw value of each parameter by index; the audio thread's only way in.
    std::vector<std::atomic<float>*> parameter_values;

public:
    juce::File presets_folder;
    const juce::String preset_extension { "qpst" };
    juce::String current_preset_name;
    std::unique_ptr<juce::PropertiesFile> properties_file;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuorvaneAudioProcessor)
};
