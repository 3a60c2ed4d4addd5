#pragma once

#include "HostedPlugin.h"

#include <juce_audio_formats/juce_audio_formats.h>

/** The freshly built Quorvane.vst3 and command-line host, as the end-to-end tests drive them. */
class HostRig
{
public:
    static juce::File bundle() { return juce::File (QUORVANE_BUNDLE); }

    /** A prepared instance; fails the calling test if the bundle does not load. */
    static std::unique_ptr<HostedPlugin> load (double sample_rate = 48000.0, int block_size = 512);

    /** Values in their own units; a refusal fails the calling test. */
    static void set (HostedPlugin& plugin, std::initializer_list<std::pair<const char*, double>> values);

    /** The string IDs of the 35 parameters, in index order. */
    static const juce::StringArray& parameter_ids();

    /** One run of the command-line host, waited for, with stdout and stderr kept apart. */
    struct Run
    {
        explicit Run (const juce::StringArray& args);
        int exit_code = -1; // -1 when ended by a signal
        juce::String out, err;
    };

    /** Deterministic white noise at about -12 dBFS. */
    static juce::AudioBuffer<float> noise (int channels, int frames);
    static void write_wav (const juce::File& file, const juce::AudioBuffer<float>& audio, double sample_rate, int bits);

    struct Wav
    {
        juce::AudioBuffer<float> audio;
        double sample_rate = 0.0;
        int bits = 0;
        bool is_float = false;
    };

    /** The file's audio and format; an empty Wav if it does not read as one. */
    static Wav read_wav (const juce::File& file);
};
