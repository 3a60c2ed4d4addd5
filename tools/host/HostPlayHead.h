#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <optional>

/** The transport the host shows a plug-in: a running position in 4/4 at a fixed
    tempo, or with no tempo at all. The host advances it after each block. Read on
    the thread that processes; written between blocks. */
class HostPlayHead : public juce::AudioPlayHead
{
public:
    juce::Optional<PositionInfo> getPosition() const override;

    /** Moves the position on by one processed block. */
    void advance (int num_samples) noexcept;

    std::optional<double> bpm = 120.0; ///< none: a host that reports no tempo, nor bars and beats
    double sample_rate = 44100.0;
    juce::int64 position = 0; // in samples since the start of the render
    bool playing = true;
};
