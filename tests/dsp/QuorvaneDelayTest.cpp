#include "QuorvaneDelay.h"

#include "AllocationCounter.h"
#include "DspTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
using Delay = crvl::dsp::QuorvaneDelay<float>;

constexpr float nan_value = std::numeric_limits<float>::quiet_NaN();
constexpr float infinity = std::numeric_limits<float>::infinity();

/** Entry i of the saturation table worked by hand: tanh (-5 + 10 i / 1023), i = 0..1023,
    with the framework's float mapping; entry 1024 repeats entry 1023. */
float table_entry (int i)
{
    const int clamped = juce::jmin (i, 1023);
    return quorvane::test::runtime::tanh (juce::jmap (static_cast<float> (clamped), 0.0f, 1023.0f, -5.0f, 5.0f));
}

/** The table read: clamp to [-5, 5], index x 102.3 + 511.5, linear interpolation. */
float saturation_model (float x)
{
    const float scaler = 1023.0f / 10.0f;
    const float index = scaler * juce::jlimit (-5.0f, 5.0f, x) + 5.0f * scaler;
    const int i0 = static_cast<int> (index);
    const float frac = index - static_cast<float> (i0);
    return table_entry (i0) + frac * (table_entry (i0 + 1) - table_entry (i0));
}

/** Gain 1 before prepare: the gain jumps there and no fade-in runs. */
void prepare_at_unity_gain (Delay& delay, double sample_rate, int block_size, int channels = 2)
{
    delay.output_gain.setGainLinear (1.0f);
    delay.prepare ({ sample_rate, static_cast<juce::uint32> (block_size), static_cast<juce::uint32> (channels) });
}

void process (Delay& delay, juce::AudioBuffer<float>& buffer, int start, int num_samples)
{
    auto block = juce::dsp::AudioBlock<float> (buffer).getSubBlock (static_cast<size_t> (start), static_cast<size_t> (num_samples));
    delay.process (juce::dsp::ProcessContextReplacing<float> (block));
}

/** Runs a stereo signal through in blocks of `block_size`; returns the output. */
juce::AudioBuffer<float> run (Delay& delay, const std::vector<float>& left, const std::vector<float>& right, int block_size)
{
    const auto n = static_cast<int> (left.size());
    juce::AudioBuffer<float> buffer (2, n);

    for (int i = 0; i < n; ++i)
    {
        buffer.setSample (0, i, left[static_cast<size_t> (i)]);
        buffer.setSample (1, i, right[static_cast<size_t> (i)]);
    }

    for (int start = 0; start < n; start += block_size)
        process (delay, buffer, start, juce::jmin (block_size, n - start));

    return buffer;
}

std::vector<float> impulse (int length, float height, int at = 0)
{
    std::vector<float> signal (static_cast<size_t> (length), 0.0f);
    signal[static_cast<size_t> (at)] = height;
    return signal;
}

std::vector<float> ramp (int length)
{
    std::vector<float> signal (static_cast<size_t> (length));

    for (size_t i = 0; i < signal.size(); ++i)
        signal[i] = 0.01f * static_cast<float> (i % 97) - 0.4f;

    return signal;
}

void fill_line (Delay& delay, float value)
{
    for (int c = 0; c < delay.delay_line.getNumChannels(); ++c)
        juce::FloatVectorOperations::fill (delay.delay_line.getWritePointer (c), value, delay.delay_line.getNumSamples());
}

bool all_finite (const juce::AudioBuffer<float>& buffer, int num_samples)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < num_samples; ++i)
            if (! std::isfinite (buffer.getSample (c, i)))
                return false;

    return true;
}
} // namespace

TEST (QuorvaneDelay, ConstructionSetsTheDataModel)
{
    Delay delay;

    EXPECT_EQ (delay.time_mod_source, nullptr);
    EXPECT_EQ (delay.time_mod_depth, 0.0f);
    EXPECT_EQ (delay.feedback_mod_source, nullptr);
    EXPECT_EQ (delay.feedback_mod_depth, 0.0f);
    EXPECT_EQ (delay.sample_rate, 44100.0f);
    EXPECT_EQ (delay.max_delay_seconds, 1.0f);
    EXPECT_EQ (delay.delay_line.getNumSamples(), 0);
    EXPECT_EQ (delay.delay_samples.getCurrentValue(), 441.0f);
    EXPECT_EQ (delay.delay_samples.getTargetValue(), 441.0f);
    EXPECT_EQ (delay.delay_times.getNumSamples(), 0);
    EXPECT_EQ (delay.feedback, 0.0f);
    EXPECT_TRUE (delay.write_positions.empty());
    EXPECT_TRUE (delay.damping_filters.empty());
    EXPECT_EQ (delay.output_gain.getGainLinear(), 0.0f);
    EXPECT_EQ (delay.output_gain.getRampDurationSeconds(), 0.0);
}

