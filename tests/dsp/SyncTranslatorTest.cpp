#include "SyncTranslator.h"

#include <gtest/gtest.h>

#include <climits>

using crvl::dsp::SyncTranslator;

TEST (SyncTranslator, EveryIndexHasItsTextAndRateAndOthersNoTextAndOneCyclePerBar)
{
    // Text and rate at 120 BPM of each index: dotted 1.5 x, triplet 0.75 x the straight note.
    const struct { const char* text; float hz_at_120; } table[] {
        { "8 BARS", 0.0625f }, { "4 BARS", 0.125f }, { "2 BARS", 0.25f }, { "1 BAR", 0.5f },
        { "1/2D", 1.5f },      { "1/2", 1.0f },      { "1/2T", 0.75f },
        { "1/4D", 3.0f },      { "1/4", 2.0f },      { "1/4T", 1.5f },
        { "1/8D", 6.0f },      { "1/8", 4.0f },      { "1/8T", 3.0f },
        { "1/16D", 12.0f },    { "1/16", 8.0f },     { "1/16T", 6.0f },
        { "1/32D", 24.0f },    { "1/32", 16.0f },    { "1/32T", 12.0f },
        { "1/64D", 48.0f },    { "1/64", 32.0f },    { "1/64T", 24.0f },
        { "1/128D", 96.0f },   { "1/128", 64.0f },   { "1/128T", 48.0f },
    };
    ASSERT_EQ (std::size (table), crvl::dsp::sync_rate_multipliers.size());

    for (int i = 0; i < 25; ++i)
    {
        EXPECT_EQ (SyncTranslator::time_value_to_string (i), juce::String (table[i].text));
        EXPECT_FLOAT_EQ (SyncTranslator::synced_rate (120.0f, i), table[i].hz_at_120) << table[i].text;
    }

    for (int outside : { 25, -1, INT_MIN, INT_MAX })
    {
        EXPECT_TRUE (SyncTranslator::time_value_to_string (outside).isEmpty()) << outside;
        EXPECT_EQ (SyncTranslator::synced_rate (120.0f, outside), 0.5f) << outside;
    }
}
