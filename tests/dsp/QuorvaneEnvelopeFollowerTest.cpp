#include "QuorvaneEnvelopeFollower.h"

#include "AllocationCounter.h"
#include "DspTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
juce::AudioBuffer<float> constant_input (std::initializer_list<float> channel_values, int num_samples)
{
    juce::AudioBuffer<float> buffer (static_cast<int> (channel_values.size()), num_samples);
    int c = 0;

    for (float value : channel_values)
        juce::FloatVectorOperations::fill (buffer.getWritePointer (c++), value, num_samples);

    return buffer;
}

/** The reference arithmetic, written out with its rounding points, as an independent check. */
struct EnvelopeModel
{
    enum class Precision { reference, all_float, all_double };

    float envelope = 0.0f;

    void process (const juce::AudioBuffer<float>& input, int n, float attack, float release, float gain,
                  std::vector<float>& out, Precision precision = Precision::reference)
    {
        const int m = input.getNumChannels();
        const double a = quorvane::test::runtime::exp (-1.0 / attack), r = quorvane::test::runtime::exp (-1.0 / release);
        const float af = quorvane::test::runtime::exp (-1.0f / attack), rf = quorvane::test::runtime::exp (-1.0f / release);
        double env_double = envelope;

        for (int i = 0; i < n; ++i)
        {
            float s = 0.0f;

            for (int c = 0; c < m; ++c)
                s += std::abs (input.getSample (c, i));

            if (precision == Precision::reference)
            {
                const float x = static_cast<float> (static_cast<double> (s) * (1.0 / m)) * gain;
                const double k = x > envelope ? a : r;
                const float decayed = static_cast<float> (envelope * k);
                envelope = static_cast<float> (decayed + x * (1.0 - k));
            }
            else if (precision == Precision::all_float)
            {
                const float x = s * (1.0f / static_cast<float> (m)) * gain;
                const float k = x > envelope ? af : rf;
                envelope = envelope * k + x * (1.0f - k);
            }
            else
            {
                const double x = static_cast<double> (s) / m * gain;
                const double k = x > env_double ? a : r;
                env_double = env_double * k + x * (1.0 - k);
                envelope = static_cast<float> (env_double);
            }

            out.push_back (envelope);
        }
    }
};

std::vector<float> channel (const QuorvaneEnvelopeFollower& follower, int c, int n)
{
    return { follower.output.getReadPointer (c), follower.output.getReadPointer (c) + n };
}
} // namespace

TEST (QuorvaneEnvelopeFollower, ConstructionAndPrepare)
{
    QuorvaneEnvelopeFollower follower;
    EXPECT_EQ (follower.attack, 1.0f);
    EXPECT_EQ (follower.release, 1.0f);
    EXPECT_EQ (follower.gain, 1.0f);
    EXPECT_EQ (follower.sample_rate, 44100.0f);
    EXPECT_EQ (follower.envelope, 0.0f);
    EXPECT_EQ (follower.output.getNumSamples(), 0);

    follower.envelope = 0.7f;
    follower.prepare (48000.0, 256, 2);
    EXPECT_EQ (follower.work_buffer.getNumChannels(), 2);
    EXPECT_EQ (follower.work_buffer.getNumSamples(), 256 + 16);
    EXPECT_EQ (follower.output.getNumChannels(), 2);
    EXPECT_EQ (follower.output.getNumSamples(), 256 + 16);
    EXPECT_EQ (follower.sample_rate, 48000.0f);
    EXPECT_EQ (follower.envelope, 0.0f);

    follower.prepare (44100.0, 32, 1);
    EXPECT_EQ (follower.work_buffer.getNumChannels(), 1);
    EXPECT_EQ (follower.output.getNumChannels(), 2);
    EXPECT_EQ (follower.output.getNumSamples(), 48);
}

TEST (QuorvaneEnvelopeFollower, RisesFromZeroWithTheAttackCoefficientInDouble)
{
    QuorvaneEnvelopeFollower follower;
    follower.prepare (44100.0, 512, 2);
    follower.attack = 441.0f; // 10 ms at 44.1 kHz
    follower.release = 2646.0f;

    auto input = constant_input ({ 1.0f, -1.0f }, 512);
    follower.process (input, 1);

    // envelope = (0 x a) + 1 x (1 - a), with a = exp (-1/441) in double.
    const float expected = static_cast<float> (1.0 - quorvane::test::runtime::exp (-1.0 / 441.0));
    EXPECT_EQ (follower.output.getSample (0, 0), expected);
    EXPECT_NE (expected, 1.0f - quorvane::test::runtime::exp (-1.0f / 441.0f)); // the float formula is off by many ulps

    // After T samples, 1 - 1/e of the step.
    follower.prepare (44100.0, 512, 2);
    follower.process (input, 441);
    EXPECT_NEAR (follower.output.getSample (0, 440), 1.0f - std::exp (-1.0f), 1e-4f);
}

