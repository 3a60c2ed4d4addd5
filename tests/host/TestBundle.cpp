#include "TestBundle.h"

#include <gtest/gtest.h>

juce::File TestBundle::file()
{
    return juce::File (QUORVANE_BUNDLE);
}

std::unique_ptr<HostedPlugin> TestBundle::load (double sample_rate, int block_size)
{
    juce::String error;
    auto plugin = HostedPlugin::load (file(), sample_rate, block_size, error);
    EXPECT_NE (plugin, nullptr) << error;
    return plugin;
}

double TestBundle::value (HostedPlugin& plugin, const juce::String& id)
{
    if (const auto* parameter = plugin.find_parameter (id))
        return parameter->value();

    ADD_FAILURE() << "no parameter " << id;
    return std::numeric_limits<double>::quiet_NaN();
}

const juce::StringArray& TestBundle::parameter_ids()
{
    static const juce::StringArray ids {
        "delay1_time", "delay1_feed", "delay1_damp", "delay1_amp",
        "delay2_time", "delay2_feed", "delay2_damp", "delay2_amp",
        "mix_mode", "distortion_type", "distortion_drive", "master_amp", "master_dry_wet",
        "env1_sens", "env1_attack", "env1_release", "env2_sens", "env2_attack", "env2_release",
        "lfo1_rate", "lfo1_sync", "lfo1_synced_rate", "lfo1_wave",
        "lfo2_rate", "lfo2_sync", "lfo2_synced_rate", "lfo2_wave",
        "delay1_time_mod_src", "delay1_time_mod_depth", "delay1_feed_mod_src", "delay1_feed_mod_depth",
        "delay2_time_mod_src", "delay2_time_mod_depth", "delay2_feed_mod_src", "delay2_feed_mod_depth"
    };
    return ids;
}
