#include "PluginParameter.h"

#include <cstdio>
#include <cstdlib>
#include <regex>

namespace
{
// Longer than any text a plug-in shows in a DAW's parameter field.
constexpr int max_text_length = 1024;

// Listing every step of a finer parameter to see whether its texts are
// numbers would only slow loading; such a parameter is a number anyway.
constexpr int max_listed_steps = 1024;
} // namespace

PluginParameter::PluginParameter (juce::HostedAudioProcessorParameter& hosted, bool bypass)
    : parameter (hosted),
      host_id ((juce::uint32) hosted.getParameterID().getLargeIntValue()),
      is_bypass (bypass),
      is_automatable (hosted.isAutomatable()),
      name (hosted.getName (max_text_length)),
      unit (hosted.getLabel()),
      num_steps (hosted.isDiscrete() ? hosted.getNumSteps() : 0)
{
    if (num_steps >= 2)
        kind = Kind::stepped;

    if (num_steps >= 2 && num_steps <= max_listed_steps)
    {
        bool all_numbers = true;

        for (int i = 0; i < num_steps; ++i)
        {
            choices.add (hosted.getText ((float) i / (float) (num_steps - 1), max_text_length));
            all_numbers = all_numbers && parse_number (choices[i]).has_value();
        }

        if (! all_numbers)
        {
            kind = Kind::choice;
            maximum = num_steps - 1;
            default_value = to_own_units (hosted.getDefaultValue());
            return;
        }

        choices.clear();
    }

    const auto low = parse_number (hosted.getText (0.0f, max_text_length));
    const auto high = parse_number (hosted.getText (1.0f, max_text_length));

    if (low && high)
    {
        minimum = *low;
        maximum = *high;
    }
    else
    {
        kind = Kind::normalised;
    }

    default_value = to_own_units (hosted.getDefaultValue());
}

double PluginParameter::value() const
{
    return to_own_units (parameter.getValue());
}

juce::String PluginParameter::value_text() const
{
    return parameter.getText (parameter.getValue(), max_text_length);
}

juce::Result PluginParameter::set_value (double own_value)
{
    if (! std::isfinite (own_value))
        return juce::Result::fail ("the value is not a finite number");

    float normalised = 0.0f;

    if (kind == Kind::choice)
    {
        if (own_value != std::floor (own_value) || own_value < 0.0 || own_value > maximum)
            return juce::Result::fail (format_number (own_value) + " is not a choice index (" + range_text() + ")");

        normalised = (float) (own_value / maximum);
    }
    else
    {
        const auto low = juce::jmin (minimum, maximum), high = juce::jmax (minimum, maximum);
        // The range ends come from the plug-in's texts, which round.
        const auto tolerance = 1.0e-9 * juce::jmax (1.0, high - low);

        if (own_value < low - tolerance || own_value > high + tolerance)
            return juce::Result::fail (format_number (own_value) + " is outside the range " + range_text());

        normalised = kind == Kind::normalised ? (float) own_value
                                              : parameter.getValueForText (format_number (own_value));
    }

    parameter.setValueNotifyingHost (juce::jlimit (0.0f, 1.0f, normalised));
    return juce::Result::ok();
}

juce::Result PluginParameter::set_value_text (const juce::String& text)
{
    const auto trimmed = text.trim();

    if (const auto number = parse_number (trimmed))
        return set_value (*number);

    if (kind == Kind::choice)
    {
        for (int i = 0; i < choices.size(); ++i)
            if (choices[i].equalsIgnoreCase (trimmed))
                return set_value (i);

        return juce::Result::fail ("'" + trimmed + "' is neither a choice index nor a choice (" + choices.joinIntoString (", ") + ")");
    }

    return juce::Result::fail ("'" + trimmed + "' is not a number");
}

std::optional<double> PluginParameter::parse_number (const juce::String& text)
{
    const auto utf8 = text.trim().toStdString();

    if (utf8.empty())
        return std::nullopt;

    // Plain decimal only, as the plug-in's state restore reads numbers: strtod would also
    // take hexadecimal ("0x10") and the names of infinity and NaN.
    static const std::regex plain_decimal { R"([+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d{1,3})?)" };

    if (! std::regex_match (utf8, plain_decimal))
        return std::nullopt;

    char* end = nullptr;
    const auto number = std::strtod (utf8.c_str(), &end);

    if (end != utf8.c_str() + utf8.size() || ! std::isfinite (number))
        return std::nullopt;

    return number;
}

juce::String PluginParameter::format_number (double value)
{
    // Nine significant digits round-trip any float, the precision plug-ins parse.
    char text[32];
    std::snprintf (text, sizeof (text), "%.10g", value);
    return text;
}

double PluginParameter::to_own_units (float normalised) const
{
    switch (kind)
    {
        case Kind::choice:
            return juce::roundToInt (normalised * maximum);
        case Kind::normalised:
            return normalised;
        case Kind::continuous:
        case Kind::stepped:
            break;
    }

    return parse_number (parameter.getText (normalised, max_text_length)).value_or (minimum);
}

juce::String PluginParameter::range_text() const
{
    return format_number (minimum) + " to " + format_number (maximum) + (unit.isNotEmpty() ? " " + unit : juce::String());
}
