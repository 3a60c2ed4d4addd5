#pragma once

#include "RecentResult.h"

#include <juce_dsp/juce_dsp.h>

#include <array>
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

    /** Sizes a silent line of max_delay_seconds at the ProcessSpec's rate and channel count, and the
        work buffers for its block size. The owner's settings (delay time, feedback,
        damping, modulation) survive it. */
    void prepare (const juce::dsp::ProcessSpec& spec);

    /** Delays the context's block in place, at most the prepared block size plus the
        spare samples. Allocates nothing. */
    void process (const juce::dsp::ProcessContextReplacing<SampleType>& context) noexcept;

    /** Runs two delays on their blocks (two channels each) in one pass, their four channel
        recurrences side by side, with results bit for bit those of first.process and then
        second.process. With second_follows_first, both blocks are the same and the second
        delay takes in the first's output (after its gain), as in a serial routing. With an
        input block, both delays take that in instead of their own block's content, as if
        it had been copied into each first (it may be one of them). A layout that cannot
        share the pass (other channel counts, channels at different write positions) runs
        the two one after the other. */
    static void process_side_by_side (QuorvaneDelay& first, juce::dsp::AudioBlock<SampleType> first_block,
                                      QuorvaneDelay& second, juce::dsp::AudioBlock<SampleType> second_block,
                                      bool second_follows_first, juce::dsp::AudioBlock<SampleType> input = {}) noexcept;

    /** Damps the feedback path of every channel with a first-order low-pass at cutoff_hz
        for the prepared rate. Allocates nothing; the filter states carry on. */
    void set_damping_frequency (SampleType cutoff_hz) noexcept;

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
    juce::AudioBuffer<SampleType> delay_times;       ///< 1 x work buffer capacity: time of each sample
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

    /** Within this of 0 the line is written tanh's series instead of the table, whose float
        index drops the low bits of a value so small. */
    static constexpr SampleType saturation_half_step = saturation_limit / static_cast<SampleType> (saturation_points - 1);

    /** Below this (200 dB under full scale) the line is written 0: a fading echo ends in zeros. */
    static constexpr SampleType saturation_inaudible = static_cast<SampleType> (1.0e-10);

    /** Ramp of output_gain, the 60 ms of every gain ramp of the plug-in. */
    static constexpr double output_gain_ramp_seconds = 0.06;

private:
    SampleType saturate (SampleType value) const noexcept;

    /** Works out the delay time of each of the block's samples into delay_times, and gives
        the block's feedback. */
    SampleType begin_block (int num_samples) noexcept;

    /** Whether the block can join a side-by-side pass: two channels at one write position,
        first-order damping with finite coefficients. */
    bool can_run_side_by_side (const juce::dsp::AudioBlock<SampleType>& block) const noexcept;

    // The saturation table's entries and its index mapping, as `saturation` reads them,
    // for reading four values at once.
    std::array<SampleType, saturation_points + 1> saturation_entries {};
    SampleType saturation_scaler = 0, saturation_offset = 0;

    // The damping coefficients for the last cutoff and rate they were made for.
    RecentResult<std::array<SampleType, 2>, std::array<SampleType, 4>> damping_coefficients;

    // The output gain of each sample of the block, for a second delay that takes in this one's output.
    juce::AudioBuffer<SampleType> gain_ramp;

    template <size_t NumChannels>
    void process_channels (const juce::dsp::AudioBlock<SampleType>& block, size_t first_channel,
                           int num_samples, SampleType block_feedback) noexcept;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuorvaneDelay)
};

extern template class QuorvaneDelay<float>;

} // namespace crvl::dsp
