#include "QuorvaneDistortion.h"

#include "ProcessorRig.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using Stage = QuorvaneDistortion::EngineStage;
using Buffer = juce::AudioBuffer<float>;

constexpr int soft_clip = 0, hard_clip = 1, overdrive = 2, foldover = 3;

const QuorvaneDistortion::Engine& engine (const QuorvaneDistortion& d, int type) { return d.engines[static_cast<size_t> (type)]; }

/** A cleared high-pass's first output: b0 x (input - the engine's value for silence). */
float first_output (const QuorvaneDistortion& d, int type, float shaped)
{
    const auto& high_pass = engine (d, type).get<Stage::high_pass_stage>();
    return static_cast<float> (high_pass.b0 * (static_cast<double> (shaped) - static_cast<double> (high_pass.offset)));
}

Buffer run (QuorvaneDistortion& distortion, int type, float drive, Buffer buffer)
{
    distortion.type = type;
    distortion.drive = drive;
    juce::dsp::AudioBlock<float> block (buffer);
    distortion.process (juce::dsp::ProcessContextReplacing<float> (block));
    return buffer;
}

Buffer constant (float value, int n)
{
    Buffer buffer (2, n);
    for (int c = 0; c < 2; ++c)
        juce::FloatVectorOperations::fill (buffer.getWritePointer (c), value, n);
    return buffer;
}

juce::dsp::ProcessSpec stereo (double rate, int block) { return { rate, (juce::uint32) block, 2 }; }
} // namespace

TEST (QuorvaneDistortion, EachEngineShapesGainedAndBiasedInputThroughItsFunction)
{
    // First sample through a cleared high-pass: shape (gain x input + bias).
    const struct { int type; float drive, input, shaped; } cases[] {
        { soft_clip, 0.0f, 1.0f, 1.0f - 1.0f / 6.0f },
        { soft_clip, 0.0f, 0.5f, 0.5f + 0.125f / -6.0f },
        { soft_clip, 1.0f, 2.0f, 4.0f + 64.0f / -6.0f }, // no clamp: turns back
        { hard_clip, 1.0f, 0.2f, 1.0f }, { hard_clip, 1.0f, -0.2f, -1.0f }, { hard_clip, 0.0f, 0.3f, 0.3f },
        { hard_clip, 0.0f, -0.3f, -0.3f },
        { overdrive, 0.0f, 0.0f, std::tanh (0.4f) }, { overdrive, 0.5f, 0.1f, std::tanh (0.575f + 0.4f) },
        { foldover, 1.0f, 0.1f, std::sin (2.2f) }, { foldover, 0.0f, 0.0f, std::sin (0.2f) },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "type " << c.type << " drive " << c.drive << " input " << c.input);
        QuorvaneDistortion distortion;
        distortion.prepare (stereo (48000.0, 64));
        const auto out = run (distortion, c.type, c.drive, constant (c.input, 1));
        // The shapes are evaluated in SIMD, within a few units in the last place of the library.
        EXPECT_NEAR (out.getSample (0, 0), first_output (distortion, c.type, c.shaped), 1.0e-6f);
        EXPECT_EQ (out.getSample (1, 0), out.getSample (0, 0));
    }

    QuorvaneDistortion distortion;
    EXPECT_EQ (engine (distortion, hard_clip).get<Stage::shaper_stage>().functionToUse (-1.0f), -1.0f);
}

TEST (QuorvaneDistortion, DriveMapsToTheGainOfEachEngine)
{
    QuorvaneDistortion distortion;
    distortion.prepare (stereo (48000.0, 64));

    // 1 + d; 1 + 8 d^2; 1 + 19 d^2 twice; the proportion is clamped to 0..1.
    const struct { float drive; float gains[4]; } cases[] {
        { 0.0f, { 1.0f, 1.0f, 1.0f, 1.0f } },     { 0.5f, { 1.5f, 3.0f, 5.75f, 5.75f } },
        { 1.0f, { 2.0f, 9.0f, 20.0f, 20.0f } },   { 0.25f, { 1.25f, 1.5f, 2.1875f, 2.1875f } },
        { 1.5f, { 2.0f, 9.0f, 20.0f, 20.0f } },   { -0.5f, { 1.0f, 1.0f, 1.0f, 1.0f } },
    };

    for (const auto& c : cases)
        for (int type = 0; type < 4; ++type)
        {
            run (distortion, type, c.drive, constant (0.0f, 8));
            EXPECT_NEAR (engine (distortion, type).get<Stage::gain_stage>().getGainLinear(), c.gains[type], 1e-5f * c.gains[type])
                << "drive " << c.drive << " type " << type;
        }
}

TEST (QuorvaneDistortion, OverdriveBiasOfSilenceNeverReachesTheOutput)
{
    // The shaper's value for silence is taken off before the 5 Hz high-pass: no thump, no tail.
    for (const double rate : { 48000.0, 44100.0 })
    {
        QuorvaneDistortion distortion;
        const int block = static_cast<int> (rate / 100.0);
        distortion.prepare (stereo (rate, block));
        for (int i = 0; i < 100; ++i)
            ASSERT_EQ (run (distortion, overdrive, 0.0f, constant (0.0f, block)).getMagnitude (0, block), 0.0f) << rate;
    }
}

TEST (QuorvaneDistortion, UnselectedEnginesStayFrozenAndResumeFromTheirState)
{
    const auto settings = stereo (44100.0, 256);
    const auto a = quorvane::test::noise (256, 1), b = quorvane::test::noise (256, 2), c = quorvane::test::noise (256, 3);
    QuorvaneDistortion switching, alone, always;

    for (auto* d : { &switching, &alone, &always })
    {
        d->prepare (settings);
        run (*d, overdrive, 0.3f, a);
    }

    run (switching, soft_clip, 0.3f, b);
    run (always, overdrive, 0.3f, b);
    const auto resumed = run (switching, overdrive, 0.3f, c);

    EXPECT_TRUE (quorvane::test::same_samples (resumed, run (alone, overdrive, 0.3f, c)));
    EXPECT_FALSE (quorvane::test::same_samples (resumed, run (always, overdrive, 0.3f, c))); // the check has teeth
}
