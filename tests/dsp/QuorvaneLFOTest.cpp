#include "QuorvaneLFO.h"

#include "DspTestSupport.h"

#include <cmath>
#include <limits>

namespace
{
using Lfo = crvl::dsp::Lfo<float>;

constexpr int sine = 0, square = 1, saw_up = 2, saw_down = 3, triangle = 4, random_wave = 5, smooth_random = 6;
constexpr float nan_value = std::numeric_limits<float>::quiet_NaN();
constexpr float infinity = std::numeric_limits<float>::infinity();

float entry (const Lfo& lfo, int shape, int i) { return lfo.tables[static_cast<size_t> (shape)]->get (static_cast<float> (i)); }

/** 1024 Hz at 8 Hz: 128 samples per cycle, every phase an exact binary fraction. */
void prepare (QuorvaneLFO& lfo, int wave, int seed, float frequency = 8.0f, int block = 128)
{
    lfo.random.setSeed (seed);
    lfo.wave = wave;
    lfo.lfo.frequency = lfo.glide_rate = frequency;
    lfo.prepare (1024.0, block);
}

std::vector<float> render (QuorvaneLFO& lfo, int num_samples, int block)
{
    std::vector<float> out;

    for (int done = 0; done < num_samples; done += block)
    {
        const int n = juce::jmin (block, num_samples - done);
        lfo.process (n);
        out.insert (out.end(), lfo.output.getReadPointer (0), lfo.output.getReadPointer (0) + n);
    }

    return out;
}

float draw (juce::Random& random) { return static_cast<float> (2.0 * random.nextDouble() - 1.0); }
} // namespace

TEST (Lfo, TablesHold1024EntriesOfTheirGeneratorThenTheEndOfTheCycle)
{
    Lfo lfo;
    ASSERT_EQ (lfo.tables.size(), 5u);

    for (int i = 0; i < 1024; ++i)
    {
        // The sine's step is 2 pi / 1024 as a float; the others are exact binary fractions.
        const float fi = static_cast<float> (i);
        ASSERT_EQ (entry (lfo, sine, i), quorvane::test::runtime::sin (fi * 0.0061359233f)) << i;
        ASSERT_EQ (entry (lfo, square, i), i < 512 ? -1.0f : 1.0f) << i;
        ASSERT_EQ (entry (lfo, saw_up, i), fi / 512.0f - 1.0f) << i;
        ASSERT_EQ (entry (lfo, saw_down, i), 1.0f - fi / 512.0f) << i;
        ASSERT_EQ (entry (lfo, triangle, i), i < 512 ? fi / 256.0f - 1.0f : 1.0f - (fi - 512.0f) / 256.0f) << i;
    }

    // The continuous shapes lead into the next cycle; the saw's and the square's fall is a jump.
    for (int shape = 0; shape < 5; ++shape)
    {
        EXPECT_EQ (lfo.tables[static_cast<size_t> (shape)]->getNumPoints(), 1025u);
        EXPECT_EQ (entry (lfo, shape, 1024), entry (lfo, shape, shape == sine || shape == triangle ? 0 : 1023)) << shape;
    }
}

TEST (Lfo, ReadMapsThePhaseOntoTheTableAndReadsTheEndOfTheCycleAtOneAndBeyond)
{
    Lfo lfo;
    const float e100 = entry (lfo, sine, 100), e101 = entry (lfo, sine, 101);
    const struct { int shape; float phase, value; } cases[] {
        { saw_up, 0.0f, -1.0f },
        { saw_up, 1023.5f / 1024.0f, 0.998046875f }, // holds, then falls at the wrap
        { triangle, 1023.5f / 1024.0f, -0.998046875f }, // runs on into the next cycle's -1
        { saw_up, std::nextafter (1.0f, 0.0f), 0.998046875f },
        { square, 511.0f / 1024.0f, -1.0f }, { square, 511.25f / 1024.0f, -0.5f }, // one-step ramp
        { square, 511.5f / 1024.0f, 0.0f }, { square, 512.0f / 1024.0f, 1.0f },
        { sine, 100.25f / 1024.0f, e100 + 0.25f * (e101 - e100) },
        { saw_up, 1.0f, 0.998046875f }, { saw_up, 3.5f, 0.998046875f },
        { triangle, infinity, -1.0f }, { sine, 1.0f, 0.0f }, { saw_down, nan_value, -0.998046875f },
    };

    for (const auto& c : cases)
        EXPECT_EQ (lfo.read (c.shape, c.phase), c.value) << c.shape << " at " << c.phase;
}

