#include "QuorvaneDistortion.h"

#include "AllocationCounter.h"
#include "DspTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using Stage = QuorvaneDistortion::EngineStage;

constexpr int soft_clip = 0, hard_clip = 1, overdrive = 2, foldover = 3;

float shape (const QuorvaneDistortion& distortion, int engine, float x)
{
    return distortion.engines[static_cast<size_t> (engine)].get<Stage::shaper_stage>().functionToUse (x);
}

/** b0 of an engine's high-pass: the first output sample of a cleared filter is b0 x input. */
float high_pass_b0 (const QuorvaneDistortion& distortion, int engine)
{
    return distortion.engines[static_cast<size_t> (engine)].get<Stage::high_pass_stage>().state->coefficients[0];
}

/** Runs `type` at `drive` over a stereo block holding `value` in every sample; returns the block. */
juce::AudioBuffer<float> run (QuorvaneDistortion& distortion, int type, float drive, float value, int num_samples)
{
    juce::AudioBuffer<float> buffer (2, num_samples);

    for (int c = 0; c < 2; ++c)
        juce::FloatVectorOperations::fill (buffer.getWritePointer (c), value, num_samples);

    distortion.type = type;
    distortion.drive = drive;
    juce::dsp::AudioBlock<float> block (buffer);
    distortion.process (juce::dsp::ProcessContextReplacing<float> (block));
    return buffer;
}

juce::AudioBuffer<float> run_block (QuorvaneDistortion& distortion, int type, float drive, const juce::AudioBuffer<float>& input)
{
    juce::AudioBuffer<float> buffer (input);
    distortion.type = type;
    distortion.drive = drive;
    juce::dsp::AudioBlock<float> block (buffer);
    distortion.process (juce::dsp::ProcessContextReplacing<float> (block));
    return buffer;
}

juce::AudioBuffer<float> noise_block (int seed, int num_samples)
{
    juce::Random random (seed);
    juce::AudioBuffer<float> buffer (2, num_samples);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < num_samples; ++i)
            buffer.setSample (c, i, random.nextFloat() * 1.6f - 0.8f);

    return buffer;
}

void expect_identical (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    ASSERT_EQ (a.getNumSamples(), b.getNumSamples());

    for (int c = 0; c < a.getNumChannels(); ++c)
        for (int i = 0; i < a.getNumSamples(); ++i)
            ASSERT_EQ (a.getSample (c, i), b.getSample (c, i)) << "channel " << c << " sample " << i;
}
} // namespace

TEST (QuorvaneDistortion, ConstructionSetsTypeDriveShapesAndRanges)
{
    QuorvaneDistortion distortion;

    EXPECT_EQ (distortion.type, 0);
    EXPECT_EQ (distortion.drive, 0.0f);

    // Engines 2 and 3 use the maths library's single-precision functions themselves.
    EXPECT_EQ (distortion.engines[2].get<Stage::shaper_stage>().functionToUse, &::tanhf);
    EXPECT_EQ (distortion.engines[3].get<Stage::shaper_stage>().functionToUse, &::sinf);

    const float expected[4][4] = { { 1, 2, 0.001f, 1 }, { 1, 9, 0.01f, 0.5f }, { 1, 20, 0.1f, 0.5f }, { 1, 20, 0.1f, 0.5f } };

    for (size_t i = 0; i < 4; ++i)
    {
        SCOPED_TRACE (i);
        const auto& range = distortion.drive_ranges[i];
        EXPECT_EQ (range.start, expected[i][0]);
        EXPECT_EQ (range.end, expected[i][1]);
        EXPECT_EQ (range.interval, expected[i][2]);
        EXPECT_EQ (range.skew, expected[i][3]);
        EXPECT_FALSE (range.symmetricSkew);
    }
}

