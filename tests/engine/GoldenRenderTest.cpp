// Golden renders: every routing, distortion, LFO shape and modulation target, rendered
// through the processor (and the random LFO shapes through the objects, seeded).
//
// The stored hashes freeze, bit for bit, the output the plug-in gave before its shaping
// functions were evaluated in SIMD: rendered with the library's tanhf, sinf and powf called
// once per sample (the reference), every scenario must still give the stored bits. The
// shipped output may differ from that reference by at most 1e-5 (-100 dBFS) at any block
// size and rate, which the second test checks; everything else is bit for bit the same.
// When a change of the sound is intended, regenerate the stored hashes:
//
//     QUORVANE_REGENERATE_GOLDEN=1 build/tests/engine/QuorvaneEngineTests --gtest_filter='GoldenRender.*'
//
// which rewrites tests/engine/GoldenRenderHashes.txt; commit it with the change.

#include "QuorvaneAudioProcessor.h"
#include "QuorvaneDelay.h"
#include "QuorvaneLFO.h"
#include "SetParameter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <string>
#include <utility>
#include <vector>

// The shaping functions as the library gives them, called once per sample: a function the
// vectorised shaper does not know goes that way.
struct ShapingByLibrary
{
    static void install (QuorvaneAudioProcessor& processor)
    {
        static float (*const library[]) (float) {
            [] (float x) { return x + ::powf (x, 3.0f) / -6.0f; },
            [] (float x) { return x <= -1.0f ? -1.0f : juce::jmin (1.0f, x); },
            [] (float x) { return ::tanhf (x); },
            [] (float x) { return ::sinf (x); },
        };

        for (size_t i = 0; i < processor.distortion.engines.size(); ++i)
            processor.distortion.engines[i].get<QuorvaneDistortion::shaper_stage>().functionToUse = library[i];
    }
};

