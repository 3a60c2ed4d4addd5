// Host state and preset text, as the processor restores them. The fuzzer (tests/fuzz) and its
// replayed inputs hold the general promises; these are the decided outcomes.

#include "CraftedDocuments.h"
#include "ProcessorRig.h"
#include "StateDocumentChecks.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace quorvane::test;

namespace
{
float raw (QuorvaneAudioProcessor& processor, const char* id) { return processor.parameter_state.getRawParameterValue (id)->load(); }

std::string state_text (QuorvaneAudioProcessor& processor)
{
    return processor.parameter_state.copyState().createXml()->toString().toStdString();
}
} // namespace

TEST (ProcessorState, RoundTripRestoresEveryValueButNotThePresetName)
{
    QuorvaneAudioProcessor source, target;
    randomise (source, 42);
    const auto saved = chunk_of (source);
    target.current_preset_name = "Something";
    restore (target, saved);
    EXPECT_EQ (raw_values (target), raw_values (source));
    EXPECT_EQ (target.current_preset_name, "Something");
}

// A preset file and a host chunk carry the same document: both ways in accept and refuse alike,
// and a refused one changes nothing.
TEST (ProcessorState, DocumentsAreAcceptedOrChangeNothingAlikeAsPresetTextAndAsHostChunk)
{
    QuorvaneAudioProcessor writer;
    set_parameter (writer, "mix_mode", 4.0f);
    juce::XmlElement::TextFormat preset_format;
    preset_format.lineWrapLength = 60;
    preset_format.newLineChars = "\r\n";
    const auto preset_text = writer.parameter_state.copyState().createXml()->toString (preset_format).toStdString();
    const std::string param = "<PARAM id=\"mix_mode\" value=\"4\"/>";

    std::vector<CraftedDocument> cases {
        { "as the preset browser writes it", preset_text, true },
        { "as a snapshot writes it", state_text (writer), true },
        { "root tag in other letter case", "<QUORVANE_STATE>" + param + "</QUORVANE_STATE>", true },
        { "not UTF-8", "<Quorvane_State>" + param + "\xb0</Quorvane_State>", false },
        { "truncated UTF-8 at the end", "<Quorvane_State><PARAM id=\"mix_mode\" value=\"\xf7", false },
        { "surrogate in UTF-8", "<Quorvane_State>" + param + "<A\xed\xa0\x80/></Quorvane_State>", false },
        { "processing instruction inside", "<Quorvane_State>" + param + "<?x?>m</Quorvane_State>", false },
        { "attribute given twice", "<Quorvane_State><PARAM id=\"mix_mode\" value=\"4\" value=\"3\"/></Quorvane_State>", false },
        { "overlong letter in a tag", "<Quorvane_State>" + param + "<A\xc1\xb2/></Quorvane_State>", false },
        { "overlong three-byte digit in a value", "<Quorvane_State><PARAM id=\"mix_mode\" value=\"\xe0\x80\xb4\"/></Quorvane_State>", false },
        { "cut short", "<?xml version=\"1.0\"?><Quorvane_State>" + param.substr (0, 20), false },
        { "no document", "mix_mode=4", false },
    };
    const auto crafted = crafted_documents();
    cases.insert (cases.end(), crafted.begin(), crafted.end());

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        EXPECT_EQ (StateDocumentChecks::parse_document (c.text.data(), c.text.size()) != nullptr, c.accepted);

        QuorvaneAudioProcessor processor;
        randomise (processor, 7);
        set_parameter (processor, "mix_mode", 1.0f);
        const auto before = raw_values (processor);
        restore (processor, chunk_of (c.text));
        EXPECT_EQ (raw (processor, "mix_mode"), c.accepted ? 4.0f : 1.0f);
        EXPECT_TRUE (c.accepted || raw_values (processor) == before);
    }

    // A text editor may save a preset with a byte-order mark.
    const auto with_mark = "\xef\xbb\xbf" + preset_text;
    EXPECT_NE (StateDocumentChecks::parse_document (with_mark.data(), with_mark.size()), nullptr);
}

