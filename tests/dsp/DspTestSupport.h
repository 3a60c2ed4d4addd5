#pragma once

#include <juce_dsp/juce_dsp.h>

#include <array>
#include <cmath>

/** Shared set-up of the signal-processing tests. */
namespace quorvane::test
{

/** A prepare-then-process cycle of the allocation tests: a sample rate and a maximum
    block size, from a single sample to more than the usual host maximum. */
struct PrepareCycle
{
    double sample_rate;
    int maximum_block_size;
};

inline constexpr std::array<PrepareCycle, 6> prepare_cycles { {
    { 44100.0, 512 },
    { 48000.0, 64 },
    { 96000.0, 1024 },
    { 22050.0, 1 },
    { 192000.0, 4096 },
    { 44100.0, 480 },
} };

/** Block lengths to run after preparing for `maximum`: full, one sample, empty, odd.
    A fixed array, so that looping over it inside an allocation scope allocates nothing. */
inline std::array<int, 5> block_lengths_for (int maximum)
{
    return { maximum, 1, 0, juce::jmax (1, maximum / 3), maximum };
}

/** The maths library's functions, called at run time. With a constant argument the
    compiler folds std::tanh and friends using correctly rounded arithmetic, which can
    differ in the last bit from the library that the objects call at run time; expected
    values worked from the library must therefore come from these. */
namespace runtime
{
    inline float tanh (float x)            { static float (*volatile f) (float) = ::tanhf; return f (x); }
    inline float sin (float x)             { static float (*volatile f) (float) = ::sinf; return f (x); }
    inline float exp (float x)             { static float (*volatile f) (float) = ::expf; return f (x); }
    inline float pow (float x, float y)    { static float (*volatile f) (float, float) = ::powf; return f (x, y); }
    inline double exp (double x)           { static double (*volatile f) (double) = ::exp; return f (x); }
}

inline juce::dsp::ProcessSpec stereo_spec (double sample_rate, int maximum_block_size)
{
    return { sample_rate, static_cast<juce::uint32> (maximum_block_size), 2 };
}

} // namespace quorvane::test
