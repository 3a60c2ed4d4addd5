#pragma once

#include "QuorvaneAudioProcessor.h"
#include "SetParameter.h"

#include <string>
#include <utility>
#include <vector>

namespace quorvane::test
{

using Buffer = juce::AudioBuffer<float>;
using Settings = std::vector<std::pair<const char*, float>>;

inline Buffer silence (int num_samples)
{
    Buffer buffer (2, num_samples);
    buffer.clear();
    return buffer;
}

/** A stereo processor prepared for a rate and block size, played in blocks as a host does. */
struct ProcessorRig
{
    explicit ProcessorRig (double sample_rate = 44100.0, int block = 512) : block_size (block)
    {
        processor.setPlayConfigDetails (2, 2, sample_rate, block);
        processor.prepareToPlay (sample_rate, block);
    }

    void set (const Settings& settings)
    {
        for (const auto& [id, value] : settings)
            set_parameter (processor, id, value);
    }

    /** The audio played through in blocks of the prepared size, or of `block`. */
    Buffer run (Buffer audio, int block = 0)
    {
        juce::MidiBuffer midi;
        block = block > 0 ? block : block_size;

        for (int start = 0; start < audio.getNumSamples(); start += block)
        {
            Buffer view (audio.getArrayOfWritePointers(), 2, start, juce::jmin (block, audio.getNumSamples() - start));
            processor.processBlock (view, midi);
        }

        return audio;
    }

    Buffer run_silence (int num_samples) { return run (silence (num_samples)); }

    QuorvaneAudioProcessor processor;
    int block_size;
};

inline Buffer impulse (int num_samples, int at, float left = 1.0f, float right = 1.0f)
{
    auto buffer = silence (num_samples);
    buffer.setSample (0, at, left);
    buffer.setSample (1, at, right);
    return buffer;
}

/** Uniform noise in [-level, level), each channel its own. */
inline Buffer noise (int num_samples, int seed, float level = 1.0f)
{
    juce::Random random (seed);
    Buffer buffer (2, num_samples);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < num_samples; ++i)
            buffer.setSample (c, i, level * (2.0f * random.nextFloat() - 1.0f));

    return buffer;
}

inline bool all_finite (const Buffer& buffer)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            if (! std::isfinite (buffer.getSample (c, i)))
                return false;

    return true;
}

/** Bit for bit, NaNs included. */
inline bool same_samples (const Buffer& a, const Buffer& b)
{
    bool same = a.getNumChannels() == b.getNumChannels() && a.getNumSamples() == b.getNumSamples();

    for (int c = 0; same && c < a.getNumChannels(); ++c)
        same = std::memcmp (a.getReadPointer (c), b.getReadPointer (c), sizeof (float) * (size_t) a.getNumSamples()) == 0;

    return same;
}

/** The raw value of each parameter, by parameter index. */
inline std::vector<float> raw_values (QuorvaneAudioProcessor& processor)
{
    std::vector<float> values;

    for (int i = 0; i < QuorvaneParameters::num_parameters; ++i)
        values.push_back (processor.parameter_state.getRawParameterValue (QuorvaneParameters::get_id_for_parameter (i))->load());

    return values;
}

inline void randomise (QuorvaneAudioProcessor& processor, juce::int64 seed)
{
    juce::Random random (seed);

    for (auto* parameter : processor.getParameters())
        parameter->setValueNotifyingHost (random.nextFloat());
}

/** A host chunk around a document's text, framed as the framework frames one. */
inline juce::MemoryBlock chunk_of (const std::string& text)
{
    juce::MemoryOutputStream out;
    out.writeInt (0x21324356);
    out.writeInt ((int) text.size());
    out.write (text.data(), text.size());
    out.writeByte (0);
    return out.getMemoryBlock();
}

inline juce::MemoryBlock chunk_of (QuorvaneAudioProcessor& processor)
{
    juce::MemoryBlock chunk;
    processor.getStateInformation (chunk);
    return chunk;
}

inline void restore (QuorvaneAudioProcessor& processor, const juce::MemoryBlock& chunk)
{
    processor.setStateInformation (chunk.getData(), (int) chunk.getSize());
}

} // namespace quorvane::test
