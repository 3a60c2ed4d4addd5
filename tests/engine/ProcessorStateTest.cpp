#include "QuorvaneAudioProcessor.h"
#include "SetParameter.h"

#include <gtest/gtest.h>

namespace
{
float raw (QuorvaneAudioProcessor& p, const juce::String& id)
{
    return p.parameter_state.getRawParameterValue (id)->load();
}

std::vector<float> all_values (QuorvaneAudioProcessor& p)
{
    std::vector<float> values;
    for (int i = 0; i < QuorvaneParameters::num_parameters; ++i)
        values.push_back (raw (p, QuorvaneParameters::get_id_for_parameter (i)));
    return values;
}

void randomise (QuorvaneAudioProcessor& p, juce::Random& random)
{
    for (auto* parameter : p.getParameters())
        parameter->setValueNotifyingHost (random.nextFloat());
}

juce::MemoryBlock chunk_of (const juce::String& xml_text)
{
    juce::MemoryBlock block;
    juce::MemoryOutputStream out (block, false);
    out.writeInt (0x21324356);
    out.writeInt ((int) xml_text.getNumBytesAsUTF8());
    out << xml_text;
    out.writeByte (0);
    return block;
}

juce::String state_xml (QuorvaneAudioProcessor& p)
{
    juce::MemoryBlock block;
    p.getStateInformation (block);
    return juce::String::fromUTF8 (static_cast<const char*> (block.getData()) + 8, (int) block.getSize() - 9);
}
} // namespace

TEST (ProcessorState, FixedAnswersToTheHost)
{
    QuorvaneAudioProcessor processor;
    EXPECT_EQ (processor.getName(), "Quorvane");
    EXPECT_EQ (processor.getNumPrograms(), 1);
    processor.setCurrentProgram (5);
    EXPECT_EQ (processor.getCurrentProgram(), 0);
    processor.changeProgramName (0, "Mine");
    EXPECT_TRUE (processor.getProgramName (0).isEmpty());
    EXPECT_EQ (processor.getTailLengthSeconds(), std::numeric_limits<double>::infinity());
    EXPECT_TRUE (processor.acceptsMidi());
    EXPECT_FALSE (processor.producesMidi());
    EXPECT_FALSE (processor.isMidiEffect());
    EXPECT_TRUE (processor.hasEditor());
    EXPECT_EQ (processor.current_preset_name, "Init");
    EXPECT_EQ (processor.preset_extension, "qpst");
    EXPECT_EQ (processor.width_key, "width");
    EXPECT_EQ (processor.height_key, "height");
}

TEST (ProcessorState, ChunkIsSingleLineXmlWithMagicLengthAndTerminator)
{
    QuorvaneAudioProcessor processor;
    juce::MemoryBlock block;
    processor.getStateInformation (block);

    const auto* bytes = static_cast<const juce::uint8*> (block.getData());
    ASSERT_GT (block.getSize(), 9u);
    EXPECT_EQ (bytes[0], 0x56);
    EXPECT_EQ (bytes[1], 0x43);
    EXPECT_EQ (bytes[2], 0x32);
    EXPECT_EQ (bytes[3], 0x21);
    EXPECT_EQ ((size_t) juce::ByteOrder::littleEndianInt (bytes + 4), block.getSize() - 9);
    EXPECT_EQ (bytes[block.getSize() - 1], 0);

    const auto text = state_xml (processor);
    EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    EXPECT_FALSE (text.containsAnyOf ("\r\n"));

    // The framework's table order: IDs sorted byte-wise.
    const auto document = juce::parseXML (text);
    ASSERT_NE (document, nullptr);
    EXPECT_EQ (document->getTagName(), "Quorvane_State");
    EXPECT_EQ (document->getNumChildElements(), QuorvaneParameters::num_parameters);
    juce::String previous;
    for (auto* param : document->getChildIterator())
    {
        EXPECT_EQ (param->getTagName(), "PARAM");
        EXPECT_GT (param->getStringAttribute ("id").compare (previous), 0);
        previous = param->getStringAttribute ("id");
    }
}

TEST (ProcessorState, RoundTripRestoresEveryValueButNotThePresetName)
{
    juce::Random random (42);
    QuorvaneAudioProcessor source;
    randomise (source, random);
    const auto saved = all_values (source);
    juce::MemoryBlock block;
    source.getStateInformation (block);

    QuorvaneAudioProcessor target;
    target.current_preset_name = "Something";
    target.setStateInformation (block.getData(), (int) block.getSize());
    EXPECT_EQ (all_values (target), saved);
    EXPECT_EQ (target.current_preset_name, "Something");

    // And back into the source after it moved on.
    randomise (source, random);
    source.setStateInformation (block.getData(), (int) block.getSize());
    EXPECT_EQ (all_values (source), saved);
}

