#include "StateRestoreCheck.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <optional>

namespace
{
juce::String describe (const juce::String& id, const char* what, float value)
{
    return id + ": " + what + " (" + juce::String (value, 9) + ")";
}

// A value whose text reads whole as a decimal number, "nan" and "inf" included, as the framework
// reads it for a float parameter: to the nearest double, then to the nearest float. A text a hair
// below halfway between two floats is halfway once a double, and the tie goes to the even float,
// which may be the upper one: read straight to a float it would snap to the other neighbour.
// Anything else, or a number beyond a float's range, reads as the processor chooses: nothing then.
std::optional<float> whole_number_in (const juce::var& value)
{
    const auto text = value.toString();
    const auto* begin = text.toRawUTF8();
    const auto* end = begin + std::strlen (begin);
    float number = 0.0f;
    const auto result = std::from_chars (begin, end, number);

    if (result.ec != std::errc() || result.ptr != end)
        return std::nullopt;

    return static_cast<float> (value);
}

// The text of a chunk runs from byte 8 for as many bytes as the length field says, or to the end.
bool holds_utf8_text (const void* data, int size)
{
    if (size <= 8)
        return true;

    const auto length = std::min (size - 8, (int) juce::ByteOrder::littleEndianInt (static_cast<const char*> (data) + 4));
    return length <= 0 || juce::CharPointer_UTF8::isValidString (static_cast<const char*> (data) + 8, length);
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

        if (! std::isfinite (value))
            problems.add (describe (id, "not finite", value));
        else if (value < range.start || value > range.end)
            problems.add (describe (id, "outside its range", value));
    }

    return problems;
}

StateRestoreCheck::Outcome StateRestoreCheck::restore (const void* data, size_t size)
{
    const auto size_in_bytes = (int) std::min (size, (size_t) std::numeric_limits<int>::max());
    const auto values_before = quorvane::test::raw_values (processor);
    const auto tree_before = processor.parameter_state.copyState();

    processor.setStateInformation (data, size_in_bytes);

    Outcome outcome;
    outcome.problems = parameters_out_of_range (processor);
    outcome.changed_state = quorvane::test::raw_values (processor) != values_before
                         || ! processor.parameter_state.copyState().isEquivalentTo (tree_before);

    if (outcome.changed_state)
    {
        // Only a document of ours may change the state. The framework's own chunk reader
        // decides, once the text is known to be UTF-8: it reads past the end of text that is not.
        std::unique_ptr<juce::XmlElement> document;
        if (holds_utf8_text (data, size_in_bytes))
            document = juce::AudioProcessor::getXmlFromBinary (data, size_in_bytes);

        if (document == nullptr || ! document->hasTagName (tree_before.getType().toString()))
        {
            outcome.problems.add ("a chunk without a document of ours changed the state");
        }
        else
        {
            check_document_was_restored (*document, values_before, outcome.problems);
            check_round_trip (outcome.problems);
        }
    }

    // A loud, full-band input.
    auto block = quorvane::test::noise (64, 1);
    juce::MidiBuffer midi;
    processor.processBlock (block, midi);

    if (! quorvane::test::all_finite (block))
        outcome.problems.add ("the block after the restore is not finite");

    return outcome;
}

void StateRestoreCheck::check_document_was_restored (const juce::XmlElement& document,
                                                     const std::vector<float>& before,
                                                     juce::StringArray& problems)
{
    const auto restored = juce::ValueTree::fromXml (document);

    // Which of an attribute given twice counts is the processor's choice: the round trip binds it.
    for (const auto& child : restored)
        for (int i = 1; i < child.getNumProperties(); ++i)
            for (int k = 0; k < i; ++k)
                if (child.getPropertyName (i) == child.getPropertyName (k))
                    return;

    // The document as a snapshot will write it, which is what a restore keeps.
    const auto tree = juce::ValueTree::fromXml (restored.toXmlString());

    // The framework walks the tree's children in order, whatever their tag, and each one
    // that carries a parameter's ID sets that parameter: the last one wins.
    const auto after = quorvane::test::raw_values (processor);

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
        {
            expected = parameter.convertFrom0to1 (parameter.getDefaultValue());
        }
        else if (source.isValid())
        {
            const auto number = whole_number_in (source["value"]);
            if (! number.has_value())
                continue;
            if (std::isfinite (*number))
                expected = parameter.convertFrom0to1 (parameter.convertTo0to1 (*number));
        }

        // Normalising there and back may move a value by a rounding step, never further.
        const auto& range = parameter.getNormalisableRange();
        const auto tolerance = 1.0e-5f * (range.end - range.start);

        if (! (std::abs (after[(size_t) i] - expected) <= tolerance))
            problems.add (describe (id, source.isValid() ? "not the document's value" : "not kept although the document lacks it",
                                    after[(size_t) i])
                          + ", expected " + juce::String (expected, 9));
    }
}

void StateRestoreCheck::check_round_trip (juce::StringArray& problems)
{
    const auto snapshot = quorvane::test::chunk_of (processor);
    const auto values = quorvane::test::raw_values (processor);
    quorvane::test::restore (processor, snapshot);

    if (quorvane::test::raw_values (processor) != values || quorvane::test::chunk_of (processor) != snapshot)
        problems.add ("the restored state's snapshot does not restore as itself");
}
