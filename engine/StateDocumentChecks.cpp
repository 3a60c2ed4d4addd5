#include "StateDocumentChecks.h"

#include "PlainXmlScan.h"

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
// sequence; its parser is kept from what it cannot bound by the scan.
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

    return PlainXmlScan::accepts (document);
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
