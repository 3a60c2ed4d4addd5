#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

/** WAV files for the tests, written and read back with JUCE's WAV codec. */
class TestAudioFiles
{
public:
    struct Wav
    {
        juce::AudioBuffer<float> audio;
        double sample_rate = 0.0;
        int bits = 0;
        bool is_float = false;
    };

    /** Deterministic white noise at about -12 dBFS. */
    static juce::AudioBuffer<float> noise (int channels, int frames);

    static void write (const juce::File& file, const juce::AudioBuffer<float>& audio, double sample_rate, int bits);

    /** The file's audio and format; an empty Wav if it does not read as one. */
    static Wav read (const juce::File& file);
};
