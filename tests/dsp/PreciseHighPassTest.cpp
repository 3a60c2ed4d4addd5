#include "PreciseHighPass.h"

#include "DspTestSupport.h"

namespace qt = quorvane::test;

TEST (PreciseHighPass, StereoPairsGiveTheBitsOfEachChannelAlone)
{
    // Three channels: the first two share a register, the third runs alone; each must match
    // a filter run on that channel by itself.
    const auto spec = qt::spec (44100.0, 300, 3);
    crvl::dsp::PreciseHighPass together, alone;
    together.frequency = alone.frequency = 5.0;
    together.offset = alone.offset = 0.25f;
    together.prepare (spec);
    alone.prepare (qt::spec (44100.0, 300, 1));

    juce::AudioBuffer<float> buffer (3, 300);
    juce::Random random (3);
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 300; ++i)
            buffer.setSample (c, i, random.nextFloat() - 0.25f);

    const auto input = buffer;
    juce::dsp::AudioBlock<float> block (buffer);
    together.process (juce::dsp::ProcessContextReplacing<float> (block));

    for (int c = 0; c < 3; ++c)
    {
        alone.reset();
        juce::AudioBuffer<float> single (1, 300);
        single.copyFrom (0, 0, input, c, 0, 300);
        juce::dsp::AudioBlock<float> single_block (single);
        alone.process (juce::dsp::ProcessContextReplacing<float> (single_block));

        for (int i = 0; i < 300; ++i)
            ASSERT_EQ (buffer.getSample (c, i), single.getSample (0, i)) << c << " " << i;
    }
}

TEST (PreciseHighPass, CascadeGivesTheBitsOfFirstGainThenSecond)
{
    const auto spec = qt::spec (48000.0, 256);
    crvl::dsp::PreciseHighPass first, second, first_alone, second_alone;
    first.frequency = first_alone.frequency = 5.0;
    first.offset = first_alone.offset = 0.38f;
    second.frequency = second_alone.frequency = 15.0;

    for (auto* filter : { &first, &second, &first_alone, &second_alone })
        filter->prepare (spec);

    juce::Random random (5);
    for (const int n : { 256, 0, 1, 97 })
    {
        juce::AudioBuffer<float> together (2, n), apart (2, n);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < n; ++i)
                together.setSample (c, i, random.nextFloat());
        apart.makeCopyOf (together);

        juce::dsp::AudioBlock<float> together_block (together), apart_block (apart);
        crvl::dsp::PreciseHighPass::process_cascade (first, 0.7f, second, juce::dsp::ProcessContextReplacing<float> (together_block));
        first_alone.process (juce::dsp::ProcessContextReplacing<float> (apart_block));
        apart_block.multiplyBy (0.7f);
        second_alone.process (juce::dsp::ProcessContextReplacing<float> (apart_block));

        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < n; ++i)
                ASSERT_EQ (together.getSample (c, i), apart.getSample (c, i)) << n << " " << c << " " << i;
    }
}
