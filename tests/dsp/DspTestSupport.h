#pragma once

#include "AllocationCounter.h"

#include <gtest/gtest.h>
#include <juce_dsp/juce_dsp.h>

#include <array>

namespace quorvane::test
{

/** Sample rates and maximum block sizes that prepare-then-process cycles go through. */
inline constexpr std::array<std::pair<double, int>, 6> prepare_cycles { {
    { 44100.0, 512 }, { 48000.0, 64 }, { 96000.0, 1024 }, { 22050.0, 1 }, { 192000.0, 4096 }, { 44100.0, 480 } } };

/** Full, single, empty and odd blocks; a fixed array so that looping over it allocates nothing. */
inline std::array<int, 5> block_lengths_for (int maximum) { return { maximum, 1, 0, juce::jmax (1, maximum / 3), maximum }; }

/** Prepares for every cycle, then asserts that process (n) allocates and frees nothing for every block length. */
template <typename Prepare, typename Process>
void expect_allocation_free (Prepare&& prepare, Process&& process)
{
    for (const auto& [rate, block] : prepare_cycles)
    {
        SCOPED_TRACE (testing::Message() << rate << " Hz, " << block);
        prepare (rate, block);
        ScopedAllocationCounter allocations;

        for (int n : block_lengths_for (block))
            process (n);

        EXPECT_EQ (allocations.allocations(), 0u);
        EXPECT_EQ (allocations.deallocations(), 0u);
    }
}

/** The maths library called at run time: constant folding may differ from it in the last bit. */
namespace runtime
{
    inline float tanh (float x)         { static float (*volatile f) (float) = ::tanhf; return f (x); }
    inline float sin (float x)          { static float (*volatile f) (float) = ::sinf; return f (x); }
    inline float pow (float x, float y) { static float (*volatile f) (float, float) = ::powf; return f (x, y); }
    inline double exp (double x)        { static double (*volatile f) (double) = ::exp; return f (x); }
    inline float exp (float x)          { static float (*volatile f) (float) = ::expf; return f (x); }
}

inline juce::dsp::ProcessSpec spec (double sample_rate, int block, int channels = 2)
{
    return { sample_rate, static_cast<juce::uint32> (block), static_cast<juce::uint32> (channels) };
}

} // namespace quorvane::test
