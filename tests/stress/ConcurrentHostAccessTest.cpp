// One thread plays the host's audio thread and processes blocks of every length at changing
// tempos, zero included; this test's own thread is the message thread and restores states
// (some that must change nothing), sets parameters and takes snapshots meanwhile.

#include "StateRestoreCheck.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
class Transport : public juce::AudioPlayHead
{
public:
    juce::Optional<PositionInfo> getPosition() const override
    {
        PositionInfo position;
        position.setBpm (bpm.load());
        return position;
    }

    std::atomic<double> bpm { 120.0 };
};
} // namespace

TEST (ConcurrentHostAccess, BlocksStayFiniteWhileTheMessageThreadRestoresSetsAndSnapshots)
{
    using namespace quorvane::test;
    std::vector<juce::MemoryBlock> chunks;
    QuorvaneAudioProcessor source, processor;

    for (int seed = 0; seed < 7; ++seed)
    {
        chunks.push_back (chunk_of (source));
        randomise (source, seed);
    }

    chunks.emplace_back (chunks.back().getData(), chunks.back().getSize() / 2);
    chunks.push_back (chunks.front());
    static_cast<char*> (chunks.back().getData())[0] ^= 1;

    Transport transport;
    processor.setPlayConfigDetails (2, 2, 48000.0, 512);
    processor.setPlayHead (&transport);
    std::atomic<bool> prepared { false }, message_thread_done { false };
    int blocks = 0, first_bad_block = -1;

    std::thread audio_thread ([&]
    {
        processor.prepareToPlay (48000.0, 512);
        prepared = true;
        Buffer storage (2, 512);
        juce::MidiBuffer midi;

        for (; blocks < 5000 || ! message_thread_done; ++blocks)
        {
            // Every length from 0 to the maximum, in a scrambled order.
            Buffer block (storage.getArrayOfWritePointers(), 2, (blocks * 97) % 513);
            for (int n = 0; n < block.getNumSamples(); ++n)
                for (int channel = 0; channel < 2; ++channel)
                    block.setSample (channel, n, std::sin (0.05f * (float) (n + 2 * channel)));

            {
                // The plug-in layer holds this lock around every block.
                const juce::ScopedLock lock (processor.getCallbackLock());
                processor.processBlock (block, midi);
            }

            if (first_bad_block < 0 && ! all_finite (block))
                first_bad_block = blocks;

            transport.bpm = blocks % 50 == 0 ? 0.0 : 60.0 + blocks % 140;
        }
    });

    while (! prepared)
        std::this_thread::yield();

    juce::Random random (12);
    const auto parameters = processor.getParameters();
    int unreadable_snapshots = 0;

    for (int step = 0; step < 3000; ++step)
    {
        if (step % 3 == 0)
            restore (processor, chunks[(size_t) random.nextInt ((int) chunks.size())]);
        else if (step % 3 == 1)
            parameters[random.nextInt (parameters.size())]->setValueNotifyingHost (random.nextFloat());
        else
        {
            const auto snapshot = chunk_of (processor);
            unreadable_snapshots += juce::AudioProcessor::getXmlFromBinary (snapshot.getData(), (int) snapshot.getSize()) == nullptr;
        }
    }

    message_thread_done = true;
    audio_thread.join();

    EXPECT_EQ (first_bad_block, -1) << "a block held a sample that is not finite";
    EXPECT_EQ (unreadable_snapshots, 0);
    EXPECT_EQ (StateRestoreCheck::parameters_out_of_range (processor).joinIntoString ("\n"), "");
}
