#include "HostState.h"

#include <juce_audio_processors/juce_audio_processors.h>

namespace
{
std::unique_ptr<juce::XmlElement> read_root (const juce::MemoryBlock& host_state)
{
    // JUCE's parser takes an int size; a larger blob is no state of ours.
    if (host_state.getSize() > (size_t) std::numeric_limits<int>::max())
        return nullptr;

    auto root = juce::AudioProcessor::getXmlFromBinary (host_state.getData(), (int) host_state.getSize());

    if (root == nullptr || ! root->hasTagName (HostState::root_tag))
        return nullptr;

    return root;
}

juce::MemoryBlock decode_component (const juce::XmlElement& root)
{
    juce::MemoryBlock chunk;

    if (const auto* element = root.getChildByName (HostState::component_tag))
        if (! chunk.fromBase64Encoding (element->getAllSubText()))
            chunk.reset();

    return chunk;
}
} // namespace

bool HostState::is_valid (const juce::MemoryBlock& host_state)
{
    const auto root = read_root (host_state);
    return root != nullptr && ! decode_component (*root).isEmpty();
}

juce::MemoryBlock HostState::component_chunk (const juce::MemoryBlock& host_state)
{
    const auto root = read_root (host_state);
    return root != nullptr ? decode_component (*root) : juce::MemoryBlock();
}

juce::MemoryBlock HostState::with_component_chunk (const juce::MemoryBlock& host_state,
                                                   const juce::MemoryBlock& component_chunk)
{
    auto root = read_root (host_state);

    if (root == nullptr)
        root = std::make_unique<juce::XmlElement> (root_tag);

    root->deleteAllChildElementsWithTagName (component_tag);
    // The component's chunk comes first, as the host writes it.
    auto* element = new juce::XmlElement (component_tag);
    element->addTextElement (component_chunk.toBase64Encoding());
    root->insertChildElement (element, 0);

    juce::MemoryBlock result;
    juce::AudioProcessor::copyXmlToBinary (*root, result);
    return result;
}
