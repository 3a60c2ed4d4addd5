#include "QuorvaneDistortion.h"

#include <cmath>

QuorvaneDistortion::QuorvaneDistortion()
{
    init_engines();
}

void QuorvaneDistortion::init_engines()
{
    // Soft clip is the bare cubic, with no clamp: beyond |x| = sqrt (2) it turns back.
    engines[0].get<shaper_stage>().functionToUse = crvl::dsp::BlockShaper::soft_clip;
    engines[1].get<shaper_stage>().functionToUse = crvl::dsp::BlockShaper::hard_clip;
    engines[2].get<shaper_stage>().functionToUse = ::tanhf;
    engines[3].get<shaper_stage>().functionToUse = ::sinf;

    // start, end, interval, skew: the gain factor at drive d is start + (end - start) x d^(1/skew).
    drive_ranges[0] = juce::NormalisableRange<float> (1.0f, 2.0f, 0.001f, 1.0f);
    drive_ranges[1] = juce::NormalisableRange<float> (1.0f, 9.0f, 0.01f, 0.5f);
    drive_ranges[2] = juce::NormalisableRange<float> (1.0f, 20.0f, 0.1f, 0.5f);
    drive_ranges[3] = juce::NormalisableRange<float> (1.0f, 20.0f, 0.1f, 0.5f);

    for (auto& gain : gains_at_drive)
        gain.forget();
}

void QuorvaneDistortion::prepare (const juce::dsp::ProcessSpec& spec)
{
    constexpr std::array<float, 4> biases { 0.0f, 0.0f, overdrive_bias, foldover_bias };

    for (size_t i = 0; i < engines.size(); ++i)
    {
        auto& engine = engines[i];

        // Bias ramps are 0 s, so each bias takes its value at once.
        engine.get<bias_stage>().setBias (biases[i]);

        // Silence leaves the shaper as f (bias) at any drive. Taken off before the high-pass,
        // that constant never sets the filter ringing, which a 5 Hz filter would take seconds
        // to settle; a real signal keeps the asymmetry the bias gives it.
        auto& high_pass = engine.get<high_pass_stage>();
        high_pass.frequency = high_pass_hz;
        // Worked out as a block is, so that it is exactly what silence gives.
        auto offset = biases[i];
        crvl::dsp::BlockShaper::apply (engine.get<shaper_stage>().functionToUse, &offset, 1);
        high_pass.offset = offset;

        engine.prepare (spec);
        engine.reset();
    }
}

QuorvaneDistortion::Engine& QuorvaneDistortion::engine_at_drive() noexcept
{
    // "distortion_type" is a four-way choice, so type always names an engine.
    jassert (type >= 0 && type < static_cast<int> (engines.size()));

    const auto index = static_cast<size_t> (type);
    auto& engine = engines[index];
    const auto& range = drive_ranges[index];

    // The gain ramp is 0 s: the gain jumps to g.
    engine.get<gain_stage>().setGainLinear (gains_at_drive[index].get (drive, [&range] (float d) { return range.convertFrom0to1 (d); }));
    return engine;
}

void QuorvaneDistortion::process (const juce::dsp::ProcessContextReplacing<float>& context) noexcept
{
    auto& engine = engine_at_drive();

    // An empty block still sets the gain, but processes nothing: the chain's state could
    // not change (its filters snapped their states at the end of the last block).
    if (context.getOutputBlock().getNumSamples() == 0)
        return;

    engine.process (context);
}

void QuorvaneDistortion::process (const juce::dsp::ProcessContextReplacing<float>& context, float following_gain,
                                  crvl::dsp::PreciseHighPass& following) noexcept
{
    if (context.getOutputBlock().getNumSamples() == 0)
    {
        process (context);
        context.getOutputBlock().multiplyBy (following_gain);
        following.process (context);
        return;
    }

    auto& engine = engine_at_drive();
    engine.get<gain_stage>().process (context);
    engine.get<bias_stage>().process (context);
    engine.get<shaper_stage>().process (context);
    crvl::dsp::PreciseHighPass::process_cascade (engine.get<high_pass_stage>(), following_gain, following, context);
}