TEST (QuorvaneDelay, SaturationTableIsTanhOver1024PointsReadThroughItsTableFormula)
{
    Delay delay;

    // Entry i at index x 102.3 + 511.5, whole indices: exactly the generator's value.
    EXPECT_EQ (delay.saturation.processSample (-5.0f), quorvane::test::runtime::tanh (-5.0f));
    EXPECT_EQ (delay.saturation.processSample (5.0f), quorvane::test::runtime::tanh (5.0f));

    // Beyond +-5 the table's ends, about +-0.99991.
    EXPECT_NEAR (delay.saturation.processSample (7.0f), 0.99991f, 1e-5f);
    EXPECT_NEAR (delay.saturation.processSample (-100.0f), -0.99991f, 1e-5f);
    EXPECT_EQ (delay.saturation.processSample (infinity), quorvane::test::runtime::tanh (5.0f));
    EXPECT_EQ (delay.saturation.processSample (-infinity), quorvane::test::runtime::tanh (-5.0f));

    // Between entries, the table's interpolation to the bit; within 1e-5 of tanh.
    for (float x = -6.0f; x <= 6.0f; x += 0.0137f)
    {
        ASSERT_EQ (delay.saturation.processSample (x), saturation_model (x)) << x;
        ASSERT_NEAR (delay.saturation.processSample (x), std::tanh (juce::jlimit (-5.0f, 5.0f, x)), 1e-5f) << x;
    }

    EXPECT_NEAR (saturation_model (0.5f), std::tanh (0.5f), 1e-5f);
}

TEST (QuorvaneDelay, PrepareSizesTheLineFromRateAndLongestDelay)
{
    Delay delay;
    delay.max_delay_seconds = 2.0f;

    delay.prepare (quorvane::test::stereo_spec (44100.0, 512));
    EXPECT_EQ (delay.sample_rate, 44100.0f);
    EXPECT_EQ (delay.delay_line.getNumChannels(), 2);
    EXPECT_EQ (delay.delay_line.getNumSamples(), 88200);
    EXPECT_EQ (delay.delay_times.getNumChannels(), 1);
    EXPECT_EQ (delay.delay_times.getNumSamples(), 512 + 16);
    EXPECT_EQ (delay.damping_filters.size(), 2u);
    EXPECT_EQ (delay.write_positions, (std::vector<int> { 0, 0 }));

    delay.prepare (quorvane::test::stereo_spec (48000.0, 64));
    EXPECT_EQ (delay.delay_line.getNumSamples(), 96000);
    EXPECT_EQ (delay.delay_times.getNumSamples(), 64 + 16);

    // The product is taken in float and truncated: 1000 x 0.1f is 100.0000015 in double.
    delay.max_delay_seconds = 0.1f;
    delay.prepare ({ 1000.0, 8, 1 });
    EXPECT_EQ (delay.delay_line.getNumSamples(), 100);
    EXPECT_EQ (Delay::line_length_for (44100.0f, 1.0f), 44100);
    EXPECT_EQ (Delay::line_length_for (22050.0f, 0.5f), 11025);

    // Fewer channels: the line follows, the filters and positions never shrink.
    EXPECT_EQ (delay.delay_line.getNumChannels(), 1);
    EXPECT_EQ (delay.damping_filters.size(), 2u);
    EXPECT_EQ (delay.write_positions.size(), 2u);
}

TEST (QuorvaneDelay, PrepareAddsPassThroughFiltersAndResetsEveryFilter)
{
    Delay delay;
    delay.prepare ({ 44100.0, 16, 1 });

    // A new filter passes its input: b0 = 1, b1 = 0, a1 = 0.
    const auto* c = delay.damping_filters[0].coefficients->getRawCoefficients();
    EXPECT_EQ (delay.damping_filters[0].coefficients->coefficients.size(), 3);
    EXPECT_EQ (c[0], 1.0f);
    EXPECT_EQ (c[1], 0.0f);
    EXPECT_EQ (c[2], 0.0f);

    // A state left by processing is cleared by the next prepare.
    delay.damping_filters[0].coefficients = juce::dsp::IIR::Coefficients<float>::makeFirstOrderLowPass (44100.0, 1000.0f);
    delay.damping_filters[0].processSample (1.0f);
    delay.prepare ({ 44100.0, 16, 2 });
    EXPECT_EQ (delay.damping_filters.size(), 2u);
    EXPECT_EQ (delay.damping_filters[0].processSample (0.0f), 0.0f);
}

