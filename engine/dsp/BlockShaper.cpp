// Compiled once per instruction set by Highway's foreach_target, which includes this file
// again for each. The dispatch is this file's own, from the processor's feature bits, so
// that the plug-in needs only Highway's headers and no library of it at run time.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "BlockShaper.cpp"

// AVX2 is the widest kept: AVX-512 would lower the clock of the host's other threads.
#ifndef HWY_DISABLED_TARGETS
 #define HWY_DISABLED_TARGETS (HWY_AVX3 | HWY_AVX3_DL)
#endif

#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>
#include <hwy/contrib/math/math-inl.h>

#include <cmath>

HWY_BEFORE_NAMESPACE();
namespace crvl::dsp::HWY_NAMESPACE
{
namespace hn = hwy::HWY_NAMESPACE;

enum Shape : int { soft_clip_shape, hard_clip_shape, tanh_shape, sin_shape };

// The vector sin holds its error bound within +-39000; a block that leaves that range
// (far beyond any gain of the distortion) goes through the library one value at a time.
constexpr float sin_range = 39000.0f;

template <class D, class V>
HWY_INLINE V shape_vector (D d, int shape, V x)
{
    switch (shape)
    {
        case soft_clip_shape:
            return hn::Add (x, hn::Div (hn::Mul (hn::Mul (x, x), x), hn::Set (d, -6.0f)));
        case hard_clip_shape:
        {
            const auto one = hn::Set (d, 1.0f), minus_one = hn::Set (d, -1.0f);
            const auto upper = hn::IfThenElse (hn::Lt (x, one), x, one);
            return hn::IfThenElse (hn::Le (x, minus_one), minus_one, upper);
        }
        case tanh_shape:
            return hn::Tanh (d, x);
        default:
            return hn::Sin (d, x);
    }
}

// Internal to this file: the dispatch below takes their addresses.
static void ShapeBlock (int shape, float* HWY_RESTRICT values, size_t n)
{
    const hn::ScalableTag<float> d;
    const size_t lanes = hn::Lanes (d);
    size_t i = 0;

    for (; i + lanes <= n; i += lanes)
        hn::StoreU (shape_vector (d, shape, hn::LoadU (d, values + i)), d, values + i);

    // The tail, in a full vector of its own: loads past n would read another buffer.
    if (i < n)
    {
        HWY_ALIGN float tail[hn::MaxLanes (d)] = {};

        for (size_t k = i; k < n; ++k)
            tail[k - i] = values[k];

        hn::Store (shape_vector (d, shape, hn::Load (d, tail)), d, tail);

        for (size_t k = i; k < n; ++k)
            values[k] = tail[k - i];
    }
}

static float LargestMagnitude (const float* HWY_RESTRICT values, size_t n)
{
    const hn::ScalableTag<float> d;
    const size_t lanes = hn::Lanes (d);
    auto largest = hn::Zero (d);
    size_t i = 0;

    for (; i + lanes <= n; i += lanes)
        largest = hn::Max (largest, hn::Abs (hn::LoadU (d, values + i)));

    auto result = hn::GetLane (hn::MaxOfLanes (d, largest));

    for (; i < n; ++i)
        result = std::max (result, std::abs (values[i]));

    return result;
}
} // namespace crvl::dsp::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE

#include "BlockShaper.h"

#include <atomic>
#include <cpuid.h>

namespace crvl::dsp
{
namespace
{
struct Kernels
{
    const char* name;
    void (*shape) (int, float*, size_t);
    float (*largest_magnitude) (const float*, size_t);
};

// Each instruction set compiled in above the baseline, widest first, with the features its code may use
// (Highway's own list for the set); scalar code runs anywhere.
bool has_f16c() noexcept
{
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    return __get_cpuid (1, &eax, &ebx, &ecx, &edx) != 0 && (ecx & bit_F16C) != 0;
}

struct Available
{
    Available() noexcept
    {
        __builtin_cpu_init();
        const auto sse4 = __builtin_cpu_supports ("ssse3") && __builtin_cpu_supports ("sse4.1") && __builtin_cpu_supports ("sse4.2")
                       && __builtin_cpu_supports ("pclmul") && __builtin_cpu_supports ("aes");

       #if HWY_TARGETS & HWY_AVX2
        if (sse4 && __builtin_cpu_supports ("avx") && __builtin_cpu_supports ("avx2") && __builtin_cpu_supports ("bmi")
            && __builtin_cpu_supports ("bmi2") && __builtin_cpu_supports ("fma") && has_f16c())
            kernels[count++] = { "AVX2", N_AVX2::ShapeBlock, N_AVX2::LargestMagnitude };
       #endif
       #if HWY_TARGETS & HWY_SSE4
        if (sse4)
            kernels[count++] = { "SSE4", N_SSE4::ShapeBlock, N_SSE4::LargestMagnitude };
       #endif
       #if HWY_TARGETS & HWY_SSSE3
        if (__builtin_cpu_supports ("ssse3"))
            kernels[count++] = { "SSSE3", N_SSSE3::ShapeBlock, N_SSSE3::LargestMagnitude };
       #endif
        // The compiler's baseline set: one lane at a time (or Highway's portable emulation).
        kernels[count++] = { "SCALAR", HWY_NAMESPACE::ShapeBlock, HWY_NAMESPACE::LargestMagnitude };
    }

    Kernels kernels[4] {};
    int count = 0;
};

const Available& available() noexcept
{
    static const Available sets;
    return sets;
}

std::atomic<int> chosen { 0 };

const Kernels& kernels() noexcept
{
    return available().kernels[chosen.load (std::memory_order_relaxed)];
}
} // namespace

int BlockShaper::num_instruction_sets() noexcept
{
    return available().count;
}

const char* BlockShaper::instruction_set (int index) noexcept
{
    return index >= 0 && index < num_instruction_sets() ? available().kernels[index].name : "";
}

void BlockShaper::use_instruction_set (int index) noexcept
{
    chosen.store (index >= 0 && index < num_instruction_sets() ? index : 0, std::memory_order_relaxed);
}

float BlockShaper::soft_clip (float x) noexcept
{
    return x + ::powf (x, 3.0f) / -6.0f;
}

float BlockShaper::hard_clip (float x) noexcept
{
    return x <= -1.0f ? -1.0f : juce::jmin (1.0f, x);
}

void BlockShaper::apply (float (*function) (float), float* values, size_t n) noexcept
{
    using namespace HWY_NAMESPACE;

    int shape = -1;

    if (function == soft_clip)
        shape = soft_clip_shape;
    else if (function == hard_clip)
        shape = hard_clip_shape;
    else if (function == ::tanhf)
        shape = tanh_shape;
    else if (function == ::sinf && ! (kernels().largest_magnitude (values, n) <= sin_range))
        shape = -1; // out of the vector sin's range, or not a number
    else if (function == ::sinf)
        shape = sin_shape;

    if (shape >= 0)
    {
        kernels().shape (shape, values, n);
        return;
    }

    if (function != nullptr)
        for (size_t i = 0; i < n; ++i)
            values[i] = function (values[i]);
}

void BlockShaper::process (const juce::dsp::ProcessContextReplacing<float>& context) const noexcept
{
    const auto& block = context.getOutputBlock();

    for (size_t channel = 0; channel < block.getNumChannels(); ++channel)
        apply (functionToUse, block.getChannelPointer (channel), block.getNumSamples());
}
} // namespace crvl::dsp

#endif // HWY_ONCE
