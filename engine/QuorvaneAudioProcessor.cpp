#include "QuorvaneAudioProcessor.h"
#include "QuorvaneAudioProcessorEditor.h"

#include "SyncTranslator.h"

#include <regex>
#include <string_view>

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

// The first-order low-pass turns unstable once its cutoff passes half the sample
// rate, which the damping range does below 36 kHz; the cap lies above 18 kHz from
// 44.1 kHz up, so it only ever bites at those lower rates.
float stable_damping_frequency (float frequency, float sample_rate) noexcept
{
    return juce::jmin (frequency, 0.49f * sample_rate);
}

// The text of a chunk, as the framework's reader would take it, must be well-formed
// UTF-8: its decoder steps past the end of the data to finish a truncated sequence.
// And no processing instruction may follow the declaration: its parser goes round
// for ever on one followed by text inside an element.
bool holds_readable_text (const void* data, int size_in_bytes)
{
    constexpr int header_size = 8;

    if (data == nullptr || size_in_bytes <= header_size)
        return true; // the framework's reader refuses these itself

    const auto* bytes = static_cast<const juce::uint8*> (data);
    const auto declared = (int) juce::ByteOrder::littleEndianInt (bytes + 4);
    const auto length = juce::jmin (size_in_bytes - header_size, declared);
    const auto* text = bytes + header_size;

    for (int i = 0; i < length;)
    {
        const auto lead = text[i];
        const int extra = lead < 0x80 ? 0 : (lead >= 0xc2 && lead <= 0xdf) ? 1 : (lead >= 0xe0 && lead <= 0xef) ? 2
                                          : (lead >= 0xf0 && lead <= 0xf4) ? 3 : -1;
        if (extra < 0 || i + extra >= length)
            return false;

        juce::uint32 code = lead & (0x3fu >> extra);

        for (int k = 1; k <= extra; ++k)
        {
            if ((text[i + k] & 0xc0) != 0x80)
                return false;
            code = (code << 6) | (text[i + k] & 0x3fu);
        }

        // No overlong forms, surrogates or code points past the last plane.
        constexpr juce::uint32 smallest[] = { 0, 0x80, 0x800, 0x10000 };
        if (code < smallest[extra] || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff)
            return false;

        i += extra + 1;
    }

    const std::string_view view (reinterpret_cast<const char*> (text), (size_t) juce::jmax (0, length));
    const auto first = view.find_first_not_of (" \t\r\n");
    auto rest = view.substr (first == std::string_view::npos ? view.size() : first);

    if (rest.substr (0, 5) == "<?xml")
        rest = rest.substr (juce::jmin (rest.size(), rest.find ("?>")));

    return rest.find ("<?") == std::string_view::npos;
}

// XML forbids an attribute given twice; the framework would read the first and write both.
bool has_repeated_properties (const juce::ValueTree& tree)
{
    for (int i = 0; i < tree.getNumProperties(); ++i)
        for (int j = i + 1; j < tree.getNumProperties(); ++j)
            if (tree.getPropertyName (i) == tree.getPropertyName (j))
                return true;

    for (const auto& child : tree)
        if (has_repeated_properties (child))
            return true;

    return false;
}

// The framework's number reader gathers an exponent in an int, so only a plain
// decimal number with a short exponent is read as written; it must also fit a float.
bool is_readable_number (const juce::var& value)
{
    static const std::regex plain_decimal { R"(\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d{1,3})?\s*)" };

    if (value.isString() && ! std::regex_match (value.toString().toStdString(), plain_decimal))
        return false;

    return std::isfinite ((float) value);
}

bool reads_back_unchanged (const juce::ValueTree& tree)
{
    const auto document = tree.createXml();
    if (document == nullptr)
        return false;

    const auto text = document->toString (juce::XmlElement::TextFormat().singleLine());
    const auto parsed = juce::parseXML (text);
    return parsed != nullptr && juce::ValueTree::fromXml (*parsed).isEquivalentTo (tree);
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
    delay1.max_delay_seconds = 2.0f;
    delay2.max_delay_seconds = 2.0f;

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

void QuorvaneAudioProcessor::prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock)
{
    const auto num_channels = getTotalNumOutputChannels();
    const auto buffer_size = maximumExpectedSamplesPerBlock + 16;
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
    output_high_pass_frequency = 15.0f;
    *output_high_pass.state = juce::dsp::IIR::ArrayCoefficients<float>::makeHighPass (output_high_pass_sample_rate,
                                                                                      output_high_pass_frequency);
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

        for (int i = 0; i < num_samples; ++i)
            if (! std::isfinite (samples[i]))
                samples[i] = 0.0f;
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

    // The delays first: they read no source yet, but say which LFO outputs they will.
    update_delay (0);
    update_delay (1);

    update_lfo (lfo1, index::lfo1_rate);
    update_lfo (lfo2, index::lfo2_rate);
    run_lfo (lfo1, num_samples);
    run_lfo (lfo2, num_samples);

    auto wet = juce::dsp::AudioBlock<float> (wet_buffer).getSubBlock (0, (size_t) num_samples);
    mix_mode = rounded (index::mix_mode);
    run_routing (wet, num_samples);

    distortion.type = rounded (index::distortion_type);
    distortion.drive = raw (index::distortion_drive) * 0.01f;
    distortion.process (juce::dsp::ProcessContextReplacing<float> (wet));

    master_gain.setGainLinear (decibels_to_gain (raw (index::master_amp)));
    dry_wet.setTargetValue (raw (index::master_dry_wet) * 0.01f);
    master_gain.process (juce::dsp::ProcessContextReplacing<float> (wet));
    output_high_pass.process (juce::dsp::ProcessContextReplacing<float> (wet));

    mix_dry_wet (buffer, num_samples);
}

