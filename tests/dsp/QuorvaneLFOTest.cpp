#include "QuorvaneLFO.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
using Lfo = crvl::dsp::Lfo<float>;

constexpr int sine = 0, square = 1, saw_up = 2, saw_down = 3, triangle = 4, random_wave = 5, smooth_random = 6;
constexpr float nan_value = std::numeric_limits<float>::quiet_NaN();
constexpr float infinity = std::numeric_limits<float>::infinity();

/** 1024 Hz at 8 Hz: 128 samples per cycle, every phase an exact binary fraction. */
void prepare (QuorvaneLFO& lfo, int wave, int seed, float frequency = 8.0f, int block = 128)
{
    lfo.random.setSeed (seed);
    lfo.wave = wave;
    lfo.prepare (1024.0, block);
    lfo.set_rate (frequency);
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
} // namespace

TEST (Lfo, ReadMapsThePhaseOntoItsShapeAndTheEndOfTheCycleLeadsIntoTheNext)
{
    Lfo lfo;
    const float last_sine = std::sin (1023.0f * 0.0061359233f);
    const struct { int shape; float phase, value; } cases[] {
        { sine, 0.0f, 0.0f }, { sine, 0.25f, 1.0f }, { sine, 0.75f, -1.0f },
        { sine, 1023.5f / 1024.0f, 0.5f * last_sine }, // runs on into the next cycle's 0
        { square, 0.0f, -1.0f }, { square, 511.0f / 1024.0f, -1.0f }, { square, 511.5f / 1024.0f, 0.0f }, // one-step ramp
        { square, 0.5f, 1.0f }, { square, 1023.5f / 1024.0f, 1.0f },
        { saw_up, 0.0f, -1.0f }, { saw_up, 0.5f, 0.0f }, { saw_up, 1023.5f / 1024.0f, 0.998046875f }, // holds, then falls at the wrap
        { saw_down, 0.0f, 1.0f }, { saw_down, 0.25f, 0.5f },
        { triangle, 0.0f, -1.0f }, { triangle, 0.5f, 1.0f }, { triangle, 0.75f, 0.0f }, { triangle, 1023.5f / 1024.0f, -0.998046875f },
        { saw_up, 1.0f, 0.998046875f }, { saw_up, 3.5f, 0.998046875f }, { triangle, infinity, -1.0f }, { saw_down, nan_value, -0.998046875f },
    };

    for (const auto& c : cases)
        EXPECT_NEAR (lfo.read (c.shape, c.phase), c.value, 1.0e-6f) << c.shape << " at " << c.phase;
}

TEST (Lfo, PhaseStepsOncePerSampleWrapsAndHoldsOnANonFiniteRate)
{
    Lfo lfo;
    lfo.prepare (1024.0, 16);
    lfo.frequency = 160.0f; // 0.15625 per sample
    lfo.advance (8);

    // The value before each step: 7 x 0.15625 = 1.09375 wrapped to 0.09375.
    EXPECT_EQ (std::vector<float> (lfo.phase_buffer.getReadPointer (0), lfo.phase_buffer.getReadPointer (0) + 8),
               (std::vector<float> { 0.0f, 0.15625f, 0.3125f, 0.46875f, 0.625f, 0.78125f, 0.9375f, 0.09375f }));
    EXPECT_EQ (lfo.phase, 0.25f);

    for (float bad : { nan_value, infinity, -infinity })
    {
        lfo.frequency = bad;
        lfo.advance (4);
        EXPECT_EQ (lfo.phase, 0.25f) << bad;
    }
}

TEST (QuorvaneLFO, TableShapesFollowThePhaseInvertClampedAndSkipAsTheyWouldRun)
{
    // 256 samples per cycle: phases 0, 0.25 and 0.75.
    QuorvaneLFO lfo, skipping;
    prepare (lfo, sine, 1, 4.0f, 256);
    lfo.process (256);

    for (const auto& [i, signal, inverted] : { std::tuple { 0, 0.0f, 1.0f }, std::tuple { 64, 1.0f, 0.0f }, std::tuple { 192, -1.0f, 1.0f },
                                               std::tuple { 32, std::sin (0.25f * 3.1415927f), 1.0f - std::sin (0.25f * 3.1415927f) } })
    {
        EXPECT_NEAR (lfo.output.getSample (0, i), signal, 1.0e-6f) << i;
        EXPECT_NEAR (lfo.output.getSample (1, i), inverted, 1.0e-6f) << i;
    }

    // Skipped blocks move the phase as processed ones do.
    prepare (skipping, sine, 1, 4.0f, 256);
    skipping.skip (100);
    skipping.process (1);
    EXPECT_EQ (skipping.output.getSample (0, 0), lfo.output.getSample (0, 100));
}

TEST (QuorvaneLFO, RandomShapesDrawAtTheFirstSampleAndOncePerCycleAndHoldOrGlideOverACycle)
{
    for (const auto wave : { random_wave, smooth_random })
    {
        QuorvaneLFO lfo;
        prepare (lfo, wave, 99);
        juce::Random reference (99);
        const auto out = render (lfo, 128 * 3, 100);
        float previous = 0.0f;

        for (int cycle = 0; cycle < 3; ++cycle)
        {
            const auto target = static_cast<float> (2.0 * reference.nextDouble() - 1.0);

            for (int i = 0; i < 128; ++i)
                ASSERT_NEAR (out[(size_t) (cycle * 128 + i)], wave == random_wave ? target : previous + (target - previous) * (float) (i + 1) / 128.0f,
                             1.0e-5f) << wave << ": " << cycle << ", " << i;

            previous = target;
        }
    }
}

TEST (QuorvaneLFO, NonFiniteRateKeepsEveryShapeFinite)
{
    QuorvaneLFO lfo;
    prepare (lfo, sine, 1, 128.0f, 16);

    for (int wave = 0; wave < 7; ++wave)
        for (float bad : { nan_value, infinity })
        {
            lfo.wave = wave;
            lfo.set_rate (bad);
            lfo.process (16);
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < 16; ++i)
                    ASSERT_TRUE (std::isfinite (lfo.output.getSample (c, i))) << wave;
        }
}
