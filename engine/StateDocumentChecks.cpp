#include "StateDocumentChecks.h"

#include <cmath>
#include <limits>
#include <regex>
#include <string_view>

namespace
{
// XML forbids an attribute given twice; the framework would read the first and write both.
bool has_repeated_properties (const juce::ValueTree& tree)
{
    for (int i = 0; i < tree.getNumProperties(); ++i)
        for (int j = i + 1; j < tree.getNumProperties(); ++j)
            if (tree.getPropertyName (i) == tree.getPropertyName (j))
                return true;

    for (const auto& child : tree)
        if (has_repeated_properties (child))
            return true;

    return false;
}
} // namespace

std::unique_ptr<juce::XmlElement> StateDocumentChecks::parse_document (const void* data, size_t size_in_bytes)
{
    auto* text = static_cast<const char*> (data);

    // A text editor may save a preset with a byte-order mark; the framework's file reader skips it too.
    if (text != nullptr && size_in_bytes >= 3 && juce::CharPointer_UTF8::isByteOrderMark (text))
    {
        text += 3;
        size_in_bytes -= 3;
    }

    if (text == nullptr || size_in_bytes == 0 || size_in_bytes > (size_t) std::numeric_limits<int>::max()
        || ! is_readable_text (text, size_in_bytes))
        return {};

    auto document = juce::parseXML (juce::String::fromUTF8 (text, (int) size_in_bytes));

    if (document == nullptr || ! reads_back_unchanged (juce::ValueTree::fromXml (*document)))
        return {};

    return document;
}

// The framework's UTF-8 decoder steps past the end of the data to finish a truncated
// sequence, and its parser goes round for ever on a processing instruction followed by
// text inside an element.
bool StateDocumentChecks::is_readable_text (const void* data, size_t size_in_bytes)
{
    const auto* text = static_cast<const juce::uint8*> (data);
    const auto length = (int) juce::jmin (size_in_bytes, (size_t) std::numeric_limits<int>::max());

    if (text == nullptr)
        return length == 0;

    for (int i = 0; i < length;)
    {
        const auto lead = text[i];
        const int extra = lead < 0x80 ? 0 : (lead >= 0xc2 && lead <= 0xdf) ? 1 : (lead >= 0xe0 && lead <= 0xef) ? 2
                                          : (lead >= 0xf0 && lead <= 0xf4) ? 3 : -1;
        if (extra < 0 || i + extra >= length)
            return false;

        juce::uint32 code = lead & (0x3fu >> extra);

        for (int k = 1; k <= extra; ++k)
        {
            if ((text[i + k] & 0xc0) != 0x80)
                return false;
            code = (code << 6) | (text[i + k] & 0x3fu);
        }

        // No overlong forms, surrogates or code points past the last plane.
        constexpr juce::uint32 smallest[] = { 0, 0x80, 0x800, 0x10000 };
        if (code < smallest[extra] || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff)
            return false;

        i += extra + 1;
    }

    const std::string_view view (reinterpret_cast<const char*> (text), (size_t) length);
    const auto first = view.find_first_not_of (" \t\r\n");
    auto rest = view.substr (first == std::string_view::npos ? view.size() : first);

    if (rest.substr (0, 5) == "<?xml")
        rest = rest.substr (juce::jmin (rest.size(), rest.find ("?>")));

    return rest.find ("<?") == std::string_view::npos;
}

bool StateDocumentChecks::chunk_holds_readable_text (const void* data, int size_in_bytes)
{
    constexpr int header_size = 8;

    if (data == nullptr || size_in_bytes <= header_size)
        return true; // the framework's reader refuses these itself

    const auto* bytes = static_cast<const juce::uint8*> (data);
    const auto declared = (int) juce::ByteOrder::littleEndianInt (bytes + 4);
    const auto length = juce::jmin (size_in_bytes - header_size, declared);

    return is_readable_text (bytes + header_size, (size_t) juce::jmax (0, length));
}

bool StateDocumentChecks::reads_back_unchanged (const juce::ValueTree& tree)
{
    if (has_repeated_properties (tree))
        return false;

    const auto document = tree.createXml();
    if (document == nullptr)
        return false;

    const auto text = document->toString (juce::XmlElement::TextFormat().singleLine());
    const auto parsed = juce::parseXML (text);
    return parsed != nullptr && juce::ValueTree::fromXml (*parsed).isEquivalentTo (tree);
}

// The framework's number reader gathers an exponent in an int, so only a plain
// decimal number with a short exponent is read as written; it must also fit a float.
bool StateDocumentChecks::is_readable_number (const juce::var& value)
{
    static const std::regex plain_decimal { R"(\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d{1,3})?\s*)" };

    if (value.isString() && ! std::regex_match (value.toString().toStdString(), plain_decimal))
        return false;

    return std::isfinite ((float) value);
}
