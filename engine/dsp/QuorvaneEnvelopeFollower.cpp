#include "QuorvaneEnvelopeFollower.h"

#include <cmath>

void QuorvaneEnvelopeFollower::prepare (double new_sample_rate, int maximum_block_size, int num_channels)
{
    // 16 spare samples, as every work buffer of the signal path has.
    const int capacity = maximum_block_size + 16;

    work_buffer.setSize (num_channels, capacity, false, false, false);
    work_buffer.clear();
    output.setSize (2, capacity, false, false, false);
    output.clear();
    sample_rate = static_cast<float> (new_sample_rate);
    envelope = 0.0f;
}

void QuorvaneEnvelopeFollower::process (juce::AudioBuffer<float>& input, int num_samples) noexcept
{
    const int num_channels = input.getNumChannels();

    jassert (num_channels >= 1 && num_channels <= work_buffer.getNumChannels());
    jassert (num_samples <= work_buffer.getNumSamples() && num_samples <= output.getNumSamples());

    // 1. A buffer marked as clear copies as zeros.
    for (int channel = 0; channel < num_channels; ++channel)
        work_buffer.copyFrom (channel, 0, input, channel, 0, num_samples);

    // 2. Once per block, in double.
    const double attack_coefficient = std::exp (-1.0 / static_cast<double> (attack));
    const double release_coefficient = std::exp (-1.0 / static_cast<double> (release));
    const double channel_share = 1.0 / static_cast<double> (num_channels);

    const float* const* channels = work_buffer.getArrayOfReadPointers();
    auto* level = output.getWritePointer (0);
    auto* inverted = output.getWritePointer (1);

    // 3. The rounding points are fixed: the mean in double rounded to float, the
    // gain in float, the decayed envelope rounded to float, the sum in double rounded to float.
    for (int i = 0; i < num_samples; ++i)
    {
        float sum = 0.0f;

        for (int channel = 0; channel < num_channels; ++channel)
            sum += std::abs (channels[channel][i]);

        const float x = static_cast<float> (static_cast<double> (sum) * channel_share) * gain;
        const double k = x > envelope ? attack_coefficient : release_coefficient; // a tie releases

        const float decayed = static_cast<float> (static_cast<double> (envelope) * k);
        envelope = static_cast<float> (static_cast<double> (decayed) + static_cast<double> (x) * (1.0 - k));

        level[i] = envelope;
    }

    // 4. 1 - clamp (envelope, 0, 1).
    for (int i = 0; i < num_samples; ++i)
        inverted[i] = level[i] < 0.0f ? 1.0f : 1.0f - juce::jmin (1.0f, level[i]);
}
