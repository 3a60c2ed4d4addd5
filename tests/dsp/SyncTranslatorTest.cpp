#include "SyncTranslator.h"

#include "QuorvaneAudioProcessor.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

using crvl::dsp::SyncTranslator;
using crvl::dsp::sync_rate_multipliers;

namespace
{
// The sync table: text, cycles per bar, rate at 120 BPM.
struct Row
{
    const char* text;
    float cycles_per_bar;
    float hz_at_120;
};

const Row table[] = {
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

TEST (SyncTranslator, TextOfEveryIndexAndEmptyOutsideTheTable)
{
    ASSERT_EQ (std::size (table), sync_rate_multipliers.size());

    for (int i = 0; i < 25; ++i)
        EXPECT_EQ (SyncTranslator::time_value_to_string (i), juce::String (table[i].text)) << "index " << i;

    EXPECT_EQ (SyncTranslator::time_value_to_string (3), "1 BAR");
    EXPECT_EQ (SyncTranslator::time_value_to_string (24), "1/128T");

    for (int outside : { 25, 26, -1, -25, INT_MIN, INT_MAX })
        EXPECT_TRUE (SyncTranslator::time_value_to_string (outside).isEmpty()) << "index " << outside;
}

TEST (SyncTranslator, MultipliersAreCyclesPerBarWithDottedFasterAndTripletSlower)
{
    for (size_t i = 0; i < sync_rate_multipliers.size(); ++i)
        EXPECT_EQ (sync_rate_multipliers[i], table[i].cycles_per_bar) << "index " << i;

    // From "1/2" on, groups of three: dotted = 1.5 x straight, triplet = 0.75 x straight,
    // straight rows doubling from 2 to 128.
    float straight = 2.0f;

    for (size_t group_start = 4; group_start < 25; group_start += 3, straight *= 2.0f)
    {
        SCOPED_TRACE (table[group_start + 1].text);
        EXPECT_EQ (sync_rate_multipliers[group_start + 1], straight);
        EXPECT_EQ (sync_rate_multipliers[group_start], 1.5f * straight);
        EXPECT_EQ (sync_rate_multipliers[group_start + 2], 0.75f * straight);
    }
}

TEST (SyncTranslator, RatesAt120BpmAreHalfTheMultiplier)
{
    for (int i = 0; i < 25; ++i)
        EXPECT_EQ (SyncTranslator::synced_rate (120.0f, i), table[i].hz_at_120) << table[i].text;

    EXPECT_EQ (SyncTranslator::synced_rate (120.0f, 3), 0.5f);
    EXPECT_EQ (SyncTranslator::synced_rate (120.0f, 8), 2.0f);
    EXPECT_EQ (SyncTranslator::synced_rate (120.0f, 0), 0.0625f);
    EXPECT_EQ (SyncTranslator::synced_rate (120.0f, 22), 96.0f);

    // A dotted half is faster than a half, a half triplet slower.
    EXPECT_EQ (SyncTranslator::synced_rate (120.0f, 4), 1.5f);
    EXPECT_EQ (SyncTranslator::synced_rate (120.0f, 5), 1.0f);
    EXPECT_EQ (SyncTranslator::synced_rate (120.0f, 6), 0.75f);
}

TEST (SyncTranslator, IndexOutsideTheTableGivesOneCyclePerBar)
{
    for (int outside : { 25, 100, -1, INT_MIN })
    {
        EXPECT_EQ (SyncTranslator::multiplier_for (outside), 1.0f);
        EXPECT_EQ (SyncTranslator::synced_rate (120.0f, outside), 0.5f) << "index " << outside;
    }
}

TEST (SyncTranslator, TempoFloorOf1BpmGivesEightBarsIn1920Seconds)
{
    // 60000 ms, 240000 ms, 1920000 ms, all exact in float.
    EXPECT_EQ (SyncTranslator::synced_rate (1.0f, 0), 1000.0f / 1920000.0f);
    EXPECT_FLOAT_EQ (SyncTranslator::synced_rate (1.0f, 0), 1.0f / 1920.0f);
}

TEST (SyncTranslator, RateIsComputedInSinglePrecisionInItsFixedOrder)
{
    // Worked by hand in float, step by step: at 1.8 BPM (0x3fe66666) and "1/128D" (M = 192)
    // 60000 / B = 33333.3359, x 4 = 133333.344, / 192 = 694.444519, 1000 / that = 1.43999982
    // (0x3fb851ea). B x M / 240 in float, or the whole formula in double, gives 1.44000006
    // (0x3fb851eb), so a reordered or double-precision formula fails here.
    EXPECT_EQ (SyncTranslator::synced_rate (1.8f, 22), from_bits (0x3fb851eau));
    EXPECT_NE (SyncTranslator::synced_rate (1.8f, 22), 1.8f * 192.0f / 240.0f);

    // The same at 1.8 BPM for "1/2D" (M = 3): 0x3cb851ea, against 0x3cb851eb.
    EXPECT_EQ (SyncTranslator::synced_rate (1.8f, 4), from_bits (0x3cb851eau));
}

TEST (SyncTranslator, TextsAreTheSyncedRateChoicesOfTheParameterLayout)
{
    QuorvaneAudioProcessor processor;

    for (auto* id : { "lfo1_synced_rate", "lfo2_synced_rate" })
    {
        auto* choice = dynamic_cast<juce::AudioParameterChoice*> (processor.parameter_state.getParameter (id));
        ASSERT_NE (choice, nullptr) << id;
        ASSERT_EQ (choice->choices.size(), 25) << id;

        for (int i = 0; i < 25; ++i)
            EXPECT_EQ (choice->choices[i], SyncTranslator::time_value_to_string (i)) << id << " index " << i;
    }
}
