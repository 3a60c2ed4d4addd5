#include "AllocationCounter.h"
#include "ProcessorRig.h"

#include <gtest/gtest.h>

using namespace quorvane::test;

TEST (SignalPath, DryWetLawWeighsBothPathsWithEqualPower)
{
    for (const auto& [percent, dry] : { std::pair { 0.0f, 1.0f }, { 25.0f, 0.9238795f }, { 50.0f, 0.7071068f }, { 100.0f, 0.0f } })
    {
        SCOPED_TRACE (percent);
        ProcessorRig rig;
        rig.set ({ { "master_dry_wet", percent } });
        rig.run_silence (4096); // past the 60 ms ramp

        // The wet path is silent at the impulse itself: every delay is at least a sample.
        const auto out = rig.run (impulse (64, 10, 0.5f, -0.25f));
        EXPECT_NEAR (out.getSample (0, 10), 0.5f * dry, 2.0e-4f);
        EXPECT_NEAR (out.getSample (1, 10), -0.25f * dry, 2.0e-4f);
    }
}

TEST (SignalPath, WetAloneCarriesTheFirstEchoAtTheDelayTime)
{
    ProcessorRig rig;
    rig.set ({ { "master_dry_wet", 100.0f }, { "mix_mode", 3.0f }, { "delay1_time", 10.0f }, { "delay1_feed", 0.0f },
               { "delay1_amp", 0.0f }, { "master_amp", 0.0f } });
    rig.run_silence (8192); // let the gains reach their targets

    const auto out = rig.run (impulse (2048, 0, 0.5f, 0.5f));
    // tanh on the way into the line, soft clip at drive 0, then the 15 Hz high-pass.
    const auto expected = std::tanh (0.5f) - std::pow (std::tanh (0.5f), 3.0f) / 6.0f;
    EXPECT_NEAR (out.getSample (0, 441), expected, 2.0e-3f);
    EXPECT_NEAR (out.getSample (1, 441), expected, 2.0e-3f);
    EXPECT_LT (out.getMagnitude (0, 441), 1.0e-3f);
}

TEST (SignalPath, RampsLastSixtyMillisecondsAtEachRate)
{
    for (const auto& [rate, length] : { std::pair { 44100.0, 2646 }, std::pair { 48000.0, 2880 } })
    {
        SCOPED_TRACE (rate);
        ProcessorRig rig (rate);
        rig.set ({ { "delay1_time", 2000.0f }, { "delay2_time", 2000.0f } });

        // Dry/wet glides from 0 to 0.5: a constant input fades down to cos(pi/4).
        Buffer ones (2, 4000);
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
    ProcessorRig plain, interrupted;
    Buffer empty (2, 0);
    juce::MidiBuffer midi;

    for (int block = 0; block < 40; ++block)
    {
        for (auto* rig : { &plain, &interrupted })
            rig->set ({ { "master_dry_wet", (float) (block % 5) * 25.0f }, { "master_amp", -(float) (block % 7) } });

        for (int i = 0; i < 3; ++i)
            interrupted.processor.processBlock (empty, midi);

        const auto input = noise (512, block, 0.5f);
        ASSERT_TRUE (same_samples (plain.run (input), interrupted.run (input))) << block;
    }
}

TEST (SignalPath, NonFiniteInputIsTreatedAsSilence)
{
    ProcessorRig poisoned, clean;
    for (auto* rig : { &poisoned, &clean })
        rig->set ({ { "delay1_time_mod_src", 1.0f }, { "delay1_time_mod_depth", 100.0f }, { "distortion_type", 2.0f },
                    { "distortion_drive", 80.0f } });

    auto bad = noise (2048, 11, 0.5f), good = bad;
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < bad.getNumSamples(); i += 89)
        {
            bad.setSample (c, i, i % 2 == 0 ? std::numeric_limits<float>::quiet_NaN() : -std::numeric_limits<float>::infinity());
            good.setSample (c, i, 0.0f);
        }

    EXPECT_TRUE (same_samples (poisoned.run (bad), clean.run (good)));
}

TEST (SignalPath, AHugeFiniteFrameLeavesTheEnvelopeModulationDecaying)
{
    // Envelope 1 moves delay 1's time at 10 % depth. One frame near the float maximum,
    // then an impulse 3 s later: its echo comes when it would had the frame never been
    // played (about 120 ms), not at the longest time.
    const auto echo_at = [] (bool huge_frame, float sensitivity)
    {
        ProcessorRig rig (48000.0);
        rig.set ({ { "mix_mode", 3.0f }, { "master_dry_wet", 100.0f }, { "delay1_feed", 0.0f }, { "env1_sens", sensitivity },
                   { "delay1_time_mod_src", 1.0f }, { "delay1_time_mod_depth", 10.0f } });
        rig.run (impulse (512, 0, huge_frame ? 3.4e38f : 0.0f, huge_frame ? 3.4e38f : 0.0f));
        rig.run_silence (3 * 48000);
        const auto out = rig.run (impulse (8192, 0));
        int loudest = 1;
        for (int i = 1; i < out.getNumSamples(); ++i)
            loudest = std::abs (out.getSample (0, i)) > std::abs (out.getSample (0, loudest)) ? i : loudest;
        return loudest;
    };

    EXPECT_NEAR (echo_at (false, 0.0f), 5761, 1);
    for (const auto sensitivity : { 0.0f, 24.0f })
        EXPECT_EQ (echo_at (true, sensitivity), echo_at (false, sensitivity)) << sensitivity << " dB";
}