TEST (QuorvaneEnvelopeFollower, SilenceAfterALoudInputDecaysWithTheReleaseCoefficient)
{
    QuorvaneEnvelopeFollower follower;
    follower.prepare (44100.0, 64, 2);
    follower.attack = 10.0f;
    follower.release = 100.0f;
    follower.envelope = 1.0f;

    auto silence = constant_input ({ 0.0f, 0.0f }, 64);
    follower.process (silence, 64);

    const double r = quorvane::test::runtime::exp (-1.0 / 100.0);
    float expected = 1.0f;

    for (int i = 0; i < 64; ++i)
    {
        expected = static_cast<float> (static_cast<double> (expected) * r);
        ASSERT_EQ (follower.output.getSample (0, i), expected) << i;
    }

    EXPECT_NEAR (follower.output.getSample (0, 63), std::exp (-0.64f), 1e-5f);
}

TEST (QuorvaneEnvelopeFollower, ConstantLevelConvergesToLevelTimesGain)
{
    QuorvaneEnvelopeFollower follower;
    follower.prepare (44100.0, 512, 2);
    follower.attack = 20.0f;
    follower.release = 50.0f;

    // A full-scale square wave on both channels converges to 1 x gain.
    follower.gain = 0.5f;
    juce::AudioBuffer<float> square (2, 512);

    for (int i = 0; i < 512; ++i)
        for (int c = 0; c < 2; ++c)
            square.setSample (c, i, (i / 7) % 2 == 0 ? 1.0f : -1.0f);

    for (int block = 0; block < 4; ++block)
        follower.process (square, 512);

    EXPECT_NEAR (follower.envelope, 0.5f, 1e-6f);

    // A constant level of 0.25 at gain 2.
    follower.gain = 2.0f;
    auto quarter = constant_input ({ 0.25f, -0.25f }, 512);

    for (int block = 0; block < 4; ++block)
        follower.process (quarter, 512);

    EXPECT_NEAR (follower.envelope, 0.5f, 1e-6f);
}

TEST (QuorvaneEnvelopeFollower, LevelIsTheMeanOverChannels)
{
    QuorvaneEnvelopeFollower follower;
    follower.prepare (44100.0, 512, 2);
    follower.attack = 10.0f;
    follower.release = 10.0f;
    follower.gain = 1.5f;

    // One channel at full scale, the other silent: 0.5 x gain.
    auto one_sided = constant_input ({ 0.0f, -1.0f }, 512);
    follower.process (one_sided, 512);
    EXPECT_NEAR (follower.envelope, 0.75f, 1e-6f);
}

TEST (QuorvaneEnvelopeFollower, AboveOneTheInvertedChannelIsZeroAndTheEnvelopeUnclamped)
{
    QuorvaneEnvelopeFollower follower;
    follower.prepare (44100.0, 512, 2);
    follower.attack = 5.0f;
    follower.release = 5.0f;
    follower.gain = 4.0f;

    auto loud = constant_input ({ 0.8f, 0.8f }, 512);
    follower.process (loud, 512);

    EXPECT_NEAR (follower.output.getSample (0, 511), 3.2f, 1e-5f);
    EXPECT_EQ (follower.output.getSample (1, 511), 0.0f);
}

TEST (QuorvaneEnvelopeFollower, InvertedChannelIsOneMinusTheClampedEnvelope)
{
    QuorvaneEnvelopeFollower follower;
    follower.prepare (44100.0, 64, 1);
    follower.attack = 1.0f;
    follower.release = 1.0f;

    // Silence gives 1. With a time constant of 1 sample the envelope moves 63 % per sample.
    auto silence = constant_input ({ 0.0f }, 4);
    follower.process (silence, 4);
    EXPECT_EQ (follower.output.getSample (1, 0), 1.0f);

    auto input = constant_input ({ 0.25f }, 64);
    follower.process (input, 64);

    for (int i = 0; i < 64; ++i)
    {
        const float envelope = follower.output.getSample (0, i);
        ASSERT_EQ (follower.output.getSample (1, i), 1.0f - juce::jlimit (0.0f, 1.0f, envelope)) << i;
    }

    EXPECT_FLOAT_EQ (follower.output.getSample (1, 63), 0.75f);

    // A negative gain makes the envelope negative: the inverted channel is 1, not above it.
    follower.gain = -1.0f;
    follower.process (input, 64);
    EXPECT_LT (follower.output.getSample (0, 63), 0.0f);
    EXPECT_EQ (follower.output.getSample (1, 63), 1.0f);
}

