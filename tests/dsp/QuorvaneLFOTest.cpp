#include "QuorvaneLFO.h"

#include "AllocationCounter.h"
#include "DspTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

namespace
{
using Lfo = crvl::dsp::Lfo<float>;

constexpr int sine = 0, square = 1, saw_up = 2, saw_down = 3, triangle = 4, random_wave = 5, smooth_random = 6;

float entry (const Lfo& lfo, int shape, int i)
{
    return lfo.tables[static_cast<size_t> (shape)]->get (static_cast<float> (i));
}

/** Prepares at a rate and frequency whose increment is an exact binary fraction. */
void prepare (QuorvaneLFO& lfo, double sample_rate, float frequency, int block_size)
{
    lfo.lfo.frequency = frequency;
    lfo.glide_rate = frequency;
    lfo.prepare (sample_rate, block_size);
}

std::vector<float> render (QuorvaneLFO& lfo, int num_samples, int block_size, int c = 0)
{
    std::vector<float> out;

    for (int done = 0; done < num_samples; done += block_size)
    {
        const int n = juce::jmin (block_size, num_samples - done);
        lfo.process (n);
        out.insert (out.end(), lfo.output.getReadPointer (c), lfo.output.getReadPointer (c) + n);
    }

    return out;
}

float draw (juce::Random& random)
{
    return static_cast<float> (2.0 * random.nextDouble() - 1.0);
}
} // namespace

TEST (Lfo, FiveTablesOf1024PointsAndAGuardBuiltByTheGenerators)
{
    Lfo lfo;
    ASSERT_EQ (lfo.tables.size(), 5u);

    for (const auto& table : lfo.tables)
        EXPECT_EQ (table->getNumPoints(), 1024u);

    // First and last entries.
    EXPECT_EQ (entry (lfo, sine, 0), 0.0f);
    EXPECT_EQ (entry (lfo, square, 0), -1.0f);
    EXPECT_EQ (entry (lfo, saw_up, 0), -1.0f);
    EXPECT_EQ (entry (lfo, saw_down, 0), 1.0f);
    EXPECT_EQ (entry (lfo, triangle, 0), -1.0f);

    EXPECT_NEAR (entry (lfo, sine, 1023), -0.0061359f, 1e-6f);
    EXPECT_EQ (entry (lfo, square, 1023), 1.0f);
    EXPECT_EQ (entry (lfo, saw_up, 1023), 0.998046875f);
    EXPECT_EQ (entry (lfo, saw_down, 1023), -0.998046875f);
    EXPECT_EQ (entry (lfo, triangle, 1023), -0.99609375f);

    // The guard repeats entry 1023: halfway between them is entry 1023 itself. (Reading at 1024
    // exactly would make the framework read one entry past the table.)
    for (int shape = 0; shape < 5; ++shape)
        EXPECT_EQ (lfo.tables[static_cast<size_t> (shape)]->get (1023.5f), entry (lfo, shape, 1023)) << shape;

    // Every entry, worked exactly (all but the sine's are exact binary fractions).
    for (int i = 0; i < 1024; ++i)
    {
        const float fi = static_cast<float> (i);
        ASSERT_EQ (entry (lfo, sine, i), quorvane::test::runtime::sin (fi * 0.0061359233f)) << i;
        ASSERT_EQ (entry (lfo, square, i), i < 512 ? -1.0f : 1.0f) << i;
        ASSERT_EQ (entry (lfo, saw_up, i), fi / 512.0f - 1.0f) << i;
        ASSERT_EQ (entry (lfo, saw_down, i), 1.0f - fi / 512.0f) << i;
        ASSERT_EQ (entry (lfo, triangle, i), i < 512 ? fi / 256.0f - 1.0f : 1.0f - (fi - 512.0f) / 256.0f) << i;
    }

    EXPECT_EQ (entry (lfo, triangle, 511), 0.99609375f);
    EXPECT_EQ (entry (lfo, triangle, 512), 1.0f);
    EXPECT_EQ (entry (lfo, sine, 256), 1.0f);
    EXPECT_EQ (entry (lfo, sine, 768), -1.0f);

    // The sine's factor is 2 pi / 1024 as a float: in double some entries come out otherwise.
    int differ = 0;

    for (int i = 0; i < 1024; ++i)
        differ += entry (lfo, sine, i) != static_cast<float> (std::sin (i * 2.0 * juce::MathConstants<double>::pi / 1024.0)) ? 1 : 0;

    EXPECT_GT (differ, 0);
}

