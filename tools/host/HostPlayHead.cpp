#include "HostPlayHead.h"

juce::Optional<juce::AudioPlayHead::PositionInfo> HostPlayHead::getPosition() const
{
    constexpr int beats_per_bar = 4;

    const auto seconds = sample_rate > 0.0 ? (double) position / sample_rate : 0.0;

    PositionInfo info;
    info.setTimeInSamples (position);
    info.setTimeInSeconds (seconds);
    info.setIsPlaying (playing);

    if (bpm.has_value())
    {
        const auto beats = seconds * *bpm / 60.0;
        const auto bars = std::floor (beats / beats_per_bar);

        info.setBpm (*bpm);
        info.setTimeSignature (TimeSignature { beats_per_bar, 4 });
        info.setPpqPosition (beats);
        info.setPpqPositionOfLastBarStart (bars * beats_per_bar);
        info.setBarCount ((juce::int64) bars);
    }

    return info;
}

void HostPlayHead::advance (int num_samples) noexcept
{
    position += num_samples;
}