TEST (QuorvaneDelay, PrepareLeavesTimeFeedbackAndModulationAlone)
{
    Delay delay;
    const float source[4] = {};
    delay.time_mod_source = source;
    delay.time_mod_depth = 0.25f;
    delay.feedback_mod_source = source + 1;
    delay.feedback_mod_depth = 0.75f;
    delay.delay_samples.setTargetValue (1234.5f);
    delay.feedback = 0.6f;

    delay.prepare (quorvane::test::stereo_spec (48000.0, 32));

    EXPECT_EQ (delay.time_mod_source, source);
    EXPECT_EQ (delay.time_mod_depth, 0.25f);
    EXPECT_EQ (delay.feedback_mod_source, source + 1);
    EXPECT_EQ (delay.feedback_mod_depth, 0.75f);
    EXPECT_EQ (delay.delay_samples.getTargetValue(), 1234.5f);
    EXPECT_EQ (delay.feedback, 0.6f);
}

TEST (QuorvaneDelay, PureDelayOfWholeSamplesGivesTheSaturatedInput)
{
    Delay delay;
    prepare_at_unity_gain (delay, 44100.0, 16);
    delay.delay_samples.setTargetValue (10.0f);

    const auto out = run (delay, impulse (48, 0.5f), impulse (48, 7.0f, 3), 16);

    // 0.5 comes out 10 samples later as the table's tanh (0.5); beyond 5, the table's end.
    EXPECT_EQ (out.getSample (0, 10), saturation_model (0.5f));
    EXPECT_NEAR (out.getSample (0, 10), 0.4621172f, 2e-5f);
    EXPECT_EQ (out.getSample (1, 13), quorvane::test::runtime::tanh (5.0f));
    EXPECT_NEAR (out.getSample (1, 13), 0.99991f, 1e-5f);

    // Before the echo the line is silent; after it, silence was written as the table's value at 0.
    for (int i = 0; i < 48; ++i)
    {
        if (i != 10)
        {
            EXPECT_EQ (out.getSample (0, i), i < 10 ? 0.0f : saturation_model (0.0f)) << i;
        }

        if (i != 13)
        {
            EXPECT_EQ (out.getSample (1, i), i < 10 ? 0.0f : saturation_model (0.0f)) << i;
        }
    }
}

TEST (QuorvaneDelay, DelayOfOneSampleReturnsTheValueWrittenOneSampleEarlier)
{
    Delay delay;
    prepare_at_unity_gain (delay, 44100.0, 64);
    delay.delay_samples.setTargetValue (1.0f);

    const auto input = ramp (200);
    const auto out = run (delay, input, input, 64);

    EXPECT_EQ (out.getSample (0, 0), 0.0f);

    for (int i = 1; i < 200; ++i)
        ASSERT_EQ (out.getSample (0, i), saturation_model (input[static_cast<size_t> (i - 1)])) << i;
}

TEST (QuorvaneDelay, DelayOfOneAndAHalfIsTheMeanOfTheTwoPreviousWrites)
{
    Delay delay;
    prepare_at_unity_gain (delay, 44100.0, 64);
    delay.delay_samples.setTargetValue (1.5f);

    const auto input = ramp (200);
    const auto out = run (delay, input, input, 64);

    for (int i = 2; i < 200; ++i)
    {
        const float older = saturation_model (input[static_cast<size_t> (i - 2)]);
        const float newer = saturation_model (input[static_cast<size_t> (i - 1)]);
        ASSERT_EQ (out.getSample (1, i), 0.5f * newer + 0.5f * older) << i;
    }
}

TEST (QuorvaneDelay, LongestDelayReturnsTheOldestValueInTheLine)
{
    Delay delay;
    delay.max_delay_seconds = 0.1f;
    prepare_at_unity_gain (delay, 1000.0, 32);
    ASSERT_EQ (delay.delay_line.getNumSamples(), 100);
    delay.delay_samples.setTargetValue (99.0f); // L - 1

    const auto input = ramp (350);
    const auto out = run (delay, input, input, 32);

    for (int i = 0; i < 99; ++i)
        ASSERT_EQ (out.getSample (0, i), 0.0f) << i;

    for (int i = 99; i < 350; ++i)
        ASSERT_EQ (out.getSample (0, i), saturation_model (input[static_cast<size_t> (i - 99)])) << i;
}