TEST (Lfo, IndexRangeAndTableReads)
{
    Lfo lfo;
    EXPECT_EQ (lfo.index_range.start, 0.0f);
    EXPECT_EQ (lfo.index_range.end, 1024.0f);
    EXPECT_EQ (lfo.index_range.skew, 1.0f);
    EXPECT_EQ (lfo.index_range.convertFrom0to1 (0.25f), 256.0f);

    // Start of the cycle: entry 0.
    EXPECT_EQ (lfo.read (saw_up, 0.0f), -1.0f);

    // In the last 1/1024 of the cycle the value holds entry 1023, because entry 1024 equals it.
    EXPECT_EQ (lfo.read (saw_up, 1023.5f / 1024.0f), 0.998046875f);
    EXPECT_EQ (lfo.read (saw_up, std::nextafter (1.0f, 0.0f)), 0.998046875f);

    // The square rises linearly over index 511 .. 512.
    EXPECT_EQ (lfo.read (square, 511.0f / 1024.0f), -1.0f);
    EXPECT_EQ (lfo.read (square, 511.25f / 1024.0f), -0.5f);
    EXPECT_EQ (lfo.read (square, 511.5f / 1024.0f), 0.0f);
    EXPECT_EQ (lfo.read (square, 512.0f / 1024.0f), 1.0f);

    // Between entries: e[k] + (index - k) (e[k+1] - e[k]).
    const float e100 = entry (lfo, sine, 100), e101 = entry (lfo, sine, 101);
    EXPECT_EQ (lfo.read (sine, 100.25f / 1024.0f), e100 + 0.25f * (e101 - e100));

    // Phases at or beyond 1 (a rate at or above the sample rate) and a NaN phase read
    // entry 1023 = 1024 without reaching past the table.
    EXPECT_EQ (lfo.read (saw_up, 1.0f), 0.998046875f);
    EXPECT_EQ (lfo.read (saw_up, 3.5f), 0.998046875f);
    EXPECT_EQ (lfo.read (triangle, std::numeric_limits<float>::infinity()), -0.99609375f);
    EXPECT_EQ (lfo.read (saw_down, std::numeric_limits<float>::quiet_NaN()), -0.998046875f);
}

TEST (Lfo, PhaseAccumulatesTheBlockIncrementAndWrapsOnce)
{
    Lfo lfo;
    lfo.prepare (1024.0, 16);
    EXPECT_EQ (lfo.sample_rate, 1024.0f);
    EXPECT_EQ (lfo.phase_buffer.getNumSamples(), 32);

    lfo.frequency = 160.0f; // 0.15625 per sample, exact
    lfo.advance (8);

    for (int i = 0; i < 7; ++i)
        EXPECT_EQ (lfo.phase_buffer.getSample (0, i), 0.15625f * static_cast<float> (i)) << i;

    // The value before each step: 7 x 0.15625 = 1.09375 wrapped once to 0.09375.
    EXPECT_EQ (lfo.phase_buffer.getSample (0, 7), 0.09375f);
    EXPECT_EQ (lfo.phase, 8.0f * 0.15625f - 1.0f);

    // The next block continues the phase; a new rate applies from its first step.
    lfo.frequency = 256.0f;
    lfo.advance (2);
    EXPECT_EQ (lfo.phase_buffer.getSample (0, 0), 0.25f);
    EXPECT_EQ (lfo.phase_buffer.getSample (0, 1), 0.5f);
    EXPECT_EQ (lfo.phase, 0.75f);

    // prepare restarts the cycle.
    lfo.prepare (48000.0, 16);
    EXPECT_EQ (lfo.phase, 0.0f);
}

TEST (Lfo, NonFiniteFrequencyHoldsThePhaseForTheBlock)
{
    Lfo lfo;
    lfo.prepare (1000.0, 8);
    lfo.frequency = 125.0f;
    lfo.advance (2);
    ASSERT_EQ (lfo.phase, 0.25f);

    for (float bad : { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                       -std::numeric_limits<float>::infinity() })
    {
        lfo.frequency = bad;
        lfo.advance (4);

        for (int i = 0; i < 4; ++i)
            EXPECT_EQ (lfo.phase_buffer.getSample (0, i), 0.25f) << bad;

        EXPECT_EQ (lfo.phase, 0.25f);
    }

    // A finite rate afterwards goes on from where the phase was held.
    lfo.frequency = 125.0f;
    lfo.advance (1);
    EXPECT_EQ (lfo.phase, 0.375f);
}

