#pragma once

#include "QuorvaneAudioProcessor.h"

/** Restores host state chunks into a live processor and checks what a host relies on:
    a chunk either restores its document or changes nothing, every parameter ends
    finite and inside its range, and the next block comes out finite.
    Message thread only; the processor is prepared by the constructor. */
class StateRestoreCheck
{
public:
    explicit StateRestoreCheck (QuorvaneAudioProcessor& processor);

    struct Outcome
    {
        bool changed_state = false;
        juce::StringArray problems; // every broken promise; empty when all hold
    };

    /** Hands the bytes to setStateInformation. Either nothing changes, or the state
        now holds the chunk's document, whose snapshot restores to the same state. */
    Outcome restore (const void* data, size_t size);

    /** One line per raw parameter value that is not finite or outside its range. */
    static juce::StringArray parameters_out_of_range (QuorvaneAudioProcessor& processor);

    /** The raw value of each parameter, by parameter index. */
    static std::vector<float> raw_values (QuorvaneAudioProcessor& processor);

    static constexpr int block_size = 64;

private:
    void check_document_was_restored (const juce::XmlElement& document, const std::vector<float>& before,
                                      juce::StringArray& problems);
    void check_round_trip (juce::StringArray& problems);
    void check_block_is_finite (juce::StringArray& problems);

    QuorvaneAudioProcessor& processor;
    juce::AudioBuffer<float> block { 2, block_size };
    juce::MidiBuffer midi;
};
