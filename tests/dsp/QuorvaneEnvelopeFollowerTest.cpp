#include "QuorvaneEnvelopeFollower.h"

#include "DspTestSupport.h"

#include <cmath>

namespace
{
namespace qt = quorvane::test;

juce::AudioBuffer<float> constant_input (std::initializer_list<float> channel_values, int num_samples)
{
    juce::AudioBuffer<float> buffer (static_cast<int> (channel_values.size()), num_samples);
    int c = 0;

    for (float value : channel_values)
        juce::FloatVectorOperations::fill (buffer.getWritePointer (c++), value, num_samples);

    return buffer;
}

void set (QuorvaneEnvelopeFollower& follower, float attack, float release, float gain = 1.0f)
{
    follower.attack = attack;
    follower.release = release;
    follower.gain = gain;
}

std::vector<float> level (const QuorvaneEnvelopeFollower& follower, int n)
{
    return { follower.output.getReadPointer (0), follower.output.getReadPointer (0) + n };
}

/** The follower written out with its rounding points; Float and Double round nowhere else. */
enum class Precision { reference, all_float, all_double };

std::vector<float> model (const juce::AudioBuffer<float>& input, float attack, float release, float gain, float& envelope, Precision precision)
{
    const int m = input.getNumChannels();
    const double a = qt::runtime::exp (-1.0 / attack), r = qt::runtime::exp (-1.0 / release);
    const float af = qt::runtime::exp (-1.0f / attack), rf = qt::runtime::exp (-1.0f / release);
    double env_double = envelope;
    std::vector<float> out;

    for (int i = 0; i < input.getNumSamples(); ++i)
    {
        float s = 0.0f;
        for (int c = 0; c < m; ++c)
            s += std::abs (input.getSample (c, i));

        if (precision == Precision::reference)
        {
            const float x = static_cast<float> (static_cast<double> (s) * (1.0 / m)) * gain;
            const double k = x > envelope ? a : r;
            envelope = static_cast<float> (static_cast<float> (envelope * k) + x * (1.0 - k));
        }
        else if (precision == Precision::all_float)
        {
            const float x = s * (1.0f / static_cast<float> (m)) * gain, k = x > envelope ? af : rf;
            envelope = envelope * k + x * (1.0f - k);
        }
        else
        {
            const double x = static_cast<double> (s) / m * gain, k = x > env_double ? a : r;
            env_double = env_double * k + x * (1.0 - k);
            envelope = static_cast<float> (env_double);
        }

        out.push_back (envelope);
    }

    return out;
}
} // namespace

TEST (QuorvaneEnvelopeFollower, PrepareSizesBuffersAndRestartsAtZero)
{
    QuorvaneEnvelopeFollower follower;
    follower.envelope = 0.7f;
    follower.prepare (48000.0, 256, 3);
    EXPECT_EQ (follower.work_buffer.getNumChannels(), 3);
    EXPECT_EQ (follower.work_buffer.getNumSamples(), 256 + 16);
    EXPECT_EQ (follower.output.getNumChannels(), 2);
    EXPECT_EQ (follower.output.getNumSamples(), 256 + 16);
    EXPECT_EQ (follower.sample_rate, 48000.0f);
    EXPECT_EQ (follower.envelope, 0.0f);
}

TEST (QuorvaneEnvelopeFollower, RisesWithTheAttackAndFallsWithTheReleaseCoefficientInDouble)
{
    QuorvaneEnvelopeFollower follower;
    follower.prepare (44100.0, 512, 2);
    set (follower, 441.0f, 2646.0f);
    auto loud = constant_input ({ 1.0f, -1.0f }, 512);
    follower.process (loud, 1);
    EXPECT_EQ (follower.output.getSample (0, 0), static_cast<float> (1.0 - qt::runtime::exp (-1.0 / 441.0)));

    follower.prepare (44100.0, 512, 2);
    follower.process (loud, 441);
    EXPECT_NEAR (follower.output.getSample (0, 440), 1.0f - std::exp (-1.0f), 1e-4f); // 1 - 1/e after T

    // Silence, or a loud input at gain 0, decays by the release coefficient, rounded each sample.
    for (const auto& [input, gain] : { std::pair { 0.0f, 1.0f }, std::pair { 1.0f, 0.0f } })
    {
        SCOPED_TRACE (gain);
        set (follower, 10.0f, 100.0f, gain);
        follower.envelope = 0.8f;
        auto block = constant_input ({ input, input }, 64);
        follower.process (block, 64);
        float expected = 0.8f;

        for (int i = 0; i < 64; ++i)
        {
            expected = static_cast<float> (static_cast<double> (expected) * qt::runtime::exp (-1.0 / 100.0));
            ASSERT_EQ (follower.output.getSample (0, i), expected) << i;
        }
    }
}