TEST (QuorvaneLFO, ConstructionAndPrepare)
{
    QuorvaneLFO lfo;
    EXPECT_EQ (lfo.wave, 0);
    EXPECT_EQ (lfo.last_phase, 1.0f);
    EXPECT_EQ (lfo.random_smoother.getCurrentValue(), 0.0f);
    EXPECT_EQ (lfo.random_smoother.getTargetValue(), 0.0f);
    EXPECT_EQ (lfo.random_smoother.get_glide_length(), 0);
    EXPECT_EQ (lfo.sample_rate, 44100.0f);
    EXPECT_EQ (lfo.glide_rate, 1.0f);
    EXPECT_EQ (lfo.held_value, 0.0f);
    EXPECT_EQ (lfo.lfo.phase, 0.0f);
    EXPECT_EQ (lfo.lfo.frequency, 1.0f);
    EXPECT_EQ (lfo.lfo.sample_rate, 44100.0f);

    lfo.glide_rate = 3.0f;
    lfo.prepare (48000.0, 100);
    EXPECT_EQ (lfo.output.getNumChannels(), 2);
    EXPECT_EQ (lfo.output.getNumSamples(), 116);
    EXPECT_EQ (lfo.lfo.phase_buffer.getNumSamples(), 116);
    EXPECT_EQ (lfo.sample_rate, 48000.0f);
    EXPECT_EQ (lfo.lfo.sample_rate, 48000.0f);
    EXPECT_EQ (lfo.random_smoother.get_glide_length(), 16000);

    // Truncated: 44100 / 7 = 6300; 44100 / 0.7 = 63000.0039 in float -> 63000.
    lfo.glide_rate = 0.7f;
    lfo.prepare (44100.0, 100);
    EXPECT_EQ (lfo.random_smoother.get_glide_length(), static_cast<int> (44100.0f / 0.7f));
    lfo.glide_rate = 7.0f;
    lfo.prepare (44100.0, 100);
    EXPECT_EQ (lfo.random_smoother.get_glide_length(), 6300);

    // A glide rate of 0 (never written by the owner) gives no glide instead of an undefined cast.
    lfo.glide_rate = 0.0f;
    lfo.prepare (44100.0, 100);
    EXPECT_EQ (lfo.random_smoother.get_glide_length(), 0);
}

TEST (QuorvaneLFO, TableShapesStartTheirCycleAtEntryZero)
{
    const float starts[] = { 0.0f, -1.0f, -1.0f, 1.0f, -1.0f };

    for (int shape = 0; shape < 5; ++shape)
    {
        QuorvaneLFO lfo;
        lfo.wave = shape;
        prepare (lfo, 44100.0, 1.0f, 64);
        lfo.process (1);
        EXPECT_EQ (lfo.output.getSample (0, 0), starts[shape]) << shape;
    }
}

TEST (QuorvaneLFO, SineCycleAndItsInversion)
{
    // 1024 Hz sampling at 4 Hz: 256 samples per cycle, every sample on a table entry.
    QuorvaneLFO lfo;
    prepare (lfo, 1024.0, 4.0f, 256);
    lfo.process (256);

    const auto& out = lfo.output;
    EXPECT_EQ (out.getSample (0, 0), 0.0f);    // phase 0
    EXPECT_EQ (out.getSample (0, 64), 1.0f);   // phase 0.25
    EXPECT_EQ (out.getSample (0, 192), -1.0f); // phase 0.75

    // 1 - clamp (signal, 0, 1): phase 0 gives 1, 0.25 gives 0, 0.75 gives 1, not -signal.
    EXPECT_EQ (out.getSample (1, 0), 1.0f);
    EXPECT_EQ (out.getSample (1, 64), 0.0f);
    EXPECT_EQ (out.getSample (1, 192), 1.0f);
    EXPECT_EQ (out.getSample (1, 32), 1.0f - out.getSample (0, 32));

    for (int i = 128; i < 256; ++i)
    {
        if (out.getSample (0, i) < 0.0f)
        {
            ASSERT_EQ (out.getSample (1, i), 1.0f) << i;
        }
    }
}

TEST (QuorvaneLFO, WaveChangeSwitchesShapeAtTheSamePhase)
{
    QuorvaneLFO lfo;
    prepare (lfo, 1024.0, 4.0f, 64);
    lfo.wave = saw_up;
    lfo.process (32);                         // phases 0 .. 31/256
    lfo.wave = triangle;
    lfo.process (1);                          // phase 32/256 = 0.125: index 128
    EXPECT_EQ (lfo.output.getSample (0, 0), 128.0f / 256.0f - 1.0f);
}

