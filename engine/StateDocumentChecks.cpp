#include "StateDocumentChecks.h"

#include <cmath>
#include <limits>
#include <regex>
#include <string_view>

#include <sys/stat.h>

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

bool is_well_formed_utf8 (const juce::uint8* text, size_t length)
{
    for (size_t i = 0; i < length;)
    {
        const auto lead = text[i];
        const int extra = lead < 0x80 ? 0 : (lead >= 0xc2 && lead <= 0xdf) ? 1 : (lead >= 0xe0 && lead <= 0xef) ? 2
                                          : (lead >= 0xf0 && lead <= 0xf4) ? 3 : -1;
        if (extra < 0 || i + (size_t) extra >= length)
            return false;

        juce::uint32 code = lead & (0x3fu >> extra);

        for (int k = 1; k <= extra; ++k)
        {
            if ((text[i + (size_t) k] & 0xc0) != 0x80)
                return false;
            code = (code << 6) | (text[i + (size_t) k] & 0x3fu);
        }

        // No overlong forms, surrogates or code points past the last plane.
        constexpr juce::uint32 smallest[] = { 0, 0x80, 0x800, 0x10000 };
        if (code < smallest[extra] || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff)
            return false;

        i += (size_t) extra + 1;
    }

    return true;
}

/* One pass over a document that accepts only the plain XML the plug-in writes, read
   exactly as the framework's parser reads it. That parser expands entities declared in
   a DOCTYPE without limit, loads the files a DOCTYPE names, recurses once per level of
   nesting, and goes round for ever on a processing instruction inside an element: none
   of those reach it. */
class PlainXmlScan
{
public:
    explicit PlainXmlScan (std::string_view document) : text (document) {}

    bool accepts()
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

private:
    // A state document's root and its parameters; the preferences' root and its values.
    static constexpr int max_depth = 2;
    // Elements, attributes and references together: ten times what a state document
    // holds. The framework's reader looks attributes up one by one and grows a value by
    // one reference at a time, so each part costs time in proportion to the others.
    static constexpr int max_parts = 1024;
    // The plug-in's values are numbers. The framework writes each non-ASCII character of a
    // value as a reference and reads one back by copying the value so far.
    static constexpr size_t max_value_bytes = 256;

    static bool is_space (char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    // The framework's name characters, with any non-ASCII letter left to it to judge.
    static bool is_name_char (char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
            || c == '_' || c == '-' || c == ':' || c == '.' || (unsigned char) c >= 0x80;
    }

    bool starts_with (std::string_view prefix) const { return text.substr (pos, prefix.size()) == prefix; }

    bool skip (char c)
    {
        if (pos >= text.size() || text[pos] != c)
            return false;
        ++pos;
        return true;
    }

    bool skip_space()
    {
        const auto start = pos;
        while (pos < text.size() && is_space (text[pos]))
            ++pos;
        return pos > start;
    }

    bool skip_past (std::string_view end)
    {
        const auto found = text.find (end, pos);
        if (found == std::string_view::npos)
            return false;
        pos = found + end.size();
        return true;
    }

    bool read_name()
    {
        const auto start = pos;
        while (pos < text.size() && is_name_char (text[pos]))
            ++pos;
        return pos > start;
    }

    // At '<': a name, then attributes each after a space, then '>' or "/>".
    bool read_start_tag (bool& empty)
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

    bool read_quoted()
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
    bool read_reference()
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

    std::string_view text;
    size_t pos = 0;
    int parts = 0;
};
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
// sequence; its parser is guarded above.
bool StateDocumentChecks::is_readable_text (const void* data, size_t size_in_bytes)
{
    const auto* text = static_cast<const juce::uint8*> (data);

    if (text == nullptr || size_in_bytes > max_document_bytes || ! is_well_formed_utf8 (text, size_in_bytes))
        return false;

    // The framework reads the text as a string, which ends at the first zero byte; a byte-order
    // mark it skips in a file, and fails on elsewhere.
    std::string_view document (reinterpret_cast<const char*> (text), size_in_bytes);
    document = document.substr (0, document.find ('\0'));

    if (document.substr (0, 3) == "\xef\xbb\xbf")
        document.remove_prefix (3);

    return PlainXmlScan (document).accepts();
}

bool StateDocumentChecks::read_file (const juce::File& file, juce::MemoryBlock& bytes)
{
    // Opening a pipe would wait for a writer, and a device may never end.
    struct stat info;
    if (::stat (file.getFullPathName().toRawUTF8(), &info) != 0 || ! S_ISREG (info.st_mode)
        || info.st_size > (off_t) max_document_bytes)
        return false;

    juce::FileInputStream in (file);
    juce::MemoryBlock read;

    if (! in.openedOk() || in.readIntoMemoryBlock (read, (ssize_t) max_document_bytes + 1) > max_document_bytes)
        return false;

    bytes = std::move (read);
    return true;
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