TEST (QuorvaneEnvelopeFollower, ConvergesToTheChannelMeanOfTheLevelTimesTheGain)
{
    const struct { float left, right, gain, envelope, inverted; } cases[] {
        { 1.0f, -1.0f, 0.5f, 0.5f, 0.5f }, { 0.25f, -0.25f, 2.0f, 0.5f, 0.5f },
        { 0.0f, -1.0f, 1.5f, 0.75f, 0.25f }, { 0.8f, 0.8f, 4.0f, 3.2f, 0.0f }, // unclamped above 1
        { 0.5f, 0.5f, -1.0f, -0.5f, 1.0f },                                    // never above 1
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << c.left << ", " << c.right << " x " << c.gain);
        QuorvaneEnvelopeFollower follower;
        follower.prepare (44100.0, 512, 2);
        set (follower, 20.0f, 20.0f, c.gain);
        auto input = constant_input ({ c.left, c.right }, 512);
        follower.process (input, 512);
        EXPECT_NEAR (follower.envelope, c.envelope, 1e-5f);
        EXPECT_NEAR (follower.output.getSample (1, 511), c.inverted, 1e-5f);
    }
}

TEST (QuorvaneEnvelopeFollower, InvertedChannelIsOneMinusTheClampedEnvelope)
{
    QuorvaneEnvelopeFollower follower;
    follower.prepare (44100.0, 64, 1);
    auto silence = constant_input ({ 0.0f }, 4), input = constant_input ({ 0.25f }, 64);
    follower.process (silence, 4);
    EXPECT_EQ (follower.output.getSample (1, 0), 1.0f);
    follower.process (input, 64);

    for (int i = 0; i < 64; ++i)
        ASSERT_EQ (follower.output.getSample (1, i), 1.0f - juce::jlimit (0.0f, 1.0f, follower.output.getSample (0, i))) << i;
}

TEST (QuorvaneEnvelopeFollower, RoundingPointsAreFixedToTheBit)
{
    // Three channels (1/3 is inexact), several gains and asymmetric time constants.
    juce::Random random (7);
    juce::AudioBuffer<float> input (3, 400);
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 400; ++i)
            input.setSample (c, i, (random.nextFloat() * 2.0f - 1.0f) * (i % 100 < 50 ? 1.0f : 0.05f));

    QuorvaneEnvelopeFollower follower;
    follower.prepare (44100.0, 400, 3);
    float reference = 0.0f;

    for (const auto& [attack, release, gain] : { std::tuple { 44.1f, 441.0f, 1.0f }, std::tuple { 7.3f, 1234.5f, 1.9952623f },
                                                 std::tuple { 100.0f, 13.0f, 0.063095734f } })
    {
        SCOPED_TRACE (attack);
        float all_float = reference, all_double = reference;
        set (follower, attack, release, gain);
        follower.process (input, 400);
        const auto actual = level (follower, 400);

        EXPECT_NE (actual, model (input, attack, release, gain, all_float, Precision::all_float));
        EXPECT_NE (actual, model (input, attack, release, gain, all_double, Precision::all_double));
        ASSERT_EQ (actual, model (input, attack, release, gain, reference, Precision::reference));
    }
}

TEST (QuorvaneEnvelopeFollower, InputIsOnlyReadAndABufferMarkedClearCountsAsSilence)
{
    QuorvaneEnvelopeFollower follower;
    follower.prepare (44100.0, 16, 2);
    auto input = constant_input ({ 0.5f, 0.5f }, 16);
    follower.process (input, 16);
    EXPECT_EQ (input.getSample (1, 15), 0.5f);
    EXPECT_GT (follower.envelope, 0.4f);

    juce::AudioBuffer<float> cleared (2, 16);
    cleared.clear();
    const_cast<float*> (cleared.getReadPointer (0))[0] = 1.0f; // stale, behind the flag
    follower.prepare (44100.0, 16, 2);
    follower.process (cleared, 16);
    EXPECT_EQ (follower.envelope, 0.0f);
}

TEST (QuorvaneEnvelopeFollower, ProcessAllocatesNothing)
{
    QuorvaneEnvelopeFollower follower;
    juce::AudioBuffer<float> input, cleared;

    qt::expect_allocation_free ([&] (double rate, int block)
    {
        follower.prepare (rate, block, 2);
        input = constant_input ({ 0.3f, -0.6f }, block);
        cleared.setSize (2, block);
        cleared.clear();
    },
    [&] (int n)
    {
        set (follower, 10.0f * follower.sample_rate * 0.001f, 60.0f * follower.sample_rate * 0.001f, 1.2f);
        follower.process (input, n);
        follower.process (cleared, n);
    });
}
