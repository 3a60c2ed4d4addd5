#pragma once

#include "ProcessorRig.h"

#include <cstdio>
#include <cstdlib>

/** Restores host state chunks into a live processor and checks what a host relies on: a
    chunk either restores its document (and its snapshot restores as itself) or changes
    nothing, every parameter ends finite and inside its range, and the next block comes out
    finite. Message thread only; the processor is prepared by the constructor. */
class StateRestoreCheck
{
public:
    explicit StateRestoreCheck (QuorvaneAudioProcessor& processor);

    struct Outcome
    {
        bool changed_state = false;
        juce::StringArray problems; // every broken promise; empty when all hold
    };

    Outcome restore (const void* data, size_t size);

    /** One line per raw parameter value that is not finite or outside its range. */
    static juce::StringArray parameters_out_of_range (QuorvaneAudioProcessor& processor);

private:
    void check_document_was_restored (const juce::XmlElement& document, const std::vector<float>& before,
                                      juce::StringArray& problems);

    QuorvaneAudioProcessor& processor;
};

/** A fuzzer's live processor for the whole run, with the home folder it writes below kept
    out of the real one. Built on first use: the framework's statics that it creates are
    complete before it, so they outlive it. */
struct FuzzSession
{
    FuzzSession()
    {
        home.createDirectory();
        setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);
        unsetenv ("XDG_CONFIG_HOME");
        processor = std::make_unique<QuorvaneAudioProcessor>();
        check = std::make_unique<StateRestoreCheck> (*processor);
    }

    ~FuzzSession()
    {
        check.reset();
        processor.reset();
        home.deleteRecursively();
    }

    const juce::File home = juce::File::createTempFile ("quorvane-fuzz-home");
    juce::ScopedJuceInitialiser_GUI juce_runtime;
    std::unique_ptr<QuorvaneAudioProcessor> processor;
    std::unique_ptr<StateRestoreCheck> check;
};

/** Ends the run with the broken promises, which libFuzzer reports with the input. */
inline void abort_on (const char* what, const juce::StringArray& problems)
{
    if (! problems.isEmpty())
    {
        std::fprintf (stderr, "%s broke its promises:\n  %s\n", what, problems.joinIntoString ("\n  ").toRawUTF8());
        std::abort();
    }
}
