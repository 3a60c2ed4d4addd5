#pragma once

#include <juce_data_structures/juce_data_structures.h>

#include <memory>

/** Decides whether a state document, from a host chunk or a preset file, is one the
    processor may restore: the framework reads it without looping or reading past the
    data, and a snapshot of what it restores reads back as that same state.
    Pure functions, any thread but the audio thread (they allocate). */
class StateDocumentChecks
{
public:
    /** Parses the raw text of a state document (a preset file's bytes, or a chunk's
        text) as the framework reads it, as UTF-8; null when the text or the document
        fails any check below. The root tag is the caller's to compare. */
    static std::unique_ptr<juce::XmlElement> parse_document (const void* text, size_t size_in_bytes);

    /** Well-formed UTF-8 throughout, and no processing instruction after the declaration. */
    static bool is_readable_text (const void* text, size_t size_in_bytes);

    /** The same for the text inside a host state chunk: magic number, 32-bit length, text.
        True for a chunk the framework's reader refuses on its own (too short). */
    static bool chunk_holds_readable_text (const void* data, int size_in_bytes);

    /** No attribute given twice, and the tree's XML snapshot reads back as the tree. */
    static bool reads_back_unchanged (const juce::ValueTree& tree);

    /** A parameter value the framework reads as written and that fits a finite float. */
    static bool is_readable_number (const juce::var& value);
};
