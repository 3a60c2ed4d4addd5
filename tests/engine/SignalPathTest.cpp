#include "AllocationCounter.h"
#include "QuorvaneAudioProcessor.h"
#include "SetParameter.h"

#include <gtest/gtest.h>

namespace
{
constexpr int max_block = 512;

struct Rig
{
    explicit Rig (double rate = 44100.0, int block = max_block) : sample_rate (rate)
    {
        processor.setPlayConfigDetails (2, 2, rate, block);
        processor.prepareToPlay (rate, block);
    }

    void set (const juce::String& id, float value) { set_parameter (processor, id, value); }

    // Runs a two-channel signal through in blocks; returns the output.
    juce::AudioBuffer<float> run (const juce::AudioBuffer<float>& input, int block = max_block)
    {
        juce::AudioBuffer<float> output (input);
        juce::MidiBuffer midi;

        for (int start = 0; start < output.getNumSamples(); start += block)
        {
            const auto length = juce::jmin (block, output.getNumSamples() - start);
            juce::AudioBuffer<float> view (output.getArrayOfWritePointers(), 2, start, length);
            processor.processBlock (view, midi);
        }

        return output;
    }

    juce::AudioBuffer<float> run_silence (int num_samples)
    {
        juce::AudioBuffer<float> silence (2, num_samples);
        silence.clear();
        return run (silence);
    }

    double sample_rate;
    QuorvaneAudioProcessor processor;
};

juce::AudioBuffer<float> impulse (int num_samples, int at, float left = 1.0f, float right = 1.0f)
{
    juce::AudioBuffer<float> buffer (2, num_samples);
    buffer.clear();
    buffer.setSample (0, at, left);
    buffer.setSample (1, at, right);
    return buffer;
}

bool all_finite (const juce::AudioBuffer<float>& buffer)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            if (! std::isfinite (buffer.getSample (c, i)))
                return false;
    return true;
}

float peak (const juce::AudioBuffer<float>& buffer, int start, int length)
{
    return buffer.getMagnitude (start, length);
}
} // namespace

TEST (SignalPath, DryWetLawWeighsBothPathsWithEqualPower)
{
    const struct { float percent, dry; } cases[] = {
        { 0.0f, 1.0f }, { 25.0f, 0.9238795f }, { 50.0f, 0.7071068f }, { 100.0f, 0.0f },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.percent);
        Rig rig;
        rig.set ("master_dry_wet", c.percent);
        rig.run_silence (4096); // past the 60 ms ramp

        // The wet path is silent at the impulse itself: every delay is at least a sample.
        const auto out = rig.run (impulse (64, 10, 0.5f, -0.25f));
        EXPECT_NEAR (out.getSample (0, 10), 0.5f * c.dry, 2.0e-4f);
        EXPECT_NEAR (out.getSample (1, 10), -0.25f * c.dry, 2.0e-4f);
    }
}

TEST (SignalPath, WetAloneCarriesTheFirstEchoAtTheDelayTime)
{
    Rig rig;
    rig.set ("master_dry_wet", 100.0f);
    rig.set ("mix_mode", 3.0f);       // solo 1
    rig.set ("delay1_time", 10.0f);   // 441 samples
    rig.set ("delay1_feed", 0.0f);
    rig.set ("delay1_amp", 0.0f);
    rig.set ("master_amp", 0.0f);
    rig.run_silence (8192); // let the gains reach their targets

    const auto out = rig.run (impulse (2048, 0, 0.5f, 0.5f));
    EXPECT_NEAR (out.getSample (0, 0), 0.0f, 1.0e-6f) << "no dry signal at 100 % wet";
    // tanh on the way into the line, soft clip at drive 0, then the 15 Hz high-pass.
    const auto expected = std::tanh (0.5f) - std::pow (std::tanh (0.5f), 3.0f) / 6.0f;
    EXPECT_NEAR (out.getSample (0, 441), expected, 2.0e-3f);
    EXPECT_NEAR (out.getSample (1, 441), expected, 2.0e-3f);
    EXPECT_LT (peak (out, 1, 439), 1.0e-3f);
}

TEST (SignalPath, RampsLastSixtyMillisecondsAtEachRate)
{
    for (const auto& [rate, length] : { std::pair { 44100.0, 2646 }, std::pair { 48000.0, 2880 } })
    {
        SCOPED_TRACE (rate);
        Rig rig (rate);
        rig.set ("delay1_time", 2000.0f);
        rig.set ("delay2_time", 2000.0f);

        // Dry/wet glides from 0 to 0.5: a constant input fades down to cos(pi/4).
        juce::AudioBuffer<float> ones (2, 4000);
        for (int c = 0; c < 2; ++c)
            juce::FloatVectorOperations::fill (ones.getWritePointer (c), 1.0f, 4000);
        const auto out = rig.run (ones, 256);

        for (int i = 1; i < length; ++i)
            ASSERT_LT (out.getSample (0, i), out.getSample (0, i - 1)) << i;
        for (int i = length; i < 4000; ++i)
            ASSERT_EQ (out.getSample (0, i), out.getSample (0, length - 1)) << i;
        EXPECT_NEAR (out.getSample (0, length - 1), 0.7071068f, 1.0e-4f);
    }
}