TEST (Lfo, PhaseStepsOncePerSampleWrapsOnceAndHoldsOnANonFiniteRate)
{
    Lfo lfo;
    lfo.prepare (1024.0, 16);
    EXPECT_EQ (lfo.phase_buffer.getNumSamples(), 32);
    lfo.frequency = 160.0f; // 0.15625 per sample
    lfo.advance (8);

    // The value before each step: 7 x 0.15625 = 1.09375 wrapped to 0.09375.
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ (lfo.phase_buffer.getSample (0, i), 0.15625f * static_cast<float> (i)) << i;
    EXPECT_EQ (lfo.phase_buffer.getSample (0, 7), 0.09375f);
    EXPECT_EQ (lfo.phase, 0.25f);

    for (float bad : { nan_value, infinity, -infinity })
    {
        lfo.frequency = bad;
        lfo.advance (4);
        EXPECT_EQ (lfo.phase_buffer.getSample (0, 3), 0.25f) << bad;
        EXPECT_EQ (lfo.phase, 0.25f) << bad;
    }

    lfo.frequency = 256.0f;
    lfo.advance (3);
    EXPECT_EQ (lfo.phase, 0.0f); // 0.25 + 3 x 0.25 reaches 1 exactly and wraps
    lfo.advance (1);
    lfo.prepare (48000.0, 16);
    EXPECT_EQ (lfo.phase, 0.0f);
}

TEST (QuorvaneLFO, PrepareSizesTheOutputAndTruncatesTheGlideLength)
{
    QuorvaneLFO lfo;

    for (const auto& [glide_rate, length] : { std::pair { 3.0f, 16000 }, std::pair { 7.0f, 6300 },
                                              std::pair { 0.7f, static_cast<int> (44100.0f / 0.7f) }, std::pair { 0.0f, 0 } })
    {
        lfo.glide_rate = glide_rate;
        lfo.prepare (glide_rate == 3.0f ? 48000.0 : 44100.0, 100);
        EXPECT_EQ (lfo.random_smoother.get_glide_length(), length) << glide_rate;
    }

    EXPECT_EQ (lfo.output.getNumChannels(), 2);
    EXPECT_EQ (lfo.output.getNumSamples(), 116);
}

TEST (QuorvaneLFO, TableShapesFollowThePhaseAndInvertAsOneMinusTheClampedSignal)
{
    const float starts[] = { 0.0f, -1.0f, -1.0f, 1.0f, -1.0f };

    for (int shape = 0; shape < 5; ++shape)
    {
        QuorvaneLFO lfo;
        prepare (lfo, shape, 1);
        lfo.process (1);
        EXPECT_EQ (lfo.output.getSample (0, 0), starts[shape]) << shape;
    }

    // 256 samples per cycle: phases 0, 0.25 and 0.75 are entries 0, 256 and 768.
    QuorvaneLFO lfo;
    prepare (lfo, sine, 1, 4.0f, 256);
    lfo.process (256);
    const auto& out = lfo.output;

    for (const auto& [i, signal, inverted] : { std::tuple { 0, 0.0f, 1.0f }, std::tuple { 64, 1.0f, 0.0f }, std::tuple { 192, -1.0f, 1.0f } })
    {
        EXPECT_EQ (out.getSample (0, i), signal) << i;
        EXPECT_EQ (out.getSample (1, i), inverted) << i;
    }

    EXPECT_EQ (out.getSample (1, 32), 1.0f - out.getSample (0, 32));

    // A new wave takes over at the same phase: 32/256 is the triangle's entry 128.
    lfo.prepare (1024.0, 256);
    lfo.wave = saw_up;
    lfo.process (32);
    lfo.wave = triangle;
    lfo.process (1);
    EXPECT_EQ (lfo.output.getSample (0, 0), 128.0f / 256.0f - 1.0f);
}

