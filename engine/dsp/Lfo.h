#pragma once

#include <juce_dsp/juce_dsp.h>

#include <memory>
#include <vector>

namespace crvl::dsp
{

/** A phase accumulator with five wave tables: sine, square, saw up, saw
    down, triangle, each 1024 points per cycle plus the end of the cycle: the start of the
    next one for the sine and the triangle, the last point again for the others. Owned by
    `QuorvaneLFO`, which writes `frequency` once per block. The tables are built by the
    constructor, never on the audio thread. Audio thread only; prepare before process.
    Instantiated for float. */
template <typename SampleType>
class Lfo
{
public:
    enum Shape { sine, square, saw_up, saw_down, triangle, num_table_shapes };

    /** Builds the five tables. */
    Lfo();

    /** Keeps the rate as a float, sizes phase_buffer to one work buffer and
        clears it, and restarts the cycle at phase 0. */
    void prepare (double new_sample_rate, int maximum_block_size);

    /** Writes the phase of each of the next num_samples samples into phase_buffer (the
        value before each step) and advances the phase, one subtraction of 1 per wrap.
        The increment frequency / sample_rate is taken once per block. */
    void advance (int num_samples) noexcept;

    /** first.advance (num_samples) and second.advance (num_samples) in one loop. */
    static void advance_pair (Lfo& first, Lfo& second, int num_samples) noexcept;

    /** Table `shape` (0..4) at `phase_value`: index = 1024 x clamp (phase, 0, 1) through
        index_range, then the table's linear interpolation. */
    SampleType read (int shape, SampleType phase_value) const noexcept;

    /** destination[i] = read (shape, phases[i]) for the first num_samples samples; the
        destination must not overlap the phases. */
    void read_block (int shape, const SampleType* phases, SampleType* destination, int num_samples) const noexcept;

    //==============================================================================

    std::vector<std::unique_ptr<juce::dsp::LookupTable<SampleType>>> tables; ///< by shape 0..4
    SampleType phase = 0;             ///< 0 <= phase < 1
    SampleType frequency = 1;         ///< Hz, written by the owner
    SampleType sample_rate = 44100;   ///< Hz, set by prepare
    juce::AudioBuffer<SampleType> phase_buffer; ///< phase of each sample of the block
    juce::NormalisableRange<SampleType> index_range { 0, SampleType (table_points) }; ///< phase -> index

    //==============================================================================
    /** Points of each table's cycle; entry table_points is the end of the cycle. */
    static constexpr size_t table_points = 1024;

private:
    /** frequency / sample_rate, or 0 where that is not a finite number. */
    SampleType block_increment() const noexcept;

    // Each table's entries 0..table_points and the one after, in one flat copy: a block's
    // reads then need no range or table object per sample.
    static constexpr size_t entries_per_table = table_points + 2;
    std::vector<SampleType> flat_entries;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Lfo)
};

extern template class Lfo<float>;

} // namespace crvl::dsp
