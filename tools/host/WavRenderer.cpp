#include "WavRenderer.h"

namespace
{
// Frames read and written at a time: large enough for fast file access, small
// enough to keep any render in a few hundred kilobytes.
constexpr int chunk_frames_target = 32768;

constexpr int output_bits = 32; // JUCE writes 32-bit WAV as IEEE float

/** True when the file holds every frame its header announces. */
bool is_complete (juce::WavAudioFormat& wav, const juce::File& file, const juce::AudioFormatReader& reader)
{
    if (reader.lengthInSamples > 0)
    {
        // A mapping stops at the end of the file, so a short one maps fewer frames.
        std::unique_ptr<juce::MemoryMappedAudioFormatReader> mapped (wav.createMemoryMappedReader (file));
        return mapped != nullptr && mapped->mapEntireFile()
               && mapped->getMappedSection().getEnd() >= reader.lengthInSamples;
    }

    // No frames at all: the file may have been cut before its data chunk.
    juce::FileInputStream in (file);
    const auto chunk_id = in.readInt();
    const auto riff_size = (juce::int64) (juce::uint32) in.readInt();
    constexpr int riff_header_bytes = 8;

    return chunk_id != (int) juce::ByteOrder::littleEndianInt ("RIFF")
           || riff_size + riff_header_bytes <= file.getSize();
}

juce::String describe_channels (int channels)
{
    switch (channels)
    {
        case 1: return "mono (1 channel)";
        case 2: return "stereo (2 channels)";
        default: return juce::String (channels) + " channels";
    }
}
} // namespace

juce::Result WavRenderer::open (const juce::File& input)
{
    const auto path = input.getFullPathName();
    reader.reset();

    if (! input.exists())
        return juce::Result::fail ("cannot read " + path + ": no such file");

    if (input.isDirectory())
        return juce::Result::fail (path + " is a folder, not a WAV file");

    auto stream = input.createInputStream();

    if (stream == nullptr)
        return juce::Result::fail ("cannot read " + path);

    juce::WavAudioFormat wav;
    reader.reset (wav.createReaderFor (stream.release(), true));

    if (reader == nullptr)
        return juce::Result::fail (path + " is not a WAV file (PCM or float, up to 32 bits)");

    if (! is_complete (wav, input, *reader))
    {
        reader.reset();
        return juce::Result::fail (path + " is truncated: it ends before the audio its header announces");
    }

    input_file = input;
    return juce::Result::ok();
}

juce::Result WavRenderer::render (HostedPlugin& plugin, const juce::File& output)
{
    jassert (reader != nullptr);

    const auto channels = plugin.num_channels();

    if (num_channels() != 1 && num_channels() != channels)
        return juce::Result::fail (input_file.getFullPathName() + " is " + describe_channels (num_channels()) + ", but "
                                   + plugin.description().name + " takes " + describe_channels (channels)
                                   + "; a mono file plays on both channels");

    if (! output.getParentDirectory().isDirectory())
        return juce::Result::fail ("cannot write " + output.getFullPathName() + ": no such folder");

    // Written aside and moved into place, so a failed render leaves no half file.
    juce::TemporaryFile temporary (output);
    std::unique_ptr<juce::AudioFormatWriter> writer;

    if (auto stream = temporary.getFile().createOutputStream())
    {
        writer.reset (juce::WavAudioFormat().createWriterFor (stream.get(), plugin.sample_rate(), (unsigned int) channels,
                                                              output_bits, {}, 0));

        if (writer != nullptr)
            stream.release(); // the writer owns it now
    }

    if (writer == nullptr)
        return juce::Result::fail ("cannot write " + output.getFullPathName());

    // Whole blocks per chunk: the blocks are those of one long render.
    const auto chunk_frames = plugin.block_size() * juce::jmax (1, chunk_frames_target / plugin.block_size());
    juce::AudioBuffer<float> chunk (channels, chunk_frames);

    for (juce::int64 start = 0; start < num_frames(); start += chunk_frames)
    {
        const auto length = (int) juce::jmin ((juce::int64) chunk_frames, num_frames() - start);
        chunk.setSize (channels, length, false, false, true);

        // The reader copies a mono file's channel to the second one.
        if (! reader->read (&chunk, 0, length, start, true, true))
            return juce::Result::fail ("cannot read " + input_file.getFullPathName());

        if (const auto processed = plugin.process (chunk); processed.failed())
            return processed;

        if (! writer->writeFromAudioSampleBuffer (chunk, 0, length))
            return juce::Result::fail ("cannot write " + output.getFullPathName());
    }

    writer.reset(); // completes the header

    if (! temporary.overwriteTargetFileWithTemporary())
        return juce::Result::fail ("cannot write " + output.getFullPathName());

    return juce::Result::ok();
}
