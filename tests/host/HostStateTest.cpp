// State as a DAW saves it with a project and restores it into a new instance:
// the host's blob, the component chunk inside it, and bad blobs and files.

#include "HostState.h"
#include "TestBundle.h"

#include <gtest/gtest.h>

namespace
{
const juce::String state_root { "Quorvane_State" };

/** A value for parameter i that is no default, differs from its neighbours'
    and lies on every parameter's grid (a whole number, or a choice index). */
double distinct_value (const PluginParameter& p, int i)
{
    if (p.kind == PluginParameter::Kind::choice)
        return 1 + i % (int) p.maximum;

    const auto fraction = 0.2 + 0.6 * i / 35.0;
    return std::round (p.minimum + fraction * (p.maximum - p.minimum));
}

/** Every parameter's value, or its default, in index order. */
std::vector<double> values_of (HostedPlugin& plugin, bool defaults = false)
{
    std::vector<double> values;

    for (const auto& id : TestBundle::parameter_ids())
    {
        const auto* p = plugin.find_parameter (id);
        values.push_back (p == nullptr ? std::numeric_limits<double>::quiet_NaN() : defaults ? p->default_value : p->value());
    }

    return values;
}

void set_all_distinct (HostedPlugin& plugin)
{
    const auto& ids = TestBundle::parameter_ids();

    for (int i = 0; i < ids.size(); ++i)
    {
        auto* p = plugin.find_parameter (ids[i]);
        ASSERT_NE (p, nullptr) << ids[i];
        ASSERT_TRUE (p->set_value (distinct_value (*p, i)).wasOk()) << ids[i];
    }
}

/** The state document's chunk (magic, length, text, zero byte) and the framework's trailer after it. */
struct ChunkParts
{
    explicit ChunkParts (const juce::MemoryBlock& chunk)
    {
        const auto* bytes = static_cast<const char*> (chunk.getData());
        const auto length = chunk.getSize() < 9 ? chunk.getSize() : (size_t) juce::ByteOrder::littleEndianInt (bytes + 4);

        if (9 + length > chunk.getSize())
            return;

        magic.append (bytes, 4);
        text = juce::String::fromUTF8 (bytes + 8, (int) length);
        terminator = bytes[8 + length];
        trailer.append (bytes + 9 + length, chunk.getSize() - 9 - length);
    }

