// The signal path heard through the built bundle: impulses tell the seven routings apart,
// the dry/wet law and its ramp, the host tempo driving a synced LFO, and the bypass.

#include "TestBundle.h"

#include <gtest/gtest.h>

namespace
{
constexpr double rate = 48000.0;
constexpr int settle = 4096;   // past every 60 ms ramp at 48 kHz
constexpr int delay1_at = 480; // 10 ms
constexpr int delay2_at = 1200; // 25 ms
constexpr float echo_threshold = 0.05f;

void set (HostedPlugin& plugin, std::initializer_list<std::pair<const char*, double>> values)
{
    for (const auto& [id, value] : values)
    {
        auto* parameter = plugin.find_parameter (id);
        ASSERT_NE (parameter, nullptr) << id;
        ASSERT_TRUE (parameter->set_value (value).wasOk()) << id << " = " << value;
    }
}

juce::AudioBuffer<float> render (HostedPlugin& plugin, juce::AudioBuffer<float> buffer)
{
    EXPECT_TRUE (plugin.process (buffer).wasOk());
    return buffer;
}

juce::AudioBuffer<float> silence (int length)
{
    juce::AudioBuffer<float> buffer (2, length);
    buffer.clear();
    return buffer;
}

juce::AudioBuffer<float> impulse (int length, float amplitude = 0.5f)
{
    auto buffer = silence (length);
    buffer.setSample (0, 0, amplitude);
    buffer.setSample (1, 0, amplitude);
    return buffer;
}

// Two single-echo delays, wet only, unity gains; hard clip at drive 0 is linear below 1.
std::unique_ptr<HostedPlugin> echo_rig (int mix_mode)
{
    auto plugin = TestBundle::load (rate);
    if (plugin == nullptr)
        return nullptr;

    set (*plugin, { { "delay1_time", 10.0 }, { "delay2_time", 25.0 }, { "delay1_feed", 0.0 }, { "delay2_feed", 0.0 },
                    { "delay1_amp", 0.0 }, { "delay2_amp", 0.0 }, { "master_amp", 0.0 }, { "master_dry_wet", 100.0 },
                    { "distortion_type", 1.0 }, { "mix_mode", (double) mix_mode } });

    render (*plugin, silence (settle));
    return plugin;
}

// Where a channel carries an echo: sample positions above the threshold.
std::vector<int> echoes (const juce::AudioBuffer<float>& buffer, int channel)
{
    std::vector<int> positions;
    for (int i = 0; i < buffer.getNumSamples(); ++i)
        if (std::abs (buffer.getSample (channel, i)) > echo_threshold)
            positions.push_back (i);
    return positions;
}
} // namespace

TEST (SignalPathEndToEnd, EachRoutingPlacesTheEchoesOfItsDelaysParallelIsTheirMeanAndBypassPassesTheInput)
{
    using Positions = std::vector<int>;
    const struct { int mix_mode; Positions left, right; } routings[] = {
        { 0, { delay1_at, delay2_at }, { delay1_at, delay2_at } },   // parallel
        { 1, { delay1_at + delay2_at }, { delay1_at + delay2_at } }, // serial
        { 2, { delay1_at + delay2_at }, { delay1_at + delay2_at } }, // reverse serial
        { 3, { delay1_at }, { delay1_at } },                         // solo 1
        { 4, { delay2_at }, { delay2_at } },                         // solo 2
        { 5, { delay1_at }, { delay2_at } },                         // stereo split
        { 6, { delay2_at }, { delay1_at } },                         // reverse stereo split
    };
    std::vector<juce::AudioBuffer<float>> outputs;

    for (const auto& routing : routings)
    {
        SCOPED_TRACE ("mix_mode " + std::to_string (routing.mix_mode));
        auto plugin = echo_rig (routing.mix_mode);
        ASSERT_NE (plugin, nullptr);
        outputs.push_back (render (*plugin, impulse (4000)));
        EXPECT_EQ (echoes (outputs.back(), 0), routing.left);
        EXPECT_EQ (echoes (outputs.back(), 1), routing.right);

        // Bypassed, whatever the routing, the input passes untouched.
        set (*plugin, { { HostedPlugin::bypass_id, 1.0 } });
        render (*plugin, silence (512));
        const auto in = impulse (4000, 0.3f), out = render (*plugin, in);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < in.getNumSamples(); ++i)
                ASSERT_EQ (out.getSample (c, i), in.getSample (c, i)) << c << ":" << i;
    }

    EXPECT_NEAR (outputs[0].getSample (0, delay1_at), 0.5f * outputs[3].getSample (0, delay1_at), 2.0e-3f);
}