TEST (QuorvaneLFO, RandomDrawsOnceAtTheFirstSampleAndOncePerCycle)
{
    // 1 Hz at 44.1 kHz: the phase advances 1/44100 per sample.
    QuorvaneLFO lfo;
    lfo.random.setSeed (1234);
    juce::Random reference (1234);
    lfo.wave = random_wave;
    prepare (lfo, 44100.0, 1.0f, 512);
    EXPECT_EQ (lfo.lfo.sample_rate, 44100.0f);

    const auto out = render (lfo, 3 * 44100 + 100, 512);

    // The first sample after prepare is a wrap: a value is drawn at once.
    EXPECT_EQ (out[0], draw (reference));
    draw (reference);
    draw (reference);
    const float fourth = draw (reference);
    EXPECT_EQ (out.back(), fourth);
    EXPECT_EQ (lfo.held_value, fourth);

    std::vector<size_t> changes;

    for (size_t i = 1; i < out.size(); ++i)
        if (out[i] != out[i - 1])
            changes.push_back (i);

    // One new value per cycle, each at a wrap, and held in between. The wraps are where the
    // float phase, stepped by the float 1/44100, passes 1: within 0.1 % of every 44100 samples.
    std::vector<size_t> wraps;
    const float increment = 1.0f / 44100.0f;
    float phase = 0.0f;

    for (size_t i = 1; i < out.size(); ++i)
    {
        phase += increment;

        if (phase >= 1.0f)
        {
            phase -= 1.0f;
            wraps.push_back (i);
        }
    }

    EXPECT_EQ (changes, wraps);
    ASSERT_EQ (changes.size(), 3u);

    for (size_t k = 0; k < 3; ++k)
        EXPECT_NEAR (static_cast<double> (changes[k]), 44100.0 * static_cast<double> (k + 1), 44.1 * static_cast<double> (k + 1));

    for (float value : out)
        ASSERT_TRUE (value >= -1.0f && value < 1.0f);
}

TEST (QuorvaneLFO, RandomValuesFollowTheGeneratorSequence)
{
    QuorvaneLFO lfo;
    lfo.random.setSeed (99);
    juce::Random reference (99);
    lfo.wave = random_wave;
    prepare (lfo, 1024.0, 8.0f, 128); // 128 samples per cycle, exact

    const auto out = render (lfo, 128 * 5, 128);

    for (int cycle = 0; cycle < 5; ++cycle)
    {
        const float value = draw (reference);

        for (int i = 0; i < 128; ++i)
            ASSERT_EQ (out[static_cast<size_t> (cycle * 128 + i)], value) << cycle << ", " << i;
    }

    EXPECT_EQ (lfo.held_value, out.back());
}

TEST (QuorvaneLFO, SmoothRandomGlidesLinearlyAndLandsOnTheTargetAtTheNextWrap)
{
    QuorvaneLFO lfo;
    lfo.random.setSeed (5);
    juce::Random reference (5);
    lfo.wave = smooth_random;
    prepare (lfo, 1024.0, 8.0f, 128); // glide length 1024 / 8 = 128 = one cycle
    ASSERT_EQ (lfo.random_smoother.get_glide_length(), 128);

    const auto out = render (lfo, 128 * 3, 64);
    float previous = 0.0f;

    for (int cycle = 0; cycle < 3; ++cycle)
    {
        const float target = draw (reference);
        const float step = (target - previous) / 128.0f;
        float expected = previous;

        for (int i = 0; i < 128; ++i)
        {
            expected = i == 127 ? target : expected + step;
            ASSERT_EQ (out[static_cast<size_t> (cycle * 128 + i)], expected) << cycle << ", " << i;
        }

        // The last step lands exactly on the new value, at the sample before the next wrap.
        EXPECT_EQ (out[static_cast<size_t> (cycle * 128 + 127)], target);
        previous = target;
    }

    EXPECT_EQ (lfo.held_value, previous);
}

TEST (QuorvaneLFO, GlideLengthChangeAppliesFromTheNextGlideOn)
{
    QuorvaneLFO lfo;
    lfo.random.setSeed (11);
    juce::Random reference (11);
    lfo.wave = smooth_random;
    prepare (lfo, 1024.0, 8.0f, 128);

    const float first = draw (reference), second = draw (reference);

    lfo.process (32); // a quarter into the first glide of 128 samples
    const float step = first / 128.0f;
    EXPECT_NEAR (lfo.output.getSample (0, 31), 32.0f * step, 1e-6f);

    // The owner sets a new length each block: the glide in progress keeps its step and end.
    lfo.random_smoother.set_glide_length (32);
    EXPECT_EQ (lfo.random_smoother.get_glide_length(), 32);
    EXPECT_TRUE (lfo.random_smoother.isSmoothing());
    lfo.process (96);
    EXPECT_NEAR (lfo.output.getSample (0, 0), 33.0f * step, 1e-6f);
    EXPECT_EQ (lfo.output.getSample (0, 95), first);

    // The next glide, from the wrap on, takes 32 samples.
    lfo.process (64);
    const float next_step = (second - first) / 32.0f;
    EXPECT_EQ (lfo.output.getSample (0, 0), first + next_step);
    EXPECT_EQ (lfo.output.getSample (0, 31), second);
    EXPECT_EQ (lfo.output.getSample (0, 63), second);
}