TEST (SignalPath, EmptyBlocksChangeNoAudioAndAdvanceNoRamp)
{
    Rig plain, interrupted;
    juce::Random random (3);
    juce::AudioBuffer<float> noise (2, max_block);
    juce::AudioBuffer<float> empty (2, 0);
    juce::MidiBuffer midi;

    for (int block = 0; block < 40; ++block)
    {
        for (auto* rig : { &plain, &interrupted })
        {
            rig->set ("master_dry_wet", (float) (block % 5) * 25.0f);
            rig->set ("master_amp", -(float) (block % 7));
        }

        for (int i = 0; i < 3; ++i)
            interrupted.processor.processBlock (empty, midi);

        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < max_block; ++i)
                noise.setSample (c, i, random.nextFloat() - 0.5f);

        const auto a = plain.run (noise);
        const auto b = interrupted.run (noise);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < max_block; ++i)
                ASSERT_EQ (a.getSample (c, i), b.getSample (c, i)) << block << ":" << i;
    }
}

TEST (SignalPath, NonFiniteInputIsTreatedAsSilence)
{
    Rig poisoned, clean;
    for (auto* rig : { &poisoned, &clean })
    {
        rig->set ("delay1_time_mod_src", 1.0f); // envelope 1 moves the delay time
        rig->set ("delay1_time_mod_depth", 100.0f);
        rig->set ("distortion_type", 2.0f);
        rig->set ("distortion_drive", 80.0f);
    }

    juce::Random random (11);
    juce::AudioBuffer<float> bad (2, 4 * max_block), good (2, 4 * max_block);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < bad.getNumSamples(); ++i)
        {
            const auto x = random.nextFloat() - 0.5f;
            const auto spoiled = i % 97 == 0 ? std::numeric_limits<float>::quiet_NaN()
                               : i % 89 == 0 ? std::numeric_limits<float>::infinity()
                                             : x;
            bad.setSample (c, i, spoiled);
            good.setSample (c, i, std::isfinite (spoiled) ? x : 0.0f);
        }

    const auto a = poisoned.run (bad);
    EXPECT_TRUE (all_finite (a));

    const auto b = clean.run (good);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < a.getNumSamples(); ++i)
            ASSERT_EQ (a.getSample (c, i), b.getSample (c, i)) << i;
}

TEST (SignalPath, DampingStaysStableBelowThirtySixKilohertz)
{
    Rig rig (22050.0);
    rig.set ("delay1_damp", 18000.0f);
    rig.set ("delay2_damp", 18000.0f);
    rig.set ("delay1_feed", 100.0f);
    rig.set ("delay2_feed", 100.0f);
    rig.set ("master_dry_wet", 100.0f);

    juce::Random random (5);
    juce::AudioBuffer<float> noise (2, 22050);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < noise.getNumSamples(); ++i)
            noise.setSample (c, i, random.nextFloat() * 2.0f - 1.0f);

    rig.run (noise);
    const auto tail = rig.run_silence (5 * 22050);

    EXPECT_TRUE (all_finite (tail));
    EXPECT_LT (peak (tail, 0, tail.getNumSamples()), 4.0f);
    // Full feedback keeps repeating: a broken filter would have emptied the lines.
    EXPECT_GT (peak (tail, 4 * 22050, 22050), 0.05f);
}

TEST (SignalPath, PreparingAgainAtAnotherRateKeepsRunning)
{
    Rig rig (96000.0, 1024);
    rig.set ("delay1_time", 2000.0f);
    rig.run_silence (4096);

    rig.processor.prepareToPlay (22050.0, 64);
    rig.set ("master_dry_wet", 100.0f);
    rig.set ("delay1_time", 10.0f);
    const auto out = rig.run (impulse (8192, 0), 64);
    EXPECT_TRUE (all_finite (out));
    EXPECT_GT (peak (out, 200, 400), 0.05f) << "the 220-sample echo at the new rate";
}

TEST (SignalPath, BlocksBeyondThePreparedSizePassThroughUntouched)
{
    QuorvaneAudioProcessor unprepared;
    auto in = impulse (64, 3);
    auto buffer = in;
    juce::MidiBuffer midi;
    unprepared.processBlock (buffer, midi);
    EXPECT_EQ (buffer.getSample (0, 3), 1.0f);

    Rig rig (48000.0, 64);
    in = impulse (4096, 7);
    buffer = in;
    rig.processor.processBlock (buffer, midi);
    for (int i = 0; i < in.getNumSamples(); ++i)
        ASSERT_EQ (buffer.getSample (1, i), in.getSample (1, i)) << i;
}

