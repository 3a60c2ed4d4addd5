#pragma once

#include "PreciseHighPass.h"

#include <juce_dsp/juce_dsp.h>

#include <array>

/** The wave-shaping stage of the wet path: four fixed engines, each gain,
    bias, shaping function and a 5 Hz high-pass that removes the bias again. Only the
    engine `type` runs; the others keep their filter states frozen.
    Audio thread only; prepare before process. The owner writes `type` and `drive` once
    per block, before `process`. */
class QuorvaneDistortion
{
public:
    using Engine = juce::dsp::ProcessorChain<
        juce::dsp::Gain<float>,
        juce::dsp::Bias<float>,
        juce::dsp::WaveShaper<float, float (*) (float)>,
        crvl::dsp::PreciseHighPass>;

    /** Indices of the processors inside an engine. */
    enum EngineStage { gain_stage, bias_stage, shaper_stage, high_pass_stage };

    /** Cutoff of each engine's high-pass: low enough to pass the audio band, high enough
        to remove the bias offset within a fraction of a second. */
    static constexpr float high_pass_hz = 5.0f;

    QuorvaneDistortion();

    /** Sets the four shaping functions (soft clip, hard clip, tanhf, sinf), then the four
        drive ranges. Called once, at the end of the constructor; touches no gain, bias
        or filter. */
    void init_engines();

    /** Preparation: biases 0, 0, 0.4, 0.2; then for each engine a 5 Hz Butterworth
        high-pass for the ProcessSpec's rate, primed with what the engine gives for silence,
        so that silence stays silence; the engine prepared with the ProcessSpec and reset. */
    void prepare (const juce::dsp::ProcessSpec& spec);

    /** Processing steps 3-4: gain = drive_ranges[type].convertFrom0to1 (drive), set at
        once as engines[type]'s gain, then that engine processes the block in place. */
    void process (const juce::dsp::ProcessContextReplacing<float>& context) noexcept;

    int type = 0;       ///< selected engine 0..3: roundToInt of "distortion_type"
    float drive = 0.0f; ///< 0..1: "distortion_drive" % x 0.01
    std::array<Engine, 4> engines;
    std::array<juce::NormalisableRange<float>, 4> drive_ranges;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuorvaneDistortion)
};