TEST (ProcessorState, RejectedChunksChangeNothing)
{
    juce::Random random (7);
    QuorvaneAudioProcessor processor;
    randomise (processor, random);
    const auto before = all_values (processor);
    juce::MemoryBlock good;
    QuorvaneAudioProcessor().getStateInformation (good);

    auto restore = [&] (const juce::MemoryBlock& block)
    {
        processor.setStateInformation (block.getData(), (int) block.getSize());
        EXPECT_EQ (all_values (processor), before);
    };

    {
        SCOPED_TRACE ("eight bytes and fewer");
        for (size_t size = 0; size <= 8; ++size)
            restore (juce::MemoryBlock (good.getData(), size));
        processor.setStateInformation (nullptr, 0);
    }
    {
        SCOPED_TRACE ("wrong magic");
        auto block = good;
        static_cast<char*> (block.getData())[0] ^= 1;
        restore (block);
    }
    {
        SCOPED_TRACE ("length zero or negative");
        for (int length : { 0, -1, std::numeric_limits<int>::min() })
        {
            auto block = good;
            juce::ByteOrder::littleEndianInt (block.getData());
            auto* field = static_cast<char*> (block.getData()) + 4;
            juce::uint32 le = juce::ByteOrder::swapIfBigEndian ((juce::uint32) length);
            std::memcpy (field, &le, 4);
            restore (block);
        }
    }
    {
        SCOPED_TRACE ("text that does not parse");
        restore (chunk_of ("<?xml version=\"1.0\"?><Quorvane_State><PARAM id=\"mix_mode\" value=\"3\""));
        restore (chunk_of ("not xml at all"));
    }
    {
        SCOPED_TRACE ("another root tag");
        restore (chunk_of ("<Other_State><PARAM id=\"mix_mode\" value=\"3\"/></Other_State>"));
        restore (chunk_of ("<Quorvane_States><PARAM id=\"mix_mode\" value=\"3\"/></Quorvane_States>"));
    }
    {
        SCOPED_TRACE ("truncated document");
        restore (juce::MemoryBlock (good.getData(), good.getSize() / 2));
    }
}

TEST (ProcessorState, LengthBeyondTheDataStillRestoresACompleteDocument)
{
    QuorvaneAudioProcessor processor;
    auto block = chunk_of ("<Quorvane_State><PARAM id=\"mix_mode\" value=\"4\"/></Quorvane_State>");
    const juce::uint32 huge = juce::ByteOrder::swapIfBigEndian ((juce::uint32) 100000);
    std::memcpy (static_cast<char*> (block.getData()) + 4, &huge, 4);

    processor.setStateInformation (block.getData(), (int) block.getSize());
    EXPECT_EQ (raw (processor, "mix_mode"), 4.0f);
}

TEST (ProcessorState, RootTagIsMatchedIgnoringCaseAndThenKept)
{
    QuorvaneAudioProcessor processor;
    const auto block = chunk_of ("<QUORVANE_STATE><PARAM id=\"distortion_type\" value=\"2\"/></QUORVANE_STATE>");
    processor.setStateInformation (block.getData(), (int) block.getSize());
    EXPECT_EQ (raw (processor, "distortion_type"), 2.0f);
    EXPECT_TRUE (state_xml (processor).contains ("<QUORVANE_STATE>"));

    const auto original = chunk_of ("<Quorvane_State><PARAM id=\"distortion_type\" value=\"3\"/></Quorvane_State>");
    processor.setStateInformation (original.getData(), (int) original.getSize());
    EXPECT_EQ (raw (processor, "distortion_type"), 3.0f);
}