namespace
{
using Settings = std::vector<std::pair<const char*, float>>;

struct Case
{
    const char* name;
    double sample_rate;
    int block;
    Settings first;  // from the start
    Settings second; // from halfway, so ramps, glides and smoothers move
};

// The worst case of the benchmarks, but with a table shape on LFO 1: the random shapes
// draw from a seed the processor picks itself.
const Settings worst_case {
    { "mix_mode", 1.0f }, { "distortion_type", 2.0f }, { "distortion_drive", 100.0f },
    { "lfo1_wave", 0.0f }, { "lfo1_rate", 5.0f }, { "lfo2_rate", 0.3f },
    { "delay1_time_mod_src", 5.0f }, { "delay1_feed_mod_src", 3.0f },
    { "delay2_time_mod_src", 8.0f }, { "delay2_feed_mod_src", 2.0f },
    { "delay1_time_mod_depth", 100.0f }, { "delay1_feed_mod_depth", 100.0f },
    { "delay2_time_mod_depth", 100.0f }, { "delay2_feed_mod_depth", 100.0f },
};

const std::vector<Case>& cases()
{
    static const std::vector<Case> all {
        { "defaults", 48000.0, 512, {}, {} },
        { "worst_case", 48000.0, 512, worst_case, {} },
        { "parallel_soft_clip_sine", 48000.0, 512,
          { { "mix_mode", 0.0f }, { "distortion_type", 0.0f }, { "distortion_drive", 70.0f },
            { "lfo1_wave", 0.0f }, { "lfo1_rate", 2.0f },
            { "delay1_time_mod_src", 5.0f }, { "delay1_time_mod_depth", 40.0f },
            { "delay1_feed_mod_src", 1.0f }, { "delay1_feed_mod_depth", 80.0f },
            { "env1_sens", 12.0f }, { "env1_attack", 1.0f }, { "env1_release", 250.0f } },
          { { "delay1_time", 300.0f }, { "master_amp", 3.0f }, { "master_dry_wet", 80.0f } } },
        { "serial_hard_clip_square", 44100.0, 100,
          { { "mix_mode", 1.0f }, { "distortion_type", 1.0f }, { "distortion_drive", 100.0f },
            { "lfo1_wave", 1.0f }, { "lfo1_rate", 7.0f }, { "delay1_feed", 95.0f }, { "delay1_damp", 2000.0f },
            { "delay1_time_mod_src", 6.0f }, { "delay1_time_mod_depth", 100.0f },
            { "delay2_time_mod_src", 2.0f }, { "delay2_time_mod_depth", 70.0f },
            { "delay2_feed_mod_src", 7.0f }, { "delay2_feed_mod_depth", 100.0f } },
          { { "delay2_damp", 500.0f }, { "delay1_amp", -12.0f }, { "lfo1_rate", 0.5f } } },
        { "reverse_serial_overdrive_saw_up", 48000.0, 512,
          { { "mix_mode", 2.0f }, { "distortion_type", 2.0f }, { "distortion_drive", 50.0f },
            { "lfo2_wave", 2.0f }, { "lfo2_rate", 3.0f },
            { "delay1_time_mod_src", 7.0f }, { "delay1_time_mod_depth", 60.0f },
            { "delay2_time_mod_src", 3.0f }, { "delay2_time_mod_depth", 60.0f },
            { "delay2_feed_mod_src", 4.0f }, { "delay2_feed_mod_depth", 50.0f },
            { "env2_sens", -6.0f }, { "env2_attack", 60.0f }, { "env2_release", 10.0f } },
          { { "distortion_type", 3.0f } } },
        { "solo_1_foldover_saw_down", 48000.0, 333,
          { { "mix_mode", 3.0f }, { "distortion_type", 3.0f }, { "distortion_drive", 100.0f },
            { "lfo2_wave", 3.0f }, { "lfo2_rate", 40.0f }, { "delay1_time", 1.0f }, { "delay2_time", 2000.0f },
            { "delay1_time_mod_src", 8.0f }, { "delay1_time_mod_depth", 100.0f },
            { "delay2_time_mod_src", 4.0f }, { "delay2_time_mod_depth", 100.0f } },
          { { "delay1_time", 1500.0f }, { "delay2_time", 1.0f } } },
        { "solo_2_triangle_synced", 96000.0, 512,
          { { "mix_mode", 4.0f }, { "distortion_type", 3.0f }, { "distortion_drive", 20.0f },
            { "lfo1_wave", 4.0f }, { "lfo1_sync", 1.0f }, { "lfo1_synced_rate", 10.0f },
            { "delay2_time_mod_src", 5.0f }, { "delay2_time_mod_depth", 100.0f },
            { "delay2_feed_mod_src", 6.0f }, { "delay2_feed_mod_depth", 30.0f } },
          {} },
        { "stereo_split_soft_clip_hot", 48000.0, 512,
          { { "mix_mode", 5.0f }, { "distortion_type", 0.0f }, { "distortion_drive", 100.0f },
            { "master_amp", 6.0f }, { "master_dry_wet", 100.0f }, { "delay2_time", 37.0f },
            { "delay1_time_mod_src", 1.0f }, { "delay1_time_mod_depth", 100.0f } },
          { { "master_amp", -36.0f }, { "master_dry_wet", 0.0f } } },
        { "reverse_stereo_split_modes", 44100.0, 1,
          { { "mix_mode", 6.0f }, { "distortion_type", 2.0f }, { "distortion_drive", 0.0f },
            { "delay1_time_mod_src", 3.0f }, { "delay1_time_mod_depth", 25.0f } },
          { { "mix_mode", 0.0f }, { "distortion_type", 1.0f } } },
    };
    return all;
}

// FNV-1a over the bits of every sample.
struct Hash
{
    void add (const float* samples, int num_samples)
    {
        for (int i = 0; i < num_samples; ++i)
        {
            std::uint32_t bits;
            std::memcpy (&bits, samples + i, sizeof (bits));

            for (int byte = 0; byte < 4; ++byte)
            {
                value ^= (bits >> (8 * byte)) & 0xffu;
                value *= 0x100000001b3ull;
            }
        }
    }

