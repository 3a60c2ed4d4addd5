#include "HostedPlugin.h"

#include "HostState.h"

#if JUCE_LINUX
 #include <sys/utsname.h>
#endif

std::unique_ptr<HostedPlugin> HostedPlugin::load (const juce::File& bundle, double sample_rate, int block_size,
                                                  juce::String& error)
{
    if (! (sample_rate >= min_sample_rate && sample_rate <= max_sample_rate))
    {
        error = "sample rate " + PluginParameter::format_number (sample_rate) + " Hz is outside "
              + PluginParameter::format_number (min_sample_rate) + " to " + PluginParameter::format_number (max_sample_rate) + " Hz";
        return nullptr;
    }

    if (block_size < 1 || block_size > max_block_size)
    {
        error = "block size " + juce::String (block_size) + " is outside 1 to " + juce::String (max_block_size);
        return nullptr;
    }

    if (! bundle.exists())
    {
        error = bundle.getFullPathName() + ": no such bundle";
        return nullptr;
    }

    // On Linux a VST 3 bundle is a folder; the module sits inside it.
    if (! bundle.isDirectory() || ! bundle.hasFileExtension (".vst3"))
    {
        error = bundle.getFullPathName() + " is not a VST 3 bundle (a folder named *.vst3)";
        return nullptr;
    }

   #if JUCE_LINUX
    // Where JUCE looks for the module; checked first so that a bundle without one is refused plainly.
    utsname machine {};
    const auto module = bundle.getChildFile ("Contents")
                            .getChildFile (juce::String (uname (&machine) == 0 ? machine.machine : "") + "-linux")
                            .getChildFile (bundle.getFileNameWithoutExtension() + ".so");

    if (! module.existsAsFile())
    {
        error = bundle.getFullPathName() + " is not a loadable VST 3 bundle: it has no module "
              + module.getRelativePathFrom (bundle);
        return nullptr;
    }
   #endif

    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> classes;
    format.findAllTypesForFile (classes, bundle.getFullPathName());

    if (classes.isEmpty())
    {
        error = bundle.getFullPathName() + " is not a loadable VST 3 bundle: its module has no plug-in factory";
        return nullptr;
    }

    const auto description = *classes.getFirst();
    juce::String create_error;
    auto instance = format.createInstanceFromDescription (description, sample_rate, block_size, create_error);

    if (instance == nullptr)
    {
        error = "cannot create " + description.name + " from " + bundle.getFullPathName() + ": " + create_error;
        return nullptr;
    }

    // A DAW's stereo insert: stereo on the main buses, any other bus off.
    auto layout = instance->getBusesLayout();

    if (layout.inputBuses.isEmpty() || layout.outputBuses.isEmpty())
    {
        error = description.name + " has no audio input or output: it is not an effect";
        return nullptr;
    }

    for (auto* buses : { &layout.inputBuses, &layout.outputBuses })
    {
        for (auto& set : *buses)
            set = juce::AudioChannelSet::disabled();

        buses->getReference (0) = juce::AudioChannelSet::stereo();
    }

    if (! instance->setBusesLayout (layout))
    {
        error = description.name + " does not accept stereo in and stereo out";
        return nullptr;
    }

    return std::unique_ptr<HostedPlugin> (new HostedPlugin (description, std::move (instance), sample_rate, block_size));
}

HostedPlugin::HostedPlugin (const juce::PluginDescription& loaded, std::unique_ptr<juce::AudioPluginInstance> created,
                            double sample_rate, int block_size)
    : plugin_description (loaded),
      plugin (std::move (created)),
      rate (sample_rate),
      block (block_size)
{
    play_head.sample_rate = rate;
    plugin->setPlayHead (&play_head);
    plugin->prepareToPlay (rate, block);

    const auto num_parameters = plugin->getParameters().size();
    plugin_parameters.reserve ((size_t) num_parameters);

    for (int i = 0; i < num_parameters; ++i)
        if (auto* hosted = plugin->getHostedParameter (i))
            plugin_parameters.emplace_back (*hosted, hosted == plugin->getBypassParameter());
}

