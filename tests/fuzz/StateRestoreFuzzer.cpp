// libFuzzer entry: every input is a host state chunk for one live processor,
// which keeps whatever state the inputs before it restored.

#include "StateRestoreCheck.h"

#include <cstdio>
#include <cstdlib>

namespace
{
struct Session
{
    Session()
    {
        // The processor creates its presets folder below the home folder: keep it out of the real one.
        home.createDirectory();
        setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);
        unsetenv ("XDG_CONFIG_HOME");

        processor = std::make_unique<QuorvaneAudioProcessor>();
        check = std::make_unique<StateRestoreCheck> (*processor);
    }

    ~Session()
    {
        check.reset();
        processor.reset();
        home.deleteRecursively();
    }

    const juce::File home = juce::File::createTempFile ("quorvane-fuzz-home");
    // The parameter state's timer and the preferences file want a message manager on this thread.
    juce::ScopedJuceInitialiser_GUI juce_runtime;
    std::unique_ptr<QuorvaneAudioProcessor> processor;
    std::unique_ptr<StateRestoreCheck> check;
};

Session& session()
{
    // Built on first use: the framework's statics that it creates are complete before it, so they outlive it.
    static Session instance;
    return instance;
}
} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***);
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    session();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    const auto problems = session().check->restore (data, size).problems;

    if (! problems.isEmpty())
    {
        std::fprintf (stderr, "state restore broke its promises:\n  %s\n",
                      problems.joinIntoString ("\n  ").toRawUTF8());
        std::abort();
    }

    return 0;
}