TEST (SignalPath, ProcessingAllocatesNothing)
{
    juce::Random random (9);
    QuorvaneAudioProcessor processor;
    processor.setPlayConfigDetails (2, 2, 48000.0, max_block);
    juce::AudioBuffer<float> buffer (2, max_block);
    juce::MidiBuffer midi;
    auto& parameters = processor.getParameters();

    for (const auto rate : { 48000.0, 44100.0, 22050.0, 192000.0 })
    {
        processor.prepareToPlay (rate, max_block);

        for (int block = 0; block < 2000; ++block)
        {
            for (auto* parameter : parameters)
                if (random.nextInt (4) == 0)
                    parameter->setValueNotifyingHost (random.nextFloat());

            const auto length = random.nextInt (max_block + 1);
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < length; ++i)
                    buffer.setSample (c, i, random.nextFloat() * 2.0f - 1.0f);

            juce::AudioBuffer<float> view (buffer.getArrayOfWritePointers(), 2, 0, length);
            quorvane::test::ScopedAllocationCounter allocations;
            processor.processBlock (view, midi);
            ASSERT_EQ (allocations.allocations(), 0u) << "rate " << rate << ", block " << block;
        }
    }
}

TEST (SignalPath, ImpulseThenSilenceStaysBoundedAndDecaysAtEveryRate)
{
    for (const double rate : { 8000.0, 22050.0, 32000.0, 44100.0, 48000.0, 88200.0, 96000.0, 100000.0, 130000.0,
                               176400.0, 192000.0, 300000.0, 352800.0, 384000.0, 705600.0, 768000.0 })
    {
        Rig rig (rate);
        rig.set ("master_dry_wet", 100.0f);
        const auto second = static_cast<int> (rate);
        rig.run (impulse (second / 20, 0));
        const auto tail = rig.run_silence (3 * second);
        EXPECT_TRUE (all_finite (tail)) << rate;
        EXPECT_LT (peak (tail, 0, 3 * second), 1.0f) << rate;
        EXPECT_LT (peak (tail, 2 * second, second), 1.0e-4f) << rate;
    }
}

TEST (SignalPath, SilenceGivesSilenceWithEveryDistortionAndEchoesEndInSilence)
{
    for (const double rate : { 44100.0, 48000.0, 192000.0 })
        for (int type = 0; type < 4; ++type)
        {
            Rig rig (rate);
            for (const auto& [id, value] : { std::pair { "master_dry_wet", 100.0f }, { "distortion_type", (float) type },
                                             { "distortion_drive", 30.0f }, { "delay1_feed", 0.0f }, { "delay2_feed", 0.0f } })
                rig.set (id, value);

            const auto second = static_cast<int> (rate);
            EXPECT_EQ (peak (rig.run_silence (second), 0, second), 0.0f) << rate << " type " << type;
            rig.run (impulse (512, 0));
            EXPECT_EQ (peak (rig.run_silence (4 * second), 3 * second, second), 0.0f) << rate << " type " << type;
        }

    // A long echo dies away rather than settling on a tiny repeating pattern.
    Rig rig (48000.0);
    for (const auto& [id, value] : { std::pair { "delay1_time", 1.0f }, { "delay2_time", 1.0f }, { "delay1_feed", 95.0f }, { "delay2_feed", 95.0f } })
        rig.set (id, value);
    rig.run (impulse (512, 0));
    EXPECT_EQ (peak (rig.run_silence (4 * 48000), 3 * 48000, 48000), 0.0f);
}

TEST (SignalPath, SlowlyModulatedDelayChangesNoFasterAtTheLfoWrap)
{
    // 110 Hz through delay 1 alone, its time swept by a 1 Hz LFO: the output's curvature near
    // each wrap stays that of the rest of the cycle (the triangle's corners vary with where
    // the tone is when the sweep turns).
    juce::AudioBuffer<float> tone (2, 3 * 44100);
    for (int i = 0; i < tone.getNumSamples(); ++i)
        tone.setSample (0, i, 0.5f * std::sin (juce::MathConstants<float>::twoPi * 110.0f * (float) i / 44100.0f));
    tone.copyFrom (1, 0, tone, 0, 0, tone.getNumSamples());

    for (const float wave : { 0.0f, 4.0f })
    {
        Rig rig;
        for (const auto& [id, value] : { std::pair { "master_dry_wet", 100.0f }, { "mix_mode", 3.0f }, { "delay1_feed", 0.0f },
                                         { "delay1_time_mod_src", 5.0f }, { "delay1_time_mod_depth", 10.0f }, { "lfo1_wave", wave } })
            rig.set (id, value);

        const auto out = rig.run (tone);
        const auto* y = out.getReadPointer (0);
        float at_wrap = 0.0f, elsewhere = 0.0f;

        for (int i = 22050; i < out.getNumSamples() - 1; ++i)
        {
            auto& worst = std::abs (i % 44100 - 22050) > 22050 - 100 ? at_wrap : elsewhere;
            worst = std::max (worst, std::abs (y[i + 1] - 2.0f * y[i] + y[i - 1]));
        }

        EXPECT_LT (at_wrap, 3.0f * elsewhere) << "wave " << wave;
    }
}
