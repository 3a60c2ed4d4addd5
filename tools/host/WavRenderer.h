#pragma once

#include "HostedPlugin.h"

#include <juce_audio_formats/juce_audio_formats.h>

/** Renders a WAV file through a hosted plug-in into a 32-bit float WAV file.
    It streams in chunks of whole blocks, so a file of any length fits in memory
    and the plug-in sees the blocks of one long render. A mono file plays on
    both channels, as a mono clip on a stereo track does, so its render is
    stereo; any other file keeps its channel count. Message thread only. */
class WavRenderer
{
public:
    /** Opens the input and checks that it is there, is a WAV file and holds
        all the audio its header announces; fails with a one-line reason. */
    juce::Result open (const juce::File& input);

    double file_sample_rate() const noexcept { return reader->sampleRate; }
    int num_channels() const noexcept { return (int) reader->numChannels; }
    juce::int64 num_frames() const noexcept { return reader->lengthInSamples; }

    /** Renders the whole input at the plug-in's rate into the output file,
        which appears only once it is complete. Refuses a channel count that the
        plug-in cannot take, writing nothing. */
    juce::Result render (HostedPlugin& plugin, const juce::File& output);

private:
    juce::File input_file;
    std::unique_ptr<juce::AudioFormatReader> reader;
};
