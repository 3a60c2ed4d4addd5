#include "BenchmarkRuntime.h"
#include "FastestRepetition.h"
#include "QuorvaneAudioProcessor.h"
#include "SetParameter.h"

#include <benchmark/benchmark.h>

namespace
{
constexpr double sample_rate = 48000.0;
constexpr int block_size = 512;

// Both delays' time and feedback swept at full depth, serial, overdrive at full drive.
void set_worst_case (QuorvaneAudioProcessor& processor)
{
    set_parameter (processor, "mix_mode", 1.0f);
    set_parameter (processor, "distortion_type", 2.0f);
    set_parameter (processor, "distortion_drive", 100.0f);
    set_parameter (processor, "lfo1_wave", 6.0f);
    set_parameter (processor, "lfo1_rate", 5.0f);
    set_parameter (processor, "lfo2_wave", 0.0f);
    set_parameter (processor, "lfo2_rate", 0.3f);
    set_parameter (processor, "delay1_time_mod_src", 5.0f);
    set_parameter (processor, "delay1_feed_mod_src", 3.0f);
    set_parameter (processor, "delay2_time_mod_src", 8.0f);
    set_parameter (processor, "delay2_feed_mod_src", 2.0f);
    for (auto* id : { "delay1_time_mod_depth", "delay1_feed_mod_depth", "delay2_time_mod_depth", "delay2_feed_mod_depth" })
        set_parameter (processor, id, 100.0f);
}

void run_process_block (benchmark::State& state, bool worst_case)
{
    ensure_runtime();
    QuorvaneAudioProcessor processor;
    processor.setPlayConfigDetails (2, 2, sample_rate, block_size);
    processor.prepareToPlay (sample_rate, block_size);
    if (worst_case)
        set_worst_case (processor);

    constexpr int noise_length = 64 * block_size;
    juce::AudioBuffer<float> noise (2, noise_length), buffer (2, block_size);
    juce::Random random (1);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < noise_length; ++i)
            noise.setSample (c, i, random.nextFloat() - 0.5f);

    juce::MidiBuffer midi;
    int position = 0;

    for (auto _ : state)
    {
        // As a host would: fresh input every block.
        for (int c = 0; c < 2; ++c)
            buffer.copyFrom (c, 0, noise, c, position, block_size);
        position = (position + block_size) % noise_length;

        processor.processBlock (buffer, midi);
        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }

    // Audio seconds processed per CPU second.
    const auto audio_seconds = (double) state.iterations() * block_size / sample_rate;
    state.counters["realtime_factor"] = benchmark::Counter (audio_seconds, benchmark::Counter::kIsRate);
}
} // namespace

static void ProcessBlockDefaults (benchmark::State& state) { run_process_block (state, false); }
static void ProcessBlockWorstCase (benchmark::State& state) { run_process_block (state, true); }

// Read the "_min" time row: its realtime_factor is the slowest repetition's, so take
// 512 / 48000 / time instead.
BENCHMARK (ProcessBlockDefaults)->Unit (benchmark::kMicrosecond)->ComputeStatistics ("min", fastest);
BENCHMARK (ProcessBlockWorstCase)->Unit (benchmark::kMicrosecond)->ComputeStatistics ("min", fastest);
