#include "QuorvaneDelay.h"

#include "DspTestSupport.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace
{
using Delay = crvl::dsp::QuorvaneDelay<float>;
using Buffer = juce::AudioBuffer<float>;
namespace qt = quorvane::test;

constexpr float nan_value = std::numeric_limits<float>::quiet_NaN();
constexpr float infinity = std::numeric_limits<float>::infinity();

/** The saturation table worked by hand: tanh at -5 + 10 i / 1023, clamped, read linearly. */
float table_read (float x)
{
    const auto entry = [] (int i) { return qt::runtime::tanh (juce::jmap (static_cast<float> (juce::jmin (i, 1023)), 0.0f, 1023.0f, -5.0f, 5.0f)); };
    const float scaler = 1023.0f / 10.0f;
    const float index = scaler * juce::jlimit (-5.0f, 5.0f, x) + 5.0f * scaler;
    const int i0 = static_cast<int> (index);
    return entry (i0) + (index - static_cast<float> (i0)) * (entry (i0 + 1) - entry (i0));
}

/** What the line is written: the table, but tanh itself within half a step of 0 (0 from 200 dB down). */
float sat (float x) { return std::abs (x) >= 5.0f / 1023.0f ? table_read (x) : std::abs (x) < 1.0e-10f ? 0.0f : x - x * x * x / 3.0f; }

/** Gain 1 before prepare, so no fade-in runs. */
void prepare (Delay& delay, double rate, int block, int channels = 2, float max_seconds = 1.0f)
{
    delay.max_delay_seconds = max_seconds;
    delay.output_gain.setGainLinear (1.0f);
    delay.prepare (qt::spec (rate, block, channels));
}

void process (Delay& delay, Buffer& buffer, int start, int n)
{
    auto block = juce::dsp::AudioBlock<float> (buffer).getSubBlock (static_cast<size_t> (start), static_cast<size_t> (n));
    delay.process (juce::dsp::ProcessContextReplacing<float> (block));
}

/** Processes a copy of `input` in blocks of `block`. */
Buffer run (Delay& delay, Buffer buffer, int block)
{
    for (int start = 0; start < buffer.getNumSamples(); start += block)
        process (delay, buffer, start, juce::jmin (block, buffer.getNumSamples() - start));

    return buffer;
}

Buffer impulse (int length, float height, int at = 0, int channels = 2)
{
    Buffer buffer (channels, length);
    buffer.clear();

    for (int c = 0; c < channels; ++c)
        buffer.setSample (c, at, height);

    return buffer;
}

void fill_line (Delay& delay, float value)
{
    for (int c = 0; c < delay.delay_line.getNumChannels(); ++c)
        juce::FloatVectorOperations::fill (delay.delay_line.getWritePointer (c), value, delay.delay_line.getNumSamples());
}

bool all_finite (const Buffer& buffer)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            if (! std::isfinite (buffer.getSample (c, i)))
                return false;

    return true;
}

bool same_bits (const Buffer& a, const Buffer& b)
{
    const auto bytes = sizeof (float) * static_cast<size_t> (a.getNumSamples());

    for (int c = 0; c < a.getNumChannels(); ++c)
        if (std::memcmp (a.getReadPointer (c), b.getReadPointer (c), bytes) != 0)
            return false;

    return a.getNumSamples() == b.getNumSamples();
}

float time_of (const Delay& delay, int i) { return delay.delay_times.getSample (0, i); }
} // namespace

TEST (QuorvaneDelay, SaturationIsTheTanhTableClampedAtPlusMinusFive)
{
    Delay delay;

    for (float x = -6.0f; x <= 6.0f; x += 0.0137f)
        ASSERT_EQ (delay.saturation.processSample (x), table_read (x)) << x;

    EXPECT_EQ (delay.saturation.processSample (infinity), qt::runtime::tanh (5.0f));
    EXPECT_EQ (delay.saturation.processSample (-infinity), qt::runtime::tanh (-5.0f));
    EXPECT_NEAR (sat (0.5f), 0.4621172f, 2e-5f);
}

