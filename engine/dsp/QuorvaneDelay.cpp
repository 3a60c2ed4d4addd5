#include "QuorvaneDelay.h"

#include "WorkBufferCapacity.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace crvl::dsp
{

template <typename SampleType>
QuorvaneDelay<SampleType>::QuorvaneDelay()
    : saturation ([] (SampleType x) { return std::tanh (x); },
                  -saturation_limit, saturation_limit, saturation_points)
{
}

template <typename SampleType>
int QuorvaneDelay<SampleType>::line_length_for (SampleType sample_rate_hz, SampleType seconds) noexcept
{
    return static_cast<int> (sample_rate_hz * seconds);
}

template <typename SampleType>
void QuorvaneDelay<SampleType>::prepare (const juce::dsp::ProcessSpec& spec)
{
    const auto num_channels = static_cast<int> (spec.numChannels);
    const auto num_channels_size = static_cast<size_t> (spec.numChannels);

    sample_rate = static_cast<SampleType> (spec.sampleRate);

    // The old content belongs to another rate: the line starts silent.
    const int length = line_length_for (sample_rate, max_delay_seconds);
    delay_line.setSize (num_channels, length, false, false, false);
    delay_line.clear();

    delay_times.setSize (1, work_buffer_capacity (static_cast<int> (spec.maximumBlockSize)), false, false, false);
    delay_times.clear();

    // A new channel's filter passes the signal through until the owner first sets the
    // damping; the others keep their coefficients.
    while (damping_filters.size() < num_channels_size)
        damping_filters.emplace_back (new juce::dsp::IIR::Coefficients<SampleType> (1, 0, 1, 0));

    while (write_positions.size() < num_channels_size)
        write_positions.push_back (0);

    // A position past the end of a shortened line is wrapped into it; the line was just
    // cleared, so where writing goes on makes no audible difference.
    for (auto& position : write_positions)
        if (position >= length)
            position = length > 0 ? position % length : 0;

    for (auto& filter : damping_filters)
        filter.reset();

    // The gain jumps to its current target: a ramp left over from another rate would run
    // at the wrong speed.
    output_gain.setRampDurationSeconds (output_gain_ramp_seconds);
    output_gain.prepare (spec);
}

template <typename SampleType>
void QuorvaneDelay<SampleType>::set_damping_frequency (SampleType cutoff_hz) noexcept
{
    // The first-order low-pass turns unstable once its cutoff passes half the sample rate,
    // which the damping range does below 36 kHz; the cap lies above 18 kHz from 44.1 kHz
    // up, so it only ever bites at those lower rates.
    const auto stable_cutoff = juce::jmin (cutoff_hz, SampleType (0.49) * sample_rate);

    // Written into the existing coefficient objects: making new ones would allocate.
    const auto damping = juce::dsp::IIR::ArrayCoefficients<SampleType>::makeFirstOrderLowPass (sample_rate, stable_cutoff);

    for (auto& filter : damping_filters)
        *filter.coefficients = damping;
}

template <typename SampleType>
SampleType QuorvaneDelay<SampleType>::saturate (SampleType value) const noexcept
{
    // Guard: the table clamps +-inf to its ends, but a NaN passes the clamp and the
    // index's cast to an integer would be undefined. A NaN is written as silence would
    // be (the table's value at 0), so it never enters the line. Finite values are untouched.
    if (std::isnan (value))
        value = 0;

    // Within half a table step of 0 the table's index, 511.5 + 102.3 x in float, drops
    // the low bits of x, so a fading echo settles on a step of that coarse grid and
    // repeats for ever. There tanh is x - x^3 / 3 to float precision, which fades on to 0.
    constexpr auto half_step = saturation_limit / static_cast<SampleType> (saturation_points - 1);

    if (std::abs (value) < half_step)
        return value - value * value * value / SampleType (3);

    return saturation.processSample (value);
}

template <typename SampleType>
void QuorvaneDelay<SampleType>::process (const juce::dsp::ProcessContextReplacing<SampleType>& context) noexcept
{
    const auto& block = context.getOutputBlock();
    const auto num_samples = static_cast<int> (block.getNumSamples());
    const auto num_channels = block.getNumChannels();

    jassert (num_channels <= static_cast<size_t> (delay_line.getNumChannels()));
    jassert (num_samples <= delay_times.getNumSamples());

    // An empty block changes nothing: no smoother, position or gain ramp advances, and the
    // filter states were already snapped at the end of the last block.
    if (num_samples == 0)
        return;

    const int length = delay_line.getNumSamples();
    const auto longest = static_cast<SampleType> (length - 1);
    auto* times = delay_times.getWritePointer (0);

    // Every channel reads at the same time, so it is worked out once per sample.
    if (time_mod_source == nullptr)
    {
        for (int i = 0; i < num_samples; ++i)
            times[i] = delay_samples.getNextValue();
    }
    else
    {
        // Full depth at a source value of +-1 moves the time by (L - 2) / 2 samples.
        const auto half_range = static_cast<SampleType> (length - 1 - 1) * SampleType (0.5);

        for (int i = 0; i < num_samples; ++i)
        {
            const auto sum = delay_samples.getNextValue() + (time_mod_source[i] * time_mod_depth) * half_range;
            times[i] = sum < SampleType (1) ? SampleType (1) : juce::jmin (sum, longest);
        }
    }

    // Guard: a delay time that is not a finite number (a NaN source sample, an infinite
    // one at depth 0, a NaN target) would give a NaN read position, whose cast to int is
    // undefined, or an endless wrap loop. It is limited as the modulated clamp limits an
    // infinity: +inf gives L - 1, -inf and NaN give 1. Finite times are untouched.
    for (int i = 0; i < num_samples; ++i)
        if (! std::isfinite (times[i]))
            times[i] = times[i] > 0 ? longest : SampleType (1);

    // The feedback is one value per block, like every other per-block setting: the
    // source's first sample stands for the block.
    auto block_feedback = feedback;

    if (feedback_mod_source != nullptr)
        block_feedback = juce::jlimit (SampleType (0), SampleType (1),
                                       feedback + (feedback_mod_source[0] * feedback_mod_depth) * SampleType (0.5));

    // Channels are independent, so two run side by side: their damping recurrences then
    // overlap instead of waiting on each other.
    for (size_t channel = 0; channel < num_channels; channel += 2)
    {
        if (channel + 1 < num_channels)
            process_channels<2> (block, channel, num_samples, block_feedback);
        else
            process_channels<1> (block, channel, num_samples, block_feedback);
    }

    output_gain.process (context);
}

namespace
{
    // The state of a first-order filter, read through its public interface: the filter's
    // output for an input whose product with b0 is -0 is that state exactly, whatever its
    // value or sign (-0 + s = s). The probe moves the state, so it is put back at once.
    template <typename SampleType>
    SampleType read_first_order_state (juce::dsp::IIR::Filter<SampleType>& filter, SampleType b0) noexcept
    {
        const auto probe = std::signbit (b0) ? SampleType (0) : -SampleType (0);
        const auto state = filter.processSample (probe);
        filter.reset (state);
        return state;
    }
}

template <typename SampleType>
template <size_t NumChannels>
void QuorvaneDelay<SampleType>::process_channels (const juce::dsp::AudioBlock<SampleType>& block, size_t first_channel,
                                                  int num_samples, SampleType block_feedback) noexcept
{
    const int length = delay_line.getNumSamples();
    const auto length_f = static_cast<SampleType> (length);
    const auto longest = static_cast<SampleType> (length - 1);
    const auto* times = delay_times.getReadPointer (0);

    std::array<SampleType*, NumChannels> samples, lines;
    std::array<int, NumChannels> writes;
    std::array<juce::dsp::IIR::Filter<SampleType>*, NumChannels> filters;

    // The filters' first-order step, taken here with its coefficients and state in registers
    // rather than through processSample, which checks the order and goes through memory on
    // every sample. Same products, same order, so the same bits; any other order (or a
    // coefficient that is not finite, which the probe could not read through) goes the
    // framework's way.
    bool inline_damping = true;
    std::array<SampleType, NumChannels> b0, b1, a1, states;

    for (size_t k = 0; k < NumChannels; ++k)
    {
        samples[k] = block.getChannelPointer (first_channel + k);
        lines[k] = delay_line.getWritePointer (static_cast<int> (first_channel + k));
        writes[k] = write_positions[first_channel + k];
        filters[k] = &damping_filters[first_channel + k];

        const auto& coefficients = *filters[k]->coefficients;
        const auto* c = coefficients.getRawCoefficients();
        inline_damping = inline_damping && coefficients.getFilterOrder() == 1 && std::isfinite (c[0]);

        if (inline_damping)
        {
            b0[k] = c[0];
            b1[k] = c[1];
            a1[k] = c[2];
        }
    }

    if (inline_damping)
        for (size_t k = 0; k < NumChannels; ++k)
            states[k] = read_first_order_state (*filters[k], b0[k]);

    // Where a channel reads follows from its write position and the time alone.
    struct Tap
    {
        int i0, i1;
        SampleType frac;
    };

    const auto locate = [length_f, longest] (int write, SampleType time) noexcept
    {
        auto read = static_cast<SampleType> (write) - time;

        while (read < 0)
            read += length_f;

        while (read >= length_f)
            read -= length_f;

        const auto i0 = static_cast<int> (read);
        return Tap { i0, read >= longest ? 0 : i0 + 1, read - static_cast<SampleType> (i0) };
    };

    const auto run = [&] (auto same_positions) noexcept
    {
        for (int i = 0; i < num_samples; ++i)
        {
            const auto time = times[i];

            // Channels at the same write position (all of them, after prepare) read at
            // the same place: it is worked out once for them.
            Tap shared_tap {};

            if constexpr (decltype (same_positions)::value)
                shared_tap = locate (writes[0], time);

            for (size_t k = 0; k < NumChannels; ++k)
            {
                auto* const line = lines[k];
                auto& write = writes[k];
                const auto tap = decltype (same_positions)::value ? shared_tap : locate (write, time);

                const auto delayed = tap.frac * line[tap.i1] + (SampleType (1) - tap.frac) * line[tap.i0];

                // Transposed direct form II, first order: f = b0 y + s; s = b1 y - a1 f.
                SampleType damped;

                if (inline_damping)
                {
                    damped = (b0[k] * delayed) + states[k];
                    states[k] = (b1[k] * delayed) - (a1[k] * damped);
                }
                else
                {
                    damped = filters[k]->processSample (delayed);
                }

                const auto input = samples[k][i];
                samples[k][i] = delayed;
                line[write] = saturate (damped * block_feedback + input);

                if (++write == length)
                    write = 0;
            }
        }
    };

    if (std::all_of (writes.begin(), writes.end(), [&writes] (int write) { return write == writes[0]; }))
        run (std::true_type {});
    else
        run (std::false_type {});

    for (size_t k = 0; k < NumChannels; ++k)
    {
        write_positions[first_channel + k] = writes[k];

        if (inline_damping)
            filters[k]->reset (states[k]);

        // A decaying feedback path would otherwise end up running on denormals.
        filters[k]->snapToZero();
    }
}

template class QuorvaneDelay<float>;

} // namespace crvl::dsp