TEST (QuorvaneDistortion, ShapingFunctions)
{
    QuorvaneDistortion distortion;

    // Soft clip x + x^3 / -6, no clamp: 1 -> 5/6, 0.5 -> 0.4792, and 4 turns back to -6.667.
    EXPECT_FLOAT_EQ (shape (distortion, soft_clip, 1.0f), 1.0f - 1.0f / 6.0f);
    EXPECT_NEAR (shape (distortion, soft_clip, 0.5f), 0.4791667f, 1e-6f);
    EXPECT_NEAR (shape (distortion, soft_clip, 4.0f), -6.6666667f, 1e-5f);
    EXPECT_EQ (shape (distortion, soft_clip, 0.5f), 0.5f + quorvane::test::runtime::pow (0.5f, 3.0f) / -6.0f);
    EXPECT_FLOAT_EQ (shape (distortion, soft_clip, -1.0f), -(1.0f - 1.0f / 6.0f));

    // Hard clip: -1 at or below -1, else min (1, x).
    EXPECT_EQ (shape (distortion, hard_clip, 1.8f), 1.0f);
    EXPECT_EQ (shape (distortion, hard_clip, -1.8f), -1.0f);
    EXPECT_EQ (shape (distortion, hard_clip, -1.0f), -1.0f);
    EXPECT_EQ (shape (distortion, hard_clip, 0.3f), 0.3f);
    EXPECT_EQ (shape (distortion, hard_clip, -0.3f), -0.3f);

    EXPECT_EQ (shape (distortion, overdrive, 0.4f), quorvane::test::runtime::tanh (0.4f));
    EXPECT_EQ (shape (distortion, foldover, 2.2f), quorvane::test::runtime::sin (2.2f));
}

TEST (QuorvaneDistortion, DriveMapsToGainOfEachEngine)
{
    QuorvaneDistortion distortion;
    distortion.prepare (quorvane::test::stereo_spec (48000.0, 64));

    struct Case { float drive; float gains[4]; };

    // 1 + d; 1 + 8 d^2; 1 + 19 d^2 twice. At drive 0 every gain is 1.
    const Case cases[] = {
        { 0.0f, { 1.0f, 1.0f, 1.0f, 1.0f } },
        { 0.5f, { 1.5f, 3.0f, 5.75f, 5.75f } },
        { 1.0f, { 2.0f, 9.0f, 20.0f, 20.0f } },
        { 0.25f, { 1.25f, 1.5f, 2.1875f, 2.1875f } },
        // convertFrom0to1 clamps the proportion: beyond 0 .. 1 the gain of the nearer end.
        { 1.5f, { 2.0f, 9.0f, 20.0f, 20.0f } },
        { -0.5f, { 1.0f, 1.0f, 1.0f, 1.0f } },
    };

    for (const auto& c : cases)
    {
        for (int type = 0; type < 4; ++type)
        {
            SCOPED_TRACE (testing::Message() << "drive " << c.drive << " type " << type);
            const auto expected_gain = c.gains[type];
            EXPECT_NEAR (distortion.drive_ranges[static_cast<size_t> (type)].convertFrom0to1 (c.drive), expected_gain, 1e-5f * expected_gain);

            // The gain jumps at once (ramp 0): the engine's gain is g after the block.
            run (distortion, type, c.drive, 0.0f, 8);
            EXPECT_NEAR (distortion.engines[static_cast<size_t> (type)].get<Stage::gain_stage>().getGainLinear(),
                         expected_gain, 1e-5f * expected_gain);
        }
    }
}

