#include "FastestRepetition.h"
#include "QuorvaneAudioProcessor.h"
#include "SetParameter.h"

#include <benchmark/benchmark.h>

namespace
{

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

// Arguments: block size, sample rate in kHz.
void run_process_block (benchmark::State& state, bool worst_case)
{
    const auto block_size = (int) state.range (0);
    const auto sample_rate = 1000.0 * (double) state.range (1);

    QuorvaneAudioProcessor processor;
    processor.setPlayConfigDetails (2, 2, sample_rate, block_size);
    processor.prepareToPlay (sample_rate, block_size);
    if (worst_case)
        set_worst_case (processor);

    const int noise_length = 64 * block_size;
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

    // Audio seconds processed per CPU second, and the time per sample frame.
    const auto frames = (double) state.iterations() * block_size;
    state.counters["realtime_factor"] = benchmark::Counter (frames / sample_rate, benchmark::Counter::kIsRate);
    state.counters["ns_per_sample"] = benchmark::Counter (frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The block sizes of live playing, of a typical session and of mixing, at 48 and 96 kHz.
void block_sizes_and_rates (benchmark::internal::Benchmark* benchmark)
{
    for (const auto rate : { 48, 96 })
        for (const auto block : { 32, 128, 512 })
            benchmark->Args ({ block, rate });
}
} // namespace

static void ProcessBlockDefaults (benchmark::State& state) { run_process_block (state, false); }
static void ProcessBlockWorstCase (benchmark::State& state) { run_process_block (state, true); }

// Read the "_min" rows: their realtime_factor is the slowest repetition's, so take
// block / rate / time instead, or 1e9 / (ns_per_sample x rate).
BENCHMARK (ProcessBlockDefaults)->Apply (block_sizes_and_rates)->ArgNames ({ "block", "kHz" })->Unit (benchmark::kMicrosecond)->ComputeStatistics ("min", fastest);
BENCHMARK (ProcessBlockWorstCase)->Apply (block_sizes_and_rates)->ArgNames ({ "block", "kHz" })->Unit (benchmark::kMicrosecond)->ComputeStatistics ("min", fastest);
