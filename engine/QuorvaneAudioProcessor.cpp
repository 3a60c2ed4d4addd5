#include "QuorvaneAudioProcessor.h"
#include "QuorvaneAudioProcessorEditor.h"

#include "StateDocumentChecks.h"
#include "SyncTranslator.h"
#include "WorkBufferCapacity.h"

namespace
{
namespace index
{
enum : int
{
    delay1_time = 0, // delay 2's four follow at +4
    mix_mode = 8,
    distortion_type,
    distortion_drive,
    master_amp,
    master_dry_wet,
    env1_sens, // attack and release follow; envelope 2's three at +3
    lfo1_rate = 19, // sync, synced rate and wave follow; LFO 2's four at +4
    lfo2_rate = 23,
    delay1_time_mod_src = 27, // depth, feed source, feed depth follow; delay 2's at +4
};
}

constexpr double ramp_seconds = 0.06;
constexpr float half_pi = 1.5707964f;

float decibels_to_gain (float decibels) noexcept
{
    return juce::Decibels::decibelsToGain (decibels, -100.0f);
}

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

// The framework reads an existing preferences file as it opens it, with none of the checks
// a document from outside needs. A file that fails them is kept out of its sight for that
// moment, and stays as it was: the object starts empty, and its next save replaces the file,
// as it does one that does not read at all.
std::unique_ptr<juce::PropertiesFile> open_preferences (const juce::PropertiesFile::Options& options)
{
    const auto file = options.getDefaultFile();
    juce::MemoryBlock bytes;

    if (! file.exists() || (StateDocumentChecks::read_file (file, bytes) && StateDocumentChecks::is_readable_text (bytes.getData(), bytes.getSize())))
        return std::make_unique<juce::PropertiesFile> (options);

    const auto aside = file.getSiblingFile (file.getFileName() + ".unread").getNonexistentSibling (false);

    if (! file.moveFileTo (aside))
        return std::make_unique<juce::PropertiesFile> (juce::File(), options); // read-only: nothing could be saved there anyway

    auto preferences = std::make_unique<juce::PropertiesFile> (options);
    aside.moveFileTo (file);
    return preferences;
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

    // Before the first prepareToPlay, which sizes the delay memory from it.
    for (auto* delay : delays)
        delay->max_delay_seconds = QuorvaneParameters::max_delay_time_ms / 1000.0f;

    presets_folder = juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory)
                         .getChildFile ("Audio")
                         .getChildFile ("Presets")
                         .getChildFile ("Corvalen")
                         .getChildFile ("Quorvane");
    presets_folder.createDirectory();

    current_preset_name = "Init";

    properties_file = open_preferences (preferences_options());
}

QuorvaneAudioProcessor::~QuorvaneAudioProcessor()
{
    // The preferences go first, writing any change still pending.
    properties_file.reset();
}

const juce::String QuorvaneAudioProcessor::getName() const { return "Quorvane"; }

void QuorvaneAudioProcessor::prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock)
{
    const auto num_channels = getTotalNumOutputChannels();
    const auto buffer_size = crvl::dsp::work_buffer_capacity (maximumExpectedSamplesPerBlock);
    const juce::dsp::ProcessSpec spec { sampleRate, (juce::uint32) maximumExpectedSamplesPerBlock, (juce::uint32) num_channels };

    delay1.prepare (spec);
    delay2.prepare (spec);

    for (auto* scratch : { &scratch_buffer_1, &scratch_buffer_2 })
    {
        scratch->setSize (num_channels, buffer_size, false, false, false);
        scratch->clear();
    }

    distortion.prepare (spec);

    dry_wet.reset (sampleRate, ramp_seconds);
    dry_wet_ramp.setSize (1, buffer_size, false, false, false);
    dry_wet_ramp.clear();

    master_gain.setRampDurationSeconds (ramp_seconds);
    master_gain.prepare (spec);

    output_high_pass_sample_rate = (float) sampleRate;
    output_high_pass.frequency = output_high_pass_frequency;
    output_high_pass.prepare (spec);
    output_high_pass.reset();

    wet_buffer.setSize (num_channels, buffer_size, false, false, false);
    wet_buffer.clear();

    envelope1.prepare (sampleRate, maximumExpectedSamplesPerBlock, getTotalNumInputChannels());
    envelope2.prepare (sampleRate, maximumExpectedSamplesPerBlock, getTotalNumInputChannels());

    lfo1.prepare (sampleRate, maximumExpectedSamplesPerBlock);
    lfo2.prepare (sampleRate, maximumExpectedSamplesPerBlock);
}

