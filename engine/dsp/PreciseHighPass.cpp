#include "PreciseHighPass.h"

#include <cmath>

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

void PreciseHighPass::process (const juce::dsp::ProcessContextReplacing<float>& context) noexcept
{
    auto& block = context.getOutputBlock();
    const auto num_samples = block.getNumSamples();

    jassert (block.getNumChannels() <= states.size());

    for (size_t channel = 0; channel < block.getNumChannels(); ++channel)
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

        // A decay into silence that has fallen some 300 dB below full scale ends here, so
        // silence in soon gives exact silence out. (Under a constant input the states hold
        // its value and must stay.)
        constexpr double inaudible = 1.0e-15;

        if (x == 0.0 && std::abs (s1) < inaudible && std::abs (s2) < inaudible)
            s1 = s2 = 0.0;

        states[channel] = { s1, s2 };
    }
}

} // namespace crvl::dsp