TEST (ProcessorState, MissingParameterKeepsItsValueAndIsAppendedLast)
{
    QuorvaneAudioProcessor processor;
    set_parameter (processor, "delay2_time", 777.0f);
    set_parameter (processor, "lfo1_wave", 4.0f);

    auto document = juce::parseXML (state_xml (processor));
    document->removeChildElement (document->getChildByAttribute ("id", "delay2_time"), true);
    document->getChildByAttribute ("id", "delay1_time")->setAttribute ("value", 333.0);
    document->getChildByAttribute ("id", "lfo1_wave")->removeAttribute ("value");
    juce::MemoryBlock block;
    juce::AudioProcessor::copyXmlToBinary (*document, block);

    set_parameter (processor, "delay2_time", 888.0f);
    processor.setStateInformation (block.getData(), (int) block.getSize());

    EXPECT_EQ (raw (processor, "delay2_time"), 888.0f);
    EXPECT_EQ (raw (processor, "delay1_time"), 333.0f);
    EXPECT_EQ (raw (processor, "lfo1_wave"), 0.0f) << "a PARAM without a value takes the default";

    const auto written = juce::parseXML (state_xml (processor));
    auto* last = written->getChildElement (written->getNumChildElements() - 1);
    EXPECT_EQ (last->getStringAttribute ("id"), "delay2_time");
    EXPECT_EQ (last->getDoubleAttribute ("value"), 888.0);
    EXPECT_EQ (written->getNumChildElements(), QuorvaneParameters::num_parameters);
}

TEST (ProcessorState, ValuesThatAreNoNumberKeepTheCurrentValue)
{
    QuorvaneAudioProcessor processor;
    set_parameter (processor, "master_amp", -12.0f);
    const auto before = raw (processor, "master_amp");
    const auto block = chunk_of ("<Quorvane_State><PARAM id=\"master_amp\" value=\"nan\"/>"
                                 "<PARAM id=\"delay1_feed\" value=\"inf\"/>"
                                 "<PARAM id=\"delay1_damp\" value=\"1e999\"/>"
                                 "<PARAM id=\"mix_mode\" value=\"99\"/></Quorvane_State>");
    processor.setStateInformation (block.getData(), (int) block.getSize());

    EXPECT_EQ (raw (processor, "master_amp"), before);
    EXPECT_EQ (raw (processor, "delay1_feed"), 50.0f);
    EXPECT_EQ (raw (processor, "delay1_damp"), 11000.0f);
    EXPECT_EQ (raw (processor, "mix_mode"), 6.0f) << "an out-of-range value is clamped to the range";
}

class ProcessorFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        config.deleteRecursively();
        prefs_folder.deleteRecursively();
    }

    void TearDown() override { SetUp(); }

    const juce::File config = juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory);
    const juce::File presets = config.getChildFile ("Audio/Presets/Corvalen/Quorvane");
    const juce::File prefs_folder = juce::File ("~/Corvalen");
    const juce::File prefs_file = prefs_folder.getChildFile ("Quorvane.prefs");
};

TEST_F (ProcessorFiles, PresetsFolderIsCreatedWithParentsAndLeftAloneWhenPresent)
{
    ASSERT_FALSE (config.exists());
    {
        QuorvaneAudioProcessor processor;
        EXPECT_EQ (processor.presets_folder, presets);
        EXPECT_TRUE (presets.isDirectory());
    }

    const auto preset = presets.getChildFile ("Mine.qpst");
    ASSERT_TRUE (preset.replaceWithText ("<Quorvane_State/>"));
    {
        QuorvaneAudioProcessor processor;
        EXPECT_EQ (preset.loadFileAsString(), "<Quorvane_State/>");
        EXPECT_EQ (presets.getNumberOfChildFiles (juce::File::findFiles), 1);
    }
}

TEST_F (ProcessorFiles, PreferencesAreWrittenOnlyAfterAChange)
{
    {
        QuorvaneAudioProcessor processor;
        ASSERT_NE (processor.properties_file, nullptr);
        EXPECT_EQ (processor.properties_file->getFile(), prefs_file);
    }
    EXPECT_FALSE (prefs_file.exists()) << "construct and destroy write nothing";

    {
        QuorvaneAudioProcessor processor;
        processor.properties_file->setValue (processor.width_key, 1000);
    }
    ASSERT_TRUE (prefs_file.existsAsFile()) << "a pending change is written at destruction";

    QuorvaneAudioProcessor processor;
    EXPECT_EQ (processor.properties_file->getIntValue ("width"), 1000);
}

TEST_F (ProcessorFiles, UnreadablePreferencesLeaveTheObjectEmpty)
{
    ASSERT_TRUE (prefs_folder.createDirectory());
    ASSERT_TRUE (prefs_file.replaceWithText ("\x01\x02 garbage <"));

    QuorvaneAudioProcessor processor;
    EXPECT_EQ (processor.properties_file->getAllProperties().size(), 0);
}
