#pragma once

#include <juce_dsp/juce_dsp.h>

namespace crvl::dsp
{

/** A wave shaper with a plain function pointer, as juce::dsp::WaveShaper, that evaluates
    the functions it knows (soft_clip, hard_clip, tanhf, sinf) over the whole block in SIMD,
    with the widest instruction set the processor has (AVX2, SSE4, SSSE3, else one lane at
    a time). The vector tanh and sin are within a few units in the last place of the
    library's; soft_clip and hard_clip take the same steps as the scalar functions, but for
    x^3 as two products instead of powf. Any other function is called once per sample.
    x86-64 only (the processor's feature bits choose the set).
    Audio thread only. */
class BlockShaper
{
public:
    /** x + x^3 / -6, with x^3 as powf (x, 3): the bare cubic, no clamp. */
    static float soft_clip (float x) noexcept;

    /** -1 at or below -1, else the smaller of 1 and x. */
    static float hard_clip (float x) noexcept;

    void prepare (const juce::dsp::ProcessSpec&) noexcept {}
    void reset() noexcept {}

    /** Replaces every sample x of every channel by functionToUse (x). */
    void process (const juce::dsp::ProcessContextReplacing<float>& context) const noexcept;

    /** Replaces each of the n values by function (x): in SIMD for a function this class
        knows, otherwise one call per value. */
    static void apply (float (*function) (float), float* values, size_t n) noexcept;

    /** The instruction sets this processor runs the shapes with, widest first (the first
        is used unless use_instruction_set says otherwise): "AVX2", "SSE4", "SSSE3", "SCALAR". */
    static int num_instruction_sets() noexcept;
    static const char* instruction_set (int index) noexcept;

    /** From now on, the set at `index` of those (for checking each); any other index the widest. */
    static void use_instruction_set (int index) noexcept;

    float (*functionToUse) (float) = nullptr;
};

} // namespace crvl::dsp