TEST (QuorvaneDelay, PrepareSizesTheLineAndKeepsFiltersPositionsAndSettings)
{
    Delay delay;
    const float source[4] = {};
    delay.time_mod_source = source;
    delay.feedback_mod_depth = 0.75f;
    delay.delay_samples.setTargetValue (1234.5f);
    delay.feedback = 0.6f;

    prepare (delay, 44100.0, 512, 2, 2.0f);
    EXPECT_EQ (delay.delay_line.getNumSamples(), 88200);
    EXPECT_EQ (delay.delay_times.getNumSamples(), 512 + 16);
    EXPECT_EQ (delay.write_positions, (std::vector<int> { 0, 0 }));
    EXPECT_EQ (delay.time_mod_source, source);
    EXPECT_EQ (delay.feedback_mod_depth, 0.75f);
    EXPECT_EQ (delay.delay_samples.getTargetValue(), 1234.5f);
    EXPECT_EQ (delay.feedback, 0.6f);

    // New filters pass their input; a state left by processing is cleared.
    const auto* c = delay.damping_filters[0].coefficients->getRawCoefficients();
    EXPECT_EQ (std::vector<float> (c, c + 3), (std::vector<float> { 1.0f, 0.0f, 0.0f }));
    delay.damping_filters[0].coefficients = juce::dsp::IIR::Coefficients<float>::makeFirstOrderLowPass (44100.0, 1000.0f);
    delay.damping_filters[0].processSample (1.0f);

    // The product is taken in float and truncated; fewer channels never shrink filters or positions.
    prepare (delay, 1000.0, 8, 1, 0.1f);
    EXPECT_EQ (delay.delay_line.getNumSamples(), 100);
    EXPECT_EQ (delay.delay_line.getNumChannels(), 1);
    EXPECT_EQ (delay.damping_filters.size(), 2u);
    EXPECT_EQ (delay.write_positions.size(), 2u);
    EXPECT_EQ (delay.damping_filters[0].processSample (0.0f), 0.0f);
    EXPECT_EQ (Delay::line_length_for (22050.0f, 0.5f), 11025);
}

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

        Buffer input (2, k.length);
        input.clear();
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
                ASSERT_EQ (out.getSample (c, i), frac * written (older + 1) + (1.0f - frac) * written (older)) << c << ", " << i;
            }
    }
}

TEST (QuorvaneDelay, ReadAtTheLastEntryWrapsToEntryZero)
{
    Delay delay;
    prepare (delay, 1000.0, 4, 1, 0.1f);
    Buffer buffer (1, 1);

    // Position 0, time 0.5 reads at L - 0.5: half the last entry, half entry 0; time 1 reads L - 1.
    for (const auto& [time, expected] : { std::pair { 0.5f, 0.5f }, std::pair { 1.0f, 0.25f } })
    {
        delay.write_positions[0] = 0;
        delay.delay_line.setSample (0, 99, 0.25f);
        delay.delay_line.setSample (0, 0, 0.75f);
        delay.delay_samples.setTargetValue (time);
        buffer.clear();
        process (delay, buffer, 0, 1);
        EXPECT_EQ (buffer.getSample (0, 0), expected) << time;
    }
}

