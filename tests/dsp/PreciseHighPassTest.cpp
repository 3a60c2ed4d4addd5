#include "PreciseHighPass.h"

#include "DspTestSupport.h"

#include <vector>

namespace qt = quorvane::test;
using Filter = crvl::dsp::PreciseHighPass;

TEST (PreciseHighPass, StereoPairsAndCascadesGiveTheBitsOfEachChannelFilteredAlone)
{
    // Three channels (a pair in one register, one alone) or a stereo cascade of two filters
    // with a gain between, in blocks of changing length, against one-channel filters.
    for (const bool cascade : { false, true })
    {
        SCOPED_TRACE (cascade ? "cascade" : "three channels");
        const int channels = cascade ? 2 : 3;
        Filter first, second;
        std::vector<Filter> first_alone (3), second_alone (3);

        for (auto* filter : { &first, &first_alone[0], &first_alone[1], &first_alone[2] })
        {
            filter->offset = 0.38f;
            filter->frequency = 5.0;
        }

        for (auto* filter : { &first, &second })
            filter->prepare (qt::spec (48000.0, 300, channels));

        for (size_t c = 0; c < 3; ++c)
            for (auto* filter : { &first_alone[c], &second_alone[c] })
                filter->prepare (qt::spec (48000.0, 300, 1));

        juce::Random random (5);
        for (const int n : { 300, 0, 1, 97 })
        {
            juce::AudioBuffer<float> buffer (channels, n);
            for (int c = 0; c < channels; ++c)
                for (int i = 0; i < n; ++i)
                    buffer.setSample (c, i, random.nextFloat() - 0.25f);
            const auto input = buffer;

            juce::dsp::AudioBlock<float> block (buffer);
            if (cascade)
                Filter::process_cascade (first, 0.7f, second, juce::dsp::ProcessContextReplacing<float> (block));
            else
                first.process (juce::dsp::ProcessContextReplacing<float> (block));

            for (int c = 0; c < channels; ++c)
            {
                juce::AudioBuffer<float> single (1, n);
                single.copyFrom (0, 0, input, c, 0, n);
                juce::dsp::AudioBlock<float> single_block (single);
                first_alone[(size_t) c].process (juce::dsp::ProcessContextReplacing<float> (single_block));

                if (cascade)
                {
                    single_block.multiplyBy (0.7f);
                    second_alone[(size_t) c].process (juce::dsp::ProcessContextReplacing<float> (single_block));
                }

                for (int i = 0; i < n; ++i)
                    ASSERT_EQ (buffer.getSample (c, i), single.getSample (0, i)) << n << " " << c << " " << i;
            }
        }
    }
}
