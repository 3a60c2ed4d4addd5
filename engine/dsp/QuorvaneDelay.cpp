#include "QuorvaneDelay.h"

#include "WorkBufferCapacity.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>

#if defined(__SSE2__)
 #include <emmintrin.h>
#endif

namespace crvl::dsp
{

template <typename SampleType>
QuorvaneDelay<SampleType>::QuorvaneDelay()
    : saturation ([] (SampleType x) { return std::tanh (x); },
                  -saturation_limit, saturation_limit, saturation_points)
{
    // The transform's own mapping, step for step: scaler = (points - 1) / range, offset =
    // -minimum x scaler. A whole index reads its entry exactly; the last entry is the guard.
    saturation_scaler = SampleType (saturation_points - 1) / (saturation_limit - -saturation_limit);
    saturation_offset = -(-saturation_limit) * saturation_scaler;

    for (size_t i = 0; i < saturation_points; ++i)
        saturation_entries[i] = std::tanh (juce::jlimit (-saturation_limit, saturation_limit,
                                                         juce::jmap (static_cast<SampleType> (i), SampleType (0),
                                                                     static_cast<SampleType> (saturation_points - 1),
                                                                     -saturation_limit, saturation_limit)));

    saturation_entries[saturation_points] = saturation_entries[saturation_points - 1];
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
    gain_ramp.setSize (1, delay_times.getNumSamples(), false, false, false);
    gain_ramp.clear();

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
    const auto damping = damping_coefficients.get ({ sample_rate, stable_cutoff }, [] (const std::array<SampleType, 2>& rate_and_cutoff)
    {
        return juce::dsp::IIR::ArrayCoefficients<SampleType>::makeFirstOrderLowPass (rate_and_cutoff[0], rate_and_cutoff[1]);
    });

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
    // repeats for ever. There tanh is x - x^3 / 3 to float precision, which fades on, and
    // 200 dB below full scale, far under any converter's floor, the echo ends in zeros.
    if (std::abs (value) < saturation_half_step)
        return std::abs (value) < saturation_inaudible ? SampleType (0) : value - value * value * value / SampleType (3);

    return saturation.processSample (value);
}

template <typename SampleType>
SampleType QuorvaneDelay<SampleType>::begin_block (int num_samples) noexcept
{
    const int length = delay_line.getNumSamples();
    const auto longest = static_cast<SampleType> (length - 1);
    auto* times = delay_times.getWritePointer (0);

    // Every channel reads at the same time, so it is worked out once per sample. The ramp
    // has no steps, so the unmodulated time is one value for the block: a plain fill, and
    // the modulated one a loop the compiler vectorises.
    const bool steady = ! delay_samples.isSmoothing();
    const auto steady_time = delay_samples.getTargetValue();

    if (time_mod_source == nullptr)
    {
        if (steady)
            std::fill (times, times + num_samples, steady_time);
        else
            for (int i = 0; i < num_samples; ++i)
                times[i] = delay_samples.getNextValue();
    }
    else
    {
        // Full depth at a source value of +-1 moves the time by (L - 2) / 2 samples.
        const auto half_range = static_cast<SampleType> (length - 1 - 1) * SampleType (0.5);
        const auto* source = time_mod_source;
        const auto depth = time_mod_depth;

        const auto modulated = [half_range, longest, source, depth] (SampleType base, int i) noexcept
        {
            const auto sum = base + (source[i] * depth) * half_range;
            return sum < SampleType (1) ? SampleType (1) : juce::jmin (sum, longest);
        };

        if (steady)
            for (int i = 0; i < num_samples; ++i)
                times[i] = modulated (steady_time, i);
        else
            for (int i = 0; i < num_samples; ++i)
                times[i] = modulated (delay_samples.getNextValue(), i);
    }

    // Guard: a delay time that is not a finite number (a NaN source sample, an infinite
    // one at depth 0, a NaN target) would give a NaN read position, whose cast to int is
    // undefined, or an endless wrap loop. It is limited as the modulated clamp limits an
    // infinity: +inf gives L - 1, -inf and NaN give 1. Finite times are untouched.
    for (int i = 0; i < num_samples; ++i)
    {
        const auto time = times[i];
        times[i] = std::isfinite (time) ? time : (time > 0 ? longest : SampleType (1));
    }

    // The feedback is one value per block, like every other per-block setting: the
    // source's first sample stands for the block.
    auto block_feedback = feedback;

    if (feedback_mod_source != nullptr)
        block_feedback = juce::jlimit (SampleType (0), SampleType (1),
                                       feedback + (feedback_mod_source[0] * feedback_mod_depth) * SampleType (0.5));

    return block_feedback;
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

    const auto block_feedback = begin_block (num_samples);

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

template <typename SampleType>
bool QuorvaneDelay<SampleType>::can_run_side_by_side (const juce::dsp::AudioBlock<SampleType>& block) const noexcept
{
    if (block.getNumChannels() != 2 || delay_line.getNumChannels() < 2 || write_positions[0] != write_positions[1])
        return false;

    for (size_t k = 0; k < 2; ++k)
    {
        const auto& coefficients = *damping_filters[k].coefficients;

        if (coefficients.getFilterOrder() != 1 || ! std::isfinite (coefficients.getRawCoefficients()[0]))
            return false;
    }

    return true;
}

template <typename SampleType>
void QuorvaneDelay<SampleType>::process_side_by_side (QuorvaneDelay& first, juce::dsp::AudioBlock<SampleType> first_block,
                                                      QuorvaneDelay& second, juce::dsp::AudioBlock<SampleType> second_block,
                                                      bool second_follows_first, juce::dsp::AudioBlock<SampleType> input) noexcept
{
    using Context = juce::dsp::ProcessContextReplacing<SampleType>;
    const auto num_samples = static_cast<int> (first_block.getNumSamples());

    jassert (second_block.getNumSamples() == first_block.getNumSamples());
    jassert (! second_follows_first || first_block.getChannelPointer (0) == second_block.getChannelPointer (0));

   #if defined(__SSE2__)
    constexpr bool has_four_lanes = std::is_same_v<SampleType, float>;
   #else
    constexpr bool has_four_lanes = false;
   #endif

    const bool shared_input = input.getNumChannels() > 0;
    jassert (! (shared_input && second_follows_first));

    // One after the other, each on its own block, which first takes a copy of the input.
    const auto one_after_the_other = [&]
    {
        for (auto* block : { &first_block, &second_block })
            if (shared_input && block->getChannelPointer (0) != input.getChannelPointer (0))
                block->copyFrom (input);

        first.process (Context (first_block));
        second.process (Context (second_block));
    };

    if constexpr (! has_four_lanes)
    {
        one_after_the_other();
    }
    else
    {
        if (num_samples == 0 || ! first.can_run_side_by_side (first_block) || ! second.can_run_side_by_side (second_block)
            || (shared_input && input.getNumChannels() != 2))
        {
            one_after_the_other();
            return;
        }

        const auto first_feedback = first.begin_block (num_samples);
        const auto second_feedback = second.begin_block (num_samples);

        // Lanes: first delay left, right, second delay left, right.
        std::array<QuorvaneDelay*, 4> owners { &first, &first, &second, &second };
        std::array<float*, 4> lines, outputs;
        std::array<const float*, 4> inputs;
        alignas (16) std::array<float, 4> b0, b1, a1, states;

        for (size_t k = 0; k < 4; ++k)
        {
            const auto channel = k % 2;
            auto& filter = owners[k]->damping_filters[channel];
            const auto* c = filter.coefficients->getRawCoefficients();
            lines[k] = owners[k]->delay_line.getWritePointer (static_cast<int> (channel));
            outputs[k] = (k < 2 ? first_block : second_block).getChannelPointer (channel);
            inputs[k] = shared_input ? input.getChannelPointer (channel) : outputs[k];
            b0[k] = c[0];
            b1[k] = c[1];
            a1[k] = c[2];
            states[k] = read_first_order_state (filter, c[0]);
        }

        // The second delay takes in the first's output times its gain, sample by sample.
        const float* first_gains = nullptr;

        if (second_follows_first)
        {
            auto* gains = first.gain_ramp.getWritePointer (0);
            std::fill (gains, gains + num_samples, 1.0f);
            auto ones = juce::dsp::AudioBlock<float> (first.gain_ramp).getSubBlock (0, static_cast<size_t> (num_samples));
            first.output_gain.process (Context (ones));
            first_gains = gains;
        }

        const auto* first_times = first.delay_times.getReadPointer (0);
        const auto* second_times = second.delay_times.getReadPointer (0);
        const auto* table = first.saturation_entries.data(); // every delay builds the same table
        const int first_length = first.delay_line.getNumSamples(), second_length = second.delay_line.getNumSamples();
        int first_write = first.write_positions[0], second_write = second.write_positions[0];

        const auto locate = [] (int write, float time, int length, int& i0, int& i1) noexcept
        {
            const auto length_f = static_cast<float> (length);
            auto read = static_cast<float> (write) - time;

            while (read < 0)
                read += length_f;

            while (read >= length_f)
                read -= length_f;

            i0 = static_cast<int> (read);
            i1 = read >= static_cast<float> (length - 1) ? 0 : i0 + 1;
            return read - static_cast<float> (i0);
        };

        const auto v_b0 = _mm_load_ps (b0.data()), v_b1 = _mm_load_ps (b1.data()), v_a1 = _mm_load_ps (a1.data());
        const auto v_feedback = _mm_setr_ps (first_feedback, first_feedback, second_feedback, second_feedback);
        const auto one = _mm_set1_ps (1.0f);
        const auto lowest = _mm_set1_ps (-saturation_limit), highest = _mm_set1_ps (saturation_limit);
        const auto scaler = _mm_set1_ps (first.saturation_scaler), offset = _mm_set1_ps (first.saturation_offset);
        const auto half_step = _mm_set1_ps (saturation_half_step), three = _mm_set1_ps (3.0f);
        const auto inaudible = _mm_set1_ps (saturation_inaudible);
        const auto sign_bit = _mm_set1_ps (-0.0f);
        auto v_states = _mm_load_ps (states.data());

        // A settled output gain is one factor for the block, applied here rather than in a
        // pass of its own afterwards (the same product); a ramping one runs afterwards.
        const bool first_settled = ! second_follows_first && ! first.output_gain.isSmoothing();
        const bool second_settled = ! second.output_gain.isSmoothing();
        const auto first_gain = first_settled ? first.output_gain.getGainLinear() : 1.0f;
        const auto second_gain = second_settled ? second.output_gain.getGainLinear() : 1.0f;
        const auto output_gains = _mm_setr_ps (first_gain, first_gain, second_gain, second_gain);
        alignas (16) std::int32_t indices[4];
        alignas (16) float written[4], delayed[4];

        for (int i = 0; i < num_samples; ++i)
        {
            int a0, a1_, c0, c1;
            const auto first_frac = locate (first_write, first_times[i], first_length, a0, a1_);
            const auto second_frac = locate (second_write, second_times[i], second_length, c0, c1);

            // The steps of process_channels, lane by lane: interpolated read, damping,
            // feedback plus input, saturation through the table.
            const auto next = _mm_setr_ps (lines[0][a1_], lines[1][a1_], lines[2][c1], lines[3][c1]);
            const auto previous = _mm_setr_ps (lines[0][a0], lines[1][a0], lines[2][c0], lines[3][c0]);
            const auto frac = _mm_setr_ps (first_frac, first_frac, second_frac, second_frac);
            const auto y = _mm_add_ps (_mm_mul_ps (frac, next), _mm_mul_ps (_mm_sub_ps (one, frac), previous));

            const auto damped = _mm_add_ps (_mm_mul_ps (v_b0, y), v_states);
            v_states = _mm_sub_ps (_mm_mul_ps (v_b1, y), _mm_mul_ps (v_a1, damped));

            auto x = _mm_setr_ps (inputs[0][i], inputs[1][i], inputs[2][i], inputs[3][i]);

            if (second_follows_first)
                x = _mm_movelh_ps (x, _mm_mul_ps (y, _mm_set1_ps (first_gains[i])));

            auto value = _mm_add_ps (_mm_mul_ps (damped, v_feedback), x);
            value = _mm_and_ps (value, _mm_cmpord_ps (value, value)); // a NaN is written as silence

            const auto magnitude = _mm_andnot_ps (sign_bit, value);
            const auto near_zero = _mm_cmplt_ps (magnitude, half_step);
            const auto clamped = _mm_min_ps (_mm_max_ps (value, lowest), highest);

            const auto index = _mm_add_ps (_mm_mul_ps (scaler, clamped), offset);
            const auto whole = _mm_cvttps_epi32 (index);
            const auto fraction = _mm_sub_ps (index, _mm_cvtepi32_ps (whole));
            _mm_store_si128 (reinterpret_cast<__m128i*> (indices), whole);

            const auto at = _mm_setr_ps (table[indices[0]], table[indices[1]], table[indices[2]], table[indices[3]]);
            const auto after = _mm_setr_ps (table[indices[0] + 1], table[indices[1] + 1], table[indices[2] + 1], table[indices[3] + 1]);
            const auto looked_up = _mm_add_ps (at, _mm_mul_ps (fraction, _mm_sub_ps (after, at)));
            auto saturated = looked_up;

            // Near 0, tanh's own series, as saturate takes it; worked out only when a lane
            // needs it, since its division is the dearest step here.
            if (_mm_movemask_ps (near_zero) != 0)
            {
                const auto series = _mm_andnot_ps (_mm_cmplt_ps (magnitude, inaudible),
                                                   _mm_sub_ps (value, _mm_div_ps (_mm_mul_ps (_mm_mul_ps (value, value), value), three)));
                saturated = _mm_or_ps (_mm_and_ps (near_zero, series), _mm_andnot_ps (near_zero, looked_up));
            }

            _mm_store_ps (written, saturated);
            _mm_store_ps (delayed, _mm_mul_ps (y, output_gains));

            lines[0][first_write] = written[0];
            lines[1][first_write] = written[1];
            lines[2][second_write] = written[2];
            lines[3][second_write] = written[3];

            if (! second_follows_first)
            {
                outputs[0][i] = delayed[0];
                outputs[1][i] = delayed[1];
            }

            outputs[2][i] = delayed[2];
            outputs[3][i] = delayed[3];

            if (++first_write == first_length)
                first_write = 0;

            if (++second_write == second_length)
                second_write = 0;
        }

        _mm_store_ps (states.data(), v_states);

        for (size_t k = 0; k < 4; ++k)
        {
            auto& filter = owners[k]->damping_filters[k % 2];
            filter.reset (states[k]);
            filter.snapToZero(); // a decaying feedback path would otherwise end up on denormals
        }

        first.write_positions[0] = first.write_positions[1] = first_write;
        second.write_positions[0] = second.write_positions[1] = second_write;

        if (! second_follows_first && ! first_settled)
            first.output_gain.process (Context (first_block));

        if (! second_settled)
            second.output_gain.process (Context (second_block));
    }
}

template class QuorvaneDelay<float>;

} // namespace crvl::dsp
