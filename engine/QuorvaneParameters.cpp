#include "QuorvaneParameters.h"

#include "SyncTranslator.h"

namespace
{
constexpr const char* parameter_ids[QuorvaneParameters::num_parameters] = {
    "delay1_time", "delay1_feed", "delay1_damp", "delay1_amp",
    "delay2_time", "delay2_feed", "delay2_damp", "delay2_amp",
    "mix_mode", "distortion_type", "distortion_drive", "master_amp", "master_dry_wet",
    "env1_sens", "env1_attack", "env1_release",
    "env2_sens", "env2_attack", "env2_release",
    "lfo1_rate", "lfo1_sync", "lfo1_synced_rate", "lfo1_wave",
    "lfo2_rate", "lfo2_sync", "lfo2_synced_rate", "lfo2_wave",
    "delay1_time_mod_src", "delay1_time_mod_depth", "delay1_feed_mod_src", "delay1_feed_mod_depth",
    "delay2_time_mod_src", "delay2_time_mod_depth", "delay2_feed_mod_src", "delay2_feed_mod_depth",
};
} // namespace

juce::String QuorvaneParameters::get_id_for_parameter (int index)
{
    if (index < 0 || index >= num_parameters)
        return {};

    return parameter_ids[index];
}

juce::StringArray QuorvaneParameters::mix_mode_texts()
{
    return { "PARALLEL", "SERIAL", "REVERSE SERIAL", "SOLO 1", "SOLO 2", "STEREO SPLIT", "REVERSE STEREO SPLIT" };
}

juce::StringArray QuorvaneParameters::distortion_type_texts()
{
    return { "SOFT CLIP", "HARD CLIP", "OVERDRIVE", "FOLDOVER" };
}

juce::StringArray QuorvaneParameters::lfo_wave_texts()
{
    return { "SINE", "SQUARE", "SAW UP", "SAW DOWN", "TRIANGLE", "RANDOM", "SMOOTH RANDOM" };
}

juce::StringArray QuorvaneParameters::mod_source_texts()
{
    return { "NONE", "ENVELOPE 1", "ENVELOPE 1 INVERT", "ENVELOPE 2", "ENVELOPE 2 INVERT",
             "LFO 1", "LFO 1 INVERT", "LFO 2", "LFO 2 INVERT" };
}

juce::StringArray QuorvaneParameters::sync_rate_texts()
{
    juce::StringArray texts;

    for (int index = 0; index < (int) crvl::dsp::sync_rate_multipliers.size(); ++index)
        texts.add (crvl::dsp::SyncTranslator::time_value_to_string (index));

    return texts;
}

