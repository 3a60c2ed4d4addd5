#pragma once

#include "Lfo.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_core/juce_core.h>

/** One LFO as a modulation source: the five table shapes of `lfo`, "RANDOM"
    (a value drawn at each wrap of the cycle and held) and "SMOOTH RANDOM" (a linear glide
    to each new value). Output channel 0 is the signal in -1..1, channel 1 is
    1 - clamp (signal, 0, 1). Converts no parameter values: the owner writes `wave` and
    the rate (set_rate) once per block, before `process`.
    Audio thread only; prepare before process. */
class QuorvaneLFO
{
public:
    /** `wave` values past the five tables. */
    enum RandomShape { random_shape = 5, smooth_random_shape = 6 };

    /** The framework's linear SmoothedValue, plus a way to change the glide length without
        touching a glide in progress: that glide runs on to its end with its own step, and
        the new length applies from the next glide on. The owner sets the length each block
        with set_glide_length, not with the framework's reset (int), which also sets the
        length but ends the glide at once. */
    struct GlideSmoother : juce::SmoothedValue<float, juce::ValueSmoothingTypes::Linear>
    {
        /** Glide length in samples of the next glide; 0 or less makes the next new value a jump. */
        void set_glide_length (int num_samples) noexcept;

        /** The length most recently set with set_glide_length. */
        int get_glide_length() const noexcept { return glide_length; }

    private:
        int glide_length = 0;
    };

    QuorvaneLFO() = default;

    /** Sizes the output for the block size and restarts the cycle at the new rate; the
        wave and the rate carry over. */
    void prepare (double new_sample_rate, int maximum_block_size);

    /** The rate of every shape in hertz: the tables' frequency, and one cycle's glide for
        SMOOTH RANDOM, from the next glide on. */
    void set_rate (float rate_hz) noexcept;

    /** Fills the first num_samples samples of both output channels. */
    void process (int num_samples) noexcept;

    /** For a block whose output nobody reads: leaves every field as process would, but
        output, which it may leave as it was. */
    void skip (int num_samples) noexcept;

    /** first and second each process (if read) or skip num_samples, their phases moved
        in one loop. */
    static void run_pair (QuorvaneLFO& first, bool first_is_read, QuorvaneLFO& second, bool second_is_read,
                          int num_samples) noexcept;

    //==============================================================================

    juce::AudioBuffer<float> output;      ///< channel 0 signal, channel 1 inverted signal
    crvl::dsp::Lfo<float> lfo;            ///< phase and tables; the owner writes lfo.frequency
    int wave = 0;                         ///< 0..4 tables, 5 RANDOM, 6 SMOOTH RANDOM
    float last_phase = 1.0f;              ///< phase of the previous sample; above the current one at a wrap
    juce::Random random;                  ///< seeded randomly at construction, never reseeded
    GlideSmoother random_smoother;        ///< SMOOTH RANDOM glide; current = target = 0, length 0
    float sample_rate = 44100.0f;         ///< Hz, set by prepare; the owner reads it
    float glide_rate = 1.0f;              ///< Hz; prepare derives the glide length from it
    float held_value = 0.0f;              ///< the last random value drawn

private:
    float draw_random_value() noexcept;

    /** process or skip after the phases of the block are in place. */
    void render_or_follow (bool is_read, int num_samples) noexcept;
    void render (int num_samples) noexcept;
    int cycle_length (float rate_hz) const noexcept;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuorvaneLFO)
};
