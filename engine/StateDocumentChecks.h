#pragma once

#include <juce_data_structures/juce_data_structures.h>

#include <memory>

/** Decides whether a document the plug-in reads from outside (a host state chunk, a preset
    file, the preferences file) is one it may hand to the framework: the framework reads it
    without looping, recursing without bound or reading past the data, and a snapshot of
    what it restores reads back as that same state.
    Any thread but the audio thread (they allocate; read_file reads the disk). */
class StateDocumentChecks
{
public:
    /** Far more than any document the plug-in writes (a few kilobytes), and little enough
        to check and read at once. */
    static constexpr size_t max_document_bytes = 1 << 20;

    /** Parses the raw text of a state document (a preset file's bytes, or a chunk's
        text) as the framework reads it, as UTF-8; null when the text or the document
        fails any check below. The root tag is the caller's to compare. */
    static std::unique_ptr<juce::XmlElement> parse_document (const void* text, size_t size_in_bytes);

    /** At most max_document_bytes of well-formed UTF-8, holding one element in the plain
        XML the plug-in writes: an optional declaration, comments, character data,
        character references and the five predefined entities, nested no deeper than its
        own documents. No DOCTYPE, entity declaration or processing instruction. */
    static bool is_readable_text (const void* text, size_t size_in_bytes);

    /** The same for the text inside a host state chunk: magic number, 32-bit length, text.
        True for a chunk the framework's reader refuses on its own (too short). */
    static bool chunk_holds_readable_text (const void* data, int size_in_bytes);

    /** Reads a whole document file: a regular file of at most max_document_bytes, so that
        a pipe or a device behind the name can neither block nor run on. False, with
        nothing read, for anything else. */
    static bool read_file (const juce::File& file, juce::MemoryBlock& bytes);

    /** No attribute given twice, and the tree's XML snapshot reads back as the tree. */
    static bool reads_back_unchanged (const juce::ValueTree& tree);

    /** A parameter value the framework reads as written and that fits a finite float. */
    static bool is_readable_number (const juce::var& value);
};
