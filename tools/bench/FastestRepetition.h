#pragma once

#include <algorithm>
#include <vector>

/** With --benchmark_repetitions, the fastest repetition: the least disturbed by other
    load on a shared machine. Registered as the "min" statistic. */
inline double fastest (const std::vector<double>& values)
{
    return *std::min_element (values.begin(), values.end());
}