TEST (QuorvaneDelay, ModulatedTimeMovesByHalfTheLineClampedToOneAndLMinusOne)
{
    Delay delay;
    prepare (delay, 44100.0, 8, 2, 2.0f); // L = 88200: full depth moves +-44099
    const float source[8] = { 1.0f, -1.0f, 0.5f, 0.0f, 1.0f, -0.25f, 0.001f, 1.0f };
    Buffer buffer (2, 8);

    const auto times_for = [&] (const float* mod, float time, float depth)
    {
        delay.delay_samples.setTargetValue (time); // no ramp: in full from the block's first sample
        delay.time_mod_source = mod;
        delay.time_mod_depth = depth;
        buffer.clear();
        process (delay, buffer, 0, 8);
        std::vector<float> times;
        for (int i = 0; i < 8; ++i)
            times.push_back (time_of (delay, i));
        return times;
    };

    auto t = times_for (source, 441.0f, 1.0f);
    EXPECT_EQ (t[0], 441.0f + 44099.0f);
    EXPECT_EQ (t[1], 1.0f);
    EXPECT_EQ (t[2], 441.0f + 22049.5f);
    EXPECT_EQ (t[5], 1.0f);
    EXPECT_EQ (t[6], 441.0f + (0.001f * 1.0f) * 44099.0f);
    EXPECT_EQ (times_for (source, 80000.0f, 1.0f)[0], 88199.0f);
    EXPECT_EQ (times_for (source, 441.0f, 0.5f)[2], 441.0f + (0.5f * 0.5f) * 44099.0f);

    // A source at depth 0 still clamps; no source takes the time as it is, in full from sample 0.
    EXPECT_EQ (times_for (source, 0.5f, 0.0f)[0], 1.0f);
    EXPECT_EQ (times_for (source, 90000.0f, 0.0f)[0], 88199.0f);
    EXPECT_EQ (times_for (nullptr, 0.5f, 0.0f)[0], 0.5f);
    EXPECT_EQ (times_for (nullptr, 20.0f, 0.0f), std::vector<float> (8, 20.0f));
}

TEST (QuorvaneDelay, ModulatedTimeIsReadSampleBySample)
{
    Delay delay;
    prepare (delay, 1000.0, 8, 1, 0.1f); // range +-49
    for (int i = 0; i < 100; ++i)
        delay.delay_line.setSample (0, i, static_cast<float> (i) * 0.001f);

    const float source[4] = { 0.0f, 1.0f, 0.0f, -1.0f };
    delay.time_mod_source = source;
    delay.time_mod_depth = 1.0f;
    delay.delay_samples.setCurrentAndTargetValue (50.0f);
    delay.write_positions[0] = 60;
    Buffer buffer (1, 4);
    buffer.clear();
    process (delay, buffer, 0, 4);

    // 60 - 50; 61 - 99 wraps to 62; 62 - 50; 63 - 1 = 62, just overwritten with sat (0).
    EXPECT_EQ (buffer.getSample (0, 0), 10.0f * 0.001f);
    EXPECT_EQ (buffer.getSample (0, 1), 62.0f * 0.001f);
    EXPECT_EQ (buffer.getSample (0, 2), 12.0f * 0.001f);
    EXPECT_EQ (buffer.getSample (0, 3), sat (0.0f)); // written as silence would be
}

TEST (QuorvaneDelay, FeedbackModulationTakesTheSourcesFirstSampleClampedToZeroOne)
{
    const float s1 = sat (0.5f);
    const float rising[32] = { 1.0f, -1.0f, -1.0f }, falling[32] = { -1.0f, 1.0f, 1.0f };
    const struct { float feedback; const float* source; float depth, applied; } cases[] {
        { 0.8f, nullptr, 1.0f, 0.8f }, { 0.8f, rising, 1.0f, 1.0f }, // 0.8 + 0.5 clamps to 1
        { 0.8f, falling, 0.5f, 0.8f + (-1.0f * 0.5f) * 0.5f }, { 0.8f, falling, 1.0f, 0.3f },
        { 0.2f, falling, 1.0f, 0.0f },
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
        EXPECT_EQ (run (delay, impulse (32, 0.5f), 32).getSample (0, 20), sat (s1 * k.applied));
    }
}

TEST (QuorvaneDelay, DampingFiltersOnlyTheFeedbackOfItsOwnChannel)
{
    const auto render = [] (float left_height, Delay& delay)
    {
        prepare (delay, 48000.0, 64);
        delay.delay_samples.setTargetValue (10.0f);
        delay.feedback = 1.0f;
        for (auto& filter : delay.damping_filters)
            filter.coefficients = juce::dsp::IIR::Coefficients<float>::makeFirstOrderLowPass (48000.0, 1000.0f);
        auto input = impulse (64, 0.0f);
        input.setSample (0, 0, left_height);
        return run (delay, input, 64);
    };

    Delay delay, silent_delay;
    const auto out = render (0.5f, delay), silent = render (0.0f, silent_delay);
    const float b0 = delay.damping_filters[0].coefficients->getRawCoefficients()[0];

    // The output is read before the filter; the second echo passed it once.
    EXPECT_EQ (out.getSample (0, 10), sat (0.5f));
    EXPECT_EQ (out.getSample (0, 20), sat (b0 * sat (0.5f)));
    EXPECT_NEAR (b0, 0.06151f, 1e-5f);

    for (int i = 0; i < 64; ++i)
        ASSERT_EQ (out.getSample (1, i), silent.getSample (1, i)) << i;
}

