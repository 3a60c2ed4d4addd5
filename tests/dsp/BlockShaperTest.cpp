#include "BlockShaper.h"

#include <gtest/gtest.h>
#include <juce_dsp/juce_dsp.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace
{
using Shaper = crvl::dsp::BlockShaper;

// Called at run time: constant folding may differ from the library in the last bit.
float tanh_by_library (float x) { static float (*volatile f) (float) = ::tanhf; return f (x); }
float sin_by_library (float x) { static float (*volatile f) (float) = ::sinf; return f (x); }
float soft_clip_by_library (float x) { return x + std::pow (x, 3.0f) / -6.0f; }
float hard_clip_by_hand (float x) { return x <= -1.0f ? -1.0f : (x < 1.0f ? x : 1.0f); }
float doubled (float x) { return 2.0f * x; }
} // namespace

TEST (BlockShaper, EachKnownShapeStaysWithinAFewUnitsInTheLastPlaceOfTheLibrary)
{
    // Values from -60 to 60, in a count that leaves a tail shorter than a vector. The error
    // is relative to the larger of 1 and the value, and for the cubic to x^3 / 6, whose
    // last place the sum x + x^3 / -6 inherits.
    const struct { const char* name; float (*function) (float); float (*reference) (float); float tolerance; bool cubic; } cases[] {
        { "soft clip", Shaper::soft_clip, soft_clip_by_library, 2.5e-7f, true },
        { "hard clip", Shaper::hard_clip, hard_clip_by_hand, 0.0f, false },
        { "tanh", ::tanhf, tanh_by_library, 4.0e-7f, false },
        { "sin", ::sinf, sin_by_library, 4.0e-7f, false },
        { "unknown: per sample", doubled, doubled, 0.0f, false },
    };

    std::vector<float> inputs;
    for (int i = 0; i < 12007; ++i)
        inputs.push_back (-60.0f + 120.0f * static_cast<float> (i) / 12006.0f);
    inputs.insert (inputs.end(), { -1.0f, 1.0f, 0.0f, -0.0f, 1.0e-30f, 0.4f, 0.2f });

    // Every instruction set compiled in that this processor has, not only the widest.
    for (int set = 0; set < Shaper::num_instruction_sets(); ++set)
    {
        SCOPED_TRACE (Shaper::instruction_set (set));
        Shaper::use_instruction_set (set);

        for (const auto& c : cases)
        {
            SCOPED_TRACE (c.name);
            auto values = inputs;
            Shaper::apply (c.function, values.data(), values.size());

            for (size_t i = 0; i < values.size(); ++i)
            {
                const auto x = inputs[i];
                const auto expected = c.reference (x);
                const auto scale = std::max ({ 1.0f, std::abs (expected), c.cubic ? std::abs (x * x * x) / 6.0f : 0.0f });
                ASSERT_LE (std::abs (values[i] - expected), c.tolerance * scale) << x;
            }
        }
    }

    Shaper::use_instruction_set (0);
    EXPECT_EQ (std::string (Shaper::instruction_set (Shaper::num_instruction_sets() - 1)), "SCALAR");
}

TEST (BlockShaper, SinBeyondItsVectorRangeAndNotANumberGoThroughTheLibrary)
{
    for (const float odd : { 1.0e6f, -4.0e4f, std::numeric_limits<float>::quiet_NaN() })
    {
        std::vector<float> values (19, 0.5f);
        values[17] = odd;
        Shaper::apply (::sinf, values.data(), values.size());

        EXPECT_EQ (values[0], sin_by_library (0.5f));
        if (std::isnan (odd))
            EXPECT_TRUE (std::isnan (values[17]));
        else
            EXPECT_EQ (values[17], sin_by_library (odd));
    }
}