TEST (QuorvaneLFO, RandomDrawsAtTheFirstSampleAndOncePerCycleAndHolds)
{
    QuorvaneLFO lfo;
    prepare (lfo, random_wave, 99);
    juce::Random reference (99);
    const auto out = render (lfo, 128 * 5, 100);

    for (int cycle = 0; cycle < 5; ++cycle)
    {
        const float value = draw (reference);
        ASSERT_TRUE (value >= -1.0f && value < 1.0f);

        for (int i = 0; i < 128; ++i)
            ASSERT_EQ (out[static_cast<size_t> (cycle * 128 + i)], value) << cycle << ", " << i;
    }

    EXPECT_EQ (lfo.held_value, out.back());

    // A table shape draws nothing: after three sine cycles the next wrap gives the sixth value.
    lfo.wave = sine;
    render (lfo, 128 * 3, 128);
    lfo.wave = random_wave;
    lfo.process (1);
    EXPECT_EQ (lfo.output.getSample (0, 0), draw (reference));
}

TEST (QuorvaneLFO, SmoothRandomGlidesLinearlyAndLandsOnTheTargetBeforeTheNextWrap)
{
    QuorvaneLFO lfo;
    prepare (lfo, smooth_random, 5); // glide length 128 = one cycle
    juce::Random reference (5);
    const auto out = render (lfo, 128 * 3, 64);
    float previous = 0.0f;

    for (int cycle = 0; cycle < 3; ++cycle)
    {
        const float target = draw (reference);
        float expected = previous;

        for (int i = 0; i < 128; ++i)
        {
            expected = i == 127 ? target : expected + (target - previous) / 128.0f;
            ASSERT_EQ (out[static_cast<size_t> (cycle * 128 + i)], expected) << cycle << ", " << i;
        }

        previous = target;
    }

    EXPECT_EQ (lfo.held_value, previous);
}

TEST (QuorvaneLFO, GlideLengthChangeAppliesFromTheNextGlideAndZeroJumps)
{
    QuorvaneLFO lfo;
    prepare (lfo, smooth_random, 11);
    juce::Random reference (11);
    const float first = draw (reference), second = draw (reference);

    // A quarter into the first glide the length becomes 32: the glide keeps its step and end.
    lfo.process (32);
    lfo.random_smoother.set_glide_length (32);
    lfo.process (96);
    EXPECT_NEAR (lfo.output.getSample (0, 0), 33.0f * first / 128.0f, 1e-6f);
    EXPECT_EQ (lfo.output.getSample (0, 95), first);

    lfo.process (64);
    EXPECT_EQ (lfo.output.getSample (0, 0), first + (second - first) / 32.0f);
    EXPECT_EQ (lfo.output.getSample (0, 31), second);

    // Length 0 jumps.
    prepare (lfo, smooth_random, 3);
    lfo.random_smoother.set_glide_length (0);
    lfo.process (128);
    juce::Random jump (3);
    EXPECT_EQ (lfo.output.getSample (0, 0), draw (jump));

    // A draw equal to the running target leaves that glide (128 steps) alone.
    juce::Random same (21);
    const float r = draw (same);
    QuorvaneLFO fresh;
    prepare (fresh, smooth_random, 21);
    fresh.random_smoother.set_glide_length (128);
    fresh.random_smoother.setTargetValue (r);
    fresh.random_smoother.set_glide_length (64);
    fresh.process (1);
    EXPECT_EQ (fresh.output.getSample (0, 0), r / 128.0f);
}

TEST (QuorvaneLFO, NonFiniteRateKeepsEveryShapeFiniteAndThePhaseHeld)
{
    QuorvaneLFO lfo;
    prepare (lfo, sine, 1, 128.0f, 16); // 0.125 per sample

    for (int wave = 0; wave < 7; ++wave)
        for (float bad : { nan_value, infinity })
        {
            lfo.wave = wave;
            lfo.lfo.frequency = bad;
            lfo.process (16);
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < 16; ++i)
                    ASSERT_TRUE (std::isfinite (lfo.output.getSample (c, i))) << wave;
        }

    lfo.lfo.frequency = 128.0f;
    lfo.wave = saw_up;
    EXPECT_EQ (render (lfo, 2, 2), (std::vector<float> { -1.0f, 0.125f * 2.0f - 1.0f }));
}

TEST (QuorvaneLFO, ProcessAllocatesNothing)
{
    QuorvaneLFO lfo;
    quorvane::test::expect_allocation_free ([&] (double rate, int block) { lfo.prepare (rate, block); },
                                            [&] (int n)
    {
        for (int wave = 0; wave < 7; ++wave)
        {
            lfo.wave = wave;
            lfo.lfo.frequency = lfo.glide_rate = 20.0f + static_cast<float> (wave);
            lfo.random_smoother.set_glide_length (static_cast<int> (lfo.sample_rate / lfo.glide_rate));
            lfo.process (n);
        }
    });
}
