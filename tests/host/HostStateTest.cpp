// State as a DAW saves it with a project and restores it into a new instance: the
// host's blob and files, and blobs or files the host refuses. What the plug-in makes
// of its own chunk is tested on the processor itself.

#include "HostState.h"
#include "HostRig.h"

#include <gtest/gtest.h>

namespace
{
std::vector<double> values_of (HostedPlugin& plugin, bool defaults = false)
{
    std::vector<double> values;
    for (size_t i = 0; i < 36; ++i)
        values.push_back (defaults ? plugin.parameters()[i].default_value : plugin.parameters()[i].value());
    return values;
}
} // namespace

TEST (HostState, RestoresEveryValueAndTheBypassIntoASecondInstanceAndRefusesBadStateChangingNothing)
{
    const juce::TemporaryFile folder;
    const auto dir = folder.getFile();
    ASSERT_TRUE (dir.createDirectory());
    auto saved = HostRig::load(), restored = HostRig::load(), fresh = HostRig::load();
    ASSERT_TRUE (saved && restored && fresh);

    // A playing plug-in takes changes with the next block; saving must not lose them. Each
    // value is no default, differs from its neighbours' and lies on its parameter's grid.
    juce::AudioBuffer<float> block (2, 512);
    block.clear();
    ASSERT_TRUE (saved->process (block).wasOk());
    for (size_t i = 0; i < 36; ++i)
    {
        auto& p = saved->parameters()[i];
        const auto value = p.kind == PluginParameter::Kind::choice ? 1 + (int) i % (int) p.maximum
                                                                   : std::round (p.minimum + (0.2 + 0.6 * (double) i / 35.0) * (p.maximum - p.minimum));
        ASSERT_TRUE (p.set_value (value).wasOk()) << p.name;
    }
    const auto expected = values_of (*saved);
    ASSERT_NE (expected, values_of (*saved, true));
    ASSERT_EQ (expected[35], 1.0);

    ASSERT_TRUE (restored->restore_state (saved->save_state()).wasOk());
    EXPECT_EQ (values_of (*restored), expected);

    const auto file = dir.getChildFile ("session.state"), garbage = dir.getChildFile ("garbage.state"), truncated = dir.getChildFile ("truncated.state");
    ASSERT_TRUE (saved->save_state_file (file).wasOk());
    EXPECT_TRUE (saved->save_state_file (dir.getChildFile ("no/such/folder.state")).failed());
    ASSERT_TRUE (garbage.replaceWithText ("<VST3PluginState/>"));
    juce::MemoryBlock whole;
    ASSERT_TRUE (file.loadFileAsData (whole));
    ASSERT_TRUE (truncated.replaceWithData (whole.getData(), whole.getSize() - 40));

    for (const auto& bad : { dir.getChildFile ("missing.state"), dir, garbage, truncated })
    {
        const auto result = fresh->restore_state_file (bad);
        EXPECT_TRUE (result.failed() && ! result.getErrorMessage().containsChar ('\n')) << bad.getFileName();
        EXPECT_EQ (values_of (*fresh), values_of (*fresh, true)) << bad.getFileName();
    }

    const juce::MemoryBlock good = saved->save_state();
    juce::MemoryBlock empty, half (good.getData(), good.getSize() / 2), noise (good.getSize()), other_root, bad_component;
    juce::Random (3).fillBitsRandomly (noise.getData(), noise.getSize());
    juce::XmlElement not_base64 (HostState::root_tag);
    not_base64.createNewChildElement (HostState::component_tag)->addTextElement ("*** not base 64 ***");
    juce::AudioProcessor::copyXmlToBinary (not_base64, bad_component);
    auto renamed = juce::AudioProcessor::getXmlFromBinary (good.getData(), (int) good.getSize());
    ASSERT_NE (renamed, nullptr);
    renamed->setTagName ("OtherHostState"); // a good component chunk under another host's root
    juce::AudioProcessor::copyXmlToBinary (*renamed, other_root);

    for (const auto* blob : { &empty, &half, &noise, &other_root, &bad_component })
    {
        EXPECT_TRUE (fresh->restore_state (*blob).failed());
        EXPECT_EQ (values_of (*fresh), values_of (*fresh, true));
    }

    ASSERT_TRUE (fresh->restore_state_file (file).wasOk());
    EXPECT_EQ (values_of (*fresh), expected);
}

// The framework's private data ends each component chunk: its size, then a marker. A project file
// may hold any bytes there; none may read outside the chunk or past the stack. A size that does
// not fit restores nothing; data other than the small tree the framework writes is left unread,
// and the state before it restores.
TEST (HostState, ADamagedTrailerIsNeverReadOutsideTheChunkOrPastTheStack)
{
    const std::string text = "<Quorvane_State><PARAM id=\"mix_mode\" value=\"4\"/></Quorvane_State>";
    juce::MemoryOutputStream state;
    state.writeInt (0x21324356);
    state.writeInt ((int) text.size());
    state.write (text.data(), text.size());
    state.writeByte (0);

    const auto tree = [] (int depth, int children)
    {
        juce::MemoryOutputStream out;
        for (int level = 0; level < depth; ++level)
        {
            out.writeString ("JUCEPrivateData");
            out.writeCompressedInt (0);
            out.writeCompressedInt (level + 1 < depth ? 1 : children);
        }
        return out.getMemoryBlock();
    };

    const struct { const char* name; juce::MemoryBlock data; juce::int64 size_offset; bool restores; } cases[] {
        { "a size past the chunk", tree (1, 0), (juce::int64) 1 << 40, false },
        { "a size just past the chunk", tree (1, 0), (juce::int64) state.getDataSize() + 9, false },
        { "nested 200000 deep", tree (200000, 0), 0, true },
        { "a billion children", tree (1, 1 << 30), 0, true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        juce::MemoryOutputStream chunk;
        chunk << state.getMemoryBlock();
        chunk.writeInt64 (0);
        chunk << c.data;
        chunk.writeInt64 ((juce::int64) c.data.getSize() + c.size_offset);
        chunk << "JUCEPrivateData";

        auto plugin = HostRig::load();
        ASSERT_NE (plugin, nullptr);
        EXPECT_TRUE (plugin->restore_state (HostState::with_component_chunk ({}, chunk.getMemoryBlock())).wasOk());
        EXPECT_EQ (plugin->find_parameter ("mix_mode")->value(), c.restores ? 4.0 : 0.0);
        EXPECT_EQ (plugin->parameters()[35].value(), 0.0) << "the bypass stays off";
    }
}
