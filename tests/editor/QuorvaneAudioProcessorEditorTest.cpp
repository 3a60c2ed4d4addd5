// The editor window headless: the size it opens at from the preferences file, the
// one scale factor it gives the main panel, and the size it leaves behind.

#include "QuorvaneAudioProcessor.h"
#include "QuorvaneAudioProcessorEditor.h"

#include <gtest/gtest.h>

namespace
{
struct StoredSize
{
    const char* what;
    const char *width, *height; // null: the key is missing
    int expected_width, expected_height;
};

// The editor itself applies a stored size as it stands, whatever its shape; the
// constraints bind only a later resize by the user or the host.
const StoredSize stored_sizes[] {
    { "nothing stored", nullptr, nullptr, 800, 400 },
    { "the design size", "800", "400", 800, 400 },
    { "twice the width", "1600", "800", 1600, 800 },
    { "not 2:1", "1000", "300", 1000, 300 },
    { "taller than 2:1", "1000", "700", 1000, 700 },
    { "narrower than the minimum", "150", "75", 150, 75 },
    { "only a width", "1000", nullptr, 1000, 400 },
    { "text", "wide", "400", 800, 400 },
    { "zero", "0", "0", 800, 400 },
    { "negative", "-1000", "500", 800, 500 },
    { "a fraction", "1000.5", "500", 800, 500 },
    { "beyond any display", "9999999999", "500", 800, 500 },
};
} // namespace

TEST (QuorvaneAudioProcessorEditor, OpensAtTheStoredSizeAndScalesThePanelByTheWidth)
{
    for (const auto& stored : stored_sizes)
    {
        SCOPED_TRACE (stored.what);
        QuorvaneAudioProcessor processor;
        auto& prefs = *processor.properties_file;
        prefs.clear();

        if (stored.width != nullptr)
            prefs.setValue (processor.width_key, stored.width);

        if (stored.height != nullptr)
            prefs.setValue (processor.height_key, stored.height);

        {
            QuorvaneAudioProcessorEditor editor (processor);
            EXPECT_EQ (editor.getBounds(), juce::Rectangle<int> (stored.expected_width, stored.expected_height));

            auto* main_panel = dynamic_cast<MainComponent*> (editor.getChildComponent (0));
            ASSERT_NE (main_panel, nullptr);
            const auto scale = (float) stored.expected_width / 800.0f;
            EXPECT_EQ (main_panel->getBounds(), juce::Rectangle<int> (800, 400));
            EXPECT_EQ (main_panel->getTransform(), juce::AffineTransform::scale (scale));
            // The panel covers w by w/2 from the top-left corner, whatever the window's height.
            EXPECT_EQ (editor.getLocalArea (main_panel, main_panel->getLocalBounds().toFloat()),
                       juce::Rectangle<float> (0.0f, 0.0f, (float) stored.expected_width, (float) stored.expected_width / 2.0f));

            // A host's resize changes only the transform.
            editor.setSize (1200, 600);
            EXPECT_EQ (main_panel->getBounds(), juce::Rectangle<int> (800, 400));
            EXPECT_EQ (main_panel->getTransform(), juce::AffineTransform::scale (1.5f));
            editor.setSize (stored.expected_width, stored.expected_height);
        }

        // Closing stores the size as whole numbers, a sound size in place of a bad one.
        EXPECT_EQ (prefs.getValue (processor.width_key), juce::String (stored.expected_width));
        EXPECT_EQ (prefs.getValue (processor.height_key), juce::String (stored.expected_height));
    }
}

TEST (QuorvaneAudioProcessorEditor, WithoutAPreferencesFileOpensAtTheDesignSize)
{
    QuorvaneAudioProcessor processor;
    processor.properties_file.reset();
    const QuorvaneAudioProcessorEditor editor (processor);
    EXPECT_EQ (editor.getBounds(), juce::Rectangle<int> (800, 400));
}