TEST (QuorvaneDelay, DampingStatesWithin1e8AreSnappedToZeroAfterEachBlock)
{
    // b0 = 0, b1 = 1, a1 = 0: a one-sample delay whose state after the block is the last read.
    for (const auto& [line_value, state] : { std::pair { 5e-9f, 0.0f }, std::pair { -9e-9f, 0.0f },
                                             std::pair { 2e-8f, 2e-8f }, std::pair { -0.25f, -0.25f } })
    {
        Delay delay;
        prepare (delay, 44100.0, 8, 1);
        delay.delay_samples.setTargetValue (100.0f);
        delay.damping_filters[0].coefficients = new juce::dsp::IIR::Coefficients<float> (0.0f, 1.0f, 1.0f, 0.0f);
        fill_line (delay, line_value);
        Buffer buffer (1, 8);
        buffer.clear();
        process (delay, buffer, 0, 8);
        EXPECT_EQ (delay.damping_filters[0].processSample (0.0f), state) << line_value;
    }
}

TEST (QuorvaneDelay, OutputFadesInOver60MillisecondsAfterPrepare)
{
    for (const auto& [rate, ramp] : { std::pair { 44100.0, 2646 }, std::pair { 48000.0, 2880 } })
    {
        SCOPED_TRACE (rate);
        Delay delay;
        delay.prepare (qt::spec (rate, 512, 1));
        delay.delay_samples.setTargetValue (4000.0f);
        fill_line (delay, 1.0f);
        delay.output_gain.setGainLinear (1.0f);
        const auto out = run (delay, impulse (3584, 0.0f, 0, 1), 512);

        EXPECT_NEAR (out.getSample (0, 0), 1.0f / static_cast<float> (ramp), 1e-7f);
        EXPECT_NEAR (out.getSample (0, ramp / 2 - 1), 0.5f, 1e-4f);
        EXPECT_LT (out.getSample (0, ramp - 2), 1.0f);
        EXPECT_EQ (out.getSample (0, ramp - 1), 1.0f);
        EXPECT_EQ (out.getSample (0, 3583), 1.0f);
    }
}

TEST (QuorvaneDelay, WritePositionBeyondAShortenedLineWrapsModuloTheNewLength)
{
    Delay delay;
    prepare (delay, 48000.0, 64, 2, 2.0f);
    delay.write_positions = { 95000, 50000 };
    prepare (delay, 44100.0, 64, 2, 2.0f);
    EXPECT_EQ (delay.write_positions, (std::vector<int> { 95000 % 88200, 50000 }));

    // A channel that a mono preparation leaves out is wrapped too; processing goes on from there.
    delay.write_positions = { 88190, 88190 };
    prepare (delay, 22050.0, 64, 1, 2.0f);
    EXPECT_EQ (delay.write_positions, (std::vector<int> { 88190 % 44100, 88190 % 44100 }));
    prepare (delay, 22050.0, 64, 2, 2.0f);
    delay.delay_samples.setTargetValue (12.0f);
    const auto out = run (delay, impulse (64, 0.5f, 2), 64);
    EXPECT_EQ (out.getSample (0, 14), sat (0.5f));
    EXPECT_EQ (delay.write_positions[0], (88190 % 44100 + 64) % 44100);
}

