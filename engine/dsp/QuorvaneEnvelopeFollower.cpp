#include "QuorvaneEnvelopeFollower.h"

#include "WorkBufferCapacity.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
 #include <emmintrin.h>
#endif

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
// The most the follower takes in as a level, +120 dB over full scale: beyond any real
// signal, yet times the largest sensitivity still finite, and an envelope this high
// decays in seconds like a loud one's. A level near the float maximum (or channels
// whose sum overflows) would otherwise leave the envelope at infinity for good.
constexpr float loudest_level = 1.0e6f;

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
        attack_coefficients[f] = follower.attack_coefficient();
        release_coefficients[f] = follower.release_coefficient();
        gains[f] = follower.gain;
        envelopes[f] = follower.envelope;
        levels[f] = follower.output.getWritePointer (0);
    }

    const double channel_share = 1.0 / static_cast<double> (num_channels);

    // Every work buffer holds the same copy of the input: the first one serves all.
    const float* const* channels = followers[0]->work_buffer.getArrayOfReadPointers();

    auto mean_of = [channels, num_channels, channel_share] (int i) noexcept
    {
        float sum = 0.0f;

        for (int channel = 0; channel < num_channels; ++channel)
            sum += std::abs (channels[channel][i]);

        return juce::jmin (static_cast<float> (static_cast<double> (sum) * channel_share), loudest_level);
    };

   #if defined(__SSE2__)
    // Two followers in one register each of two floats and two doubles: the same steps,
    // lane by lane, in about half the instructions.
    if constexpr (NumFollowers == 2)
    {
        const auto attack = _mm_set_pd (attack_coefficients[1], attack_coefficients[0]);
        const auto release = _mm_set_pd (release_coefficients[1], release_coefficients[0]);
        const auto gain = _mm_setr_ps (gains[0], gains[1], 0.0f, 0.0f);
        const auto one = _mm_set1_pd (1.0);
        auto level = _mm_setr_ps (envelopes[0], envelopes[1], 0.0f, 0.0f);

        for (int i = 0; i < num_samples; ++i)
        {
            const auto x = _mm_mul_ps (_mm_set1_ps (mean_of (i)), gain);
            const auto rising = _mm_castps_pd (_mm_unpacklo_ps (_mm_cmpgt_ps (x, level), _mm_cmpgt_ps (x, level))); // a tie releases
            const auto k = _mm_or_pd (_mm_and_pd (rising, attack), _mm_andnot_pd (rising, release));

            const auto decayed = _mm_cvtpd_ps (_mm_mul_pd (_mm_cvtps_pd (level), k));
            level = _mm_cvtpd_ps (_mm_add_pd (_mm_cvtps_pd (decayed), _mm_mul_pd (_mm_cvtps_pd (x), _mm_sub_pd (one, k))));

            _mm_store_ss (levels[0] + i, level);
            _mm_store_ss (levels[1] + i, _mm_shuffle_ps (level, level, 1));
        }

        alignas (16) float last[4];
        _mm_store_ps (last, level);
        envelopes = { last[0], last[1] };
    }
    else
   #endif
    // Every rounding point below is deliberate: the output is compared bit for bit.
    for (int i = 0; i < num_samples; ++i)
    {
        const float mean = mean_of (i);

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

double QuorvaneEnvelopeFollower::attack_coefficient() noexcept
{
    return attack_coefficients.get (attack, [] (float time) { return std::exp (-1.0 / static_cast<double> (time)); });
}

double QuorvaneEnvelopeFollower::release_coefficient() noexcept
{
    return release_coefficients.get (release, [] (float time) { return std::exp (-1.0 / static_cast<double> (time)); });
}

void QuorvaneEnvelopeFollower::process (juce::AudioBuffer<float>& input, int num_samples) noexcept
{
    follow<1> ({ this }, input, num_samples);
}

void QuorvaneEnvelopeFollower::process_pair (QuorvaneEnvelopeFollower& first, QuorvaneEnvelopeFollower& second,
                                             juce::AudioBuffer<float>& input, int num_samples) noexcept
{
    follow<2> ({ &first, &second }, input, num_samples);
}