juce::AudioProcessorValueTreeState::ParameterLayout QuorvaneParameters::create_parameter_layout()
{
    using Range = juce::NormalisableRange<float>;

    const auto mix_modes = mix_mode_texts();
    const auto distortion_types = distortion_type_texts();
    const auto lfo_waves = lfo_wave_texts();
    const auto sync_rates = sync_rate_texts();
    const auto mod_sources = mod_source_texts();

    const Range delay_time  { 1.0f, max_delay_time_ms, 1.0f, 0.5f };
    const Range percent     { 0.0f, 100.0f, 0.1f, 1.0f };
    const Range damping     { 100.0f, 18000.0f, 1.0f, 0.5f };
    const Range delay_gain  { -24.0f, 6.0f, 0.001f, 1.5f };
    const Range sensitivity { -24.0f, 24.0f, 0.001f, 1.5f };
    const Range attack      { 1.0f, 60.0f, 1.0f, 0.5f };
    const Range release     { 10.0f, 250.0f, 1.0f, 0.5f };
    const Range lfo_rate    { 0.001f, 120.0f, 0.001f, 0.5f };
    const Range master_gain { -36.0f, 6.0f, 0.001f, 1.5f };

    struct Row
    {
        const char* name;
        enum Kind { Float, Choice, Bool } kind;
        const Range* range;
        const juce::StringArray* choices;
        float default_value;
        const char* label;
    };

    const Row rows[num_parameters] = {
        { "Delay1 Time",            Row::Float,  &delay_time,  nullptr,           120.0f,   "Ms" },
        { "Delay1 Feedback",        Row::Float,  &percent,     nullptr,           50.0f,    "%" },
        { "Delay1 Damp",            Row::Float,  &damping,     nullptr,           11000.0f, "Hz" },
        { "Delay1 Amp",             Row::Float,  &delay_gain,  nullptr,           -3.0f,    "dB" },
        { "Delay2 Time",            Row::Float,  &delay_time,  nullptr,           120.0f,   "Ms" },
        { "Delay2 Feedback",        Row::Float,  &percent,     nullptr,           50.0f,    "%" },
        { "Delay2 Damp",            Row::Float,  &damping,     nullptr,           11000.0f, "Hz" },
        { "Delay2 Amp",             Row::Float,  &delay_gain,  nullptr,           -3.0f,    "dB" },
        { "Mix Mode",               Row::Choice, nullptr,      &mix_modes,        0.0f,     "" },
        { "Distortion Type",        Row::Choice, nullptr,      &distortion_types, 0.0f,     "" },
        { "Distortion Drive",       Row::Float,  &percent,     nullptr,           0.0f,     "%" },
        { "Master Amp",             Row::Float,  &master_gain, nullptr,           -3.0f,    "dB" },
        { "Dry-Wet Mix",            Row::Float,  &percent,     nullptr,           50.0f,    "%" },
        { "Envelope1 Sensitivity",  Row::Float,  &sensitivity, nullptr,           0.0f,     "dB" },
        { "Envelope1 Attack",       Row::Float,  &attack,      nullptr,           10.0f,    "Ms" },
        { "Envelope1 Release",      Row::Float,  &release,     nullptr,           60.0f,    "Ms" },
        { "Envelope2 Sensitivity",  Row::Float,  &sensitivity, nullptr,           0.0f,     "dB" },
        { "Envelope2 Attack",       Row::Float,  &attack,      nullptr,           10.0f,    "Ms" },
        { "Envelope2 Release",      Row::Float,  &release,     nullptr,           60.0f,    "Ms" },
        { "LFO1 Rate",              Row::Float,  &lfo_rate,    nullptr,           1.0f,     "Hz" },
        { "LFO1 Sync",              Row::Bool,   nullptr,      nullptr,           0.0f,     "" },
        { "LFO1 Synced Rate",       Row::Choice, nullptr,      &sync_rates,       3.0f,     "" },
        { "LFO1 Wave",              Row::Choice, nullptr,      &lfo_waves,        0.0f,     "" },
        { "LFO2 Rate",              Row::Float,  &lfo_rate,    nullptr,           1.0f,     "Hz" },
        { "LFO2 Sync",              Row::Bool,   nullptr,      nullptr,           0.0f,     "" },
        { "LFO2 Synced Rate",       Row::Choice, nullptr,      &sync_rates,       3.0f,     "" },
        { "LFO2 Wave",              Row::Choice, nullptr,      &lfo_waves,        0.0f,     "" },
        { "Delay1 Time Mod Source", Row::Choice, nullptr,      &mod_sources,      0.0f,     "" },
        { "Delay1 Time Mod Depth",  Row::Float,  &percent,     nullptr,           0.0f,     "%" },
        { "Delay1 Feed Mod Source", Row::Choice, nullptr,      &mod_sources,      0.0f,     "" },
        { "Delay1 Feed Mod Depth",  Row::Float,  &percent,     nullptr,           0.0f,     "%" },
        { "Delay2 Time Mod Source", Row::Choice, nullptr,      &mod_sources,      0.0f,     "" },
        { "Delay2 Time Mod Depth",  Row::Float,  &percent,     nullptr,           0.0f,     "%" },
        { "Delay2 Feed Mod Source", Row::Choice, nullptr,      &mod_sources,      0.0f,     "" },
        { "Delay2 Feed Mod Depth",  Row::Float,  &percent,     nullptr,           0.0f,     "%" },
    };

    std::vector<std::unique_ptr<juce::RangedAudioParameter>> parameters;

    for (int index = 0; index < num_parameters; ++index)
    {
        const auto& row = rows[index];
        const juce::ParameterID id { get_id_for_parameter (index), 1 };

        switch (row.kind)
        {
            case Row::Float:
                parameters.push_back (std::make_unique<juce::AudioParameterFloat> (
                    id, row.name, *row.range, row.default_value, row.label));
                break;
            case Row::Choice:
                parameters.push_back (std::make_unique<juce::AudioParameterChoice> (
                    id, row.name, *row.choices, (int) row.default_value));
                break;
            case Row::Bool:
                parameters.push_back (std::make_unique<juce::AudioParameterBool> (id, row.name, false));
                break;
        }
    }

    return { parameters.begin(), parameters.end() };
}
