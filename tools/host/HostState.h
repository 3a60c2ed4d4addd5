#pragma once

#include <juce_core/juce_core.h>

/** The state blob the host saves for a plug-in, in the form of JUCE's VST 3
    hosting: an XML element "VST3PluginState" in JUCE's binary XML chunk, whose
    child "IComponent" holds the component's own state chunk in base 64 (and
    "IEditController" the controller's, when it has one). Pure functions. */
class HostState
{
public:
    /** True when the blob is a host state with a component chunk: what a
        restore needs before anything reaches the plug-in. */
    static bool is_valid (const juce::MemoryBlock& host_state);

    /** The component's own state chunk (IComponent::getState), or nothing when
        the blob has none. */
    static juce::MemoryBlock component_chunk (const juce::MemoryBlock& host_state);

    /** The same host state with another component chunk in it. */
    static juce::MemoryBlock with_component_chunk (const juce::MemoryBlock& host_state,
                                                   const juce::MemoryBlock& component_chunk);

    static constexpr const char* root_tag = "VST3PluginState";
    static constexpr const char* component_tag = "IComponent";
};