void QuorvaneAudioProcessor::releaseResources() {}

void QuorvaneAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals no_denormals;

    const auto num_samples = buffer.getNumSamples();
    const auto num_channels = juce::jmin (buffer.getNumChannels(), wet_buffer.getNumChannels());

    // A host that breaks its promise of the prepared block size (or never prepared)
    // gets its audio back untouched rather than writes past the work buffers.
    if (num_samples > wet_buffer.getNumSamples())
        return;

    // A non-finite sample would stay in the filters and followers for good.
    for (int channel = 0; channel < num_channels; ++channel)
    {
        auto* samples = buffer.getWritePointer (channel);

        // Written back whatever it holds: a select without a branch, which vectorises.
        for (int i = 0; i < num_samples; ++i)
            samples[i] = std::isfinite (samples[i]) ? samples[i] : 0.0f;
    }

    for (int channel = 0; channel < num_channels; ++channel)
        wet_buffer.copyFrom (channel, 0, buffer, channel, 0, num_samples);

    if (auto* play_head = getPlayHead())
    {
        double tempo = 0.0;

        if (const auto position = play_head->getPosition())
            tempo = position->getBpm().orFallback (0.0);

        bpm = juce::jmax (1.0f, (float) tempo);
    }

    update_envelope (envelope1, index::env1_sens);
    update_envelope (envelope2, index::env1_sens + 3);
    QuorvaneEnvelopeFollower::process_pair (envelope1, envelope2, buffer, num_samples);

    // The delays first: they read no source yet, but their choices say which LFOs they will.
    lfo_is_read = {};
    update_delay (0);
    update_delay (1);

    update_lfo (lfo1, index::lfo1_rate);
    update_lfo (lfo2, index::lfo2_rate);
    // An output is read by the delays within its block or never: unread, it is not written.
    QuorvaneLFO::run_pair (lfo1, lfo_is_read[0], lfo2, lfo_is_read[1], num_samples);

    auto wet = juce::dsp::AudioBlock<float> (wet_buffer).getSubBlock (0, (size_t) num_samples);
    mix_mode = rounded (index::mix_mode);
    run_routing (wet, num_samples);

    distortion.type = rounded (index::distortion_type);
    distortion.drive = raw (index::distortion_drive) * 0.01f;
    master_gain.setGainLinear (gain_of (index::master_amp));
    dry_wet.setTargetValue (raw (index::master_dry_wet) * 0.01f);

    // A settled master gain is one factor, so the distortion's high-pass, the gain and the
    // output high-pass run as one pass.
    const juce::dsp::ProcessContextReplacing<float> context (wet);

    if (master_gain.isSmoothing())
    {
        distortion.process (context);
        master_gain.process (context);
        output_high_pass.process (context);
    }
    else
    {
        distortion.process (context, master_gain.getGainLinear(), output_high_pass);
    }

    mix_dry_wet (buffer, num_samples);
}

float QuorvaneAudioProcessor::gain_of (int index) noexcept
{
    return gains_by_index[(size_t) index].get (raw (index), decibels_to_gain);
}

void QuorvaneAudioProcessor::update_envelope (QuorvaneEnvelopeFollower& envelope, int first_index) noexcept
{
    envelope.gain = gain_of (first_index);
    envelope.attack = raw (first_index + 1) * envelope.sample_rate * 0.001f;
    envelope.release = raw (first_index + 2) * envelope.sample_rate * 0.001f;
}

void QuorvaneAudioProcessor::update_lfo (QuorvaneLFO& lfo, int first_index) noexcept
{
    const auto wave = rounded (first_index + 3);

    if (wave >= 0 && wave <= 6)
        lfo.wave = wave;

    const auto synced = raw (first_index + 1) > 0.5f;
    const auto rate = synced ? crvl::dsp::SyncTranslator::synced_rate (bpm, rounded (first_index + 2))
                             : raw (first_index);

    lfo.set_rate (rate);
}

