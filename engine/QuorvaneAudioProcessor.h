#pragma once

#include "PreciseHighPass.h"
#include "QuorvaneDelay.h"
#include "QuorvaneDistortion.h"
#include "QuorvaneEnvelopeFollower.h"
#include "QuorvaneLFO.h"
#include "QuorvaneParameters.h"
#include "RecentResult.h"

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
        is not a finite number is ignored. A tree whose snapshot would not read
        back as itself changes nothing and gives false. Message thread only. */
    bool restore_state (const juce::ValueTree& restored);

    const juce::String width_key { "width" };
    const juce::String height_key { "height" };

    juce::AudioProcessorValueTreeState parameter_state;

private:
    friend struct ShapingByLibrary; // the golden renders' reference swaps the shaping functions

    void poll_delay_mod_params (int delay_index) noexcept;
    float raw (int index) const noexcept { return parameter_values[(size_t) index]->load (std::memory_order_relaxed); }
    int rounded (int index) const noexcept { return juce::roundToInt (raw (index)); }
    float gain_of (int index) noexcept; // a level parameter in decibels as a linear gain
    void update_delay (int delay_index) noexcept;
    void update_envelope (QuorvaneEnvelopeFollower& envelope, int first_index) noexcept;
    void update_lfo (QuorvaneLFO& lfo, int first_index) noexcept;
    void run_routing (juce::dsp::AudioBlock<float> wet, int num_samples) noexcept;
    void mix_dry_wet (juce::AudioBuffer<float>& buffer, int num_samples) noexcept;

    // Raw value of each parameter by index; the audio thread's only way in.
    std::vector<std::atomic<float>*> parameter_values;
    std::array<crvl::dsp::RecentResult<float, float>, QuorvaneParameters::num_parameters> gains_by_index;

    // Signal path: audio thread only, sized by prepareToPlay.
    crvl::dsp::QuorvaneDelay<float> delay1, delay2;
    juce::AudioBuffer<float> scratch_buffer_1, scratch_buffer_2;
    const std::array<crvl::dsp::QuorvaneDelay<float>*, 2> delays { &delay1, &delay2 };
    int mix_mode = 0;
    QuorvaneDistortion distortion;
    juce::dsp::Gain<float> master_gain;
    juce::SmoothedValue<float> dry_wet { 0.0f };
    juce::AudioBuffer<float> dry_wet_ramp;
    crvl::dsp::PreciseHighPass output_high_pass;
    // Keeps subsonic content off the wet path and leaves the lowest notes alone.
    float output_high_pass_frequency = 15.0f, output_high_pass_sample_rate = 44100.0f;
    juce::AudioBuffer<float> wet_buffer;
    QuorvaneEnvelopeFollower envelope1, envelope2;
    QuorvaneLFO lfo1, lfo2;
    float bpm = 120.0f;
    std::array<bool, 2> lfo_is_read {}; // by either delay in the current block; poll_delay_mod_params sets it

public:
    juce::File presets_folder;
    const juce::String preset_extension { "qpst" };
    juce::String current_preset_name;
    std::unique_ptr<juce::PropertiesFile> properties_file;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuorvaneAudioProcessor)
};
