#include "PlainXmlScan.h"

#include <juce_core/juce_core.h>

namespace
{
bool is_space (char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The framework's name characters, with any non-ASCII letter left to it to judge.
bool is_name_char (char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
        || c == '_' || c == '-' || c == ':' || c == '.' || (unsigned char) c >= 0x80;
}
} // namespace

bool PlainXmlScan::accepts (std::string_view document)
{
    return PlainXmlScan (document).scan();
}

bool PlainXmlScan::scan()
{
    skip_space();

    if (starts_with ("<?xml") && ! skip_past ("?>"))
        return false;

    int depth = 0;
    bool has_root = false;

    while (pos < text.size())
    {
        const auto c = text[pos];

        if (c == '&')
        {
            if (depth == 0 || ! read_reference())
                return false;
        }
        else if (c != '<')
        {
            if (depth == 0 && ! is_space (c))
                return false;
            ++pos;
        }
        else if (starts_with ("<!--"))
        {
            pos += 4;
            if (! skip_past ("-->"))
                return false;
        }
        else if (starts_with ("<![CDATA["))
        {
            if (depth == 0 || ! skip_past ("]]>"))
                return false;
        }
        else if (starts_with ("</"))
        {
            pos += 2;
            if (depth == 0 || ! read_name() || (skip_space(), ! skip ('>')))
                return false;
            --depth;
        }
        else
        {
            // One root; a DOCTYPE, a processing instruction or a stray '<' has no name.
            bool empty = false;
            if ((has_root && depth == 0) || ! read_start_tag (empty))
                return false;

            has_root = true;
            depth += empty ? 0 : 1;

            if (depth > max_depth || parts > max_parts)
                return false;
        }
    }

    return has_root && depth == 0;
}

bool PlainXmlScan::starts_with (std::string_view prefix) const
{
    return text.substr (pos, prefix.size()) == prefix;
}

bool PlainXmlScan::skip (char c)
{
    if (pos >= text.size() || text[pos] != c)
        return false;
    ++pos;
    return true;
}

bool PlainXmlScan::skip_space()
{
    const auto start = pos;
    while (pos < text.size() && is_space (text[pos]))
        ++pos;
    return pos > start;
}

bool PlainXmlScan::skip_past (std::string_view end)
{
    const auto found = text.find (end, pos);
    if (found == std::string_view::npos)
        return false;
    pos = found + end.size();
    return true;
}

bool PlainXmlScan::read_name()
{
    const auto start = pos;
    while (pos < text.size() && is_name_char (text[pos]))
        ++pos;
    return pos > start;
}

// At '<': a name, then attributes each after a space, then '>' or "/>".
bool PlainXmlScan::read_start_tag (bool& empty)
{
    ++pos;
    if (! read_name())
        return false;

    ++parts;

    for (;;)
    {
        const auto spaced = skip_space();

        if (starts_with ("/>") || starts_with (">"))
        {
            empty = text[pos] == '/';
            pos += empty ? 2 : 1;
            return true;
        }

        if (! spaced || ! read_name())
            return false;

        ++parts;
        skip_space();
        if (! skip ('='))
            return false;

        skip_space();
        if (! read_quoted())
            return false;
    }
}

bool PlainXmlScan::read_quoted()
{
    if (pos >= text.size() || (text[pos] != '"' && text[pos] != '\''))
        return false;

    const auto quote = text[pos++];
    const auto start = pos;

    while (pos < text.size() && pos - start <= max_value_bytes)
    {
        const auto c = text[pos];

        if (c == quote)
        {
            ++pos;
            return true;
        }

        if (c == '<' || (c == '&' && ! read_reference()))
            return false;

        if (c != '&')
            ++pos;
    }

    return false;
}

// At '&': one of the five predefined entities, or a character reference to a character
// the framework can hold and write back. Its writer spells every other character so.
bool PlainXmlScan::read_reference()
{
    ++parts;

    for (const std::string_view entity : { "&amp;", "&lt;", "&gt;", "&quot;", "&apos;" })
    {
        if (starts_with (entity))
        {
            pos += entity.size();
            return parts <= max_parts;
        }
    }

    if (! starts_with ("&#"))
        return false;

    pos += 2;
    const auto hex = skip ('x');
    const auto max_digits = hex ? 6 : 7; // enough for the last code point
    juce::uint32 code = 0;
    int digits = 0;

    for (; pos < text.size() && text[pos] != ';'; ++pos)
    {
        const auto digit = hex ? juce::CharacterFunctions::getHexDigitValue ((juce::juce_wchar) text[pos])
                               : (text[pos] >= '0' && text[pos] <= '9' ? text[pos] - '0' : -1);

        if (digit < 0 || ++digits > max_digits)
            return false;

        code = code * (hex ? 16u : 10u) + (juce::uint32) digit;
    }

    return parts <= max_parts && digits > 0 && skip (';') && code > 0 && code <= 0x10ffff && ! (code >= 0xd800 && code <= 0xdfff);
}
