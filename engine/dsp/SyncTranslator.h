#pragma once

#include <juce_core/juce_core.h>

#include <array>

namespace crvl::dsp
{

/** LFO cycles per four-beat bar for the 25 sync-rate indices. Within each
    note the order is dotted, straight, triplet: a dotted row carries 1.5 times and a
    triplet row 0.75 times the cycles of the straight row. Read only by block processing. */
inline constexpr std::array<float, 25> sync_rate_multipliers {
    0.125f, 0.25f, 0.5f, 1.0f,  // 8 BARS, 4 BARS, 2 BARS, 1 BAR
    3.0f,   2.0f,  1.5f,        // 1/2D, 1/2, 1/2T
    6.0f,   4.0f,  3.0f,        // 1/4D, 1/4, 1/4T
    12.0f,  8.0f,  6.0f,        // 1/8D, 1/8, 1/8T
    24.0f,  16.0f, 12.0f,       // 1/16D, 1/16, 1/16T
    48.0f,  32.0f, 24.0f,       // 1/32D, 1/32, 1/32T
    96.0f,  64.0f, 48.0f,       // 1/64D, 1/64, 1/64T
    192.0f, 128.0f, 96.0f       // 1/128D, 1/128, 1/128T
};

/** The 25 tempo-sync note values: their texts and the LFO rate they give at a tempo.
    No instances, no state; any thread, no lock. */
struct SyncTranslator
{
    SyncTranslator() = delete;

    /** The text of sync-rate index 0..24 ("8 BARS" .. "1/128T"); an empty string for
        any other index, negative ones included. */
    static juce::String time_value_to_string (int index);

    /** The multiplier of index 0..24 from `sync_rate_multipliers`; 1 (one cycle per bar)
        for any other index. */
    static float multiplier_for (int index) noexcept;

    /** The rate in hertz of an LFO synchronised to `bpm` at sync-rate `index`, in single
        precision and in its fixed order: beat 60000 / bpm ms, bar = beat x 4, period =
        bar / M, rate = 1000 / period. Equals bpm x M / 240 up to rounding. */
    static float synced_rate (float bpm, int index) noexcept;
};

} // namespace crvl::dsp
