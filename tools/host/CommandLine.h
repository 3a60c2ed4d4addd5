#pragma once

#include <juce_core/juce_core.h>

/** The command line of quorvane-host: `info`, `render` and `editor` on a hosted plug-in.
    A refusal is one line on stderr and an exit status of 1 (a file, the
    plug-in or a value refused) or 2 (the command line itself is wrong). Runs on
    the calling thread, which becomes JUCE's message thread. */
class CommandLine
{
public:
    /** Runs the command in the arguments (without the program name) and
        returns the process's exit status. */
    static int run (const juce::StringArray& args);
};
