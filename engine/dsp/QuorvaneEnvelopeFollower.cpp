#include "QuorvaneEnvelopeFollower.h"

#include "WorkBufferCapacity.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

void QuorvaneEnvelopeFollower::prepare (double new_sample_rate, int maximum_block_size, int num_channels)
{
    const int capacity = crvl::dsp::work_buffer_capacity (maximum_block_size);

    work_buffer.setSize (num_channels, capacity, false, false, false);
    work_buffer.clear();
    output.setSize (2, capacity, false, false, false);
    output.clear();
    sample_rate = static_cast<float> (new_sample_rate);
    envelope = 0.0f;
}

namespace
{
// condition ? if_true : if_false, chosen by bits rather than by a branch: on a noisy input
// the attack/release choice is close to a coin toss, which a branch keeps mispredicting.
double select (bool condition, double if_true, double if_false) noexcept
{
    std::uint64_t true_bits, false_bits;
    std::memcpy (&true_bits, &if_true, sizeof (double));
    std::memcpy (&false_bits, &if_false, sizeof (double));

    const auto mask = std::uint64_t (0) - static_cast<std::uint64_t> (condition);
    const auto bits = (true_bits & mask) | (false_bits & ~mask);

    double chosen;
    std::memcpy (&chosen, &bits, sizeof (double));
    return chosen;
}

// Follows `input` with each of the followers in one pass. Each follower is its own
// recurrence, latency-bound on its float <-> double round trips; side by side in one
// loop they overlap instead of running one after the other. The arithmetic of each is
// exactly that of a follower alone.
template <size_t NumFollowers>
void follow (const std::array<QuorvaneEnvelopeFollower*, NumFollowers>& followers,
             juce::AudioBuffer<float>& input, int num_samples) noexcept
{
    const int num_channels = input.getNumChannels();

    std::array<double, NumFollowers> attack_coefficients, release_coefficients;
    std::array<float, NumFollowers> gains, envelopes;
    std::array<float*, NumFollowers> levels;

    for (size_t f = 0; f < NumFollowers; ++f)
    {
        auto& follower = *followers[f];

        jassert (num_channels >= 1 && num_channels <= follower.work_buffer.getNumChannels());
        jassert (num_samples <= follower.work_buffer.getNumSamples() && num_samples <= follower.output.getNumSamples());

        for (int channel = 0; channel < num_channels; ++channel)
            follower.work_buffer.copyFrom (channel, 0, input, channel, 0, num_samples);

        // In double: at a long release and a high rate the coefficient lies within 1e-5
        // of 1, where a float would keep two digits of 1 - k.
        attack_coefficients[f] = std::exp (-1.0 / static_cast<double> (follower.attack));
        release_coefficients[f] = std::exp (-1.0 / static_cast<double> (follower.release));
        gains[f] = follower.gain;
        envelopes[f] = follower.envelope;
        levels[f] = follower.output.getWritePointer (0);
    }

    const double channel_share = 1.0 / static_cast<double> (num_channels);

    // Every work buffer holds the same copy of the input: the first one serves all.
    const float* const* channels = followers[0]->work_buffer.getArrayOfReadPointers();

    // Every rounding point below is deliberate: the output is compared bit for bit.
    for (int i = 0; i < num_samples; ++i)
    {
        float sum = 0.0f;

        for (int channel = 0; channel < num_channels; ++channel)
            sum += std::abs (channels[channel][i]);

        const float mean = static_cast<float> (static_cast<double> (sum) * channel_share);

        for (size_t f = 0; f < NumFollowers; ++f)
        {
            const float x = mean * gains[f];
            const double k = select (x > envelopes[f], attack_coefficients[f], release_coefficients[f]); // a tie releases

            const float decayed = static_cast<float> (static_cast<double> (envelopes[f]) * k);
            envelopes[f] = static_cast<float> (static_cast<double> (decayed) + static_cast<double> (x) * (1.0 - k));

            levels[f][i] = envelopes[f];
        }
    }

    for (size_t f = 0; f < NumFollowers; ++f)
    {
        followers[f]->envelope = envelopes[f];

        // The inverted envelope stays within 0..1 however loud the input gets.
        const auto* level = levels[f];
        auto* inverted = followers[f]->output.getWritePointer (1);

        for (int i = 0; i < num_samples; ++i)
            inverted[i] = level[i] < 0.0f ? 1.0f : 1.0f - juce::jmin (1.0f, level[i]);
    }
}
} // namespace

void QuorvaneEnvelopeFollower::process (juce::AudioBuffer<float>& input, int num_samples) noexcept
{
    follow<1> ({ this }, input, num_samples);
}

void QuorvaneEnvelopeFollower::process_pair (QuorvaneEnvelopeFollower& first, QuorvaneEnvelopeFollower& second,
                                             juce::AudioBuffer<float>& input, int num_samples) noexcept
{
    follow<2> ({ &first, &second }, input, num_samples);
}
