#pragma once

#include <juce_events/juce_events.h>

#include <cstdlib>

/** The processor writes below HOME and wants a message manager: a home of the
    run's own and the framework's runtime, made once for the whole run. */
inline void ensure_runtime()
{
    static const auto home = []
    {
        auto folder = juce::File::createTempFile ("quorvane-bench-home");
        folder.createDirectory();
        setenv ("HOME", folder.getFullPathName().toRawUTF8(), 1);
        unsetenv ("XDG_CONFIG_HOME");
        return folder;
    }();
    static juce::ScopedJuceInitialiser_GUI runtime;
    juce::ignoreUnused (home);
}
