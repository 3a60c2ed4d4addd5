#include <benchmark/benchmark.h>
#include <juce_events/juce_events.h>

#include <cstdlib>

// The processor writes below HOME and wants a message manager: a home of the run's own,
// and the framework's runtime around the whole run. Shut down inside main, the runtime
// goes before the framework's own statics, which it still uses as it goes.
int main (int argc, char** argv)
{
    const auto home = juce::File::createTempFile ("quorvane-bench-home");
    home.createDirectory();
    setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);
    unsetenv ("XDG_CONFIG_HOME");

    {
        juce::ScopedJuceInitialiser_GUI runtime;
        benchmark::Initialize (&argc, argv);

        if (benchmark::ReportUnrecognizedArguments (argc, argv))
            return 1;

        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }

    home.deleteRecursively();
    return 0;
}