    std::uint64_t value = 0xcbf29ce484222325ull;
};

// Three seconds of noise in bursts of changing level, so the followers attack and release.
juce::AudioBuffer<float> test_input (double sample_rate)
{
    const auto length = (int) (3.0 * sample_rate);
    juce::AudioBuffer<float> input (2, length);
    juce::Random random (20240611);

    for (int i = 0; i < length; ++i)
    {
        const auto burst = (i / (int) (0.25 * sample_rate)) % 4;
        const auto level = burst == 3 ? 0.0f : 0.3f * (float) (burst + 1);

        for (int channel = 0; channel < 2; ++channel)
            input.setSample (channel, i, level * (2.0f * random.nextFloat() - 1.0f));
    }

    return input;
}

void apply (QuorvaneAudioProcessor& processor, const Settings& settings)
{
    for (const auto& [id, value] : settings)
        ASSERT_TRUE (set_parameter (processor, id, value)) << id;
}

enum class Shaping { shipped, library };

juce::AudioBuffer<float> render (const Case& c, Shaping shaping, double sample_rate, int block)
{
    QuorvaneAudioProcessor processor;

    if (shaping == Shaping::library)
        ShapingByLibrary::install (processor);

    processor.setPlayConfigDetails (2, 2, sample_rate, block);
    processor.prepareToPlay (sample_rate, block);
    apply (processor, c.first);

    auto audio = test_input (sample_rate);
    const auto length = audio.getNumSamples();
    juce::MidiBuffer midi;

    for (int start = 0; start < length; start += block)
    {
        if (start <= length / 2 && length / 2 < start + block)
            apply (processor, c.second);

        const auto num_samples = juce::jmin (block, length - start);
        juce::AudioBuffer<float> view (audio.getArrayOfWritePointers(), 2, start, num_samples);
        processor.processBlock (view, midi);
    }

    return audio;
}

std::uint64_t reference_hash (const Case& c)
{
    const auto audio = render (c, Shaping::library, c.sample_rate, c.block);
    Hash hash;

    for (int channel = 0; channel < 2; ++channel)
        hash.add (audio.getReadPointer (channel), audio.getNumSamples());

    return hash.value;
}

// The random shapes with a fixed seed, each sweeping a delay's time and feedback; with
// apart_writes, the delay's channels write at different positions of their lines.
std::uint64_t render_random_lfo (int wave, bool apart_writes = false)
{
    constexpr double sample_rate = 48000.0;
    constexpr int block = 512;
    const juce::dsp::ProcessSpec spec { sample_rate, (juce::uint32) block, 2 };

    QuorvaneLFO lfo;
    lfo.random.setSeed (wave);
    lfo.wave = wave;
    lfo.prepare (sample_rate, block);
    lfo.set_rate (9.0f);

    crvl::dsp::QuorvaneDelay<float> delay;
    delay.max_delay_seconds = 0.5f;
    delay.prepare (spec);

    if (apart_writes)
        delay.write_positions[1] = 7777;

    delay.delay_samples.setCurrentAndTargetValue (2000.0f);
    delay.feedback = 0.7f;
    delay.time_mod_source = lfo.output.getReadPointer (0);
    delay.time_mod_depth = 1.0f;
    delay.feedback_mod_source = lfo.output.getReadPointer (1);
    delay.feedback_mod_depth = 1.0f;

    auto audio = test_input (sample_rate);
    Hash hash;

    for (int start = 0; start + block <= audio.getNumSamples(); start += block)
    {
        lfo.process (block);
        hash.add (lfo.output.getReadPointer (0), block);
        hash.add (lfo.output.getReadPointer (1), block);

        auto view = juce::dsp::AudioBlock<float> (audio).getSubBlock ((size_t) start, (size_t) block);
        delay.process (juce::dsp::ProcessContextReplacing<float> (view));
        hash.add (view.getChannelPointer (0), block);
        hash.add (view.getChannelPointer (1), block);
    }

    return hash.value;
}

std::map<std::string, std::uint64_t> render_all()
{
    std::map<std::string, std::uint64_t> hashes;

    for (const auto& c : cases())
        hashes[c.name] = reference_hash (c);

    hashes["lfo_random"] = render_random_lfo (QuorvaneLFO::random_shape);
    hashes["lfo_smooth_random"] = render_random_lfo (QuorvaneLFO::smooth_random_shape);
    hashes["lfo_smooth_random_apart_writes"] = render_random_lfo (QuorvaneLFO::smooth_random_shape, true);
    return hashes;
}

const juce::File golden_file { QUORVANE_GOLDEN_RENDER_HASHES };

std::map<std::string, std::uint64_t> read_golden()
{
    std::map<std::string, std::uint64_t> hashes;
    juce::StringArray lines;
    lines.addLines (golden_file.loadFileAsString());

    for (const auto& line : lines)
    {
        const auto name = line.upToFirstOccurrenceOf (" ", false, false).trim();
        const auto value = line.fromFirstOccurrenceOf (" ", false, false).trim();

        if (name.isNotEmpty() && ! name.startsWith ("#"))
            hashes[name.toStdString()] = std::strtoull (value.toRawUTF8(), nullptr, 16);
    }

    return hashes;
}
} // namespace

