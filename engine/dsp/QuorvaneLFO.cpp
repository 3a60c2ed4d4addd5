#include "QuorvaneLFO.h"

#include "WorkBufferCapacity.h"

void QuorvaneLFO::GlideSmoother::set_glide_length (int num_samples) noexcept
{
    // reset() is the framework's only way to set the length, and it also ends the glide in
    // progress; the current value and the countdown are put back, and reset() leaves the
    // step alone, so the glide runs on exactly as before.
    const auto value = currentValue;
    const auto remaining = countdown;

    reset (num_samples);

    currentValue = value;
    countdown = remaining;
    glide_length = num_samples;
}

int QuorvaneLFO::cycle_length (float rate_hz) const noexcept
{
    // Divided in float and truncated. A rate of 0 or NaN, or a quotient beyond the range
    // of int, would make the division or the cast undefined; it gives no glide instead.
    const float cycle_samples = rate_hz != 0.0f ? sample_rate / rate_hz : 0.0f;
    const bool fits = cycle_samples > -2147483648.0f && cycle_samples < 2147483648.0f;
    return fits ? static_cast<int> (cycle_samples) : 0;
}

void QuorvaneLFO::set_rate (float rate_hz) noexcept
{
    lfo.frequency = rate_hz;
    glide_rate = rate_hz;
    random_smoother.set_glide_length (cycle_length (rate_hz));
}

void QuorvaneLFO::prepare (double new_sample_rate, int maximum_block_size)
{
    output.setSize (2, crvl::dsp::work_buffer_capacity (maximum_block_size), false, false, false);
    output.clear();

    lfo.prepare (new_sample_rate, maximum_block_size);
    sample_rate = static_cast<float> (new_sample_rate);

    // A glide in progress was timed for the old rate: it ends at its target.
    random_smoother.set_glide_length (cycle_length (glide_rate));
    random_smoother.setCurrentAndTargetValue (random_smoother.getTargetValue());

    // So the random shapes draw a fresh value on the first sample rather than hold 0 for a cycle.
    last_phase = 1.0f;
    held_value = 0.0f;
}

float QuorvaneLFO::draw_random_value() noexcept
{
    // Uniform in [-1, 1): computed in double, rounded to float.
    return static_cast<float> (2.0 * random.nextDouble() - 1.0);
}

void QuorvaneLFO::process (int num_samples) noexcept
{
    lfo.advance (num_samples);
    render (num_samples);
}

void QuorvaneLFO::run_pair (QuorvaneLFO& first, bool first_is_read, QuorvaneLFO& second, bool second_is_read,
                            int num_samples) noexcept
{
    crvl::dsp::Lfo<float>::advance_pair (first.lfo, second.lfo, num_samples);

    for (auto [lfo, is_read] : { std::pair { &first, first_is_read }, std::pair { &second, second_is_read } })
        lfo->render_or_follow (is_read, num_samples);
}

void QuorvaneLFO::render_or_follow (bool is_read, int num_samples) noexcept
{
    // A table shape's signal follows from the phase alone, so moving the phase is all that
    // carries over. The random shapes carry their draws and glides over: they run in full.
    if (! is_read && wave >= 0 && wave < crvl::dsp::Lfo<float>::num_table_shapes)
    {
        if (num_samples > 0)
            last_phase = lfo.phase_buffer.getReadPointer (0)[num_samples - 1];

        return;
    }

    render (num_samples);
}

void QuorvaneLFO::render (int num_samples) noexcept
{
    jassert (num_samples <= output.getNumSamples());

    const auto* phases = lfo.phase_buffer.getReadPointer (0);
    auto* signal = output.getWritePointer (0);
    auto* inverted = output.getWritePointer (1);

    // The shape is fixed for the block, so the choice is made once.
    if (wave >= 0 && wave < crvl::dsp::Lfo<float>::num_table_shapes)
    {
        lfo.read_block (wave, phases, signal, num_samples);

        if (num_samples > 0)
            last_phase = phases[num_samples - 1];
    }
    else if (wave == random_shape)
    {
        for (int i = 0; i < num_samples; ++i)
        {
            if (last_phase > phases[i])
                held_value = draw_random_value();

            signal[i] = held_value;
            last_phase = phases[i];
        }
    }
    else if (wave == smooth_random_shape)
    {
        // The glide in a local copy, put back after the block: the compiler would otherwise
        // reload and store it around every sample written to the output.
        auto smoother = random_smoother;
        auto previous = last_phase;

        for (int i = 0; i < num_samples; ++i)
        {
            if (previous > phases[i])
            {
                held_value = draw_random_value();
                // A new value glides over the glide length (or jumps at length 0); the
                // value of the running target changes nothing.
                smoother.setTargetValue (held_value);
            }

            signal[i] = smoother.getNextValue();
            previous = phases[i];
        }

        random_smoother = smoother;
        last_phase = previous;
    }
    else
    {
        // The owner keeps wave in 0..6; anything else is silent rather than undefined.
        jassertfalse;

        for (int i = 0; i < num_samples; ++i)
        {
            signal[i] = 0.0f;
            last_phase = phases[i];
        }
    }

    // The envelope's inversion law, which keeps a source within 0..1, rather than -signal:
    // the whole negative half of the cycle gives 1.
    for (int i = 0; i < num_samples; ++i)
        inverted[i] = signal[i] < 0.0f ? 1.0f : 1.0f - juce::jmin (1.0f, signal[i]);
}

void QuorvaneLFO::skip (int num_samples) noexcept
{
    lfo.advance (num_samples);
    render_or_follow (false, num_samples);
}