TEST (ProcessorState, ChunksThatHoldNoDocumentChangeNothing)
{
    QuorvaneAudioProcessor processor;
    randomise (processor, 7);
    const auto before = raw_values (processor);
    QuorvaneAudioProcessor writer;
    const auto good = chunk_of (writer);
    std::vector<juce::MemoryBlock> chunks { juce::MemoryBlock (good.getData(), good.getSize() / 2),
                                            chunk_of (std::string ("<Other_State><PARAM id=\"mix_mode\" value=\"3\"/></Other_State>")) };

    for (size_t size = 0; size <= 8; ++size)
        chunks.emplace_back (good.getData(), size);

    for (const auto& [offset, value] : { std::pair { 0, 0x21324357 }, { 4, 0 }, { 4, -1 }, { 4, std::numeric_limits<int>::min() } })
    {
        chunks.push_back (good);
        juce::ByteOrder::littleEndianInt (chunks.back().getData());
        const auto le = juce::ByteOrder::swapIfBigEndian ((juce::uint32) value);
        std::memcpy (static_cast<char*> (chunks.back().getData()) + offset, &le, 4);
    }

    for (const auto& chunk : chunks)
    {
        restore (processor, chunk);
        EXPECT_EQ (raw_values (processor), before) << chunk.getSize();
    }

    processor.setStateInformation (nullptr, 0);
    EXPECT_EQ (raw_values (processor), before);
}

TEST (ProcessorState, LengthBeyondTheDataStillRestoresACompleteDocument)
{
    QuorvaneAudioProcessor processor;
    auto chunk = chunk_of ("<Quorvane_State><PARAM id=\"mix_mode\" value=\"4\"/></Quorvane_State>");
    const auto huge = juce::ByteOrder::swapIfBigEndian ((juce::uint32) 100000);
    std::memcpy (static_cast<char*> (chunk.getData()) + 4, &huge, 4);
    restore (processor, chunk);
    EXPECT_EQ (raw (processor, "mix_mode"), 4.0f);
}

TEST (ProcessorState, MissingParameterKeepsItsValueAndIsSavedAgainLast)
{
    QuorvaneAudioProcessor processor;
    set_parameter (processor, "lfo1_wave", 4.0f);

    auto document = juce::parseXML (state_text (processor));
    document->removeChildElement (document->getChildByAttribute ("id", "delay2_time"), true);
    document->getChildByAttribute ("id", "delay1_time")->setAttribute ("value", 333.0);
    document->getChildByAttribute ("id", "lfo1_wave")->removeAttribute ("value");
    juce::MemoryBlock chunk;
    juce::AudioProcessor::copyXmlToBinary (*document, chunk);

    set_parameter (processor, "delay2_time", 888.0f);
    restore (processor, chunk);
    EXPECT_EQ (raw (processor, "delay2_time"), 888.0f);
    EXPECT_EQ (raw (processor, "delay1_time"), 333.0f);
    EXPECT_EQ (raw (processor, "lfo1_wave"), 0.0f) << "a PARAM without a value takes the default";

    const auto written = juce::parseXML (state_text (processor));
    EXPECT_EQ (written->getNumChildElements(), QuorvaneParameters::num_parameters);
    EXPECT_EQ (written->getChildElement (QuorvaneParameters::num_parameters - 1)->getStringAttribute ("id"), "delay2_time");
}

