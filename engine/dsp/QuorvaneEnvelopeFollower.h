#pragma once

#include "RecentResult.h"

#include <juce_audio_basics/juce_audio_basics.h>

/** Follows the level of the dry input and gives it as a modulation source:
    output channel 0 is the envelope (0 or more), channel 1 is 1 - clamp (envelope, 0, 1).
    Converts no parameter values: the owner writes `gain`, `attack` and `release` once per
    block, before `process`. Audio thread only; prepare before process. */
class QuorvaneEnvelopeFollower
{
public:
    QuorvaneEnvelopeFollower() = default;

    /** Sizes the buffers for the block size and starts from silence at the new rate. */
    void prepare (double new_sample_rate, int maximum_block_size, int num_channels);

    /** Follows the first num_samples samples of every channel of `input`, which is only
        read, and fills the first num_samples samples of both output channels. */
    void process (juce::AudioBuffer<float>& input, int num_samples) noexcept;

    /** The same as first.process (input, num_samples) and then second.process (input,
        num_samples), in half the time: the two recurrences run side by side. */
    static void process_pair (QuorvaneEnvelopeFollower& first, QuorvaneEnvelopeFollower& second,
                              juce::AudioBuffer<float>& input, int num_samples) noexcept;

    //==============================================================================

    juce::AudioBuffer<float> work_buffer; ///< copy of the block's input
    juce::AudioBuffer<float> output;      ///< channel 0 envelope, channel 1 inverted envelope
    float attack = 1.0f;                  ///< time constant in samples
    float release = 1.0f;                 ///< time constant in samples
    float gain = 1.0f;                    ///< linear input gain (the sensitivity)
    float sample_rate = 44100.0f;         ///< Hz, set by prepare; the owner converts ms with it
    float envelope = 0.0f;                ///< smoothed level, carried across blocks

    /** exp (-1 / attack) and exp (-1 / release), in double, worked out again only when the
        time constant changes. */
    double attack_coefficient() noexcept;
    double release_coefficient() noexcept;

private:
    crvl::dsp::RecentResult<float, double> attack_coefficients, release_coefficients;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuorvaneEnvelopeFollower)
};
