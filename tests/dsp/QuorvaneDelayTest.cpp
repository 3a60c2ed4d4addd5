#include "ProcessorRig.h"
#include "QuorvaneDelay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
using Delay = crvl::dsp::QuorvaneDelay<float>;
using quorvane::test::Buffer;

constexpr float nan_value = std::numeric_limits<float>::quiet_NaN();
constexpr float infinity = std::numeric_limits<float>::infinity();

/** What the line is written: tanh, clamped at +-5, within the table's interpolation error. */
float sat (float x) { return std::tanh (juce::jlimit (-5.0f, 5.0f, x)); }
constexpr float table_error = 2.0e-5f;

/** Gain 1 before prepare, so no fade-in runs. */
void prepare (Delay& delay, double rate, int block, int channels = 2, float max_seconds = 1.0f)
{
    delay.max_delay_seconds = max_seconds;
    delay.output_gain.setGainLinear (1.0f);
    delay.prepare ({ rate, (juce::uint32) block, (juce::uint32) channels });
}

Buffer run (Delay& delay, Buffer buffer, int block)
{
    for (int start = 0; start < buffer.getNumSamples(); start += block)
    {
        auto view = juce::dsp::AudioBlock<float> (buffer).getSubBlock ((size_t) start, (size_t) juce::jmin (block, buffer.getNumSamples() - start));
        delay.process (juce::dsp::ProcessContextReplacing<float> (view));
    }

    return buffer;
}

Buffer silence (int length, int channels = 2)
{
    Buffer buffer (channels, length);
    buffer.clear();
    return buffer;
}

std::vector<float> times (const Delay& delay, int n) { return { delay.delay_times.getReadPointer (0), delay.delay_times.getReadPointer (0) + n }; }
} // namespace

TEST (QuorvaneDelay, ReadsTheSaturatedInputWholeAndFractionalSamplesLater)
{
    // Left a ramp, right an impulse of 0.5 and one of 7 (beyond the table's end).
    struct Case { float time; double rate; float max_seconds; int length, block; };
    const Case cases[] { { 10.0f, 44100.0, 1.0f, 48, 16 }, { 1.0f, 44100.0, 1.0f, 200, 64 },
                         { 1.5f, 44100.0, 1.0f, 200, 64 }, { 99.0f, 1000.0, 0.1f, 350, 32 } }; // 99 = L - 1

    for (const auto& k : cases)
    {
        SCOPED_TRACE (k.time);
        Delay delay;
        prepare (delay, k.rate, k.block, 2, k.max_seconds);
        delay.delay_samples.setTargetValue (k.time);

        auto input = silence (k.length);
        for (int i = 0; i < k.length; ++i)
            input.setSample (0, i, 0.01f * static_cast<float> (i % 97) - 0.4f);
        input.setSample (1, 0, 0.5f);
        input.setSample (1, 3, 7.0f);

        const auto out = run (delay, input, k.block);
        const int whole = static_cast<int> (k.time);
        const float frac = k.time - static_cast<float> (whole);

        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < k.length; ++i)
            {
                const auto written = [&] (int j) { return j >= 0 && j < i ? sat (input.getSample (c, j)) : 0.0f; };
                const int older = i - whole - (frac > 0.0f ? 1 : 0);
                ASSERT_NEAR (out.getSample (c, i), frac * written (older + 1) + (1.0f - frac) * written (older), table_error) << c << ", " << i;
            }
    }

    // Position 0, time 0.5 reads at L - 0.5: half the last entry, half entry 0.
    Delay delay;
    prepare (delay, 1000.0, 4, 1, 0.1f);
    delay.delay_line.setSample (0, 99, 0.25f);
    delay.delay_line.setSample (0, 0, 0.75f);
    delay.delay_samples.setTargetValue (0.5f);
    EXPECT_EQ (run (delay, silence (1, 1), 1).getSample (0, 0), 0.5f);
}

TEST (QuorvaneDelay, ModulatedTimeMovesByHalfTheLineClampedToOneAndLMinusOne)
{
    Delay delay;
    prepare (delay, 44100.0, 8, 2, 2.0f); // L = 88200: full depth moves +-44099
    const float source[8] = { 1.0f, -1.0f, 0.5f, 0.0f, 1.0f, -0.25f, 0.001f, 1.0f };

    const auto times_for = [&] (const float* mod, float time, float depth)
    {
        delay.delay_samples.setTargetValue (time); // no ramp: in full from the block's first sample
        delay.time_mod_source = mod;
        delay.time_mod_depth = depth;
        run (delay, silence (8), 8);
        return times (delay, 8);
    };

    EXPECT_EQ (times_for (source, 441.0f, 1.0f),
               (std::vector<float> { 441.0f + 44099.0f, 1.0f, 441.0f + 22049.5f, 441.0f, 441.0f + 44099.0f, 1.0f, 441.0f + 0.001f * 44099.0f, 44540.0f }));
    EXPECT_EQ (times_for (source, 80000.0f, 1.0f)[0], 88199.0f);
    EXPECT_EQ (times_for (source, 441.0f, 0.5f)[2], 441.0f + (0.5f * 0.5f) * 44099.0f);
    // A source at depth 0 still clamps; no source takes the time as it is.
    EXPECT_EQ (times_for (source, 0.5f, 0.0f)[0], 1.0f);
    EXPECT_EQ (times_for (nullptr, 0.5f, 0.0f)[0], 0.5f);
}

