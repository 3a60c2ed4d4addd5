#pragma once

#include <cstddef>
#include <string_view>

/** One pass over a document that accepts only the plain XML the plug-in writes, read
    exactly as the framework's parser reads it: an optional declaration, then one element
    with its attributes, character data, comments, character references and the five
    predefined entities, nested no deeper than the plug-in's own documents.

    That parser expands entities declared in a DOCTYPE without limit, loads the files a
    DOCTYPE names, recurses once per level of nesting, and goes round for ever on a
    processing instruction inside an element: none of those pass. Any thread. */
class PlainXmlScan
{
public:
    static bool accepts (std::string_view document);

private:
    explicit PlainXmlScan (std::string_view document) : text (document) {}

    bool scan();
    bool starts_with (std::string_view prefix) const;
    bool skip (char c);
    bool skip_space();
    bool skip_past (std::string_view end);
    bool read_name();
    bool read_start_tag (bool& empty);
    bool read_quoted();
    bool read_reference();

    // A state document's root and its parameters; the preferences' root and its values.
    static constexpr int max_depth = 2;
    // Elements, attributes and references together: ten times what a state document
    // holds. The framework's reader looks attributes up one by one and grows a value by
    // one reference at a time, so each part costs time in proportion to the others.
    static constexpr int max_parts = 1024;
    // The plug-in's values are numbers. The framework writes each non-ASCII character of a
    // value as a reference and reads one back by copying the value so far.
    static constexpr size_t max_value_bytes = 256;

    std::string_view text;
    size_t pos = 0;
    int parts = 0;
};
