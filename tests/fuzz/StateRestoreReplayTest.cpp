// Runs the fuzzer's seeds and every input that once broke a promise through the
// fuzzer's own checks, so the normal suite keeps them fixed.
//
// The seeds are chunks the processor writes. After a deliberate change of the
// state document, rewrite them with
//   QUORVANE_REGENERATE_FUZZ_SEEDS=1 <build>/tests/fuzz/QuorvaneFuzzReplayTests

#include "StateRestoreCheck.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace
{
const juce::File fuzz_folder { QUORVANE_FUZZ_DIR };

juce::MemoryBlock chunk_of (QuorvaneAudioProcessor& processor)
{
    juce::MemoryBlock chunk;
    processor.getStateInformation (chunk);
    return chunk;
}

// What the VST 3 plug-in layer appends to each chunk it hands a host: its own bypass
// state as a value tree between two 64-bit fields, then a closing word.
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

void randomise (QuorvaneAudioProcessor& processor, juce::int64 seed)
{
    juce::Random random (seed);
    for (auto* parameter : processor.getParameters())
        parameter->setValueNotifyingHost (random.nextFloat());
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
    const auto partial = juce::parseXML ("<Quorvane_State><PARAM id=\"mix_mode\" value=\"5\"/>"
                                         "<PARAM id=\"lfo2_wave\"/></Quorvane_State>");
    juce::AudioProcessor::copyXmlToBinary (*partial, seeds["partial.chunk"]);
    return seeds;
}

juce::Array<juce::File> inputs_in (const juce::String& folder_name)
{
    auto files = fuzz_folder.getChildFile (folder_name).findChildFiles (juce::File::findFiles, false);
    files.sort();
    return files;
}

juce::MemoryBlock chunk_of (const char* xml_bytes)
{
    const auto length = std::strlen (xml_bytes);
    juce::MemoryOutputStream out;
    out.writeInt (0x21324356);
    out.writeInt ((int) length);
    out.write (xml_bytes, length);
    return out.getMemoryBlock();
}

// Restores each text, as a chunk, into a new processor: no promise may break and no parameter
// may move; with whole_state_kept, the state tree may not change either.
void expect_values_kept (std::initializer_list<const char*> texts, bool whole_state_kept)
{
    for (const auto* text : texts)
    {
        SCOPED_TRACE (text);
        QuorvaneAudioProcessor processor;
        StateRestoreCheck check (processor);
        const auto before = StateRestoreCheck::raw_values (processor);

        const auto chunk = chunk_of (text);
        const auto outcome = check.restore (chunk.getData(), chunk.getSize());
        EXPECT_EQ (outcome.problems.joinIntoString ("\n"), "");
        EXPECT_EQ (StateRestoreCheck::raw_values (processor), before);
        if (whole_state_kept)
        {
            EXPECT_FALSE (outcome.changed_state);
        }
    }
}

StateRestoreCheck::Outcome restore_file (QuorvaneAudioProcessor& processor, const juce::File& input)
{
    juce::MemoryBlock bytes;
    EXPECT_TRUE (input.loadFileAsData (bytes));
    return StateRestoreCheck (processor).restore (bytes.getData(), bytes.getSize());
}
} // namespace

TEST (StateRestoreFuzzSeeds, AreTheChunksTheProcessorWritesToday)
{
    const auto corpus = fuzz_folder.getChildFile ("corpus");

    for (const auto& [name, chunk] : seeds_written_today())
    {
        SCOPED_TRACE (name.toStdString());
        const auto file = corpus.getChildFile (name);

        if (juce::SystemStats::getEnvironmentVariable ("QUORVANE_REGENERATE_FUZZ_SEEDS", {}).isNotEmpty())
        {
            ASSERT_TRUE (file.replaceWithData (chunk.getData(), chunk.getSize()));
        }

        juce::MemoryBlock stored;
        ASSERT_TRUE (file.loadFileAsData (stored)) << "missing seed";
        EXPECT_TRUE (stored == chunk) << "the processor writes another chunk today; regenerate the seeds";
    }
}

