#include "SyncTranslator.h"

namespace crvl::dsp
{

namespace
{
    // Same order as sync_rate_multipliers and as the synced-rate choice list.
    constexpr std::array<const char*, sync_rate_multipliers.size()> sync_rate_texts {
        "8 BARS", "4 BARS", "2 BARS", "1 BAR",
        "1/2D",   "1/2",    "1/2T",
        "1/4D",   "1/4",    "1/4T",
        "1/8D",   "1/8",    "1/8T",
        "1/16D",  "1/16",   "1/16T",
        "1/32D",  "1/32",   "1/32T",
        "1/64D",  "1/64",   "1/64T",
        "1/128D", "1/128",  "1/128T"
    };

    constexpr bool is_valid_index (int index) noexcept
    {
        return index >= 0 && index < static_cast<int> (sync_rate_multipliers.size());
    }
}

juce::String SyncTranslator::time_value_to_string (int index)
{
    if (! is_valid_index (index))
        return {};

    return sync_rate_texts[static_cast<size_t> (index)];
}

float SyncTranslator::multiplier_for (int index) noexcept
{
    return is_valid_index (index) ? sync_rate_multipliers[static_cast<size_t> (index)] : 1.0f;
}

float SyncTranslator::synced_rate (float bpm, int index) noexcept
{
    const float multiplier = multiplier_for (index);
    const float beat_ms = 60000.0f / bpm;
    const float bar_ms = beat_ms * 4.0f;
    const float period_ms = bar_ms / multiplier;
    return 1000.0f / period_ms;
}

} // namespace crvl::dsp
