#include "StateRestoreCheck.h"

#include <charconv>
#include <cstring>
#include <limits>

using quorvane::test::raw_values;

namespace
{
juce::String describe (const juce::String& id, const char* what, float value)
{
    return id + ": " + what + " (" + juce::String (value, 9) + ")";
}

// Whether a value's text reads whole as a decimal number, "nan" and "inf" included, as the
// framework reads it for a float parameter: to the nearest double, then to the nearest float.
// Anything else reads as the processor chooses.
bool is_whole_number (const juce::var& value)
{
    const auto text = value.toString().toStdString();
    float number = 0.0f;
    const auto result = std::from_chars (text.data(), text.data() + text.size(), number);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// The text of a chunk runs from byte 8 for as many bytes as the length field says, or to the end.
bool holds_utf8_text (const void* data, int size)
{
    const auto* bytes = static_cast<const char*> (data);
    const auto length = size <= 8 ? 0 : std::min (size - 8, (int) juce::ByteOrder::littleEndianInt (bytes + 4));
    return length <= 0 || juce::CharPointer_UTF8::isValidString (bytes + 8, length);
}
} // namespace

StateRestoreCheck::StateRestoreCheck (QuorvaneAudioProcessor& p) : processor (p)
{
    // Stereo in and out, as the plug-in layer sets up every instance.
    processor.setPlayConfigDetails (2, 2, 48000.0, 64);
    processor.prepareToPlay (48000.0, 64);
}

juce::StringArray StateRestoreCheck::parameters_out_of_range (QuorvaneAudioProcessor& p)
{
    juce::StringArray problems;

    for (int i = 0; i < QuorvaneParameters::num_parameters; ++i)
    {
        const auto id = QuorvaneParameters::get_id_for_parameter (i);
        const auto value = p.parameter_state.getRawParameterValue (id)->load();
        const auto& range = p.parameter_state.getParameter (id)->getNormalisableRange();

        if (! (value >= range.start && value <= range.end))
            problems.add (describe (id, "not finite or outside its range", value));
    }

    return problems;
}

StateRestoreCheck::Outcome StateRestoreCheck::restore (const void* data, size_t size)
{
    const auto size_in_bytes = (int) std::min (size, (size_t) std::numeric_limits<int>::max());
    const auto values_before = raw_values (processor);
    const auto tree_before = processor.parameter_state.copyState();
    processor.setStateInformation (data, size_in_bytes);

    Outcome outcome;
    outcome.problems = parameters_out_of_range (processor);
    outcome.changed_state = raw_values (processor) != values_before || ! processor.parameter_state.copyState().isEquivalentTo (tree_before);

    if (outcome.changed_state)
    {
        // Only a document of ours may change the state. The framework's own chunk reader
        // decides, once the text is known to be UTF-8: it reads past the end of text that is not.
        const auto document = holds_utf8_text (data, size_in_bytes) ? juce::AudioProcessor::getXmlFromBinary (data, size_in_bytes) : nullptr;

        if (document == nullptr || ! document->hasTagName (tree_before.getType().toString()))
            outcome.problems.add ("a chunk without a document of ours changed the state");
        else
            check_document_was_restored (*document, values_before, outcome.problems);

        // The restored state's snapshot must restore as itself.
        const auto snapshot = quorvane::test::chunk_of (processor);
        const auto values = raw_values (processor);
        quorvane::test::restore (processor, snapshot);

        if (raw_values (processor) != values || quorvane::test::chunk_of (processor) != snapshot)
            outcome.problems.add ("the restored state's snapshot does not restore as itself");
    }

    // A loud, full-band input.
    auto block = quorvane::test::noise (64, 1);
    juce::MidiBuffer midi;
    processor.processBlock (block, midi);

    if (! quorvane::test::all_finite (block))
        outcome.problems.add ("the block after the restore is not finite");

    return outcome;
}

void StateRestoreCheck::check_document_was_restored (const juce::XmlElement& document, const std::vector<float>& before,
                                                     juce::StringArray& problems)
{
    // The document as a snapshot will write it, which is what a restore keeps.
    const auto tree = juce::ValueTree::fromXml (juce::ValueTree::fromXml (document).toXmlString());

    // Which of an attribute given twice counts is the processor's choice: the round trip binds it.
    for (const auto& child : juce::ValueTree::fromXml (document))
        for (int i = 1; i < child.getNumProperties(); ++i)
            for (int k = 0; k < i; ++k)
                if (child.getPropertyName (i) == child.getPropertyName (k))
                    return;

    // The framework walks the tree's children in order, whatever their tag, and each one that
    // carries a parameter's ID sets that parameter: the last one wins. A parameter that none
    // names keeps its value; one without a value takes its default.
    const auto after = raw_values (processor);

    for (int i = 0; i < QuorvaneParameters::num_parameters; ++i)
    {
        const auto id = QuorvaneParameters::get_id_for_parameter (i);
        const auto& parameter = *processor.parameter_state.getParameter (id);
        juce::ValueTree source;

        for (const auto& child : tree)
            if (child.getProperty ("id").toString() == id)
                source = child;

        auto expected = before[(size_t) i];

        if (source.isValid() && ! source.hasProperty ("value"))
            expected = parameter.convertFrom0to1 (parameter.getDefaultValue());
        else if (source.isValid() && ! is_whole_number (source["value"]))
            continue;
        else if (source.isValid() && std::isfinite ((float) source["value"]))
            expected = parameter.convertFrom0to1 (parameter.convertTo0to1 ((float) source["value"]));

        // Normalising there and back may move a value by a rounding step, never further.
        const auto& range = parameter.getNormalisableRange();

        if (! (std::abs (after[(size_t) i] - expected) <= 1.0e-5f * (range.end - range.start)))
            problems.add (describe (id, source.isValid() ? "not the document's value" : "not kept although the document lacks it", after[(size_t) i])
                          + ", expected " + juce::String (expected, 9));
    }
}