TEST (QuorvaneDelay, ReadAtOrBeyondTheLastEntryInterpolatesWithEntryZero)
{
    Delay delay;
    delay.max_delay_seconds = 0.1f;
    prepare_at_unity_gain (delay, 1000.0, 4, 1);
    const int length = delay.delay_line.getNumSamples();

    delay.delay_line.setSample (0, length - 1, 0.25f);
    delay.delay_line.setSample (0, 0, 0.75f);

    // Writing at 0 with a time of 0.5 reads at L - 0.5: half the last entry, half entry 0
    // (read before the write). The owner never sets a time below 1, but the object does not
    // clamp an unmodulated time; a read at L - 1 + frac must not reach entry L.
    delay.delay_samples.setTargetValue (0.5f);
    juce::AudioBuffer<float> buffer (1, 1);
    buffer.clear();
    process (delay, buffer, 0, 1);
    EXPECT_EQ (buffer.getSample (0, 0), 0.5f);

    // A time of 1 at position 0 reads exactly the last entry (L - 1): the read wraps.
    delay.write_positions[0] = 0;
    delay.delay_line.setSample (0, length - 1, 0.125f);
    delay.delay_samples.setTargetValue (1.0f);
    buffer.clear();
    process (delay, buffer, 0, 1);
    EXPECT_EQ (buffer.getSample (0, 0), 0.125f);
}

TEST (QuorvaneDelay, NewDelayTimeAppliesInFullFromTheBlocksFirstSample)
{
    Delay delay;
    prepare_at_unity_gain (delay, 44100.0, 32);

    delay.delay_samples.setTargetValue (10.0f);
    juce::AudioBuffer<float> buffer (2, 32);
    buffer.clear();
    process (delay, buffer, 0, 32);

    delay.delay_samples.setTargetValue (20.0f);
    buffer.clear();
    process (delay, buffer, 0, 32);

    for (int i = 0; i < 32; ++i)
        ASSERT_EQ (delay.delay_times.getSample (0, i), 20.0f) << i;
}

TEST (QuorvaneDelay, ModulatedTimeMovesByHalfTheLineAndIsClampedToTheLine)
{
    Delay delay;
    delay.max_delay_seconds = 2.0f;
    prepare_at_unity_gain (delay, 44100.0, 8);
    ASSERT_EQ (delay.delay_line.getNumSamples(), 88200);

    const float source[8] = { 1.0f, -1.0f, 0.5f, 0.0f, 1.0f, -0.25f, 0.001f, 1.0f };
    juce::AudioBuffer<float> buffer (2, 8);

    auto times_for = [&] (float time, float depth)
    {
        delay.delay_samples.setCurrentAndTargetValue (time);
        delay.time_mod_source = source;
        delay.time_mod_depth = depth;
        buffer.clear();
        process (delay, buffer, 0, 8);
        std::vector<float> times;

        for (int i = 0; i < 8; ++i)
            times.push_back (delay.delay_times.getSample (0, i));

        return times;
    };

    // Full depth: +-(L - 2) / 2 = 44099 samples, clamped to [1, L - 1].
    auto t = times_for (441.0f, 1.0f);
    EXPECT_EQ (t[0], 441.0f + 44099.0f);
    EXPECT_EQ (t[1], 1.0f);
    EXPECT_EQ (t[2], 441.0f + 22049.5f);
    EXPECT_EQ (t[3], 441.0f);
    EXPECT_EQ (t[5], 1.0f); // 441 - 11024.75 is below 1
    EXPECT_EQ (t[6], 441.0f + (0.001f * 1.0f) * 44099.0f);

    t = times_for (80000.0f, 1.0f);
    EXPECT_EQ (t[0], 88199.0f);
    EXPECT_EQ (t[1], 80000.0f - 44099.0f);

    // Half depth of a half source: a quarter of the range, in float in its fixed order.
    t = times_for (441.0f, 0.5f);
    EXPECT_EQ (t[2], 441.0f + (0.5f * 0.5f) * 44099.0f);
    EXPECT_EQ (t[5], 1.0f); // 441 - 5512.375 is below 1
    EXPECT_EQ (t[6], 441.0f + (0.001f * 0.5f) * 44099.0f);

    // With a source at depth 0 the time is still clamped to [1, L - 1] ...
    t = times_for (0.5f, 0.0f);
    EXPECT_EQ (t[0], 1.0f);
    t = times_for (90000.0f, 0.0f);
    EXPECT_EQ (t[0], 88199.0f);

    // ... but without a source it is taken as it is.
    delay.time_mod_source = nullptr;
    delay.delay_samples.setCurrentAndTargetValue (0.5f);
    buffer.clear();
    process (delay, buffer, 0, 8);
    EXPECT_EQ (delay.delay_times.getSample (0, 0), 0.5f);
}

