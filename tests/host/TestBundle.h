#pragma once

#include "HostedPlugin.h"

/** The freshly built Quorvane.vst3, loaded through the host layer. */
class TestBundle
{
public:
    static juce::File file();

    /** A prepared instance; fails the calling test if the bundle does not load. */
    static std::unique_ptr<HostedPlugin> load (double sample_rate = 48000.0, int block_size = 512);

    /** A parameter's value in its own units; NaN, failing the calling test,
        when the plug-in has no such parameter. */
    static double value (HostedPlugin& plugin, const juce::String& id);

    /** The string IDs of the 35 parameters, in index order. */
    static const juce::StringArray& parameter_ids();
};