TEST (QuorvaneLFO, SmoothRandomAtGlideLengthZeroJumps)
{
    QuorvaneLFO lfo;
    lfo.random.setSeed (3);
    juce::Random reference (3);
    lfo.wave = smooth_random;
    prepare (lfo, 1024.0, 8.0f, 128);
    lfo.random_smoother.set_glide_length (0);

    lfo.process (128);
    const float value = draw (reference);
    EXPECT_EQ (lfo.output.getSample (0, 0), value);
    EXPECT_EQ (lfo.output.getSample (0, 127), value);
}

TEST (QuorvaneLFO, SmoothRandomDrawEqualToTheTargetLeavesTheGlideAlone)
{
    // A glide to r is under way with 128 steps when the wrap draws r again: nothing
    // changes, the glide keeps its step; restarting it would take the new length of 64.
    QuorvaneLFO lfo;
    lfo.random.setSeed (21);
    juce::Random reference (21);
    const float r = draw (reference);

    lfo.wave = smooth_random;
    prepare (lfo, 1024.0, 8.0f, 128);
    lfo.random_smoother.set_glide_length (128);
    lfo.random_smoother.setTargetValue (r);
    lfo.random_smoother.set_glide_length (64);

    lfo.process (1);
    EXPECT_EQ (lfo.held_value, r);
    EXPECT_EQ (lfo.output.getSample (0, 0), r / 128.0f);
}

TEST (QuorvaneLFO, RandomShapesDoNotDrawWhileATableShapeRuns)
{
    QuorvaneLFO lfo;
    lfo.random.setSeed (8);
    juce::Random reference (8);
    lfo.wave = sine;
    prepare (lfo, 1024.0, 8.0f, 128);
    for (int cycle = 0; cycle < 3; ++cycle)
        lfo.process (128);

    lfo.wave = random_wave;
    lfo.process (1); // phase 0 again after three cycles: a wrap
    EXPECT_EQ (lfo.output.getSample (0, 0), draw (reference));
}

TEST (QuorvaneLFO, NonFiniteRateNeverMakesTheTableReadUndefined)
{
    QuorvaneLFO lfo;
    prepare (lfo, 1000.0, 125.0f, 16);

    for (int wave = 0; wave < 7; ++wave)
    {
        lfo.wave = wave;
        lfo.lfo.frequency = std::numeric_limits<float>::quiet_NaN();
        lfo.process (16);

        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 16; ++i)
                ASSERT_TRUE (std::isfinite (lfo.output.getSample (c, i))) << wave;

        lfo.lfo.frequency = std::numeric_limits<float>::infinity();
        lfo.process (16);
        EXPECT_TRUE (std::isfinite (lfo.output.getSample (0, 15)));
    }

    // The phase was held, not lost: a finite rate goes on from it.
    lfo.lfo.frequency = 125.0f;
    lfo.wave = saw_up;
    lfo.process (1);
    EXPECT_EQ (lfo.output.getSample (0, 0), -1.0f);
    lfo.process (1);
    EXPECT_EQ (lfo.output.getSample (0, 0), 0.125f * 2.0f - 1.0f);
}

TEST (QuorvaneLFO, ProcessAllocatesNothingAcrossPrepareThenProcessCycles)
{
    QuorvaneLFO lfo;

    for (const auto& cycle : quorvane::test::prepare_cycles)
    {
        SCOPED_TRACE (testing::Message() << cycle.sample_rate << " Hz, " << cycle.maximum_block_size);
        lfo.prepare (cycle.sample_rate, cycle.maximum_block_size);

        quorvane::test::ScopedAllocationCounter allocations;

        for (int wave = 0; wave < 7; ++wave)
        {
            for (int n : quorvane::test::block_lengths_for (cycle.maximum_block_size))
            {
                const float rate = 20.0f + static_cast<float> (wave);
                lfo.wave = wave;
                lfo.lfo.frequency = rate;
                lfo.glide_rate = rate;
                lfo.random_smoother.set_glide_length (static_cast<int> (lfo.sample_rate / rate));
                lfo.process (n);
            }
        }

        EXPECT_EQ (allocations.allocations(), 0u);
        EXPECT_EQ (allocations.deallocations(), 0u);
    }
}