TEST (QuorvaneDelay, ModulatedTimeIsReadSampleBySample)
{
    // The source steps from 0 to 1 within the block; each sample's read follows its own time.
    Delay delay;
    delay.max_delay_seconds = 0.1f;
    prepare_at_unity_gain (delay, 1000.0, 8, 1);
    const int length = delay.delay_line.getNumSamples(); // 100: the range is +-49

    for (int i = 0; i < length; ++i)
        delay.delay_line.setSample (0, i, static_cast<float> (i) * 0.001f);

    const float source[4] = { 0.0f, 1.0f, 0.0f, -1.0f };
    delay.time_mod_source = source;
    delay.time_mod_depth = 1.0f;
    delay.delay_samples.setCurrentAndTargetValue (50.0f);
    delay.write_positions[0] = 60;

    juce::AudioBuffer<float> buffer (1, 4);
    buffer.clear();
    process (delay, buffer, 0, 4);

    // Position 60 - 50 = 10; 61 - 99 = -38 -> 62; 62 - 50 = 12; 63 - 1 = 62, which
    // sample 2 has just overwritten with silence (feedback 0): the table's value at 0.
    EXPECT_EQ (buffer.getSample (0, 0), static_cast<float> (10) * 0.001f);
    EXPECT_EQ (buffer.getSample (0, 1), static_cast<float> (62) * 0.001f);
    EXPECT_EQ (buffer.getSample (0, 2), static_cast<float> (12) * 0.001f);
    EXPECT_EQ (buffer.getSample (0, 3), saturation_model (0.0f));
}

TEST (QuorvaneDelay, FeedbackModulationTakesTheSourcesFirstSampleAndIsClamped)
{
    // Impulse 0.5 with a delay of 10: the first echo is s1 = sat (0.5), the second
    // sat (s1 x fb) with the pass-through damping filter.
    const float s1 = saturation_model (0.5f);

    auto second_echo = [] (const float* source, float depth)
    {
        Delay delay;
        prepare_at_unity_gain (delay, 44100.0, 32);
        delay.delay_samples.setTargetValue (10.0f);
        delay.feedback = 0.8f;
        delay.feedback_mod_source = source;
        delay.feedback_mod_depth = depth;
        return run (delay, impulse (32, 0.5f), impulse (32, 0.5f), 32).getSample (0, 20);
    };

    EXPECT_EQ (second_echo (nullptr, 1.0f), saturation_model (s1 * 0.8f));

    // 0.8 + (1 x 1) x 0.5 = 1.3, clamped to 1.
    const float rising[32] = { 1.0f, -1.0f, -1.0f, -1.0f };
    EXPECT_EQ (second_echo (rising, 1.0f), saturation_model (s1 * 1.0f));

    // Only sample 0 counts: the rest of the block makes no difference.
    float constant[32];
    std::fill (std::begin (constant), std::end (constant), 1.0f);
    EXPECT_EQ (second_echo (constant, 1.0f), second_echo (rising, 1.0f));

    // 0.8 + (-1 x 0.5) x 0.5 = 0.55; 0.8 + (-1 x 1) x 0.5 = 0.3; never below 0.
    const float falling[32] = { -1.0f, 1.0f, 1.0f };
    EXPECT_EQ (second_echo (falling, 0.5f), saturation_model (s1 * (0.8f + (-1.0f * 0.5f) * 0.5f)));
    EXPECT_EQ (second_echo (falling, 1.0f), saturation_model (s1 * 0.3f));

    Delay fresh;
    prepare_at_unity_gain (fresh, 44100.0, 32);
    fresh.delay_samples.setTargetValue (10.0f);
    fresh.feedback = 0.2f;
    fresh.feedback_mod_source = falling;
    fresh.feedback_mod_depth = 1.0f;
    EXPECT_EQ (run (fresh, impulse (32, 0.5f), impulse (32, 0.5f), 32).getSample (0, 20), saturation_model (0.0f));
}

TEST (QuorvaneDelay, DampingActsOnTheFeedbackOnlySoTheFirstEchoIsUndamped)
{
    Delay delay;
    prepare_at_unity_gain (delay, 48000.0, 64);
    delay.delay_samples.setTargetValue (10.0f);
    delay.feedback = 1.0f;

    // 1000 Hz at 48 kHz: K = 0.06554, b0 = b1 = 0.06151, a1 = -0.87698.
    const auto coefficients = juce::dsp::IIR::Coefficients<float>::makeFirstOrderLowPass (48000.0, 1000.0f);
    const auto* c = coefficients->getRawCoefficients();
    EXPECT_NEAR (c[0], 0.06151f, 1e-5f);
    EXPECT_NEAR (c[1], 0.06151f, 1e-5f);
    EXPECT_NEAR (c[2], -0.87698f, 1e-5f);

    for (auto& filter : delay.damping_filters)
        filter.coefficients = coefficients;

    const auto out = run (delay, impulse (64, 0.5f), impulse (64, 0.5f), 64);
    const float s1 = saturation_model (0.5f);

    // The output is the read before the filter: the first echo is the saturated input.
    EXPECT_EQ (out.getSample (0, 10), s1);

    // The second passed the filter once. Its state was 0, as the line read zeros until then:
    // f = b0 x s1, written as sat (f x 1 + 0).
    EXPECT_EQ (out.getSample (0, 20), saturation_model (c[0] * s1));
    EXPECT_NEAR (out.getSample (0, 20), std::tanh (0.06151f * s1), 1e-4f);
}

