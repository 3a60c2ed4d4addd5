#pragma once

#include <juce_core/juce_core.h>

/** One run of the command-line host as a child process, waited for, with its
    stdout and stderr kept apart. */
class CliRun
{
public:
    explicit CliRun (const juce::StringArray& args);

    bool exited = false; // ended by exiting, not by a signal
    int exit_code = -1;
    juce::String out, err;
};