TEST (QuorvaneDelay, FeedbackModulationTakesTheSourcesFirstSampleClampedToZeroOne)
{
    const float rising[32] = { 1.0f, -1.0f, -1.0f }, falling[32] = { -1.0f, 1.0f, 1.0f };
    const struct { float feedback; const float* source; float depth, applied; } cases[] {
        { 0.8f, nullptr, 1.0f, 0.8f }, { 0.8f, rising, 1.0f, 1.0f }, { 0.8f, falling, 0.5f, 0.55f },
        { 0.8f, falling, 1.0f, 0.3f }, { 0.2f, falling, 1.0f, 0.0f },
    };

    for (const auto& k : cases)
    {
        SCOPED_TRACE (k.applied);
        Delay delay;
        prepare (delay, 44100.0, 32);
        delay.delay_samples.setTargetValue (10.0f);
        delay.feedback = k.feedback;
        delay.feedback_mod_source = k.source;
        delay.feedback_mod_depth = k.depth;
        EXPECT_NEAR (run (delay, quorvane::test::impulse (32, 0, 0.5f, 0.5f), 32).getSample (0, 20), sat (sat (0.5f) * k.applied), table_error);
    }
}

TEST (QuorvaneDelay, OutputFadesInOver60MillisecondsAfterPrepare)
{
    for (const auto& [rate, ramp] : { std::pair { 44100.0, 2646 }, std::pair { 48000.0, 2880 } })
    {
        SCOPED_TRACE (rate);
        Delay delay;
        delay.prepare ({ rate, 512, 1 });
        delay.delay_samples.setTargetValue (4000.0f);
        juce::FloatVectorOperations::fill (delay.delay_line.getWritePointer (0), 1.0f, delay.delay_line.getNumSamples());
        delay.output_gain.setGainLinear (1.0f);
        const auto out = run (delay, silence (3584, 1), 512);

        EXPECT_NEAR (out.getSample (0, 0), 1.0f / static_cast<float> (ramp), 1e-7f);
        EXPECT_NEAR (out.getSample (0, ramp / 2 - 1), 0.5f, 1e-4f);
        EXPECT_LT (out.getSample (0, ramp - 2), 1.0f);
        EXPECT_EQ (out.getSample (0, ramp - 1), 1.0f);
    }
}

TEST (QuorvaneDelay, NanOrInfiniteValuesNeverReachTheLineOrTheReadPosition)
{
    Delay delay;
    prepare (delay, 1000.0, 8, 2, 0.1f);
    delay.delay_samples.setTargetValue (3.0f);
    delay.feedback = 0.5f;

    auto buffer = silence (8);
    buffer.setSample (0, 0, nan_value);
    buffer.setSample (1, 0, infinity);
    buffer.setSample (1, 1, -infinity);
    buffer = run (delay, buffer, 8);
    EXPECT_TRUE (quorvane::test::all_finite (buffer) && quorvane::test::all_finite (delay.delay_line));
    EXPECT_EQ (buffer.getSample (0, 3), 0.0f); // written as silence would be
    EXPECT_NEAR (buffer.getSample (1, 3), sat (5.0f), table_error);
    EXPECT_NEAR (buffer.getSample (1, 4), sat (-5.0f), table_error);

    // +inf gives L - 1, -inf and NaN 1; inf x depth 0 is NaN; likewise a non-finite target.
    const float source[8] = { nan_value, infinity, -infinity, 0.5f, nan_value };
    delay.time_mod_source = source;
    for (const auto& [depth, expected] : { std::pair { 1.0f, std::vector<float> { 1.0f, 99.0f, 1.0f, 3.0f + 0.5f * 49.0f, 1.0f } },
                                           std::pair { 0.0f, std::vector<float> { 1.0f, 1.0f, 1.0f, 3.0f, 1.0f } } })
    {
        delay.time_mod_depth = depth;
        EXPECT_TRUE (quorvane::test::all_finite (run (delay, silence (8), 8)));
        EXPECT_EQ (times (delay, 5), expected);
    }

    delay.time_mod_source = nullptr;
    for (const auto& [target, expected] : { std::pair { nan_value, 1.0f }, std::pair { infinity, 99.0f }, std::pair { -infinity, 1.0f } })
    {
        delay.delay_samples.setCurrentAndTargetValue (target);
        EXPECT_TRUE (quorvane::test::all_finite (run (delay, silence (8), 8)));
        EXPECT_EQ (times (delay, 1)[0], expected) << target;
    }

    const float nan_source[8] = { nan_value };
    delay.delay_samples.setCurrentAndTargetValue (2.0f);
    delay.feedback_mod_source = nan_source;
    delay.feedback_mod_depth = 1.0f;
    EXPECT_TRUE (quorvane::test::all_finite (run (delay, quorvane::test::impulse (8, 0, 0.5f), 8)) && quorvane::test::all_finite (delay.delay_line));
}

TEST (QuorvaneDelay, WritePositionBeyondAShortenedLineWrapsModuloTheNewLength)
{
    Delay delay;
    prepare (delay, 48000.0, 64, 2, 2.0f);
    delay.write_positions = { 95000, 50000 };
    prepare (delay, 44100.0, 64, 2, 2.0f);
    EXPECT_EQ (delay.write_positions, (std::vector<int> { 95000 % 88200, 50000 }));
}