TEST (QuorvaneDelay, DampingStatesWithin1e8AreSnappedToZeroAfterEachBlock)
{
    // b0 = 0, b1 = 1, a1 = 0 makes the filter a one-sample delay: its state after a block is
    // the block's last read, and the next output with input 0 shows it.
    auto state_after_reading = [] (float line_value)
    {
        Delay delay;
        prepare_at_unity_gain (delay, 44100.0, 8, 1);
        delay.delay_samples.setTargetValue (100.0f);
        delay.damping_filters[0].coefficients = new juce::dsp::IIR::Coefficients<float> (0.0f, 1.0f, 1.0f, 0.0f);
        fill_line (delay, line_value);

        juce::AudioBuffer<float> buffer (1, 8);
        buffer.clear();
        process (delay, buffer, 0, 8);
        EXPECT_EQ (buffer.getSample (0, 7), line_value);
        return delay.damping_filters[0].processSample (0.0f);
    };

    EXPECT_EQ (state_after_reading (5e-9f), 0.0f);
    EXPECT_EQ (state_after_reading (-9e-9f), 0.0f);
    EXPECT_EQ (state_after_reading (2e-8f), 2e-8f);
    EXPECT_EQ (state_after_reading (-0.25f), -0.25f);
}

TEST (QuorvaneDelay, OutputFadesInOver60MillisecondsAfterTheFirstPrepare)
{
    for (const auto& [rate, ramp_samples] : { std::pair { 44100.0, 2646 }, std::pair { 48000.0, 2880 } })
    {
        SCOPED_TRACE (rate);
        Delay delay;
        delay.prepare ({ rate, 512, 1 });
        delay.delay_samples.setTargetValue (4000.0f);
        fill_line (delay, 1.0f); // every read is exactly 1 for the first 4000 samples
        delay.output_gain.setGainLinear (1.0f);

        juce::AudioBuffer<float> buffer (1, 3584);
        buffer.clear();

        for (int start = 0; start < 3584; start += 512)
            process (delay, buffer, start, 512);

        EXPECT_GT (buffer.getSample (0, 0), 0.0f);
        EXPECT_NEAR (buffer.getSample (0, 0), 1.0f / static_cast<float> (ramp_samples), 1e-7f);
        EXPECT_NEAR (buffer.getSample (0, ramp_samples / 2 - 1), 0.5f, 1e-4f);
        EXPECT_LT (buffer.getSample (0, ramp_samples - 2), 1.0f);
        EXPECT_EQ (buffer.getSample (0, ramp_samples - 1), 1.0f);
        EXPECT_EQ (buffer.getSample (0, 3583), 1.0f);
    }
}

TEST (QuorvaneDelay, ChannelsHaveTheirOwnLinesPositionsAndFilters)
{
    auto render = [] (const std::vector<float>& left, const std::vector<float>& right)
    {
        Delay delay;
        prepare_at_unity_gain (delay, 44100.0, 32);
        delay.delay_samples.setTargetValue (5.0f);
        delay.feedback = 0.5f;

        for (auto& filter : delay.damping_filters)
            filter.coefficients = juce::dsp::IIR::Coefficients<float>::makeFirstOrderLowPass (44100.0, 2000.0f);

        auto out = run (delay, left, right, 32);
        EXPECT_EQ (delay.write_positions, (std::vector<int> { 64, 64 }));
        return out;
    };

    const std::vector<float> silence (64, 0.0f);
    const auto with_left_impulse = render (impulse (64, 0.5f), silence);
    const auto silent = render (silence, silence);

    EXPECT_EQ (with_left_impulse.getSample (0, 5), saturation_model (0.5f));

    // The right channel never sees the left impulse: it holds exactly what silence gives.
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ (with_left_impulse.getSample (1, i), silent.getSample (1, i)) << i;
}