    juce::MemoryBlock magic, trailer;
    juce::String text;
    int terminator = -1;
};

std::unique_ptr<juce::XmlElement> document_of (const juce::MemoryBlock& host_state)
{
    const auto chunk = HostState::component_chunk (host_state);
    return juce::AudioProcessor::getXmlFromBinary (chunk.getData(), (int) chunk.getSize());
}

/** The same host state with the component's document replaced and its trailer kept. */
juce::MemoryBlock with_document (const juce::MemoryBlock& host_state, const juce::XmlElement& document)
{
    const ChunkParts parts (HostState::component_chunk (host_state));
    juce::MemoryBlock chunk;
    juce::AudioProcessor::copyXmlToBinary (document, chunk);
    chunk.append (parts.trailer.getData(), parts.trailer.getSize());
    return HostState::with_component_chunk (host_state, chunk);
}

TEST (HostState, RestoresEveryValueAndTheBypassIntoASecondInstanceThroughBlobAndFile)
{
    const juce::TemporaryFile folder;
    const auto dir = folder.getFile();
    ASSERT_TRUE (dir.createDirectory());
    auto saved = TestBundle::load();
    auto restored = TestBundle::load();
    auto fresh = TestBundle::load();
    ASSERT_TRUE (saved && restored && fresh);

    // A playing plug-in takes changes with the next block; saving must not lose them.
    juce::AudioBuffer<float> block (2, 512);
    block.clear();
    ASSERT_TRUE (saved->process (block).wasOk());
    set_all_distinct (*saved);
    ASSERT_TRUE (saved->set_parameter ("byps", "1").wasOk());
    const auto expected = values_of (*saved);
    ASSERT_NE (expected, values_of (*saved, true));

    const auto restore = restored->restore_state (saved->save_state());
    ASSERT_TRUE (restore.wasOk()) << restore.getErrorMessage();
    EXPECT_EQ (values_of (*restored), expected);
    EXPECT_EQ (TestBundle::value (*restored, "byps"), 1.0);

    // Files: bad ones are refused with a one-line message and change nothing.
    const auto file = dir.getChildFile ("session.state");
    ASSERT_TRUE (saved->save_state_file (file).wasOk());
    EXPECT_TRUE (saved->save_state_file (dir.getChildFile ("no/such/folder.state")).failed());
    const auto garbage = dir.getChildFile ("garbage.state"), truncated = dir.getChildFile ("truncated.state");
    ASSERT_TRUE (garbage.replaceWithText ("<VST3PluginState/>"));
    juce::MemoryBlock whole;
    ASSERT_TRUE (file.loadFileAsData (whole));
    ASSERT_TRUE (truncated.replaceWithData (whole.getData(), whole.getSize() - 40));

    for (const auto& bad : { dir.getChildFile ("missing.state"), dir, garbage, truncated })
    {
        SCOPED_TRACE (bad.getFileName());
        const auto result = fresh->restore_state_file (bad);
        EXPECT_TRUE (result.failed());
        EXPECT_FALSE (result.getErrorMessage().containsChar ('\n'));
        EXPECT_EQ (values_of (*fresh), values_of (*fresh, true));
    }

    ASSERT_TRUE (fresh->restore_state_file (file).wasOk());
    EXPECT_EQ (values_of (*fresh), expected);
}

TEST (HostState, ComponentChunkIsTheStateDocumentThenTheFrameworksTrailer)
{
    auto plugin = TestBundle::load();
    ASSERT_NE (plugin, nullptr);
    ASSERT_TRUE (plugin->set_parameter ("byps", "1").wasOk());

    const ChunkParts parts (HostState::component_chunk (plugin->save_state()));

    const juce::uint8 magic[] { 0x56, 0x43, 0x32, 0x21 };
    EXPECT_EQ (parts.magic, juce::MemoryBlock (magic, sizeof (magic)));
    EXPECT_EQ (parts.terminator, 0);
    EXPECT_TRUE (parts.text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    EXPECT_FALSE (parts.text.containsAnyOf ("\r\n"));

    const auto document = juce::parseXML (parts.text);
    ASSERT_NE (document, nullptr);
    EXPECT_EQ (document->getTagName(), state_root);
    EXPECT_EQ (document->getNumChildElements(), 35);

    for (const auto& id : TestBundle::parameter_ids())
        EXPECT_NE (document->getChildByAttribute ("id", id), nullptr) << id;

    // The trailer: eight zero bytes, the private data, its size in eight bytes, then the marker.
    const juce::String marker ("JUCEPrivateData");
    const auto trailer_size = parts.trailer.getSize();
    ASSERT_GT (trailer_size, 16 + (size_t) marker.length());

    const auto* trailer = static_cast<const char*> (parts.trailer.getData());
    const auto private_size = (size_t) juce::ByteOrder::littleEndianInt64 (trailer + trailer_size - marker.length() - 8);

    EXPECT_EQ (juce::String (trailer + trailer_size - marker.length(), (size_t) marker.length()), marker);
    EXPECT_EQ (juce::ByteOrder::littleEndianInt64 (trailer), 0);
    ASSERT_EQ (trailer_size, 8 + private_size + 8 + (size_t) marker.length());

    const auto private_data = juce::ValueTree::readFromData (trailer + 8, private_size);
    EXPECT_EQ (private_data.getType().toString(), marker);
    EXPECT_TRUE ((bool) private_data.getProperty ("Bypass"));
}

TEST (HostState, ParameterMissingFromARestoredStateKeepsItsCurrentValue)
{
    auto saved = TestBundle::load();
    auto restored = TestBundle::load();
    ASSERT_TRUE (saved && restored);

    ASSERT_TRUE (saved->set_parameter ("delay1_time", "700").wasOk());
    ASSERT_TRUE (saved->set_parameter ("delay2_feed", "33").wasOk());
    const auto host_state = saved->save_state();

    auto document = document_of (host_state);
    ASSERT_TRUE (document != nullptr && document->getChildByAttribute ("id", "delay1_time") != nullptr);
    document->removeChildElement (document->getChildByAttribute ("id", "delay1_time"), true);

    ASSERT_TRUE (restored->set_parameter ("delay1_time", "250").wasOk());
    ASSERT_TRUE (restored->restore_state (with_document (host_state, *document)).wasOk());

    EXPECT_EQ (TestBundle::value (*restored, "delay1_time"), 250.0);
    EXPECT_EQ (TestBundle::value (*restored, "delay2_feed"), 33.0);

    // The next save writes the kept value again.
    const auto resaved = document_of (restored->save_state());
    ASSERT_TRUE (resaved != nullptr && resaved->getChildByAttribute ("id", "delay1_time") != nullptr);
    EXPECT_EQ (resaved->getChildByAttribute ("id", "delay1_time")->getDoubleAttribute ("value"), 250.0);
}

TEST (HostState, BadStateChangesNothing)
{
    auto source = TestBundle::load();
    auto plugin = TestBundle::load();
    ASSERT_TRUE (source && plugin);

    ASSERT_TRUE (source->set_parameter ("delay1_time", "900").wasOk());
    const auto good = source->save_state();
    set_all_distinct (*plugin);
    const auto before = values_of (*plugin);

    {
        SCOPED_TRACE ("blobs the host refuses");
        juce::MemoryBlock empty;
        juce::MemoryBlock half (good.getData(), good.getSize() / 2);
        juce::MemoryBlock noise (good.getSize());
        juce::Random (3).fillBitsRandomly (noise.getData(), noise.getSize());
        juce::MemoryBlock other_root;
        juce::AudioProcessor::copyXmlToBinary (juce::XmlElement ("OtherHostState"), other_root);
        juce::XmlElement not_base64 (HostState::root_tag);
        not_base64.createNewChildElement (HostState::component_tag)->addTextElement ("*** not base 64 ***");
        juce::MemoryBlock bad_component;
        juce::AudioProcessor::copyXmlToBinary (not_base64, bad_component);

        for (const auto* blob : { &empty, &half, &noise, &other_root, &bad_component })
        {
            EXPECT_FALSE (HostState::is_valid (*blob));
            EXPECT_TRUE (plugin->restore_state (*blob).failed());
            EXPECT_EQ (values_of (*plugin), before);
        }
    }

    {
        SCOPED_TRACE ("host states with chunks the plug-in ignores");
        const auto chunk = HostState::component_chunk (good);
        juce::MemoryBlock wrong_magic (chunk), eight_bytes (chunk.getData(), 8), zero_length (chunk);
        static_cast<char*> (wrong_magic.getData())[0] = 'X';
        std::memset (static_cast<char*> (zero_length.getData()) + 4, 0, 4);

        juce::XmlElement other_document ("Other_State");
        other_document.createNewChildElement ("PARAM")->setAttribute ("id", "delay1_time");
        other_document.getChildByName ("PARAM")->setAttribute ("value", 900);

        const juce::MemoryBlock blobs[] {
            HostState::with_component_chunk (good, wrong_magic),
            HostState::with_component_chunk (good, eight_bytes),
            HostState::with_component_chunk (good, zero_length),
            with_document (good, other_document),
        };

        for (const auto& blob : blobs)
        {
            EXPECT_TRUE (plugin->restore_state (blob).wasOk());
            EXPECT_EQ (values_of (*plugin), before);
        }
    }
}
} // namespace
