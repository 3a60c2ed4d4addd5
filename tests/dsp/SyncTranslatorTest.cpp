#include "SyncTranslator.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

using crvl::dsp::SyncTranslator;

namespace
{
// Text, cycles per bar and rate at 120 BPM of each index: dotted 1.5 x, triplet 0.75 x the straight note.
const struct { const char* text; float cycles_per_bar, hz_at_120; } table[] {
    { "8 BARS", 0.125f, 0.0625f }, { "4 BARS", 0.25f, 0.125f }, { "2 BARS", 0.5f, 0.25f }, { "1 BAR", 1.0f, 0.5f },
    { "1/2D", 3.0f, 1.5f },        { "1/2", 2.0f, 1.0f },       { "1/2T", 1.5f, 0.75f },
    { "1/4D", 6.0f, 3.0f },        { "1/4", 4.0f, 2.0f },       { "1/4T", 3.0f, 1.5f },
    { "1/8D", 12.0f, 6.0f },       { "1/8", 8.0f, 4.0f },       { "1/8T", 6.0f, 3.0f },
    { "1/16D", 24.0f, 12.0f },     { "1/16", 16.0f, 8.0f },     { "1/16T", 12.0f, 6.0f },
    { "1/32D", 48.0f, 24.0f },     { "1/32", 32.0f, 16.0f },    { "1/32T", 24.0f, 12.0f },
    { "1/64D", 96.0f, 48.0f },     { "1/64", 64.0f, 32.0f },    { "1/64T", 48.0f, 24.0f },
    { "1/128D", 192.0f, 96.0f },   { "1/128", 128.0f, 64.0f },  { "1/128T", 96.0f, 48.0f },
};

float from_bits (std::uint32_t bits)
{
    float value;
    std::memcpy (&value, &bits, sizeof value);
    return value;
}
} // namespace

TEST (SyncTranslator, EveryIndexHasItsTextMultiplierAndRate)
{
    ASSERT_EQ (std::size (table), crvl::dsp::sync_rate_multipliers.size());

    for (int i = 0; i < 25; ++i)
    {
        SCOPED_TRACE (table[i].text);
        EXPECT_EQ (SyncTranslator::time_value_to_string (i), juce::String (table[i].text));
        EXPECT_EQ (SyncTranslator::multiplier_for (i), table[i].cycles_per_bar);
        EXPECT_EQ (SyncTranslator::synced_rate (120.0f, i), table[i].hz_at_120);
    }
}

TEST (SyncTranslator, IndexOutsideTheTableHasNoTextAndOneCyclePerBar)
{
    for (int outside : { 25, 26, -1, -25, INT_MIN, INT_MAX })
    {
        EXPECT_TRUE (SyncTranslator::time_value_to_string (outside).isEmpty()) << outside;
        EXPECT_EQ (SyncTranslator::synced_rate (120.0f, outside), 0.5f) << outside;
    }
}

TEST (SyncTranslator, RateIsComputedInSinglePrecisionInItsFixedOrder)
{
    // 1 BPM, 8 bars: 60000, 240000 and 1920000 ms, all exact.
    EXPECT_EQ (SyncTranslator::synced_rate (1.0f, 0), 1000.0f / 1920000.0f);

    // At 1.8 BPM beat, bar, period and rate in float give 0x...1ea; B x M / 240, or double, 0x...1eb.
    EXPECT_EQ (SyncTranslator::synced_rate (1.8f, 22), from_bits (0x3fb851eau));
    EXPECT_EQ (SyncTranslator::synced_rate (1.8f, 4), from_bits (0x3cb851eau));
}