TEST (QuorvaneDelay, WritePositionBeyondAShortenedLineWrapsModuloTheNewLength)
{
    Delay delay;
    delay.max_delay_seconds = 2.0f;
    prepare_at_unity_gain (delay, 48000.0, 64);
    ASSERT_EQ (delay.delay_line.getNumSamples(), 96000);

    delay.write_positions = { 95000, 50000 };
    prepare_at_unity_gain (delay, 44100.0, 64);
    ASSERT_EQ (delay.delay_line.getNumSamples(), 88200);

    // 95000 mod 88200 = 6800; 50000 still lies inside and goes on from there.
    EXPECT_EQ (delay.write_positions, (std::vector<int> { 6800, 50000 }));

    // A position that a mono preparation did not touch is wrapped too when the line shrinks.
    delay.write_positions = { 88199, 88199 };
    delay.prepare ({ 22050.0, 64, 1 });
    EXPECT_EQ (delay.write_positions, (std::vector<int> { 88199 % 44100, 88199 % 44100 }));

    // Processing goes on from the wrapped positions and an impulse still comes out on time.
    prepare_at_unity_gain (delay, 44100.0, 64);
    delay.write_positions = { 88190, 88190 };
    prepare_at_unity_gain (delay, 22050.0, 64);
    delay.delay_samples.setTargetValue (12.0f);
    const auto out = run (delay, impulse (64, 0.5f, 2), impulse (64, 0.5f, 2), 64);
    EXPECT_EQ (out.getSample (0, 14), saturation_model (0.5f));
    EXPECT_EQ (delay.write_positions[0], (88190 % 44100 + 64) % 44100);
}

TEST (QuorvaneDelay, NanOrInfiniteInputNeverReachesTheLineOrTheReadPosition)
{
    // Guards: a NaN sum into the saturation is written as silence would be; a delay time
    // that is not finite becomes L - 1 (+inf) or 1 (-inf, NaN). Everything stays finite.
    Delay delay;
    delay.max_delay_seconds = 0.1f;
    prepare_at_unity_gain (delay, 1000.0, 8);
    const int length = delay.delay_line.getNumSamples();
    delay.delay_samples.setTargetValue (3.0f);
    delay.feedback = 0.5f;

    // NaN and infinite audio.
    juce::AudioBuffer<float> buffer (2, 8);
    buffer.clear();
    buffer.setSample (0, 0, nan_value);
    buffer.setSample (1, 0, infinity);
    buffer.setSample (1, 1, -infinity);
    process (delay, buffer, 0, 8);
    EXPECT_TRUE (all_finite (buffer, 8));
    EXPECT_TRUE (all_finite (delay.delay_line, length));
    EXPECT_EQ (buffer.getSample (0, 3), saturation_model (0.0f)); // the NaN was written as 0 is
    EXPECT_EQ (buffer.getSample (1, 3), quorvane::test::runtime::tanh (5.0f));
    EXPECT_EQ (buffer.getSample (1, 4), quorvane::test::runtime::tanh (-5.0f));

    // Non-finite modulation of the time.
    const float source[8] = { nan_value, infinity, -infinity, 0.5f, nan_value, 0.0f, 0.0f, 0.0f };
    delay.time_mod_source = source;
    delay.time_mod_depth = 1.0f;
    buffer.clear();
    process (delay, buffer, 0, 8);
    EXPECT_EQ (delay.delay_times.getSample (0, 0), 1.0f);
    EXPECT_EQ (delay.delay_times.getSample (0, 1), static_cast<float> (length - 1));
    EXPECT_EQ (delay.delay_times.getSample (0, 2), 1.0f);
    EXPECT_EQ (delay.delay_times.getSample (0, 3), 3.0f + 0.5f * 49.0f);
    EXPECT_EQ (delay.delay_times.getSample (0, 4), 1.0f);
    EXPECT_TRUE (all_finite (buffer, 8));

    // An infinite source at depth 0 is inf x 0 = NaN.
    delay.time_mod_depth = 0.0f;
    buffer.clear();
    process (delay, buffer, 0, 8);
    EXPECT_EQ (delay.delay_times.getSample (0, 1), 1.0f);
    EXPECT_EQ (delay.delay_times.getSample (0, 3), 3.0f);

    // A target that is not finite, without modulation.
    delay.time_mod_source = nullptr;

    for (const auto& [target, expected] : { std::pair { nan_value, 1.0f },
                                            std::pair { infinity, static_cast<float> (length - 1) },
                                            std::pair { -infinity, 1.0f } })
    {
        delay.delay_samples.setCurrentAndTargetValue (target);
        buffer.clear();
        process (delay, buffer, 0, 8);
        EXPECT_EQ (delay.delay_times.getSample (0, 0), expected) << target;
        EXPECT_TRUE (all_finite (buffer, 8));
    }

    // A NaN feedback modulation makes the block's feedback NaN: what is written is still finite.
    const float nan_source[8] = { nan_value };
    delay.delay_samples.setCurrentAndTargetValue (2.0f);
    delay.feedback_mod_source = nan_source;
    delay.feedback_mod_depth = 1.0f;
    buffer.clear();
    buffer.setSample (0, 0, 0.5f);
    process (delay, buffer, 0, 8);
    EXPECT_TRUE (all_finite (buffer, 8));
    EXPECT_TRUE (all_finite (delay.delay_line, length));
}

