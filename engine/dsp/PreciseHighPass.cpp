#include "PreciseHighPass.h"

#include <cmath>

#if defined(__SSE2__)
 #include <emmintrin.h>
#endif

namespace crvl::dsp
{

void PreciseHighPass::prepare (const juce::dsp::ProcessSpec& spec)
{
    // The bilinear transform of the analogue Butterworth high-pass, Q = 1 / sqrt (2).
    const auto n = std::tan (juce::MathConstants<double>::pi * frequency / spec.sampleRate);
    const auto c = 1.0 / (1.0 + juce::MathConstants<double>::sqrt2 * n + n * n);

    b0 = c;
    a1 = 2.0 * c * (n * n - 1.0);
    a2 = c * (1.0 - juce::MathConstants<double>::sqrt2 * n + n * n);

    states.assign (spec.numChannels, {});
}

void PreciseHighPass::reset() noexcept
{
    for (auto& state : states)
        state = {};
}

namespace
{
// A decay into silence that has fallen some 300 dB below full scale ends here, so silence
// in soon gives exact silence out. (Under a constant input, last_input not 0, the states
// hold its value and must stay.)
constexpr double inaudible = 1.0e-15;

void end_inaudible_decay (std::array<double, 2>& state, double last_input) noexcept
{
    if (last_input == 0.0 && std::abs (state[0]) < inaudible && std::abs (state[1]) < inaudible)
        state = {};
}
} // namespace

#if defined(__SSE2__)
// One stereo pair's coefficients and states in registers, lanes 0 and 1.
struct PreciseHighPass::StereoLanes
{
    StereoLanes (const PreciseHighPass& filter, size_t channel) noexcept
        : gain (_mm_set1_pd (filter.b0)), feedback_1 (_mm_set1_pd (filter.a1)), feedback_2 (_mm_set1_pd (filter.a2)),
          offsets (_mm_set1_pd (static_cast<double> (filter.offset))),
          s1 (_mm_set_pd (filter.states[channel + 1][0], filter.states[channel][0])),
          s2 (_mm_set_pd (filter.states[channel + 1][1], filter.states[channel][1]))
    {
    }

    /** One sample of both channels, floats in lanes 0 and 1 in and out. */
    __m128 step (__m128 input) noexcept
    {
        x = _mm_mul_pd (gain, _mm_sub_pd (_mm_cvtps_pd (input), offsets));
        const auto y = _mm_add_pd (x, s1);
        s1 = _mm_sub_pd (_mm_sub_pd (s2, _mm_mul_pd (two, x)), _mm_mul_pd (feedback_1, y));
        s2 = _mm_sub_pd (x, _mm_mul_pd (feedback_2, y));
        return _mm_cvtpd_ps (y);
    }

    void store (PreciseHighPass& filter, size_t channel) const noexcept
    {
        auto& left = filter.states[channel];
        auto& right = filter.states[channel + 1];
        _mm_storel_pd (&left[0], s1);
        _mm_storeh_pd (&right[0], s1);
        _mm_storel_pd (&left[1], s2);
        _mm_storeh_pd (&right[1], s2);

        alignas (16) double last_inputs[2];
        _mm_store_pd (last_inputs, x);
        end_inaudible_decay (left, last_inputs[0]);
        end_inaudible_decay (right, last_inputs[1]);
    }

    const __m128d gain, feedback_1, feedback_2, offsets, two = _mm_set1_pd (2.0);
    __m128d s1, s2, x = _mm_setzero_pd();
};
#endif

void PreciseHighPass::process_cascade (PreciseHighPass& first, float gain, PreciseHighPass& second,
                                       const juce::dsp::ProcessContextReplacing<float>& context) noexcept
{
    auto& block = context.getOutputBlock();

   #if defined(__SSE2__)
    if (block.getNumChannels() == 2 && first.states.size() >= 2 && second.states.size() >= 2)
    {
        auto* left = block.getChannelPointer (0);
        auto* right = block.getChannelPointer (1);
        StereoLanes before (first, 0), after (second, 0);
        const auto gains = _mm_set1_ps (gain);

        for (size_t i = 0; i < block.getNumSamples(); ++i)
        {
            const auto input = _mm_unpacklo_ps (_mm_load_ss (left + i), _mm_load_ss (right + i));
            const auto output = after.step (_mm_mul_ps (before.step (input), gains));
            _mm_store_ss (left + i, output);
            _mm_store_ss (right + i, _mm_shuffle_ps (output, output, 1));
        }

        before.store (first, 0);
        after.store (second, 0);
        return;
    }
   #endif

    first.process (context);
    block.multiplyBy (gain);
    second.process (context);
}

void PreciseHighPass::process (const juce::dsp::ProcessContextReplacing<float>& context) noexcept
{
    auto& block = context.getOutputBlock();
    const auto num_samples = block.getNumSamples();
    const auto num_channels = block.getNumChannels();
    size_t channel = 0;

    jassert (num_channels <= states.size());

   #if defined(__SSE2__)
    // A stereo pair in one register of two doubles: the two recurrences cost one. Each
    // lane takes the steps of the single-channel loop below, so the bits are the same.
    for (; channel + 1 < num_channels; channel += 2)
    {
        auto* left = block.getChannelPointer (channel);
        auto* right = block.getChannelPointer (channel + 1);
        StereoLanes lanes (*this, channel);

        for (size_t i = 0; i < num_samples; ++i)
        {
            const auto output = lanes.step (_mm_unpacklo_ps (_mm_load_ss (left + i), _mm_load_ss (right + i)));
            _mm_store_ss (left + i, output);
            _mm_store_ss (right + i, _mm_shuffle_ps (output, output, 1));
        }

        lanes.store (*this, channel);
    }
   #endif

    for (; channel < num_channels; ++channel)
    {
        auto* samples = block.getChannelPointer (channel);
        auto [s1, s2] = states[channel];
        double x = 0.0;

        for (size_t i = 0; i < num_samples; ++i)
        {
            x = b0 * (static_cast<double> (samples[i]) - static_cast<double> (offset));
            const auto y = x + s1;
            s1 = s2 - 2.0 * x - a1 * y;
            s2 = x - a2 * y;
            samples[i] = static_cast<float> (y);
        }

        states[channel] = { s1, s2 };
        end_inaudible_decay (states[channel], x);
    }
}

} // namespace crvl::dsp