HostedPlugin::~HostedPlugin()
{
    plugin->releaseResources();
    plugin->setPlayHead (nullptr);
}

PluginParameter* HostedPlugin::find_parameter (const juce::String& id)
{
    const auto find = [this] (auto&& matches) -> PluginParameter*
    {
        for (auto& parameter : plugin_parameters)
            if (matches (parameter))
                return &parameter;

        return nullptr;
    };

    if (id == bypass_id)
        return find ([] (const PluginParameter& p) { return p.is_bypass; });

    const auto hashed = host_id_for (id);

    if (auto* parameter = find ([hashed] (const PluginParameter& p) { return p.host_id == hashed; }))
        return parameter;

    const auto number = id.getLargeIntValue();

    if (id.isNotEmpty() && id.containsOnly ("0123456789") && number <= (juce::int64) 0xffffffff)
        return find ([number] (const PluginParameter& p) { return p.host_id == (juce::uint32) number; });

    return nullptr;
}

juce::uint32 HostedPlugin::host_id_for (const juce::String& string_id) noexcept
{
    return (juce::uint32) string_id.hashCode() & 0x7fffffffu;
}

juce::Result HostedPlugin::set_parameter (const juce::String& id, const juce::String& value_text)
{
    auto* parameter = find_parameter (id);

    if (parameter == nullptr)
        return juce::Result::fail ("unknown parameter '" + id + "'");

    return parameter->set_value_text (value_text);
}

juce::Result HostedPlugin::process (juce::AudioBuffer<float>& buffer)
{
    if (buffer.getNumChannels() != channels)
        return juce::Result::fail ("the plug-in processes " + juce::String (channels) + " channels, not "
                                   + juce::String (buffer.getNumChannels()));

    for (int start = 0; start < buffer.getNumSamples(); start += block)
    {
        const auto length = juce::jmin (block, buffer.getNumSamples() - start);
        juce::AudioBuffer<float> view (buffer.getArrayOfWritePointers(), channels, start, length);

        plugin->processBlock (view, midi);
        midi.clear();
        play_head.advance (length);
        has_processed = true;
    }

    return juce::Result::ok();
}

void HostedPlugin::flush_parameter_changes()
{
    // Before the first block a playing flag has not been seen, and changes reach the plug-in at once.
    if (! has_processed)
        return;

    juce::AudioBuffer<float> empty (channels, 0);
    plugin->processBlock (empty, midi);
    midi.clear();
}

juce::MemoryBlock HostedPlugin::save_state()
{
    flush_parameter_changes();

    juce::MemoryBlock host_state;
    plugin->getStateInformation (host_state);
    return host_state;
}

juce::Result HostedPlugin::restore_state (const juce::MemoryBlock& host_state)
{
    if (! HostState::is_valid (host_state))
        return juce::Result::fail ("not a plug-in state saved by this host (corrupt or of another kind)");

    plugin->setStateInformation (host_state.getData(), (int) host_state.getSize());
    return juce::Result::ok();
}

juce::Result HostedPlugin::save_state_file (const juce::File& file)
{
    if (! file.getParentDirectory().isDirectory())
        return juce::Result::fail ("cannot write the state file " + file.getFullPathName() + ": no such folder");

    const auto host_state = save_state();

    // JUCE writes a hidden file and moves it into place: a failed save leaves any old file whole.
    if (! file.replaceWithData (host_state.getData(), host_state.getSize()))
        return juce::Result::fail ("cannot write the state file " + file.getFullPathName());

    return juce::Result::ok();
}

juce::Result HostedPlugin::restore_state_file (const juce::File& file)
{
    if (! file.existsAsFile())
        return juce::Result::fail ("cannot read the state file " + file.getFullPathName() + ": no such file");

    juce::MemoryBlock host_state;

    if (! file.loadFileAsData (host_state))
        return juce::Result::fail ("cannot read the state file " + file.getFullPathName());

    const auto restored = restore_state (host_state);

    if (restored.failed())
        return juce::Result::fail (file.getFullPathName() + ": " + restored.getErrorMessage());

    return restored;
}
