#pragma once

#include "HostPlayHead.h"
#include "PluginParameter.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>
#include <vector>

/** A VST 3 plug-in loaded from its bundle the way a DAW loads it: the bundle is
    scanned, its first class instantiated at a sample rate and a maximum block
    size with stereo in and out, and prepared. It then shows its parameters in
    host order, plays along a play head, processes buffers in blocks and saves
    and restores the host's state blob.

    Message thread only: the thread that owns the JUCE runtime creates, drives
    and destroys it, as a DAW's offline render does. */
class HostedPlugin
{
public:
    static constexpr double min_sample_rate = 8000.0, max_sample_rate = 768000.0;
    static constexpr int max_block_size = 65536;
    static constexpr const char* bypass_id = "byps";

    /** Loads and prepares the plug-in, or fails with a one-line reason. */
    static std::unique_ptr<HostedPlugin> load (const juce::File& bundle, double sample_rate, int block_size,
                                               juce::String& error);
    ~HostedPlugin();

    const juce::PluginDescription& description() const noexcept { return plugin_description; }
    double sample_rate() const noexcept { return rate; }
    int block_size() const noexcept { return block; }
    int num_channels() const noexcept { return channels; }

    /** Every parameter in host order; the framework's bypass comes with them. */
    std::vector<PluginParameter>& parameters() noexcept { return plugin_parameters; }

    /** A parameter by the plug-in's own string ID ("delay1_time"), "byps" for
        the bypass, or the decimal host ID that `info` lists; null if none. */
    PluginParameter* find_parameter (const juce::String& id);

    /** The VST 3 parameter ID that JUCE's plug-in wrapper derives from a string
        ID: its hash, top bit cleared for hosts that dislike negative IDs. */
    static juce::uint32 host_id_for (const juce::String& string_id) noexcept;

    /** Sets a parameter by ID in its own units, from text. */
    juce::Result set_parameter (const juce::String& id, const juce::String& value_text);

    /** Processes the buffer in place in blocks of block_size (the last may be
        shorter), moving the play head on. The buffer has num_channels(). */
    juce::Result process (juce::AudioBuffer<float>& buffer);

    /** The host state blob. A parameter set since the last block has not yet
        reached a playing plug-in, so an empty block hands it over first, the
        way VST 3 hosts flush parameters. */
    juce::MemoryBlock save_state();
    /** Restores a host state blob; one that is not a host state is refused and
        changes nothing. What the plug-in makes of its own chunk is its affair. */
    juce::Result restore_state (const juce::MemoryBlock& host_state);

    juce::Result save_state_file (const juce::File& file);
    juce::Result restore_state_file (const juce::File& file);

    juce::AudioPluginInstance& instance() noexcept { return *plugin; }

    // Declared before the instance, which points at it, so that it outlives it.
    HostPlayHead play_head;

private:
    HostedPlugin (const juce::PluginDescription&, std::unique_ptr<juce::AudioPluginInstance>, double, int);

    void flush_parameter_changes();

    juce::PluginDescription plugin_description;
    std::unique_ptr<juce::AudioPluginInstance> plugin;
    const double rate;
    const int block;
    const int channels = 2;
    std::vector<PluginParameter> plugin_parameters;
    juce::MidiBuffer midi;
    bool has_processed = false;

    JUCE_DECLARE_NON_COPYABLE (HostedPlugin)
};
