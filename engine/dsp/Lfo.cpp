#include "Lfo.h"

#include "WorkBufferCapacity.h"

#include <cmath>

namespace crvl::dsp
{

namespace
{
    // The generators, entry i = 0..1023. 1/1024 and 1/512 are float
    // constants; the doubling and the subtraction of 1 are done in double.
    constexpr float one_over_1024 = 0.0009765625f;
    constexpr float one_over_512 = 0.001953125f;
    constexpr float sine_step = 0.0061359233f; // 2 pi / 1024 as a float

    float sine_entry (size_t i)     { return std::sin (static_cast<float> (i) * sine_step); }
    float square_entry (size_t i)   { return i < 512 ? -1.0f : 1.0f; }
    float saw_up_entry (size_t i)   { return static_cast<float> (2.0 * static_cast<double> (static_cast<float> (i) * one_over_1024) - 1.0); }
    float saw_down_entry (size_t i) { return static_cast<float> (2.0 * static_cast<double> (1.0f - static_cast<float> (i) * one_over_1024) - 1.0); }

    float triangle_entry (size_t i)
    {
        if (i < 512)
            return static_cast<float> (2.0 * static_cast<double> (static_cast<float> (i) * one_over_512) - 1.0);

        return static_cast<float> (2.0 * static_cast<double> (1.0f - static_cast<float> (i - 512) * one_over_512) - 1.0);
    }
}

template <typename SampleType>
Lfo<SampleType>::Lfo()
{
    // The point after the last one is the end of the cycle. The continuous shapes lead
    // there into the start of the next cycle; holding the last value and jumping at the
    // wrap would click once per cycle. The saw's and the square's fall is their jump.
    const auto point_after = [] (float (*generator) (size_t), size_t i)
    {
        const auto continuous = generator == sine_entry || generator == triangle_entry;
        return i < table_points ? generator (i) : generator (continuous ? 0 : table_points - 1);
    };

    for (auto* generator : { sine_entry, square_entry, saw_up_entry, saw_down_entry, triangle_entry })
        tables.push_back (std::make_unique<juce::dsp::LookupTable<SampleType>> (
            [generator, point_after] (size_t i) { return static_cast<SampleType> (point_after (generator, i)); },
            table_points + 1));

    // A whole index reads its entry exactly (its neighbour weighted by 0); the last entry
    // repeats the one before, as the tables' own guard does.
    for (const auto& table : tables)
    {
        for (size_t i = 0; i <= table_points; ++i)
            flat_entries.push_back (table->getUnchecked (static_cast<SampleType> (i)));

        flat_entries.push_back (flat_entries.back());
    }
}

template <typename SampleType>
void Lfo<SampleType>::prepare (double new_sample_rate, int maximum_block_size)
{
    sample_rate = static_cast<SampleType> (new_sample_rate);
    phase_buffer.setSize (1, work_buffer_capacity (maximum_block_size), false, false, false);
    phase = 0;
    phase_buffer.clear();
}

template <typename SampleType>
SampleType Lfo<SampleType>::block_increment() const noexcept
{
    const auto increment = frequency / sample_rate;

    // Guard: an increment that is not finite (a NaN or infinite frequency) would leave the
    // phase NaN or infinite for good, and a NaN phase makes the table index NaN, whose cast
    // to an integer is undefined. Such a block holds the phase instead; any finite rate
    // gives a finite increment, so finite results are untouched.
    return std::isfinite (increment) ? increment : SampleType (0);
}

template <typename SampleType>
void Lfo<SampleType>::advance (int num_samples) noexcept
{
    jassert (num_samples <= phase_buffer.getNumSamples());

    const auto increment = block_increment();
    auto* phases = phase_buffer.getWritePointer (0);

    // In a local: kept in the member, the phase would make a round trip through memory on
    // every sample, since the compiler must assume the buffer's stores could change it.
    auto running = phase;

    for (int i = 0; i < num_samples; ++i)
    {
        phases[i] = running;
        running += increment;

        if (running >= SampleType (1))
            running -= SampleType (1);
    }

    phase = running;
}

template <typename SampleType>
void Lfo<SampleType>::advance_pair (Lfo& first, Lfo& second, int num_samples) noexcept
{
    jassert (num_samples <= first.phase_buffer.getNumSamples() && num_samples <= second.phase_buffer.getNumSamples());

    // advance for each, in one loop: the two accumulations wait on their additions side by side.
    const auto first_increment = first.block_increment(), second_increment = second.block_increment();
    auto* first_phases = first.phase_buffer.getWritePointer (0);
    auto* second_phases = second.phase_buffer.getWritePointer (0);
    auto first_running = first.phase, second_running = second.phase;

    for (int i = 0; i < num_samples; ++i)
    {
        first_phases[i] = first_running;
        second_phases[i] = second_running;
        first_running += first_increment;
        second_running += second_increment;

        if (first_running >= SampleType (1))
            first_running -= SampleType (1);

        if (second_running >= SampleType (1))
            second_running -= SampleType (1);
    }

    first.phase = first_running;
    second.phase = second_running;
}

template <typename SampleType>
void Lfo<SampleType>::read_block (int shape, const SampleType* phases, SampleType* __restrict destination,
                                  int num_samples) const noexcept
{
    jassert (shape >= 0 && shape < num_table_shapes);

    // read()'s steps without a branch: the range's 0 + 1024 x clamp (phase, 0, 1), the end
    // of the cycle for a phase of 1 or more (or NaN), then the table's interpolation.
    const auto* entries = flat_entries.data() + static_cast<size_t> (shape) * entries_per_table;
    const auto end = static_cast<SampleType> (table_points);

    for (int i = 0; i < num_samples; ++i)
    {
        const auto p = phases[i];
        const auto index = p < SampleType (1) ? SampleType (0) + end * (p < SampleType (0) ? SampleType (0) : p) : end;
        const auto whole = static_cast<int> (index);
        const auto fraction = index - static_cast<SampleType> (whole);
        destination[i] = entries[whole] + fraction * (entries[whole + 1] - entries[whole]);
    }
}

template <typename SampleType>
SampleType Lfo<SampleType>::read (int shape, SampleType phase_value) const noexcept
{
    jassert (shape >= 0 && shape < num_table_shapes);

    // Guard: a NaN phase (only if the owner writes one into `phase`) would make the index
    // NaN, whose cast to an integer is undefined. It reads the end of the cycle, as a phase
    // of 1 or more (a rate at or above the sample rate) does.
    const auto index = phase_value < SampleType (1) ? index_range.convertFrom0to1 (phase_value)
                                                    : SampleType (table_points);

    return tables[static_cast<size_t> (shape)]->get (index);
}

template class Lfo<float>;

} // namespace crvl::dsp
