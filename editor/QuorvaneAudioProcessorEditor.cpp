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

// A size larger than the main display's usable area would put the resize corner out of
// reach (and a huge one costs a huge window buffer): it becomes the largest 2:1 size
// that fits, never below the minimum. A size that fits, or no display at all, keeps it.
juce::Rectangle<int> fitted_to_display (juce::Rectangle<int> size, int minimum_width)
{
    const auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay();

    if (display == nullptr || display->userArea.isEmpty())
        return size;

    const auto area = display->userArea;

    if (size.getWidth() <= area.getWidth() && size.getHeight() <= area.getHeight())
        return size;

    const auto width = juce::jmax (minimum_width, juce::jmin (area.getWidth(), 2 * area.getHeight()));
    return { width, width / 2 };
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

    // Last, so that the first layout finds the main panel in place. A stored size
    // that fits the display is taken as it stands: the constraints bind only later
    // resizing.
    if (const auto& file = audio_processor.properties_file)
    {
        const auto size = fitted_to_display ({ stored_side (*file, audio_processor.width_key, design_width),
                                               stored_side (*file, audio_processor.height_key, design_height) },
                                             minimum_width);
        setSize (size.getWidth(), size.getHeight());
    }
    else
    {
        setSize (design_width, design_height);
    }
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
