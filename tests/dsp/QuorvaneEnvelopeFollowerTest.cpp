#include "ProcessorRig.h"
#include "QuorvaneEnvelopeFollower.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using quorvane::test::Buffer;

Buffer constant (float left, float right, int num_samples)
{
    Buffer buffer (2, num_samples);
    juce::FloatVectorOperations::fill (buffer.getWritePointer (0), left, num_samples);
    juce::FloatVectorOperations::fill (buffer.getWritePointer (1), right, num_samples);
    return buffer;
}

void set (QuorvaneEnvelopeFollower& follower, float attack, float release, float gain = 1.0f)
{
    follower.attack = attack;
    follower.release = release;
    follower.gain = gain;
}

// The processor runs its followers as a pair; the second here has settings of its own.
void process (QuorvaneEnvelopeFollower& follower, Buffer& input, int num_samples)
{
    static QuorvaneEnvelopeFollower other;
    other.prepare (48000.0, 512, 2);
    set (other, 3.0f, 5000.0f, 0.1f);
    QuorvaneEnvelopeFollower::process_pair (follower, other, input, num_samples);
}
} // namespace

TEST (QuorvaneEnvelopeFollower, RisesWithTheAttackAndFallsWithTheReleaseTimeConstant)
{
    QuorvaneEnvelopeFollower follower;
    follower.prepare (44100.0, 512, 2);
    set (follower, 441.0f, 2646.0f);
    auto loud = constant (1.0f, -1.0f, 512);
    process (follower, loud, 441);
    EXPECT_NEAR (follower.output.getSample (0, 0), 1.0 - std::exp (-1.0 / 441.0), 1e-9);
    EXPECT_NEAR (follower.output.getSample (0, 440), 1.0f - std::exp (-1.0f), 1e-4f); // 1 - 1/e after T

    // Silence, or a loud input at gain 0, decays by the release coefficient.
    for (const auto& [input, gain] : { std::pair { 0.0f, 1.0f }, std::pair { 1.0f, 0.0f } })
    {
        set (follower, 10.0f, 100.0f, gain);
        follower.envelope = 0.8f;
        auto block = constant (input, input, 64);
        process (follower, block, 64);
        EXPECT_NEAR (follower.output.getSample (0, 63), 0.8 * std::exp (-64.0 / 100.0), 1e-6) << gain;
    }
}

TEST (QuorvaneEnvelopeFollower, ConvergesToTheChannelMeanOfTheLevelTimesTheGainAndInvertsClamped)
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
        auto input = constant (c.left, c.right, 512);
        process (follower, input, 512);
        EXPECT_NEAR (follower.envelope, c.envelope, 1e-5f);
        EXPECT_NEAR (follower.output.getSample (1, 511), c.inverted, 1e-5f);
    }
}