TEST (SignalPath, ImpulseThenSilenceStaysBoundedAndDecaysAtEveryRate)
{
    for (const double rate : { 8000.0, 22050.0, 44100.0, 96000.0, 192000.0, 768000.0 })
    {
        ProcessorRig rig (rate);
        rig.set ({ { "master_dry_wet", 100.0f } });
        const auto second = static_cast<int> (rate);
        rig.run (impulse (second / 20, 0));
        const auto tail = rig.run_silence (3 * second);
        EXPECT_LT (tail.getMagnitude (0, 3 * second), 1.0f) << rate;
        EXPECT_LT (tail.getMagnitude (2 * second, second), 1.0e-4f) << rate;
    }

    // Full feedback at the highest damping, whose cutoff a low rate must cap: bounded, and still repeating.
    ProcessorRig rig (22050.0);
    rig.set ({ { "delay1_damp", 18000.0f }, { "delay2_damp", 18000.0f }, { "delay1_feed", 100.0f }, { "delay2_feed", 100.0f },
               { "master_dry_wet", 100.0f } });
    rig.run (noise (22050, 5));
    const auto tail = rig.run_silence (5 * 22050);
    EXPECT_TRUE (all_finite (tail));
    EXPECT_LT (tail.getMagnitude (0, tail.getNumSamples()), 4.0f);
    EXPECT_GT (tail.getMagnitude (4 * 22050, 22050), 0.05f);

    // Prepared again at another rate and block size, the echo comes at the new rate's time.
    rig.processor.prepareToPlay (96000.0, 64);
    rig.set ({ { "delay1_feed", 0.0f }, { "delay2_feed", 0.0f }, { "delay1_time", 10.0f }, { "delay2_time", 10.0f } });
    const auto out = rig.run (impulse (8192, 0), 64);
    EXPECT_TRUE (all_finite (out));
    EXPECT_GT (out.getMagnitude (950, 20), 0.05f) << "the 960-sample echo at the new rate";
}

TEST (SignalPath, SilenceGivesSilenceWithEveryDistortionAndEchoesEndInSilence)
{
    for (const double rate : { 44100.0, 192000.0 })
        for (int type = 0; type < 4; ++type)
        {
            ProcessorRig rig (rate);
            rig.set ({ { "master_dry_wet", 100.0f }, { "distortion_type", (float) type }, { "distortion_drive", 30.0f },
                       { "delay1_feed", 0.0f }, { "delay2_feed", 0.0f } });

            const auto second = static_cast<int> (rate);
            EXPECT_EQ (rig.run_silence (second).getMagnitude (0, second), 0.0f) << rate << " type " << type;
            rig.run (impulse (512, 0));
            EXPECT_EQ (rig.run_silence (4 * second).getMagnitude (3 * second, second), 0.0f) << rate << " type " << type;
        }

    // A long echo dies away rather than settling on a tiny repeating pattern, and ends in zeros
    // once 200 dB down (about 1.25 s here) instead of fading on to the floating-point floor.
    ProcessorRig rig (48000.0);
    rig.set ({ { "delay1_time", 1.0f }, { "delay2_time", 1.0f }, { "delay1_feed", 95.0f }, { "delay2_feed", 95.0f } });
    rig.run (impulse (512, 0));
    EXPECT_EQ (rig.run_silence (3 * 48000).getMagnitude (66000 - 512, 3 * 48000 - 66000 + 512), 0.0f);
}

TEST (SignalPath, BlocksBeyondThePreparedSizeOrUnpreparedPassThroughUntouched)
{
    QuorvaneAudioProcessor unprepared;
    ProcessorRig rig (48000.0, 64);
    juce::MidiBuffer midi;

    // A block within the 16 spare samples of the work buffers is still processed.
    const struct { QuorvaneAudioProcessor& processor; int length; bool untouched; } blocks[] {
        { unprepared, 4096, true }, { rig.processor, 4096, true }, { rig.processor, 64 + 17, true }, { rig.processor, 64 + 16, false },
    };
    for (const auto& block : blocks)
    {
        const auto input = noise (block.length, 7);
        auto buffer = input;
        block.processor.processBlock (buffer, midi);
        EXPECT_EQ (same_samples (buffer, input), block.untouched) << block.length;
    }
}

// The one check that the real-time path allocates nothing: every parameter moved at random,
// blocks of every length (0 included), prepared again at several rates.
TEST (SignalPath, ProcessingAllocatesNothing)
{
    if (! ScopedAllocationCounter::counting())
        GTEST_SKIP() << "the allocator is not counted under a sanitizer";

    juce::Random random (9);
    ProcessorRig rig (48000.0, 512);
    Buffer buffer (2, 512);
    juce::MidiBuffer midi;

    for (const auto rate : { 48000.0, 44100.0, 22050.0, 192000.0 })
    {
        rig.processor.prepareToPlay (rate, 512);

        for (int block = 0; block < 2000; ++block)
        {
            for (auto* parameter : rig.processor.getParameters())
                if (random.nextInt (4) == 0)
                    parameter->setValueNotifyingHost (random.nextFloat());

            Buffer view (buffer.getArrayOfWritePointers(), 2, 0, random.nextInt (513));
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < view.getNumSamples(); ++i)
                    view.setSample (c, i, random.nextFloat() * 2.0f - 1.0f);

            ScopedAllocationCounter allocations;
            rig.processor.processBlock (view, midi);
            ASSERT_EQ (allocations.calls(), 0u) << "rate " << rate << ", block " << block;
        }
    }
}