TEST (SignalPathEndToEnd, SwitchingRoutingBringsInTheTailTheHiddenDelayBuilt)
{
    auto plugin = echo_rig (3); // solo 1: delay 2 runs unheard
    ASSERT_NE (plugin, nullptr);
    set (*plugin, { { "delay2_feed", 90.0 }, { "delay2_damp", 18000.0 } });
    render (*plugin, silence (512));

    const auto while_solo = render (*plugin, impulse (4800));
    EXPECT_EQ (echoes (while_solo, 0), std::vector<int> { delay1_at });
    EXPECT_LT (while_solo.getMagnitude (0, delay1_at + 100, 4800 - delay1_at - 100), 0.01f) << "no trace of delay 2";

    set (*plugin, { { "mix_mode", 0.0 } });
    const auto after = render (*plugin, silence (4800));
    EXPECT_GT (after.getMagnitude (0, 0, 4800), 0.01f) << "delay 2's repeats arrive once it is heard";
}

TEST (SignalPathEndToEnd, DryWetWeightsFollowTheEqualPowerLaw)
{
    const struct { double percent; float dry; } cases[] = {
        { 0.0, 1.0f }, { 25.0, 0.9238795f }, { 50.0, 0.7071068f }, { 100.0, 0.0f },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.percent);
        auto plugin = TestBundle::load (rate);
        ASSERT_NE (plugin, nullptr);
        set (*plugin, { { "master_dry_wet", c.percent } });
        render (*plugin, silence (settle));

        // Every delay is at least a sample long, so the impulse itself is dry only.
        const auto out = render (*plugin, impulse (256, 0.8f));
        EXPECT_NEAR (out.getSample (0, 0), 0.8f * c.dry, 2.0e-4f);
        EXPECT_NEAR (out.getSample (1, 0), 0.8f * c.dry, 2.0e-4f);
    }
}

TEST (SignalPathEndToEnd, MixRampsOverSixtyMilliseconds)
{
    for (const auto& [sample_rate, length] : { std::pair { 44100.0, 2646 }, std::pair { 48000.0, 2880 } })
    {
        SCOPED_TRACE (sample_rate);
        auto plugin = TestBundle::load (sample_rate, 256);
        ASSERT_NE (plugin, nullptr);
        set (*plugin, { { "delay1_time", 2000.0 }, { "delay2_time", 2000.0 } }); // no echo within the measurement

        // The mix starts fully dry and glides to the default 50 %.
        auto ones = silence (4000);
        for (int c = 0; c < 2; ++c)
            juce::FloatVectorOperations::fill (ones.getWritePointer (c), 1.0f, 4000);
        const auto out = render (*plugin, ones);

        for (int i = 1; i < length; ++i)
            ASSERT_LT (out.getSample (0, i), out.getSample (0, i - 1)) << i;
        for (int i = length; i < 4000; ++i)
            ASSERT_EQ (out.getSample (0, i), out.getSample (0, length - 1)) << i;
    }
}

TEST (SignalPathEndToEnd, HostTempoDrivesASyncedLfo)
{
    // A square LFO swings delay 1's feedback between 0 and 1 on a 1 ms loop that a
    // quiet 1 kHz tone fills in phase, so the level jumps at every half cycle.
    const auto mean_cycle = [] (double bpm)
    {
        auto plugin = TestBundle::load (rate);
        EXPECT_NE (plugin, nullptr);
        plugin->play_head.bpm = bpm;
        set (*plugin, { { "mix_mode", 3.0 }, { "master_dry_wet", 100.0 }, { "delay1_time", 1.0 }, { "delay1_feed", 50.0 },
                        { "delay1_feed_mod_src", 5.0 }, { "delay1_feed_mod_depth", 100.0 }, { "lfo1_wave", 1.0 },
                        { "lfo1_sync", 1.0 }, { "lfo1_synced_rate", 8.0 } }); // "1/4"

        const int length = (int) rate * 4;
        juce::AudioBuffer<float> tone (2, length);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < length; ++i)
                tone.setSample (c, i, 0.05f * std::sin (juce::MathConstants<float>::twoPi * 1000.0f * (float) i / (float) rate));
        const auto out = render (*plugin, tone);

        // Rising edges of the level in 10 ms windows: about 0.02 quiet, 0.17 loud.
        constexpr int window = 480;
        std::vector<int> rises;
        bool loud = false;
        for (int start = 0; start + window <= length; start += window)
        {
            const auto now_loud = out.getRMSLevel (0, start, window) > 0.09f;
            if (now_loud && ! loud)
                rises.push_back (start);
            loud = now_loud;
        }

        EXPECT_GE (rises.size(), 3u);
        return rises.size() < 2 ? 0.0 : (double) (rises.back() - rises.front()) / (double) (rises.size() - 1);
    };

    // "1/4" is four cycles a bar: 2 Hz at 120 BPM, 1 Hz at 60 BPM.
    EXPECT_NEAR (mean_cycle (120.0), rate / 2.0, 0.03 * rate);
    EXPECT_NEAR (mean_cycle (60.0), rate, 0.03 * rate);
}
