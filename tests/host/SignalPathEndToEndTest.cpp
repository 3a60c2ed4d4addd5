// The signal path heard through the built bundle: impulses tell the seven routings apart,
// a delay unheard keeps running, the bypass passes the input, and the host tempo drives
// a synced LFO. The mix law and its ramp are tested on the processor itself.

#include "HostRig.h"

#include <gtest/gtest.h>

namespace
{
constexpr double rate = 48000.0;
constexpr int delay1_at = 480, delay2_at = 1200; // 10 and 25 ms

juce::AudioBuffer<float> render (HostedPlugin& plugin, int length, float impulse = 0.0f)
{
    juce::AudioBuffer<float> buffer (2, length);
    buffer.clear();
    for (int c = 0; c < 2 && length > 0; ++c)
        buffer.setSample (c, 0, impulse);
    EXPECT_TRUE (plugin.process (buffer).wasOk());
    return buffer;
}

// Two single-echo delays, wet only, unity gains, past every 60 ms ramp; hard clip at drive 0 is linear below 1.
std::unique_ptr<HostedPlugin> echo_rig (int mix_mode)
{
    auto plugin = HostRig::load (rate);
    if (plugin != nullptr)
    {
        HostRig::set (*plugin, { { "delay1_time", 10.0 }, { "delay2_time", 25.0 }, { "delay1_feed", 0.0 }, { "delay2_feed", 0.0 },
                                 { "delay1_amp", 0.0 }, { "delay2_amp", 0.0 }, { "master_amp", 0.0 }, { "master_dry_wet", 100.0 },
                                 { "distortion_type", 1.0 }, { "mix_mode", (double) mix_mode } });
        render (*plugin, 4096);
    }
    return plugin;
}

// Where a channel carries an echo.
std::vector<int> echoes (const juce::AudioBuffer<float>& buffer, int channel)
{
    std::vector<int> positions;
    for (int i = 0; i < buffer.getNumSamples(); ++i)
        if (std::abs (buffer.getSample (channel, i)) > 0.05f)
            positions.push_back (i);
    return positions;
}
} // namespace

TEST (SignalPathEndToEnd, EachRoutingPlacesTheEchoesOfItsDelaysAndBypassPassesTheInput)
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

    for (const auto& routing : routings)
    {
        SCOPED_TRACE ("mix_mode " + std::to_string (routing.mix_mode));
        auto plugin = echo_rig (routing.mix_mode);
        ASSERT_NE (plugin, nullptr);
        const auto out = render (*plugin, 4000, 0.5f);
        EXPECT_EQ (echoes (out, 0), routing.left);
        EXPECT_EQ (echoes (out, 1), routing.right);

        // Bypassed, whatever the routing, the input passes untouched.
        HostRig::set (*plugin, { { HostedPlugin::bypass_id, 1.0 } });
        render (*plugin, 512);
        const auto bypassed = render (*plugin, 4000, 0.3f);
        EXPECT_EQ (bypassed.getSample (0, 0), 0.3f);
        EXPECT_EQ (bypassed.getSample (1, 0), 0.3f);
        EXPECT_EQ (bypassed.getMagnitude (1, 4000 - 1), 0.0f);
    }

    // A solo with the other delay repeating: that one runs unheard, and its tail arrives once it is heard.
    const struct { int mix_mode; const char *unheard_feed, *unheard_damp; int heard_at; } solos[] = {
        { 3, "delay2_feed", "delay2_damp", delay1_at }, { 4, "delay1_feed", "delay1_damp", delay2_at },
    };
    for (const auto& solo : solos)
    {
        SCOPED_TRACE ("mix_mode " + std::to_string (solo.mix_mode));
        auto plugin = echo_rig (solo.mix_mode);
        ASSERT_NE (plugin, nullptr);
        HostRig::set (*plugin, { { solo.unheard_feed, 90.0 }, { solo.unheard_damp, 18000.0 } });
        render (*plugin, 512);
        EXPECT_EQ (echoes (render (*plugin, 4800, 0.5f), 0), std::vector<int> { solo.heard_at });
        HostRig::set (*plugin, { { "mix_mode", 0.0 } });
        EXPECT_GT (render (*plugin, 4800).getMagnitude (0, 0, 4800), 0.01f);
    }
}

TEST (SignalPathEndToEnd, HostTempoDrivesASyncedLfo)
{
    // A square LFO swings delay 1's feedback between 0 and 1 on a 1 ms loop that a
    // quiet 1 kHz tone fills in phase, so the level jumps at every half cycle.
    const auto mean_cycle = [] (std::optional<double> bpm, double synced_rate)
    {
        auto plugin = HostRig::load (rate);
        EXPECT_NE (plugin, nullptr);
        plugin->play_head.bpm = bpm;
        HostRig::set (*plugin, { { "mix_mode", 3.0 }, { "master_dry_wet", 100.0 }, { "delay1_time", 1.0 }, { "delay1_feed", 50.0 },
                                 { "delay1_feed_mod_src", 5.0 }, { "delay1_feed_mod_depth", 100.0 }, { "lfo1_wave", 1.0 },
                                 { "lfo1_sync", 1.0 }, { "lfo1_synced_rate", synced_rate } });

        const int length = (int) rate * 4, window = 480;
        juce::AudioBuffer<float> out (2, length);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < length; ++i)
                out.setSample (c, i, 0.05f * std::sin (juce::MathConstants<float>::twoPi * 1000.0f * (float) i / (float) rate));
        EXPECT_TRUE (plugin->process (out).wasOk());

        // Rising edges of the level in 10 ms windows: about 0.02 quiet, 0.17 loud.
        std::vector<int> rises;
        for (int start = 0, loud = 0; start + window <= length; start += window)
        {
            const int now_loud = out.getRMSLevel (0, start, window) > 0.09f;
            if (now_loud && ! loud)
                rises.push_back (start);
            loud = now_loud;
        }
        EXPECT_GE (rises.size(), 3u);
        return rises.size() < 2 ? 0.0 : (double) (rises.back() - rises.front()) / (double) (rises.size() - 1);
    };

    // "1/4" is four cycles a bar: 2 Hz at 120 BPM, 1 Hz at 60 BPM. A tempo of 0, or none,
    // counts as 1 BPM: "1/128D", 192 cycles a bar, is then 0.8 Hz.
    const struct { std::optional<double> bpm; double synced_rate, cycle; } tempos[] = {
        { 120.0, 8.0, rate / 2.0 }, { 60.0, 8.0, rate }, { 0.0, 22.0, rate / 0.8 }, { std::nullopt, 22.0, rate / 0.8 },
    };
    for (const auto& tempo : tempos)
        EXPECT_NEAR (mean_cycle (tempo.bpm, tempo.synced_rate), tempo.cycle, 0.03 * tempo.cycle) << tempo.bpm.value_or (-1.0);
}