TEST (StateRestoreFuzzSeeds, EachRestoresItsDocument)
{
    const auto seeds = inputs_in ("corpus");
    EXPECT_GE (seeds.size(), 4);

    for (const auto& seed : seeds)
    {
        SCOPED_TRACE (seed.getFileName().toStdString());
        QuorvaneAudioProcessor processor;
        randomise (processor, 6);

        const auto outcome = restore_file (processor, seed);
        EXPECT_TRUE (outcome.changed_state);
        EXPECT_EQ (outcome.problems.joinIntoString ("\n"), "");
    }
}

TEST (StateRestoreFuzzRegressions, EachFormerFailureRestoresOrChangesNothing)
{
    for (const auto& input : inputs_in ("regressions"))
    {
        SCOPED_TRACE (input.getFileName().toStdString());
        QuorvaneAudioProcessor processor;
        EXPECT_EQ (restore_file (processor, input).problems.joinIntoString ("\n"), "");
    }
}

TEST (StateRestoreRegressions, ValuesThatAreNoFiniteNumberKeepTheCurrentValue)
{
    {
        SCOPED_TRACE ("the framework takes a value from any child that carries a parameter's ID");
        expect_values_kept ({ "<Quorvane_State><FOO id=\"master_amp\" value=\"nan\"/>"
                              "<param id=\"delay1_feed\" value=\"inf\"/></Quorvane_State>" },
                            false);
    }
    {
        SCOPED_TRACE ("the framework's number reader gathers the exponent in an int, which these overflow");
        expect_values_kept ({ "<Quorvane_State><PARAM id=\"master_amp\" value=\"-15.882E99942016602\"/>"
                              "<PARAM id=\"delay1_time\" value=\"5e-99942016602\"/></Quorvane_State>" },
                            false);
    }
}

TEST (StateRestoreRegressions, ProcessingInstructionThenTextInsideAnElementIsRestoredOrRefusedWithoutHanging)
{
    // The framework's parser goes round for ever on this.
    QuorvaneAudioProcessor processor;
    StateRestoreCheck check (processor);
    const auto chunk = chunk_of ("<Quorvane_State><PARAM id=\"mix_mode\" value=\"3\"/><?x?>m</Quorvane_State>");
    EXPECT_EQ (check.restore (chunk.getData(), chunk.getSize()).problems.joinIntoString ("\n"), "");
}

TEST (StateRestoreRegressions, AttributeGivenTwiceIsSavedAsItWasRestored)
{
    QuorvaneAudioProcessor processor;
    StateRestoreCheck check (processor);
    const auto chunk = chunk_of ("<Quorvane_State><PARAM id=\"delay1_time\" value=\"300\" value=\"700\"/>"
                                 "<PARAM id=\"delay2_time\" id=\"elsewhere\" value=\"5\"/></Quorvane_State>");
    EXPECT_EQ (check.restore (chunk.getData(), chunk.getSize()).problems.joinIntoString ("\n"), "");

    // A new instance that the host restores from the saved state must come back the same.
    juce::MemoryBlock saved;
    processor.getStateInformation (saved);
    QuorvaneAudioProcessor reloaded;
    reloaded.setStateInformation (saved.getData(), (int) saved.getSize());
    EXPECT_EQ (StateRestoreCheck::raw_values (reloaded), StateRestoreCheck::raw_values (processor));
}

TEST (StateRestoreRegressions, TextThatIsNotUtf8ChangesNothing)
{
    // A lead byte at the end of the text that promises three more: the framework's reader
    // steps over the end to skip them. And a stray continuation byte between elements.
    expect_values_kept ({ "<Quorvane_State><PARAM id=\"mix_mode\" value=\"\xf7",
                          "<Quorvane_State><PARAM id=\"mix_mode\" value=\"3\"/>\xb0</Quorvane_State>" },
                        true);
}

TEST (StateRestoreRegressions, DocumentThatWouldNotComeBackTheSameFromASnapshotChangesNothing)
{
    // A tag with a letter spelt in two bytes instead of one: the framework's writer counts
    // it as one byte and cuts the tag short, so a snapshot would not read back, or would
    // lose a byte each time it is saved.
    expect_values_kept ({ "<Quorvane_State><PARAM id=\"mix_mode\" value=\"3\"/><A\xc1\xb2/></Quorvane_State>",
                          "<Quorvane_State><PARAM id=\"mix_mode\" value=\"3\"/><A\xc1\xb2" "BC/></Quorvane_State>" },
                        true);
}