TEST (QuorvaneDelay, NanOrInfiniteValuesNeverReachTheLineOrTheReadPosition)
{
    Delay delay;
    prepare (delay, 1000.0, 8, 2, 0.1f);
    delay.delay_samples.setTargetValue (3.0f);
    delay.feedback = 0.5f;
    Buffer buffer (2, 8);

    SCOPED_TRACE ("audio");
    buffer.clear();
    buffer.setSample (0, 0, nan_value);
    buffer.setSample (1, 0, infinity);
    buffer.setSample (1, 1, -infinity);
    process (delay, buffer, 0, 8);
    EXPECT_TRUE (all_finite (buffer) && all_finite (delay.delay_line));
    EXPECT_EQ (buffer.getSample (0, 3), sat (0.0f)); // written as silence would be
    EXPECT_EQ (buffer.getSample (1, 3), qt::runtime::tanh (5.0f));
    EXPECT_EQ (buffer.getSample (1, 4), qt::runtime::tanh (-5.0f));

    SCOPED_TRACE ("time modulation: +inf gives L - 1, -inf and NaN 1; inf x depth 0 is NaN");
    const float source[8] = { nan_value, infinity, -infinity, 0.5f, nan_value };
    delay.time_mod_source = source;
    for (const auto& [depth, expected] : { std::pair { 1.0f, std::vector<float> { 1.0f, 99.0f, 1.0f, 3.0f + 0.5f * 49.0f, 1.0f } },
                                           std::pair { 0.0f, std::vector<float> { 1.0f, 1.0f, 1.0f, 3.0f, 1.0f } } })
    {
        delay.time_mod_depth = depth;
        buffer.clear();
        process (delay, buffer, 0, 8);
        EXPECT_EQ (std::vector<float> (delay.delay_times.getReadPointer (0), delay.delay_times.getReadPointer (0) + 5), expected);
        EXPECT_TRUE (all_finite (buffer));
    }

    SCOPED_TRACE ("unmodulated target");
    delay.time_mod_source = nullptr;
    for (const auto& [target, expected] : { std::pair { nan_value, 1.0f }, std::pair { infinity, 99.0f }, std::pair { -infinity, 1.0f } })
    {
        delay.delay_samples.setCurrentAndTargetValue (target);
        buffer.clear();
        process (delay, buffer, 0, 8);
        EXPECT_EQ (time_of (delay, 0), expected) << target;
        EXPECT_TRUE (all_finite (buffer));
    }

    SCOPED_TRACE ("NaN feedback modulation");
    const float nan_source[8] = { nan_value };
    delay.delay_samples.setCurrentAndTargetValue (2.0f);
    delay.feedback_mod_source = nan_source;
    delay.feedback_mod_depth = 1.0f;
    buffer.clear();
    buffer.setSample (0, 0, 0.5f);
    process (delay, buffer, 0, 8);
    EXPECT_TRUE (all_finite (buffer) && all_finite (delay.delay_line));
}

TEST (QuorvaneDelay, ProcessAndInPlaceDampingCoefficientsAllocateNothing)
{
    Delay delay;
    std::vector<float> modulation;
    Buffer buffer;

    qt::expect_allocation_free ([&] (double rate, int block)
    {
        prepare (delay, rate, block, 2, 2.0f);
        modulation.assign (static_cast<size_t> (block + 16), 0.3f);
        buffer.setSize (2, block);
        buffer.clear();
        buffer.setSample (0, 0, 0.5f);
    },
    [&] (int n)
    {
        // An owner writes new first-order coefficients into the objects prepare made.
        for (auto& filter : delay.damping_filters)
            *filter.coefficients = juce::dsp::IIR::ArrayCoefficients<float>::makeFirstOrderLowPass (delay.sample_rate, 3000.0f);

        for (const float* source : { static_cast<const float*> (nullptr), static_cast<const float*> (modulation.data()) })
        {
            delay.time_mod_source = delay.feedback_mod_source = source;
            delay.time_mod_depth = delay.feedback_mod_depth = 0.5f;
            delay.delay_samples.setTargetValue (0.01f * delay.sample_rate);
            delay.feedback = 0.7f;
            delay.output_gain.setGainLinear (0.8f);
            process (delay, buffer, 0, n);
        }
    });

    // The in-place coefficients are the framework's own.
    const auto reference = juce::dsp::IIR::Coefficients<float>::makeFirstOrderLowPass (44100.0, 3000.0f);
    ASSERT_EQ (delay.damping_filters[0].coefficients->coefficients.size(), 3);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ (delay.damping_filters[0].coefficients->coefficients[k], reference->coefficients[k]) << k;
}