void QuorvaneAudioProcessor::update_envelope (QuorvaneEnvelopeFollower& envelope, int first_index) noexcept
{
    envelope.gain = decibels_to_gain (raw (first_index));
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

    lfo.lfo.frequency = rate;
    lfo.glide_rate = rate;
    lfo.random_smoother.set_glide_length ((int) (lfo.sample_rate / rate));
}

void QuorvaneAudioProcessor::run_lfo (QuorvaneLFO& lfo, int num_samples) noexcept
{
    // An output is read by the delays within its block or never: unread, it is not written.
    const auto reads = [&lfo] (const crvl::dsp::QuorvaneDelay<float>& delay)
    {
        for (int channel = 0; channel < lfo.output.getNumChannels(); ++channel)
        {
            const auto* output = lfo.output.getReadPointer (channel);

            if (delay.time_mod_source == output || delay.feedback_mod_source == output)
                return true;
        }

        return false;
    };

    if (reads (delay1) || reads (delay2))
        lfo.process (num_samples);
    else
        lfo.skip (num_samples);
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

    // Written into the existing coefficient objects: making new ones would allocate.
    const auto damping = juce::dsp::IIR::ArrayCoefficients<float>::makeFirstOrderLowPass (
        delay.sample_rate, stable_damping_frequency (raw (first + 2), delay.sample_rate));

    for (auto& filter : delay.damping_filters)
        *filter.coefficients = damping;

    delay.output_gain.setGainLinear (decibels_to_gain (raw (first + 3)));
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

    delay.time_mod_source = source (rounded (first));
    delay.time_mod_depth = juce::jlimit (0.0f, 1.0f, raw (first + 1) * 0.01f);
    delay.feedback_mod_source = source (rounded (first + 2));
    delay.feedback_mod_depth = juce::jlimit (0.0f, 1.0f, raw (first + 3) * 0.01f);
}

void QuorvaneAudioProcessor::run_routing (juce::dsp::AudioBlock<float> wet, int num_samples) noexcept
{
    using Context = juce::dsp::ProcessContextReplacing<float>;

    auto s1 = juce::dsp::AudioBlock<float> (scratch_buffer_1).getSubBlock (0, (size_t) num_samples);
    auto s2 = juce::dsp::AudioBlock<float> (scratch_buffer_2).getSubBlock (0, (size_t) num_samples);

    // Both delays run in every routing, so a line not heard keeps building its tail.
    const auto run_on_copies = [&]
    {
        s1.copyFrom (wet);
        s2.copyFrom (wet);
        delay1.process (Context (s1));
        delay2.process (Context (s2));
    };

    switch (mix_mode)
    {
        case 0: // parallel
            run_on_copies();
            wet.replaceWithSumOf (s1, s2).multiplyBy (0.5f);
            break;
        case 1: // serial
            delay1.process (Context (wet));
            delay2.process (Context (wet));
            break;
        case 2: // reverse serial
            delay2.process (Context (wet));
            delay1.process (Context (wet));
            break;
        case 3: // solo 1
            s2.copyFrom (wet);
            delay2.process (Context (s2));
            delay1.process (Context (wet));
            break;
        case 4: // solo 2
            s1.copyFrom (wet);
            delay1.process (Context (s1));
            delay2.process (Context (wet));
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

double QuorvaneAudioProcessor::getTailLengthSeconds() const { return 0.0; }
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
    if (! holds_readable_text (data, sizeInBytes))
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
    if (has_repeated_properties (restored) || ! reads_back_unchanged (restored))
        return false;

    auto tree = restored.createCopy();

    // The framework takes a value from any child that carries a parameter's ID. A value
    // that is no readable finite number would poison the audio thread: keep the current one.
    for (auto child : tree)
        if (auto* current = parameter_state.getRawParameterValue (child[id_key].toString()))
            if (child.hasProperty (value_key) && ! is_readable_number (child[value_key]))
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