void QuorvaneAudioProcessor::update_delay (int delay_index) noexcept
{
    poll_delay_mod_params (delay_index);

    auto& delay = *delays[(size_t) delay_index];
    const auto first = index::delay1_time + 4 * delay_index;
    const auto longest = (float) (delay.delay_line.getNumSamples() - 1);

    auto time = raw (first) * 0.001f * delay.sample_rate;
    time = time < 1.0f ? 1.0f : juce::jmin (time, longest);
    delay.delay_samples.setTargetValue (time);

    delay.feedback = juce::jlimit (0.0f, 1.0f, raw (first + 1) * 0.01f);
    delay.set_damping_frequency (raw (first + 2));
    delay.output_gain.setGainLinear (gain_of (first + 3));
}

void QuorvaneAudioProcessor::poll_delay_mod_params (int delay_index) noexcept
{
    auto& delay = delay_index == 0 ? delay1 : delay2;
    const auto first = index::delay1_time_mod_src + (delay_index == 0 ? 0 : 4);

    const auto source = [this] (int value) -> const float*
    {
        switch (value)
        {
            case 1: return envelope1.output.getReadPointer (0);
            case 2: return envelope1.output.getReadPointer (1);
            case 3: return envelope2.output.getReadPointer (0);
            case 4: return envelope2.output.getReadPointer (1);
            case 5: return lfo1.output.getReadPointer (0);
            case 6: return lfo1.output.getReadPointer (1);
            case 7: return lfo2.output.getReadPointer (0);
            case 8: return lfo2.output.getReadPointer (1);
            default: return nullptr;
        }
    };

    const auto time_source = rounded (first);
    const auto feedback_source = rounded (first + 2);

    delay.time_mod_source = source (time_source);
    delay.time_mod_depth = juce::jlimit (0.0f, 1.0f, raw (first + 1) * 0.01f);
    delay.feedback_mod_source = source (feedback_source);
    delay.feedback_mod_depth = juce::jlimit (0.0f, 1.0f, raw (first + 3) * 0.01f);

    // Sources 5 and 6 are LFO 1's two channels, 7 and 8 LFO 2's.
    for (const auto value : { time_source, feedback_source })
        if (value >= 5 && value <= 8)
            lfo_is_read[(size_t) (value - 5) / 2] = true;
}

void QuorvaneAudioProcessor::run_routing (juce::dsp::AudioBlock<float> wet, int num_samples) noexcept
{
    using Delay = crvl::dsp::QuorvaneDelay<float>;

    auto s1 = juce::dsp::AudioBlock<float> (scratch_buffer_1).getSubBlock (0, (size_t) num_samples);
    auto s2 = juce::dsp::AudioBlock<float> (scratch_buffer_2).getSubBlock (0, (size_t) num_samples);

    // Both delays run in every routing, so a line not heard keeps building its tail. They
    // run side by side, each on the wet block or a copy of it, or the second on the
    // first's output; a copy is taken in the same pass.
    const auto run_on_copies = [&] { Delay::process_side_by_side (delay1, s1, delay2, s2, false, wet); };

    switch (mix_mode)
    {
        case 0: // parallel
            run_on_copies();
            wet.replaceWithSumOf (s1, s2).multiplyBy (0.5f);
            break;
        case 1: // serial
            Delay::process_side_by_side (delay1, wet, delay2, wet, true);
            break;
        case 2: // reverse serial
            Delay::process_side_by_side (delay2, wet, delay1, wet, true);
            break;
        case 3: // solo 1
            Delay::process_side_by_side (delay1, wet, delay2, s2, false, wet);
            break;
        case 4: // solo 2
            Delay::process_side_by_side (delay1, s1, delay2, wet, false, wet);
            break;
        case 5: // stereo split
            run_on_copies();
            wet.getSingleChannelBlock (0).copyFrom (s1.getSingleChannelBlock (0));
            wet.getSingleChannelBlock (1).copyFrom (s2.getSingleChannelBlock (1));
            break;
        case 6: // reverse stereo split
            run_on_copies();
            wet.getSingleChannelBlock (0).copyFrom (s2.getSingleChannelBlock (0));
            wet.getSingleChannelBlock (1).copyFrom (s1.getSingleChannelBlock (1));
            break;
        default:
            break;
    }
}

