#pragma once

#include <juce_dsp/juce_dsp.h>

#include <array>
#include <vector>

namespace crvl::dsp
{

/** A second-order Butterworth high-pass for cutoffs far below the audio band, with its
    coefficients and state in double precision: in float, a cutoff of a few hertz at a high
    sample rate rounds a pole onto or outside the unit circle, and the filter runs away.
    `offset` is taken off every input sample first: a constant that the stage before gives
    for silence, which the filter then never has to settle out.
    Audio thread only; prepare (which allocates) before process. */
class PreciseHighPass
{
public:
    /** Coefficients for the ProcessSpec's rate and `frequency`, and one cleared state per
        channel. */
    void prepare (const juce::dsp::ProcessSpec& spec);

    void reset() noexcept;

    /** Filters every channel of the block in place, each with its own state. */
    void process (const juce::dsp::ProcessContextReplacing<float>& context) noexcept;

    /** first.process, every sample times gain, then second.process, in one pass over a
        stereo block: the two filters' recurrences overlap. Bit for bit the same. */
    static void process_cascade (PreciseHighPass& first, float gain, PreciseHighPass& second,
                                 const juce::dsp::ProcessContextReplacing<float>& context) noexcept;

    double frequency = 20.0; ///< cutoff in Hz, taken at the next prepare
    float offset = 0.0f;     ///< subtracted from the input before filtering

    /** Transposed direct form II; the numerator is b0 (1, -2, 1). */
    double b0 = 1.0, a1 = 0.0, a2 = 0.0;

private:
    struct StereoLanes;

    std::vector<std::array<double, 2>> states;

    JUCE_LEAK_DETECTOR (PreciseHighPass)
};

} // namespace crvl::dsp