TEST (QuorvaneDistortion, FirstSampleIsTheShapedValueThroughAClearedHighPass)
{
    QuorvaneDistortion distortion;
    distortion.prepare (quorvane::test::stereo_spec (48000.0, 64));

    // Drive 0 gives gain 1: soft clip of 1 is 5/6 and of 0.5 is 0.4792.
    {
        const auto out = run (distortion, soft_clip, 0.0f, 1.0f, 1);
        EXPECT_FLOAT_EQ (out.getSample (0, 0) / high_pass_b0 (distortion, soft_clip), 1.0f - 1.0f / 6.0f);
        EXPECT_FLOAT_EQ (out.getSample (1, 0) / high_pass_b0 (distortion, soft_clip), 1.0f - 1.0f / 6.0f);
    }

    // Hard clip at drive 100 % has gain 9: 0.2 becomes 1 and -0.2 becomes -1.
    {
        QuorvaneDistortion fresh;
        fresh.prepare (quorvane::test::stereo_spec (48000.0, 64));
        EXPECT_FLOAT_EQ (run (fresh, hard_clip, 1.0f, 0.2f, 1).getSample (0, 0), high_pass_b0 (fresh, hard_clip));
        QuorvaneDistortion other;
        other.prepare (quorvane::test::stereo_spec (48000.0, 64));
        EXPECT_FLOAT_EQ (run (other, hard_clip, 1.0f, -0.2f, 1).getSample (0, 0), -high_pass_b0 (other, hard_clip));
    }

    // Foldover at drive 100 % (gain 20, bias 0.2): 0.1 gives sin (2.2), about 0.8085.
    {
        QuorvaneDistortion fresh;
        fresh.prepare (quorvane::test::stereo_spec (48000.0, 64));
        const auto out = run (fresh, foldover, 1.0f, 0.1f, 1);
        EXPECT_NEAR (out.getSample (0, 0) / high_pass_b0 (fresh, foldover), 0.8085f, 1e-4f);
        EXPECT_FLOAT_EQ (out.getSample (0, 0), high_pass_b0 (fresh, foldover) * quorvane::test::runtime::sin (2.2f));
    }

    // Soft clip of 2 at drive 100 % (gain 2): 4 - 64/6, about -6.667, not clipped.
    {
        QuorvaneDistortion fresh;
        fresh.prepare (quorvane::test::stereo_spec (48000.0, 64));
        const auto out = run (fresh, soft_clip, 1.0f, 2.0f, 1);
        EXPECT_NEAR (out.getSample (0, 0) / high_pass_b0 (fresh, soft_clip), -6.6666667f, 1e-4f);
    }
}

TEST (QuorvaneDistortion, OverdriveBiasOfSilenceSettlesToZeroThroughTheHighPass)
{
    QuorvaneDistortion distortion;
    distortion.prepare (quorvane::test::stereo_spec (48000.0, 480));

    // Before the high-pass, silence becomes tanh (0.4), about 0.3799.
    const auto first = run (distortion, overdrive, 0.0f, 0.0f, 480);
    EXPECT_NEAR (first.getSample (0, 0) / high_pass_b0 (distortion, overdrive), 0.3799f, 1e-4f);
    EXPECT_GT (first.getSample (0, 0), 0.3f);

    // A 5 Hz high-pass has a time constant of about 32 ms: after one second the bias is gone,
    // all but the dead band of a float direct-form filter whose poles lie this close to 1:
    // it settles near 7e-4 here (7e-5 at 44.1 kHz, 4e-3 at 96 kHz) instead of reaching 0.
    juce::AudioBuffer<float> last;

    for (int block = 0; block < 100; ++block)
        last = run (distortion, overdrive, 0.0f, 0.0f, 480);

    for (int c = 0; c < 2; ++c)
        EXPECT_LT (std::abs (last.getSample (c, 479)), 1e-3f);

    QuorvaneDistortion at_44k;
    at_44k.prepare (quorvane::test::stereo_spec (44100.0, 441));

    for (int block = 0; block < 100; ++block)
        last = run (at_44k, overdrive, 0.0f, 0.0f, 441);

    EXPECT_LT (std::abs (last.getSample (0, 440)), 1e-4f);
}

TEST (QuorvaneDistortion, BiasesOfThePreparation)
{
    QuorvaneDistortion distortion;
    distortion.prepare (quorvane::test::stereo_spec (44100.0, 32));

    const float biases[] = { 0.0f, 0.0f, 0.4f, 0.2f };

    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ (distortion.engines[i].get<Stage::bias_stage>().getBias(), biases[i]) << i;

    // Hard clip has no bias: at drive 0 a constant 0.3 passes the shaper unchanged.
    EXPECT_FLOAT_EQ (run (distortion, hard_clip, 0.0f, 0.3f, 1).getSample (0, 0) / high_pass_b0 (distortion, hard_clip), 0.3f);
}