void QuorvaneAudioProcessor::mix_dry_wet (juce::AudioBuffer<float>& buffer, int num_samples) noexcept
{
    // Settled, the mix is the target at every sample, and so are both gains: the law is
    // worked once for the block instead of twice per sample.
    const auto settled = ! dry_wet.isSmoothing();
    auto* ramp = dry_wet_ramp.getWritePointer (0);

    for (int i = 0; i < num_samples; ++i)
        ramp[i] = dry_wet.getNextValue();

    // Stereo is the only layout the plug-in accepts.
    if (buffer.getNumChannels() < 2 || wet_buffer.getNumChannels() < 2)
        return;

    auto* left = buffer.getWritePointer (0);
    auto* right = buffer.getWritePointer (1);
    const auto* wet_left = wet_buffer.getReadPointer (0);
    const auto* wet_right = wet_buffer.getReadPointer (1);

    // Equal-power law through the rational cosine approximation.
    const auto dry_gain_at = [] (float w) { return juce::dsp::FastMathApproximations::cos (w * half_pi); };
    const auto wet_gain_at = [] (float w) { return juce::dsp::FastMathApproximations::cos ((1.0f - w) * half_pi); };

    if (settled && num_samples > 0)
    {
        const auto dry_gain = dry_gain_at (ramp[0]);
        const auto wet_gain = wet_gain_at (ramp[0]);

        for (int i = 0; i < num_samples; ++i)
        {
            left[i] = dry_gain * left[i] + wet_gain * wet_left[i];
            right[i] = dry_gain * right[i] + wet_gain * wet_right[i];
        }

        return;
    }

    for (int i = 0; i < num_samples; ++i)
    {
        const auto dry_gain = dry_gain_at (ramp[i]);
        const auto wet_gain = wet_gain_at (ramp[i]);

        left[i] = dry_gain * left[i] + wet_gain * wet_left[i];
        right[i] = dry_gain * right[i] + wet_gain * wet_right[i];
    }
}

// Feedback reaches 100 %, and its modulation can lift any setting there, so the echoes
// of one note may never end. A length worked out from the current settings would go
// stale: hosts read the tail when they activate the plug-in, and the framework cannot
// tell them it changed. Infinity is what the VST 3 layer reports as an infinite tail (a
// negative value would read as none).
double QuorvaneAudioProcessor::getTailLengthSeconds() const { return std::numeric_limits<double>::infinity(); }
bool QuorvaneAudioProcessor::acceptsMidi() const { return true; }
bool QuorvaneAudioProcessor::producesMidi() const { return false; }
bool QuorvaneAudioProcessor::isMidiEffect() const { return false; }

juce::AudioProcessorEditor* QuorvaneAudioProcessor::createEditor()
{
    return new QuorvaneAudioProcessorEditor (*this);
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
    if (! StateDocumentChecks::chunk_holds_readable_text (data, sizeInBytes))
        return;

    const auto document = getXmlFromBinary (data, sizeInBytes);

    if (document == nullptr || ! document->hasTagName (parameter_state.state.getType().toString()))
        return;

    restore_state (juce::ValueTree::fromXml (*document));
}

bool QuorvaneAudioProcessor::restore_state (const juce::ValueTree& restored)
{
    static const juce::Identifier param_type { "PARAM" }, id_key { "id" }, value_key { "value" };

    // A snapshot of the state must read back as the state itself, or every save would
    // drift from what was restored.
    if (! StateDocumentChecks::reads_back_unchanged (restored))
        return false;

    auto tree = restored.createCopy();

    // The framework takes a value from any child that carries a parameter's ID. A value
    // that is no readable finite number would poison the audio thread: keep the current one.
    for (auto child : tree)
        if (auto* current = parameter_state.getRawParameterValue (child[id_key].toString()))
            if (child.hasProperty (value_key) && ! StateDocumentChecks::is_readable_number (child[value_key]))
                child.setProperty (value_key, current->load(), nullptr);

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
    return true;
}

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new QuorvaneAudioProcessor();
}
