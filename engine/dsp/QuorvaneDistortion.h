#pragma once

#include "BlockShaper.h"
#include "PreciseHighPass.h"
#include "RecentResult.h"

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
        crvl::dsp::BlockShaper,
        crvl::dsp::PreciseHighPass>;

    /** Indices of the processors inside an engine. */
    enum EngineStage { gain_stage, bias_stage, shaper_stage, high_pass_stage };

    /** Cutoff of each engine's high-pass: low enough to pass the audio band, high enough
        to remove the bias offset within a fraction of a second. */
    static constexpr float high_pass_hz = 5.0f;

    /** Offsets added before the overdrive (tanh) and foldover (sine) shapers. Both curves
        are odd, so unbiased they bend the two half-waves alike and add odd harmonics only;
        off centre they bend them unequally, which brings in the even harmonics that make
        these two engines sound warmer than the clippers. The amounts are voicing: how much
        of that colour each engine has. The high-pass takes the offset out again. */
    static constexpr float overdrive_bias = 0.4f, foldover_bias = 0.2f;

    QuorvaneDistortion();

    /** Sets the four shaping functions (soft clip, hard clip, tanhf, sinf), then the four
        drive ranges. Called once, at the end of the constructor; touches no gain, bias
        or filter. */
    void init_engines();

    /** Preparation: the biases; then for each engine a 5 Hz Butterworth high-pass for the
        ProcessSpec's rate, primed with what the engine gives for silence, so that silence
        stays silence; the engine prepared with the ProcessSpec and reset. */
    void prepare (const juce::dsp::ProcessSpec& spec);

    /** Runs the selected engine on the block in place, at the gain its drive range gives
        `drive`, from this block on; the other engines keep their state for later. */
    void process (const juce::dsp::ProcessContextReplacing<float>& context) noexcept;

    /** The same as process, then every sample times following_gain, then following's
        process; the engine's high-pass and the following one run in one pass. */
    void process (const juce::dsp::ProcessContextReplacing<float>& context, float following_gain,
                  crvl::dsp::PreciseHighPass& following) noexcept;

    int type = 0;       ///< selected engine 0..3: roundToInt of "distortion_type"
    float drive = 0.0f; ///< 0..1: "distortion_drive" % x 0.01
    std::array<Engine, 4> engines;
    std::array<juce::NormalisableRange<float>, 4> drive_ranges;

private:
    /** Sets the selected engine's gain from its drive range at `drive`; gives the engine. */
    Engine& engine_at_drive() noexcept;

    std::array<crvl::dsp::RecentResult<float, float>, 4> gains_at_drive;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuorvaneDistortion)
};
