// Cost of the signal-processing objects at 48 kHz with 512-sample stereo blocks.
//
// Counters: ns_per_sample is the time per sample frame (one sample on both channels),
// shown in seconds with an SI prefix ("29.3ns"); realtime_factor is the audio seconds
// processed per second of time, that is how many times faster than real time the object
// runs on one core (shown with a "/s" suffix).
// Run by hand:
//     build/tools/bench/QuorvaneBenchmarks --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
// On a shared machine read ns_per_sample from the "_min" rows (the least disturbed
// repetition); there, realtime_factor is the slowest repetition's, so take the real-time
// factor of the fastest as 1e9 / (ns_per_sample x 48000) instead.

#include "FastestRepetition.h"
#include "QuorvaneDelay.h"
#include "QuorvaneDistortion.h"
#include "QuorvaneEnvelopeFollower.h"
#include "QuorvaneLFO.h"
#include "QuorvaneParameters.h"
#include "SyncTranslator.h"
#include "WorkBufferCapacity.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
constexpr double sample_rate = 48000.0;
constexpr int block_size = 512;
constexpr int num_channels = 2;

const juce::dsp::ProcessSpec spec { sample_rate, static_cast<juce::uint32> (block_size), static_cast<juce::uint32> (num_channels) };

/** Noise at about -12 dBFS, the same every run. */
juce::AudioBuffer<float> make_input()
{
    juce::AudioBuffer<float> buffer (num_channels, block_size);
    juce::Random random (2024);

    for (int c = 0; c < num_channels; ++c)
        for (int i = 0; i < block_size; ++i)
            buffer.setSample (c, i, (random.nextFloat() * 2.0f - 1.0f) * 0.25f);

    return buffer;
}

void set_counters (benchmark::State& state)
{
    const auto frames = static_cast<double> (state.iterations()) * block_size;
    state.counters["ns_per_sample"] = benchmark::Counter (frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["realtime_factor"] = benchmark::Counter (frames / sample_rate, benchmark::Counter::kIsRate);
}

void run_delay (benchmark::State& state, bool modulated)
{
    juce::ScopedNoDenormals no_denormals;
    crvl::dsp::QuorvaneDelay<float> delay;
    delay.max_delay_seconds = QuorvaneParameters::max_delay_time_ms / 1000.0f;
    delay.output_gain.setGainLinear (juce::Decibels::decibelsToGain (-3.0f));
    delay.prepare (spec);

    // The plug-in's defaults: 120 ms, 50 % feedback, damping at 11 kHz.
    delay.delay_samples.setTargetValue (0.120f * delay.sample_rate);
    delay.feedback = 0.5f;
    delay.set_damping_frequency (11000.0f);

    // A 0.5 Hz sine and a slow envelope-like ramp as modulation sources.
    const auto capacity = static_cast<size_t> (crvl::dsp::work_buffer_capacity (block_size));
    std::vector<float> lfo (capacity), envelope (capacity);

    for (size_t i = 0; i < lfo.size(); ++i)
    {
        lfo[i] = std::sin (static_cast<float> (i) * 0.0004f);
        envelope[i] = 0.3f + 0.0002f * static_cast<float> (i);
    }

    if (modulated)
    {
        delay.time_mod_source = lfo.data();
        delay.time_mod_depth = 0.25f;
        delay.feedback_mod_source = envelope.data();
        delay.feedback_mod_depth = 0.5f;
    }

    const auto input = make_input();
    juce::AudioBuffer<float> buffer (num_channels, block_size);

    for (auto _ : state)
    {
        buffer.makeCopyOf (input, true);
        juce::dsp::AudioBlock<float> block (buffer);
        delay.process (juce::dsp::ProcessContextReplacing<float> (block));
        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }

    set_counters (state);
}

void BM_Delay (benchmark::State& state)          { run_delay (state, false); }
void BM_DelayModulated (benchmark::State& state) { run_delay (state, true); }

/** The copy of the input block into the work buffer, measured on its own so that the
    other figures can be read without it. */
void BM_BlockCopyOnly (benchmark::State& state)
{
    const auto input = make_input();
    juce::AudioBuffer<float> buffer (num_channels, block_size);

    for (auto _ : state)
    {
        buffer.makeCopyOf (input, true);
        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }

    set_counters (state);
}

void BM_Distortion (benchmark::State& state)
{
    juce::ScopedNoDenormals no_denormals;
    QuorvaneDistortion distortion;
    distortion.prepare (spec);
    distortion.type = static_cast<int> (state.range (0));
    distortion.drive = 0.5f;

    const auto input = make_input();
    juce::AudioBuffer<float> buffer (num_channels, block_size);

    for (auto _ : state)
    {
        buffer.makeCopyOf (input, true);
        juce::dsp::AudioBlock<float> block (buffer);
        distortion.process (juce::dsp::ProcessContextReplacing<float> (block));
        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }

    state.SetLabel (QuorvaneParameters::distortion_type_texts()[distortion.type].toStdString());
    set_counters (state);
}

void BM_EnvelopeFollower (benchmark::State& state)
{
    juce::ScopedNoDenormals no_denormals;
    QuorvaneEnvelopeFollower follower;
    follower.prepare (sample_rate, block_size, num_channels);
    follower.gain = 1.0f;
    follower.attack = 10.0f * follower.sample_rate * 0.001f;
    follower.release = 60.0f * follower.sample_rate * 0.001f;

    auto input = make_input();

    for (auto _ : state)
    {
        follower.process (input, block_size);
        benchmark::DoNotOptimize (follower.output.getReadPointer (0));
    }

    set_counters (state);
}

void BM_LFO (benchmark::State& state)
{
    juce::ScopedNoDenormals no_denormals;
    QuorvaneLFO lfo;
    lfo.wave = static_cast<int> (state.range (0));
    lfo.prepare (sample_rate, block_size);

    for (auto _ : state)
    {
        lfo.set_rate (2.0f);
        lfo.process (block_size);
        benchmark::DoNotOptimize (lfo.output.getReadPointer (0));
    }

    state.SetLabel (QuorvaneParameters::lfo_wave_texts()[lfo.wave].toStdString());
    set_counters (state);
}

/** Once per block, not per sample: reported per call. */
void BM_SyncedRate (benchmark::State& state)
{
    float bpm = 120.0f;
    int index = 0;

    for (auto _ : state)
    {
        benchmark::DoNotOptimize (bpm);
        benchmark::DoNotOptimize (index);
        benchmark::DoNotOptimize (crvl::dsp::SyncTranslator::synced_rate (bpm, index));
        index = (index + 1) % 25;
    }
}
} // namespace

BENCHMARK (BM_BlockCopyOnly)->ComputeStatistics ("min", fastest);
BENCHMARK (BM_Delay)->ComputeStatistics ("min", fastest);
BENCHMARK (BM_DelayModulated)->ComputeStatistics ("min", fastest);
BENCHMARK (BM_Distortion)->DenseRange (0, 3)->ComputeStatistics ("min", fastest);
BENCHMARK (BM_EnvelopeFollower)->ComputeStatistics ("min", fastest);
BENCHMARK (BM_LFO)->DenseRange (0, 6)->ComputeStatistics ("min", fastest);
BENCHMARK (BM_SyncedRate)->ComputeStatistics ("min", fastest);
