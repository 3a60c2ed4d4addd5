// Golden renders: every routing, distortion, LFO shape and modulation target, rendered
// through the processor (the random shapes seeded).
//
// The stored renders (every 61st value, tests/engine/golden) are the output the plug-in gave
// before its shaping functions were evaluated in SIMD: the library's tanhf, sinf and powf
// called once per sample. What ships must stay within 1e-5 (-100 dBFS) of them; a shift by
// one sample, a changed coefficient or ramp, or swapped channels is far outside that. When a
// change of the sound is intended, rewrite the stored renders with
//
//     QUORVANE_REGENERATE_GOLDEN=1 build/tests/engine/QuorvaneEngineTests --gtest_filter='GoldenRender.*'
//
// and commit them with the change.

#include "ProcessorRig.h"

#include <gtest/gtest.h>

#include <cstdlib>

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

    // The processor's random shapes otherwise draw from a seed of their own.
    static void seed_random_shapes (QuorvaneAudioProcessor& processor)
    {
        processor.lfo1.random.setSeed (1);
        processor.lfo2.random.setSeed (2);
    }
};

namespace
{
using namespace quorvane::test;

struct Case
{
    const char* name;
    double sample_rate;
    int block;
    Settings first;  // from the start
    Settings second; // from halfway, so ramps, glides and smoothers move
};

const std::vector<Case>& cases()
{
    static const std::vector<Case> all {
        { "defaults", 48000.0, 512, {}, {} },
        // The benchmarks' worst case, with a table shape on LFO 1.
        { "worst_case", 48000.0, 512,
          { { "mix_mode", 1.0f }, { "distortion_type", 2.0f }, { "distortion_drive", 100.0f },
            { "lfo1_wave", 0.0f }, { "lfo1_rate", 5.0f }, { "lfo2_rate", 0.3f },
            { "delay1_time_mod_src", 5.0f }, { "delay1_feed_mod_src", 3.0f },
            { "delay2_time_mod_src", 8.0f }, { "delay2_feed_mod_src", 2.0f },
            { "delay1_time_mod_depth", 100.0f }, { "delay1_feed_mod_depth", 100.0f },
            { "delay2_time_mod_depth", 100.0f }, { "delay2_feed_mod_depth", 100.0f } },
          {} },
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
        { "random_shapes_seeded", 48000.0, 256,
          { { "lfo1_wave", 6.0f }, { "lfo1_rate", 3.0f }, { "lfo2_wave", 5.0f }, { "lfo2_rate", 11.0f },
            { "delay1_time_mod_src", 5.0f }, { "delay1_time_mod_depth", 50.0f },
            { "delay2_feed_mod_src", 8.0f }, { "delay2_feed_mod_depth", 100.0f } },
          { { "lfo1_rate", 0.7f }, { "lfo2_rate", 40.0f } } },
    };
    return all;
}

// Three seconds of noise in bursts of changing level, so the followers attack and release.
Buffer test_input (double sample_rate)
{
    const auto length = (int) (3.0 * sample_rate);
    Buffer input (2, length);
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

enum class Shaping { shipped, library };

// Both channels, one after the other.
std::vector<float> render (const Case& c, Shaping shaping)
{
    const auto sample_rate = c.sample_rate;
    const auto block = c.block;
    QuorvaneAudioProcessor processor;

    if (shaping == Shaping::library)
        ShapingByLibrary::install (processor);

    ShapingByLibrary::seed_random_shapes (processor);

    processor.setPlayConfigDetails (2, 2, sample_rate, block);
    processor.prepareToPlay (sample_rate, block);

    auto audio = test_input (sample_rate);
    const auto length = audio.getNumSamples();
    juce::MidiBuffer midi;

    for (int start = 0; start < length; start += block)
    {
        for (const auto* settings : { start == 0 ? &c.first : nullptr, start <= length / 2 && length / 2 < start + block ? &c.second : nullptr })
            for (const auto& [id, value] : settings != nullptr ? *settings : Settings {})
                EXPECT_TRUE (set_parameter (processor, id, value)) << id;

        Buffer view (audio.getArrayOfWritePointers(), 2, start, juce::jmin (block, length - start));
        processor.processBlock (view, midi);
    }

    std::vector<float> trace (audio.getReadPointer (0), audio.getReadPointer (0) + length);
    trace.insert (trace.end(), audio.getReadPointer (1), audio.getReadPointer (1) + length);
    return trace;
}

constexpr size_t stored_stride = 61;
constexpr float budget = 1.0e-5f;
} // namespace

TEST (GoldenRender, EveryRoutingDistortionAndModulationStaysWithinTheBudgetOfTheStoredRender)
{
    const juce::File folder { QUORVANE_GOLDEN_DIR };
    const auto regenerate = juce::SystemStats::getEnvironmentVariable ("QUORVANE_REGENERATE_GOLDEN", {}) == "1";

    for (const auto& c : cases())
    {
        SCOPED_TRACE (c.name);
        const auto file = folder.getChildFile (juce::String (c.name) + ".f32");
        juce::MemoryBlock stored;

        if (regenerate)
        {
            const auto reference = render (c, Shaping::library);
            for (size_t i = 0; i < reference.size(); i += stored_stride)
                stored.append (&reference[i], sizeof (float));
            ASSERT_TRUE (file.replaceWithData (stored.getData(), stored.getSize()));
            continue;
        }

        ASSERT_TRUE (file.loadFileAsData (stored)) << "missing " << file.getFullPathName();
        const auto shipped = render (c, Shaping::shipped);
        const auto* values = static_cast<const float*> (stored.getData());
        ASSERT_EQ ((shipped.size() + stored_stride - 1) / stored_stride, stored.getSize() / sizeof (float));
        float largest = 0.0f;

        for (size_t i = 0; i < shipped.size(); i += stored_stride)
            largest = std::max (largest, std::isnan (shipped[i]) ? INFINITY : std::abs (shipped[i] - values[i / stored_stride]));

        EXPECT_LE (largest, budget);
    }

    if (regenerate)
        GTEST_SKIP() << "rewrote the stored renders in " << folder.getFullPathName();
}