TEST (QuorvaneDelay, NanInputGivesTheSameOutputAsSilence)
{
    auto render = [] (float first_sample)
    {
        Delay delay;
        prepare_at_unity_gain (delay, 44100.0, 32);
        delay.delay_samples.setTargetValue (7.0f);
        delay.feedback = 0.9f;
        auto signal = impulse (96, first_sample);
        return run (delay, signal, signal, 32);
    };

    const auto silent = render (0.0f);
    const auto guarded = render (nan_value);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 96; ++i)
            ASSERT_EQ (guarded.getSample (c, i), silent.getSample (c, i)) << c << ", " << i;
}

TEST (QuorvaneDelay, DampingCoefficientsAssignedInPlaceMatchTheFrameworksAndAllocateNothing)
{
    // Each filter that prepare adds owns a coefficient object with room for 8 values, so an
    // owner may write new first-order coefficients into it every block without allocating,
    // instead of making a new object (which allocates) with makeFirstOrderLowPass.
    Delay delay;
    delay.prepare (quorvane::test::stereo_spec (44100.0, 64));
    const auto reference = juce::dsp::IIR::Coefficients<float>::makeFirstOrderLowPass (44100.0, 11000.0f);

    {
        quorvane::test::ScopedAllocationCounter allocations;

        for (auto& filter : delay.damping_filters)
            *filter.coefficients = juce::dsp::IIR::ArrayCoefficients<float>::makeFirstOrderLowPass (44100.0, 11000.0f);

        EXPECT_EQ (allocations.allocations(), 0u);
    }

    for (auto& filter : delay.damping_filters)
    {
        ASSERT_EQ (filter.coefficients->coefficients.size(), 3);

        for (int k = 0; k < 3; ++k)
            EXPECT_EQ (filter.coefficients->coefficients[k], reference->coefficients[k]) << k;
    }

    // 11000 Hz at 44.1 kHz: K = 0.99644, b0 = b1 = 0.49911, a1 = -0.00178.
    EXPECT_NEAR (reference->coefficients[0], 0.49911f, 1e-5f);
    EXPECT_NEAR (reference->coefficients[1], 0.49911f, 1e-5f);
    EXPECT_NEAR (reference->coefficients[2], -0.00178f, 1e-5f);
}

TEST (QuorvaneDelay, ProcessAllocatesNothingAcrossPrepareThenProcessCycles)
{
    Delay delay;
    delay.max_delay_seconds = 2.0f;
    std::vector<float> modulation;

    for (const auto& cycle : quorvane::test::prepare_cycles)
    {
        SCOPED_TRACE (testing::Message() << cycle.sample_rate << " Hz, " << cycle.maximum_block_size);
        delay.prepare (quorvane::test::stereo_spec (cycle.sample_rate, cycle.maximum_block_size));
        modulation.assign (static_cast<size_t> (cycle.maximum_block_size + 16), 0.3f);

        juce::AudioBuffer<float> buffer (2, cycle.maximum_block_size);
        buffer.clear();
        buffer.setSample (0, 0, 0.5f);

        // The owner's coefficient objects are made outside the audio path here.
        const auto damping = juce::dsp::IIR::Coefficients<float>::makeFirstOrderLowPass (cycle.sample_rate, 3000.0f);

        for (auto& filter : delay.damping_filters)
            filter.coefficients = damping;

        quorvane::test::ScopedAllocationCounter allocations;

        for (int modulated = 0; modulated < 2; ++modulated)
        {
            for (int n : quorvane::test::block_lengths_for (cycle.maximum_block_size))
            {
                delay.time_mod_source = modulated != 0 ? modulation.data() : nullptr;
                delay.time_mod_depth = 0.5f;
                delay.feedback_mod_source = modulated != 0 ? modulation.data() : nullptr;
                delay.feedback_mod_depth = 0.5f;
                delay.delay_samples.setTargetValue (0.01f * delay.sample_rate);
                delay.feedback = 0.7f;
                delay.output_gain.setGainLinear (0.8f);
                process (delay, buffer, 0, n);
            }
        }

        EXPECT_EQ (allocations.allocations(), 0u);
        EXPECT_EQ (allocations.deallocations(), 0u);
    }
}