TEST (QuorvaneDistortion, UnselectedEnginesStayFrozenAndResumeFromTheirState)
{
    const auto spec = quorvane::test::stereo_spec (44100.0, 256);
    const auto a = noise_block (1, 256), b = noise_block (2, 256), c = noise_block (3, 256);

    // Overdrive on a, soft clip on b, overdrive on c ...
    QuorvaneDistortion switching;
    switching.prepare (spec);
    run_block (switching, overdrive, 0.3f, a);
    run_block (switching, soft_clip, 0.3f, b);
    const auto resumed = run_block (switching, overdrive, 0.3f, c);

    // ... gives on c what overdrive alone gives on a then c: its high-pass state was kept.
    QuorvaneDistortion alone;
    alone.prepare (spec);
    run_block (alone, overdrive, 0.3f, a);
    expect_identical (resumed, run_block (alone, overdrive, 0.3f, c));

    // Had overdrive run on b too, c would come out otherwise.
    QuorvaneDistortion always;
    always.prepare (spec);
    run_block (always, overdrive, 0.3f, a);
    run_block (always, overdrive, 0.3f, b);
    const auto continued = run_block (always, overdrive, 0.3f, c);
    EXPECT_NE (continued.getSample (0, 0), resumed.getSample (0, 0));
}

TEST (QuorvaneDistortion, EveryPreparationGivesEveryFilterFreshCoefficientsAndClearedState)
{
    QuorvaneDistortion distortion;
    distortion.prepare (quorvane::test::stereo_spec (44100.0, 64));
    run (distortion, overdrive, 0.5f, 0.7f, 64); // leaves state in the overdrive filters

    // Fewer channels, then more again, at another rate: the second channel's filter is a new one,
    // the first was made by the first preparation; both must use the 96 kHz coefficients.
    distortion.prepare ({ 22050.0, 64, 1 });
    distortion.prepare (quorvane::test::stereo_spec (96000.0, 64));

    const auto expected = juce::dsp::IIR::Coefficients<float>::makeHighPass (96000.0, 5.0f);

    for (size_t i = 0; i < 4; ++i)
    {
        const auto& state = *distortion.engines[i].get<Stage::high_pass_stage>().state;
        ASSERT_EQ (state.coefficients.size(), expected->coefficients.size());

        for (int k = 0; k < state.coefficients.size(); ++k)
            EXPECT_EQ (state.coefficients[k], expected->coefficients[k]) << "engine " << i << " coefficient " << k;
    }

    // With cleared states and shared coefficients both channels answer a step identically,
    // and as a lone reference filter with the 96 kHz coefficients does.
    const auto out = run (distortion, hard_clip, 0.0f, 0.5f, 64);
    juce::dsp::IIR::Filter<float> reference (expected);

    for (int i = 0; i < 64; ++i)
    {
        const float want = reference.processSample (0.5f);
        ASSERT_EQ (out.getSample (0, i), want) << i;
        ASSERT_EQ (out.getSample (1, i), want) << i;
    }
}

TEST (QuorvaneDistortion, ProcessAllocatesNothingAcrossPrepareThenProcessCycles)
{
    QuorvaneDistortion distortion;

    for (const auto& cycle : quorvane::test::prepare_cycles)
    {
        SCOPED_TRACE (testing::Message() << cycle.sample_rate << " Hz, " << cycle.maximum_block_size);
        distortion.prepare (quorvane::test::stereo_spec (cycle.sample_rate, cycle.maximum_block_size));
        juce::AudioBuffer<float> buffer (2, cycle.maximum_block_size);
        buffer.clear();
        buffer.setSample (0, 0, 0.5f);

        quorvane::test::ScopedAllocationCounter allocations;

        for (int type = 0; type < 4; ++type)
        {
            for (int n : quorvane::test::block_lengths_for (cycle.maximum_block_size))
            {
                distortion.type = type;
                distortion.drive = 0.1f * static_cast<float> (type + 1);
                auto block = juce::dsp::AudioBlock<float> (buffer).getSubBlock (0, static_cast<size_t> (n));
                distortion.process (juce::dsp::ProcessContextReplacing<float> (block));
            }
        }

        EXPECT_EQ (allocations.allocations(), 0u);
        EXPECT_EQ (allocations.deallocations(), 0u);
    }
}
