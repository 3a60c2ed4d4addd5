#include "RecentResult.h"

#include <gtest/gtest.h>

#include <cmath>

TEST (RecentResult, WorksTheResultOutAgainOnlyForAnArgumentOfOtherBits)
{
    // -0 and +0 compare equal but are other bits: a function may tell them apart.
    crvl::dsp::RecentResult<float, float> recent;
    int calls = 0;
    const auto reciprocal = [&calls] (float x) { ++calls; return 1.0f / x; };

    const struct { float argument; float result; int calls; } steps[] {
        { 2.0f, 0.5f, 1 }, { 2.0f, 0.5f, 1 }, { 4.0f, 0.25f, 2 }, { 0.0f, INFINITY, 3 }, { -0.0f, -INFINITY, 4 }, { -0.0f, -INFINITY, 4 },
    };

    for (const auto& step : steps)
    {
        EXPECT_EQ (recent.get (step.argument, reciprocal), step.result) << step.argument;
        EXPECT_EQ (calls, step.calls) << step.argument;
    }

    recent.forget();
    EXPECT_EQ (recent.get (-0.0f, reciprocal), -INFINITY);
    EXPECT_EQ (calls, 5);
}
