#include "QuorvaneAudioProcessorEditor.h"

#include "QuorvaneAudioProcessor.h"

namespace
{
// The largest stored side taken as written: beyond any display, and beyond what
// a window system accepts.
constexpr int max_stored_side = 16384;

// A stored side as written, or the default when it is missing or not a whole
// number from 1 to max_stored_side: a window of no size could never be seen,
// let alone resized back.
int stored_side (const juce::PropertiesFile& file, const juce::String& key, int default_value)
{
    const auto text = file.getValue (key).trim();

    if (text.isEmpty() || ! text.containsOnly ("0123456789") || text.length() > 5)
        return default_value;

    const auto value = text.getIntValue();
    return value >= 1 && value <= max_stored_side ? value : default_value;
}
} // namespace

QuorvaneAudioProcessorEditor::QuorvaneAudioProcessorEditor (QuorvaneAudioProcessor& owner)
    : AudioProcessorEditor (owner),
      audio_processor (owner),
      main_component (owner)
{
    addAndMakeVisible (main_component);
    setResizable (true, true);
    getConstrainer()->setFixedAspectRatio (aspect_ratio);
    getConstrainer()->setMinimumWidth (minimum_width);

    // Last, so that the first layout finds the main panel in place. The stored
    // size is taken as it stands: the constraints bind only later resizing.
    if (const auto& file = audio_processor.properties_file)
        setSize (stored_side (*file, audio_processor.width_key, design_width),
                 stored_side (*file, audio_processor.height_key, design_height));
    else
        setSize (design_width, design_height);
}

QuorvaneAudioProcessorEditor::~QuorvaneAudioProcessorEditor()
{
    if (const auto& file = audio_processor.properties_file)
    {
        // Unchanged values leave the file untouched: the save then writes nothing.
        file->setValue (audio_processor.width_key, getWidth());
        file->setValue (audio_processor.height_key, getHeight());
        file->saveIfNeeded();
    }
}

void QuorvaneAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black);
}

void QuorvaneAudioProcessorEditor::resized()
{
    main_component.setBounds (0, 0, design_width, design_height);

    // One factor from the width alone; a transform with no size would have no inverse.
    if (getWidth() > 0)
    {
        const auto scale = (float) getWidth() / (float) design_width;
        main_component.setTransform (juce::AffineTransform::scale (scale, scale));
    }
}
