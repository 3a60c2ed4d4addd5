// Runs the fuzzer's seeds and every input that once broke a promise through the fuzzer's own
// checks, so the normal suite keeps them fixed. The seeds are chunks the processor writes; after
// a deliberate change of the state document, rewrite them with
//   QUORVANE_REGENERATE_FUZZ_SEEDS=1 <build>/tests/fuzz/QuorvaneFuzzReplayTests

#include "StateRestoreCheck.h"

#include <gtest/gtest.h>

#include <map>

using namespace quorvane::test;

namespace
{
const juce::File fuzz_folder { QUORVANE_FUZZ_DIR };

// What the VST 3 plug-in layer appends to each chunk it hands a host: its own bypass state
// as a value tree between two 64-bit fields, then a closing word.
juce::MemoryBlock with_vst3_trailer (juce::MemoryBlock chunk)
{
    juce::MemoryOutputStream trailer;
    trailer.writeInt64 (0);
    juce::ValueTree private_data ("JUCEPrivateData");
    private_data.setProperty ("Bypass", false, nullptr);
    private_data.writeToStream (trailer);
    trailer.writeInt64 ((juce::int64) trailer.getDataSize() - 8);
    trailer << "JUCEPrivateData";
    chunk.append (trailer.getData(), trailer.getDataSize());
    return chunk;
}

std::map<juce::String, juce::MemoryBlock> seeds_written_today()
{
    std::map<juce::String, juce::MemoryBlock> seeds;
    QuorvaneAudioProcessor processor;
    seeds["defaults.chunk"] = chunk_of (processor);
    randomise (processor, 5);
    seeds["randomised.chunk"] = chunk_of (processor);
    seeds["randomised-with-vst3-trailer.chunk"] = with_vst3_trailer (seeds["randomised.chunk"]);

    // Most parameters missing, one without a value.
    const auto partial = juce::parseXML ("<Quorvane_State><PARAM id=\"mix_mode\" value=\"5\"/><PARAM id=\"lfo2_wave\"/></Quorvane_State>");
    juce::AudioProcessor::copyXmlToBinary (*partial, seeds["partial.chunk"]);
    return seeds;
}
} // namespace

TEST (StateRestoreReplay, SeedsAreTheChunksTheProcessorWritesToday)
{
    for (const auto& [name, chunk] : seeds_written_today())
    {
        SCOPED_TRACE (name.toStdString());
        const auto file = fuzz_folder.getChildFile ("corpus").getChildFile (name);

        if (juce::SystemStats::getEnvironmentVariable ("QUORVANE_REGENERATE_FUZZ_SEEDS", {}).isNotEmpty())
            ASSERT_TRUE (file.replaceWithData (chunk.getData(), chunk.getSize()));

        juce::MemoryBlock stored;
        ASSERT_TRUE (file.loadFileAsData (stored)) << "missing seed";
        EXPECT_TRUE (stored == chunk) << "the processor writes another chunk today; regenerate the seeds";
    }
}

// Each seed restores its document over a processor set at random; each former failure, into a
// new processor, restores or changes nothing. Either way no promise breaks.
TEST (StateRestoreReplay, SeedsRestoreAndFormerFailuresKeepTheirPromises)
{
    for (const auto& [folder, is_seed] : { std::pair { "corpus", true }, std::pair { "regressions", false } })
    {
        const auto inputs = fuzz_folder.getChildFile (folder).findChildFiles (juce::File::findFiles, false);
        EXPECT_GE (inputs.size(), 4) << folder;

        for (const auto& input : inputs)
        {
            SCOPED_TRACE (input.getFileName().toStdString());
            juce::MemoryBlock bytes;
            ASSERT_TRUE (input.loadFileAsData (bytes));
            QuorvaneAudioProcessor processor;
            StateRestoreCheck check (processor);
            if (is_seed)
                randomise (processor, 6);

            const auto outcome = check.restore (bytes.getData(), bytes.getSize());
            EXPECT_EQ (outcome.problems.joinIntoString ("\n"), "");
            EXPECT_TRUE (outcome.changed_state || ! is_seed);
        }
    }
}
