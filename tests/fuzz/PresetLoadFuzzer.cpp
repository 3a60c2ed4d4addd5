// libFuzzer entry: every input is a preset file, loaded by the footer into one live
// processor. A file either loads, naming the preset, or changes nothing at all; after a
// load, the state's own snapshot restores as itself and the next block stays finite.

#include "FooterComponent.h"
#include "StateRestoreCheck.h"

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    static FuzzSession session;
    static FooterComponent footer (*session.processor);
    static const auto preset = session.processor->presets_folder.getChildFile ("input.qpst");
    auto& processor = *session.processor;

    if (! preset.replaceWithData (data, size))
        abort_on ("preset load", { "could not write the input file" });

    const auto values_before = quorvane::test::raw_values (processor);
    const auto tree_before = processor.parameter_state.copyState();
    processor.current_preset_name = "before";
    footer.load_preset (preset);

    auto problems = StateRestoreCheck::parameters_out_of_range (processor);
    const auto changed = quorvane::test::raw_values (processor) != values_before
                      || ! processor.parameter_state.copyState().isEquivalentTo (tree_before);

    if (processor.current_preset_name == "before" && changed)
        problems.add ("a refused preset changed the state");
    else if (processor.current_preset_name != "before" && processor.current_preset_name != "input")
        problems.add ("the preset name became " + processor.current_preset_name);

    if (processor.current_preset_name == "input")
    {
        const auto snapshot = quorvane::test::chunk_of (processor);
        const auto outcome = session.check->restore (snapshot.getData(), snapshot.getSize());
        problems.addArray (outcome.problems);

        if (outcome.changed_state)
            problems.add ("the loaded preset's own snapshot changed the state");
    }

    abort_on ("preset load", problems);
    return 0;
}
