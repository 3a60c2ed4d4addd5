// libFuzzer entry: every input is a preset file, loaded by the footer into one live
// processor. A file either loads, naming the preset, or changes nothing at all; after a
// load, the state's own snapshot restores as itself and the next block stays finite.

#include "FooterComponent.h"
#include "StateRestoreCheck.h"

#include <cstdio>
#include <cstdlib>

namespace
{
struct Session
{
    Session()
    {
        // The presets folder lies below the home folder: keep it out of the real one.
        home.createDirectory();
        setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);
        unsetenv ("XDG_CONFIG_HOME");

        processor = std::make_unique<QuorvaneAudioProcessor>();
        check = std::make_unique<StateRestoreCheck> (*processor);
        footer = std::make_unique<FooterComponent> (*processor);
        preset = processor->presets_folder.getChildFile ("input.qpst");
    }

    ~Session()
    {
        footer.reset();
        check.reset();
        processor.reset();
        home.deleteRecursively();
    }

    const juce::File home = juce::File::createTempFile ("quorvane-preset-fuzz-home");
    juce::ScopedJuceInitialiser_GUI juce_runtime;
    std::unique_ptr<QuorvaneAudioProcessor> processor;
    std::unique_ptr<StateRestoreCheck> check;
    std::unique_ptr<FooterComponent> footer;
    juce::File preset;
};

Session& session()
{
    // Built on first use: the framework's statics that it creates are complete before it, so they outlive it.
    static Session instance;
    return instance;
}

juce::StringArray load_and_check (Session& s, const uint8_t* data, size_t size)
{
    if (! s.preset.replaceWithData (data, size))
        return { "could not write the input file" };

    auto& processor = *s.processor;
    const auto values_before = StateRestoreCheck::raw_values (processor);
    const auto tree_before = processor.parameter_state.copyState();
    processor.current_preset_name = "before";

    s.footer->load_preset (s.preset);

    auto problems = StateRestoreCheck::parameters_out_of_range (processor);
    const auto changed = StateRestoreCheck::raw_values (processor) != values_before
                      || ! processor.parameter_state.copyState().isEquivalentTo (tree_before);

    if (processor.current_preset_name == "before")
    {
        if (changed)
            problems.add ("a refused preset changed the state");
    }
    else if (processor.current_preset_name != "input")
    {
        problems.add ("the preset name became " + processor.current_preset_name);
    }
    else
    {
        juce::MemoryBlock snapshot;
        processor.getStateInformation (snapshot);
        const auto outcome = s.check->restore (snapshot.getData(), snapshot.getSize());
        problems.addArray (outcome.problems);

        if (outcome.changed_state)
            problems.add ("the loaded preset's own snapshot changed the state");
    }

    return problems;
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
    const auto problems = load_and_check (session(), data, size);

    if (! problems.isEmpty())
    {
        std::fprintf (stderr, "preset load broke its promises:\n  %s\n", problems.joinIntoString ("\n  ").toRawUTF8());
        std::abort();
    }

    return 0;
}