TEST (QuorvaneEnvelopeFollower, ZeroGainDecaysWithTheReleaseWhateverTheInput)
{
    QuorvaneEnvelopeFollower follower;
    follower.prepare (44100.0, 64, 2);
    follower.attack = 3.0f;
    follower.release = 30.0f;
    follower.gain = 0.0f;
    follower.envelope = 0.8f;

    auto loud = constant_input ({ 1.0f, 1.0f }, 64);
    follower.process (loud, 64);

    const double r = quorvane::test::runtime::exp (-1.0 / 30.0);
    float expected = 0.8f;

    for (int i = 0; i < 64; ++i)
    {
        expected = static_cast<float> (static_cast<double> (expected) * r);
        ASSERT_EQ (follower.output.getSample (0, i), expected) << i;
    }
}

TEST (QuorvaneEnvelopeFollower, RoundingPointsAreFixedToTheBit)
{
    // Three channels (so 1/m is inexact), a changing gain and asymmetric time constants.
    juce::Random random (7);
    juce::AudioBuffer<float> input (3, 400);

    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 400; ++i)
            input.setSample (c, i, (random.nextFloat() * 2.0f - 1.0f) * (i % 100 < 50 ? 1.0f : 0.05f));

    QuorvaneEnvelopeFollower follower;
    follower.prepare (44100.0, 400, 3);
    EnvelopeModel reference, all_float, all_double;
    std::vector<float> expected, float_only, double_only;

    for (const auto& [attack, release, gain] : { std::tuple { 44.1f, 441.0f, 1.0f },
                                                 std::tuple { 7.3f, 1234.5f, 1.9952623f },
                                                 std::tuple { 100.0f, 13.0f, 0.063095734f } })
    {
        follower.attack = attack;
        follower.release = release;
        follower.gain = gain;
        follower.process (input, 400);
        const auto actual = channel (follower, 0, 400);

        expected.clear(); float_only.clear(); double_only.clear();
        reference.process (input, 400, attack, release, gain, expected);
        all_float.process (input, 400, attack, release, gain, float_only, EnvelopeModel::Precision::all_float);
        all_double.process (input, 400, attack, release, gain, double_only, EnvelopeModel::Precision::all_double);

        ASSERT_EQ (actual, expected) << "attack " << attack;

        // The check has teeth: a follower all in float, or all in double, comes out otherwise.
        EXPECT_NE (actual, float_only);
        EXPECT_NE (actual, double_only);
    }
}

TEST (QuorvaneEnvelopeFollower, InputIsOnlyReadAndABufferMarkedClearCountsAsSilence)
{
    QuorvaneEnvelopeFollower follower;
    follower.prepare (44100.0, 16, 2);
    follower.attack = 1.0f;

    auto input = constant_input ({ 0.5f, 0.5f }, 16);
    follower.process (input, 16);
    EXPECT_EQ (input.getSample (0, 3), 0.5f);
    EXPECT_EQ (input.getSample (1, 15), 0.5f);
    EXPECT_GT (follower.envelope, 0.4f);

    // Marked clear, with stale samples behind the flag: the follower sees zeros.
    juce::AudioBuffer<float> cleared (2, 16);
    cleared.clear();
    const_cast<float*> (cleared.getReadPointer (0))[0] = 1.0f;
    ASSERT_TRUE (cleared.hasBeenCleared());

    follower.prepare (44100.0, 16, 2);
    follower.process (cleared, 16);
    EXPECT_EQ (follower.output.getSample (0, 0), 0.0f);
    EXPECT_EQ (follower.envelope, 0.0f);
}

TEST (QuorvaneEnvelopeFollower, ProcessAllocatesNothingAcrossPrepareThenProcessCycles)
{
    QuorvaneEnvelopeFollower follower;

    for (const auto& cycle : quorvane::test::prepare_cycles)
    {
        SCOPED_TRACE (testing::Message() << cycle.sample_rate << " Hz, " << cycle.maximum_block_size);
        follower.prepare (cycle.sample_rate, cycle.maximum_block_size, 2);

        auto input = constant_input ({ 0.3f, -0.6f }, cycle.maximum_block_size);
        juce::AudioBuffer<float> cleared (2, cycle.maximum_block_size);
        cleared.clear();

        quorvane::test::ScopedAllocationCounter allocations;

        for (int n : quorvane::test::block_lengths_for (cycle.maximum_block_size))
        {
            follower.gain = 1.2f;
            follower.attack = 10.0f * follower.sample_rate * 0.001f;
            follower.release = 60.0f * follower.sample_rate * 0.001f;
            follower.process (input, n);
            follower.process (cleared, n);
        }

        EXPECT_EQ (allocations.allocations(), 0u);
        EXPECT_EQ (allocations.deallocations(), 0u);
    }
}