TEST (ProcessorState, ValuesThatAreNoReadableNumberKeepTheCurrentValue)
{
    QuorvaneAudioProcessor processor;
    set_parameter (processor, "master_amp", -12.0f);
    set_parameter (processor, "delay1_time", 500.0f);
    const auto before = raw_values (processor);

    // Any child that carries a parameter's ID sets it, whatever its tag.
    restore (processor, chunk_of ("<Quorvane_State><PARAM id=\"master_amp\" value=\"nan\"/><FOO id=\"delay1_feed\" value=\"inf\"/>"
                                  "<PARAM id=\"delay1_damp\" value=\"1e999\"/><PARAM id=\"delay1_time\" value=\"5e-99942016602\"/>"
                                  "<PARAM id=\"delay2_time\" value=\"0x20\"/><PARAM id=\"delay2_feed\" value=\"1e-4000\"/><PARAM id=\"mix_mode\" value=\"99\"/></Quorvane_State>"));

    auto expected = before;
    expected[8] = 6.0f; // out of range: clamped
    EXPECT_EQ (raw_values (processor), expected);
}

// Preferences that fail the checks read as none at all: the defaults, and the file stays as it
// was until the next save replaces it. A good file, as the framework writes it, still reads.
TEST (ProcessorState, PresetsFolderIsMadeWithItsParentsAndPreferencesAreReadSafely)
{
    const auto config = juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory);
    const auto prefs = juce::File ("~/Corvalen/Quorvane.prefs");
    config.deleteRecursively();

    {
        QuorvaneAudioProcessor writer;
        EXPECT_EQ (writer.presets_folder, config.getChildFile ("Audio/Presets/Corvalen/Quorvane"));
        EXPECT_TRUE (writer.presets_folder.isDirectory());
        writer.properties_file->setValue ("width", 1000);
    }

    const auto written = prefs.loadFileAsString();
    const std::string open = "<PROPERTIES><VALUE name=\"width\" val=\"1000\"/>", close = "</PROPERTIES>";
    const struct { const char* name; std::string text; } refused[] {
        { "garbage", "\x01\x02 garbage <" },
        { "entities", entity_expansion (4, "PROPERTIES") },
        { "nesting", open + repeated ("<a>", 50000) + repeated ("</a>", 50000) + close },
        { "UTF-16", std::string ("\xff\xfe<\0P\0") },
        { "a pipe", "" },
        { "a device", "" },
    };

    for (const auto& file : refused)
    {
        SCOPED_TRACE (file.name);
        prefs.deleteFile();
        const auto name = std::string (file.name);
        if (name == "a pipe")
            ASSERT_EQ (mkfifo (prefs.getFullPathName().toRawUTF8(), 0600), 0);
        else if (name == "a device")
            ASSERT_TRUE (juce::File ("/dev/zero").createSymbolicLink (prefs, true));
        else
            ASSERT_TRUE (prefs.replaceWithData (file.text.data(), file.text.size()));

        // What kind of file the name is, and for a plain file what it holds.
        const auto state = [&]
        {
            struct stat info {};
            lstat (prefs.getFullPathName().toRawUTF8(), &info);
            return std::pair { info.st_mode & S_IFMT, S_ISREG (info.st_mode) ? prefs.loadFileAsString() : juce::String() };
        };

        const auto before = state();
        auto processor = std::make_unique<QuorvaneAudioProcessor>();
        ASSERT_NE (processor->properties_file, nullptr);
        EXPECT_EQ (processor->properties_file->getFile(), prefs);
        EXPECT_EQ (processor->properties_file->getAllProperties().size(), 0);
        EXPECT_EQ (state(), before);
        EXPECT_EQ (prefs.getParentDirectory().getNumberOfChildFiles (juce::File::findFilesAndDirectories), 1) << "nothing left beside it";

        processor->properties_file->setValue ("height", 300);
        processor.reset();
        EXPECT_TRUE (prefs.loadFileAsString().contains ("\"height\" val=\"300\"")) << "the next save replaces it";
    }

    prefs.replaceWithText (written);
    EXPECT_EQ (QuorvaneAudioProcessor().properties_file->getIntValue ("width"), 1000);
    prefs.getParentDirectory().deleteRecursively();
}
