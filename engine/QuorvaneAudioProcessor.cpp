#include "QuorvaneAudioProcessor.h"

namespace
{
juce::PropertiesFile::Options preferences_options()
{
    juce::PropertiesFile::Options options;
    options.applicationName = "Quorvane";
    options.filenameSuffix = ".prefs";
    options.folderName = "Corvalen";
    options.osxLibrarySubFolder = "Application Support";
    options.commonToAllUsers = false;
    options.ignoreCaseOfKeyNames = false;
    options.doNotSave = false;
    options.millisecondsBeforeSaving = 3000;
    options.storageFormat = juce::PropertiesFile::storeAsXML;
    options.processLock = nullptr;
    return options;
}
} // namespace

QuorvaneAudioProcessor::QuorvaneAudioProcessor()
    : AudioProcessor (BusesProperties()
                          .withInput ("Input", juce::AudioChannelSet::stereo(), false)
                          .withOutput ("Output", juce::AudioChannelSet::stereo(), false)),
      parameter_state (*this, nullptr, "Quorvane_State", QuorvaneParameters::create_parameter_layout())
{
    for (int i = 0; i < QuorvaneParameters::num_parameters; ++i)
        parameter_values.push_back (parameter_state.getRawParameterValue (QuorvaneParameters::get_id_for_parameter (i)));

    presets_folder = juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory)
                         .getChildFile ("Audio")
                         .getChildFile ("Presets")
                         .getChildFile ("Corvalen")
                         .getChildFile ("Quorvane");
    presets_folder.createDirectory();

    current_preset_name = "Init";

    properties_file = std::make_unique<juce::PropertiesFile> (preferences_options());
}

QuorvaneAudioProcessor::~QuorvaneAudioProcessor()
{
    // The preferences go first, writing any change still pending.
    properties_file.reset();
}

const juce::String QuorvaneAudioProcessor::getName() const { return "Quorvane"; }

void QuorvaneAudioProcessor::prepareToPlay (double, int) {}

void QuorvaneAudioProcessor::releaseResources() {}

void QuorvaneAudioProcessor::processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&)
{
    // Interim: the signal path is not built yet, so the input passes unchanged.
}

double QuorvaneAudioProcessor::getTailLengthSeconds() const { return 0.0; }
bool QuorvaneAudioProcessor::acceptsMidi() const { return true; }
bool QuorvaneAudioProcessor::producesMidi() const { return false; }
bool QuorvaneAudioProcessor::isMidiEffect() const { return false; }

juce::AudioProcessorEditor* QuorvaneAudioProcessor::createEditor()
{
    // Interim: the framework's generic editor until the real one is built.
    return new juce::GenericAudioProcessorEditor (*this);
}

bool QuorvaneAudioProcessor::hasEditor() const { return true; }

int QuorvaneAudioProcessor::getNumPrograms() { return 1; }
int QuorvaneAudioProcessor::getCurrentProgram() { return 0; }
void QuorvaneAudioProcessor::setCurrentProgram (int) {}
const juce::String QuorvaneAudioProcessor::getProgramName (int) { return {}; }
void QuorvaneAudioProcessor::changeProgramName (int, const juce::String&) {}

void QuorvaneAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    if (auto document = parameter_state.copyState().createXml())
        copyXmlToBinary (*document, destData);
}

void QuorvaneAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    const auto document = getXmlFromBinary (data, sizeInBytes);

    if (document == nullptr || ! document->hasTagName (parameter_state.state.getType().toString()))
        return;

    restore_state (juce::ValueTree::fromXml (*document));
}

void QuorvaneAudioProcessor::restore_state (const juce::ValueTree& restored)
{
    static const juce::Identifier param_type { "PARAM" }, id_key { "id" }, value_key { "value" };

    auto tree = restored.createCopy();

    for (auto child : tree)
    {
        if (! child.hasType (param_type) || ! child.hasProperty (value_key))
            continue;

        // A value that is no finite number would poison the audio thread: keep the current one.
        if (auto* current = parameter_state.getRawParameterValue (child[id_key].toString()))
            if (! std::isfinite ((float) child[value_key]))
                child.setProperty (value_key, current->load(), nullptr);
    }

    // The framework would reset a parameter that the tree lacks to its default;
    // it keeps its current value instead, appended in the framework's own (ID) order.
    juce::StringArray ids;
    for (int i = 0; i < QuorvaneParameters::num_parameters; ++i)
        ids.add (QuorvaneParameters::get_id_for_parameter (i));
    ids.sort (false);

    for (const auto& id : ids)
    {
        if (tree.getChildWithProperty (id_key, id).isValid())
            continue;

        juce::ValueTree param (param_type);
        param.setProperty (id_key, id, nullptr);
        param.setProperty (value_key, parameter_state.getRawParameterValue (id)->load(), nullptr);
        tree.appendChild (param, nullptr);
    }

    parameter_state.replaceState (tree);
}

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new QuorvaneAudioProcessor();
}
