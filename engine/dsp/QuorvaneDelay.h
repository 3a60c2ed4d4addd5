#pragma once

#include <juce_dsp/juce_dsp.h>

#include <vector>

namespace crvl::dsp
{

/** A circular delay line with a per-sample modulated fractional delay time, linear
    interpolation, a first-order damping low-pass and tanh saturation in the feedback
    path, and a ramped output gain. Converts no parameter values: the owner
    writes the fields below in the object's own units once per block, before `process`.
    Audio thread only; prepare before process. Instantiated for float. */
template <typename SampleType>
class QuorvaneDelay
{
public:
    QuorvaneDelay();

    /** Sizes the line to ProcessSpec channels x L samples (L = trunc (sample_rate x
        max_delay_seconds), in float) and clears it; sizes delay_times to the maximum block
        size + 16; adds pass-through damping filters and write positions up to the ProcessSpec's
        channel count (neither vector shrinks) and resets every filter; re-arms the output
        gain ramp at 0.06 s. A write position that the shortened line no longer holds is
        wrapped modulo L. Leaves delay_samples, feedback and the modulation fields alone. */
    void prepare (const juce::dsp::ProcessSpec& spec);

    /** Processes the context's block in place, every channel: delay times of the block,
        feedback of the block, then per channel and sample read, damp, saturate and write;
        finally the ramped output gain. Allocates nothing while the damping coefficients
        stay first order. */
    void process (const juce::dsp::ProcessContextReplacing<SampleType>& context) noexcept;

    /** The line length L in samples that `prepare` derives from a sample rate and the
        longest delay: their product in float, truncated. */
    static int line_length_for (SampleType sample_rate_hz, SampleType seconds) noexcept;

    //==============================================================================

    const SampleType* time_mod_source = nullptr;     ///< one channel of a source's output, or null
    SampleType time_mod_depth = 0;                   ///< 0..1
    const SampleType* feedback_mod_source = nullptr; ///< one channel of a source's output, or null
    SampleType feedback_mod_depth = 0;               ///< 0..1
    SampleType sample_rate = 44100;                  ///< Hz, set by prepare
    SampleType max_delay_seconds = 1;                ///< longest delay; the owner sets it before prepare
    juce::AudioBuffer<SampleType> delay_line;        ///< channels x L, circular
    juce::SmoothedValue<SampleType> delay_samples { SampleType (441) }; ///< delay time in samples; 0-step ramp
    juce::AudioBuffer<SampleType> delay_times;       ///< 1 x (maximum block size + 16): time of each sample
    SampleType feedback = 0;                         ///< 0..1
    std::vector<int> write_positions;                ///< per channel, in [0, L)
    std::vector<juce::dsp::IIR::Filter<SampleType>> damping_filters; ///< per channel, first order
    juce::dsp::LookupTableTransform<SampleType> saturation; ///< tanh over -5..5, 1024 points
    juce::dsp::Gain<SampleType> output_gain;         ///< linear, ramped over 0.06 s after prepare

    //==============================================================================
    /** Saturation table: tanh sampled at 1024 points over [-5, 5], beyond which tanh is
        within 1e-4 of +-1. */
    static constexpr SampleType saturation_limit = 5;
    static constexpr size_t saturation_points = 1024;

    /** Ramp of output_gain, the 60 ms of every gain ramp of the plug-in. */
    static constexpr double output_gain_ramp_seconds = 0.06;

private:
    SampleType saturate (SampleType value) const noexcept;

    template <size_t NumChannels>
    void process_channels (const juce::dsp::AudioBlock<SampleType>& block, size_t first_channel,
                           int num_samples, SampleType block_feedback) noexcept;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuorvaneDelay)
};

extern template class QuorvaneDelay<float>;

} // namespace crvl::dsp
