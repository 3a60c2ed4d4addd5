// The editor window headless: the size it opens at from the preferences file, the
// one scale factor it gives the main panel, and the size it leaves behind.

#include "QuorvaneAudioProcessor.h"
#include "QuorvaneAudioProcessorEditor.h"

#include <gtest/gtest.h>

TEST (QuorvaneAudioProcessorEditor, OpensAtTheStoredSizeAndScalesThePanelByTheWidth)
{
    // The editor itself applies a stored size as it stands, whatever its shape; the
    // constraints bind only a later resize by the user or the host. Null: the key is missing.
    const struct { const char *width, *height; int expected_width, expected_height; } stored_sizes[] {
        { nullptr, nullptr, 800, 400 }, { "800", "400", 800, 400 }, { "1600", "800", 1600, 800 }, { "1000", "300", 1000, 300 },
        { "1000", "700", 1000, 700 }, { "150", "75", 150, 75 }, { "1000", nullptr, 1000, 400 }, { "wide", "400", 800, 400 },
        { "0", "0", 800, 400 }, { "-1000", "500", 800, 500 }, { "1000.5", "500", 800, 500 }, { "9999999999", "500", 800, 500 },
    };

    for (const auto& stored : stored_sizes)
    {
        SCOPED_TRACE (juce::String (stored.width) + " x " + juce::String (stored.height));
        QuorvaneAudioProcessor processor;
        auto& prefs = *processor.properties_file;
        prefs.clear();
        for (const auto& [key, value] : { std::pair (processor.width_key, stored.width), { processor.height_key, stored.height } })
            if (value != nullptr)
                prefs.setValue (key, value);

        {
            QuorvaneAudioProcessorEditor editor (processor);
            EXPECT_EQ (editor.getBounds(), juce::Rectangle<int> (stored.expected_width, stored.expected_height));
            auto* main_panel = dynamic_cast<MainComponent*> (editor.getChildComponent (0));
            ASSERT_NE (main_panel, nullptr);
            // The panel covers w by w/2 from the top-left corner, whatever the window's height.
            EXPECT_EQ (main_panel->getBounds(), juce::Rectangle<int> (800, 400));
            EXPECT_EQ (main_panel->getTransform(), juce::AffineTransform::scale ((float) stored.expected_width / 800.0f));

            // A host's resize changes only the transform; the user's is held to the shape and minimum.
            editor.setSize (1200, 600);
            EXPECT_EQ (main_panel->getBounds(), juce::Rectangle<int> (800, 400));
            EXPECT_EQ (main_panel->getTransform(), juce::AffineTransform::scale (1.5f));
            EXPECT_EQ (editor.getConstrainer()->getMinimumWidth(), 200);
            EXPECT_EQ (editor.getConstrainer()->getFixedAspectRatio(), 2.0);
            editor.setSize (stored.expected_width, stored.expected_height);
        }

        // Closing stores the size as whole numbers, a sound size in place of a bad one, and
        // writes it to disk then, not only when the processor goes.
        juce::PropertiesFile on_disk (prefs.getFile(), {});
        for (const auto* file : { &prefs, &on_disk })
        {
            EXPECT_EQ (file->getValue (processor.width_key), juce::String (stored.expected_width));
            EXPECT_EQ (file->getValue (processor.height_key), juce::String (stored.expected_height));
        }
    }

    QuorvaneAudioProcessor without_prefs;
    without_prefs.properties_file.reset();
    EXPECT_EQ (QuorvaneAudioProcessorEditor (without_prefs).getBounds(), juce::Rectangle<int> (800, 400));
}