TEST (QuorvaneDelay, SideBySideGivesTheBitsOfOneDelayAfterTheOther)
{
    // Two delays at different times, dampings, feedbacks, modulations and ramping gains, on
    // noise with hot, tiny and NaN samples, in blocks of changing length (0 and 1 included);
    // run side by side and one after the other, every output and line bit must agree.
    struct Case { const char* name; bool chained, apart, short_times, shared_input; };
    const Case cases[] {
        { "independent", false, false, false, false }, { "chained", true, false, false, false },
        { "chained, one-sample times", true, false, true, false }, { "apart write positions", false, true, false, false },
        { "one input for both", false, false, false, true }, { "one input, apart write positions", false, true, false, true },
    };

    std::vector<float> sine (600), ramp (600);
    for (size_t i = 0; i < sine.size(); ++i)
    {
        sine[i] = std::sin (0.05f * static_cast<float> (i));
        ramp[i] = 0.001f * static_cast<float> (i);
    }

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        std::array<Delay, 4> delays; // side by side: 0 and 1; one after the other: 2 and 3

        for (size_t d = 0; d < delays.size(); ++d)
        {
            auto& delay = delays[d];
            const bool second = d % 2 == 1;
            delay.max_delay_seconds = 0.05f;
            delay.prepare (qt::spec (48000.0, 512));
            delay.output_gain.setGainLinear (second ? 0.7f : 1.3f);
            delay.delay_samples.setCurrentAndTargetValue (c.short_times ? 1.0f : (second ? 333.5f : 1200.25f));
            delay.feedback = second ? 0.9f : 0.6f;
            delay.set_damping_frequency (second ? 900.0f : 12000.0f);
            delay.time_mod_source = sine.data();
            delay.time_mod_depth = second ? 0.02f : (c.short_times ? 0.0f : 0.01f);
            delay.feedback_mod_source = second ? ramp.data() : nullptr;
            delay.feedback_mod_depth = 0.5f;

            if (c.apart)
                delay.write_positions[1] = 77;
        }

        juce::Random random (7);
        for (const int n : { 512, 0, 1, 7, 300, 512, 64, 512 })
        {
            Buffer a (2, n), b (2, n);
            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < n; ++i)
                    a.setSample (ch, i, i % 97 == 5 ? 8.0f : (i % 89 == 3 ? 1.0e-6f : (i % 83 == 4 ? 1.0e-12f : random.nextFloat() - 0.5f)));
            if (n > 10)
                a.setSample (1, 10, nan_value);

            Buffer a2 (a), b2 (a);
            b.makeCopyOf (a);
            auto block_a = juce::dsp::AudioBlock<float> (a), block_a2 = juce::dsp::AudioBlock<float> (a2);
            auto block_b = juce::dsp::AudioBlock<float> (b), block_b2 = juce::dsp::AudioBlock<float> (b2);
            using Context = juce::dsp::ProcessContextReplacing<float>;

            // With one input for both, the side-by-side blocks start out holding something else.
            Buffer shared (a);
            if (c.shared_input)
                for (auto* buffer : { &a, &a2 })
                    buffer->applyGain (-3.0f);

            Delay::process_side_by_side (delays[0], block_a, delays[1], c.chained ? block_a : block_a2, c.chained,
                                         c.shared_input ? juce::dsp::AudioBlock<float> (shared) : juce::dsp::AudioBlock<float> {});
            delays[2].process (Context (block_b));
            delays[3].process (Context (c.chained ? block_b : block_b2));

            ASSERT_TRUE (same_bits (a, b)) << "block of " << n;
            ASSERT_TRUE (same_bits (a2, b2)) << "block of " << n;
        }

        for (size_t d = 0; d < 2; ++d)
        {
            EXPECT_EQ (delays[d].write_positions, delays[d + 2].write_positions);
            EXPECT_TRUE (same_bits (delays[d].delay_line, delays[d + 2].delay_line));
        }
    }
}