TEST (GoldenRender, EveryRoutingDistortionAndModulationRendersTheStoredBits)
{
    const auto rendered = render_all();

    if (const auto* regenerate = std::getenv ("QUORVANE_REGENERATE_GOLDEN"); regenerate != nullptr && std::string (regenerate) == "1")
    {
        juce::String text ("# FNV-1a hashes of GoldenRenderTest's renders; regenerate as that test describes.\n");

        for (const auto& [name, value] : rendered)
            text << juce::String (name) << " " << juce::String::toHexString ((juce::int64) value) << "\n";

        ASSERT_TRUE (golden_file.replaceWithText (text));
        GTEST_SKIP() << "rewrote " << golden_file.getFullPathName();
    }

    const auto golden = read_golden();
    ASSERT_EQ (golden.size(), rendered.size()) << "missing or extra stored hashes in " << golden_file.getFullPathName();

    for (const auto& [name, value] : rendered)
    {
        const auto stored = golden.find (name);
        ASSERT_NE (stored, golden.end()) << name;
        EXPECT_EQ (stored->second, value) << name << " renders other bits than the stored ones";
    }
}

TEST (GoldenRender, ShippedOutputStaysWithinOneHundredThousandthOfTheReferenceAtAnyBlockAndRate)
{
    // Each scenario at its own block size and rate, and at two more, so that between them
    // the scenarios meet blocks of 1 to 4096 samples at 44.1 to 192 kHz.
    const std::vector<std::pair<double, int>> more {
        { 44100.0, 32 }, { 96000.0, 128 }, { 192000.0, 512 }, { 48000.0, 4096 }, { 88200.0, 7 }, { 48000.0, 1 },
    };
    constexpr float budget = 1.0e-5f;
    float largest = 0.0f;

    for (size_t n = 0; n < cases().size(); ++n)
    {
        const auto& c = cases()[n];
        std::vector<std::pair<double, int>> settings { { c.sample_rate, c.block }, more[n % more.size()],
                                                       more[(n + 3) % more.size()] };

        for (const auto& [sample_rate, block] : settings)
        {
            const auto reference = render (c, Shaping::library, sample_rate, block);
            const auto shipped = render (c, Shaping::shipped, sample_rate, block);
            float deviation = 0.0f;

            for (int channel = 0; channel < 2; ++channel)
                for (int i = 0; i < reference.getNumSamples(); ++i)
                    deviation = std::max (deviation, std::abs (shipped.getSample (channel, i) - reference.getSample (channel, i)));

            EXPECT_LE (deviation, budget) << c.name << " at " << sample_rate << " Hz, blocks of " << block;
            largest = std::max (largest, deviation);
        }
    }

    std::cout << "largest deviation from the reference: " << largest << std::endl;
}
