// One thread plays the host's audio thread and processes blocks of every length;
// this test's own thread is the message thread and restores states, sets parameters
// and takes snapshots meanwhile, as a host does while it plays.

#include "StateRestoreCheck.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
constexpr double sample_rate = 48000.0;
constexpr int max_block = 512;
constexpr int min_blocks = 5000;
constexpr int message_thread_steps = 3000;

// A transport whose tempo the audio thread changes between blocks, zero included.
class Transport : public juce::AudioPlayHead
{
public:
    juce::Optional<PositionInfo> getPosition() const override
    {
        PositionInfo position;
        position.setBpm (bpm);
        position.setIsPlaying (true);
        return position;
    }

    double bpm = 120.0;
};

std::vector<juce::MemoryBlock> chunks_to_restore()
{
    std::vector<juce::MemoryBlock> chunks;
    QuorvaneAudioProcessor source;

    for (int seed = 0; seed < 7; ++seed)
    {
        chunks.push_back (quorvane::test::chunk_of (source));
        quorvane::test::randomise (source, seed);
    }

    // Chunks that must change nothing: cut short, and with a wrong magic number.
    chunks.emplace_back (chunks.back().getData(), chunks.back().getSize() / 2);
    chunks.push_back (chunks.front());
    static_cast<char*> (chunks.back().getData())[0] ^= 1;
    return chunks;
}
} // namespace

TEST (ConcurrentHostAccess, BlocksStayFiniteWhileTheMessageThreadRestoresSetsAndSnapshots)
{
    const auto chunks = chunks_to_restore();
    QuorvaneAudioProcessor processor;
    processor.setPlayConfigDetails (2, 2, sample_rate, max_block);
    Transport transport;
    processor.setPlayHead (&transport);

    std::atomic<bool> prepared { false }, message_thread_done { false };
    int blocks = 0, first_bad_block = -1;

    std::thread audio_thread ([&]
    {
        processor.prepareToPlay (sample_rate, max_block);
        prepared = true;

        juce::AudioBuffer<float> storage (2, max_block);
        juce::MidiBuffer midi;
        float phase = 0.0f;

        for (; blocks < min_blocks || ! message_thread_done; ++blocks)
        {
            // Strides through every length from 0 to the maximum, in a scrambled order.
            const int length = (blocks * 97) % (max_block + 1);
            juce::AudioBuffer<float> block (storage.getArrayOfWritePointers(), 2, length);

            for (int n = 0; n < length; ++n, phase += 0.05f)
            {
                block.setSample (0, n, std::sin (phase));
                block.setSample (1, n, std::cos (phase));
            }
            phase = std::fmod (phase, juce::MathConstants<float>::twoPi);

            {
                // The plug-in layer holds this lock around every block.
                const juce::ScopedLock lock (processor.getCallbackLock());
                processor.processBlock (block, midi);
            }

            if (first_bad_block < 0 && ! quorvane::test::all_finite (block))
                first_bad_block = blocks;

            transport.bpm = blocks % 50 == 0 ? 0.0 : 60.0 + blocks % 140;
        }
    });

    while (! prepared)
        std::this_thread::yield();

    juce::Random random (12);
    const auto parameters = processor.getParameters();
    int unreadable_snapshots = 0;

    for (int step = 0; step < message_thread_steps; ++step)
    {
        switch (step % 3)
        {
            case 0:
                quorvane::test::restore (processor, chunks[(size_t) random.nextInt ((int) chunks.size())]);
                break;
            case 1:
                for (int i = 0; i < 5; ++i)
                    parameters[random.nextInt (parameters.size())]->setValueNotifyingHost (random.nextFloat());
                break;
            default:
            {
                const auto snapshot = quorvane::test::chunk_of (processor);
                unreadable_snapshots += juce::AudioProcessor::getXmlFromBinary (snapshot.getData(), (int) snapshot.getSize()) == nullptr;
                break;
            }
        }
    }

    message_thread_done = true;
    audio_thread.join();

    EXPECT_EQ (first_bad_block, -1) << "a block held a sample that is not finite";
    EXPECT_GE (blocks, min_blocks);
    EXPECT_EQ (unreadable_snapshots, 0);
    EXPECT_EQ (StateRestoreCheck::parameters_out_of_range (processor).joinIntoString ("\n"), "");
}
