// quorvane-host: the project's command-line VST 3 host. It loads a bundle the
// way a DAW does, lists what the plug-in shows a host and renders WAV files
// through it; `quorvane-host --help` says how.

#include "CommandLine.h"

int main (int argc, char* argv[])
{
    juce::StringArray args;

    for (int i = 1; i < argc; ++i)
        args.add (juce::String::fromUTF8 (argv[i]));

    return CommandLine::run (args);
}
