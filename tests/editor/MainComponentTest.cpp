// The main panel headless: where the grid puts the panels at the design size,
// their stacking, and what one tick of the refresh timer brings to the screen.

#include "MainComponent.h"
#include "QuorvaneAudioProcessor.h"

#include <gtest/gtest.h>

#include <thread>

namespace
{
struct Track
{
    const char* panel;
    float left, top, right, bottom;
};

// In the order of the children, which is the stacking order: a later panel is above.
const Track tracks[] {
    { "DelayComponent", 2.0f, 2.0f, 299.5f, 210.0f },
    { "MasterComponent", 301.5f, 2.0f, 498.5f, 210.0f },
    { "DelayComponent", 500.5f, 2.0f, 798.0f, 210.0f },
    { "EnvelopeComponent", 2.0f, 212.0f, 149.75f, 316.0f },
    { "EnvelopeComponent", 151.75f, 212.0f, 299.5f, 316.0f },
    { "RandomizerComponent", 301.5f, 212.0f, 498.5f, 316.0f },
    { "LFOComponent", 500.5f, 212.0f, 648.25f, 316.0f },
    { "LFOComponent", 650.25f, 212.0f, 798.0f, 316.0f },
    { "FooterComponent", 2.0f, 318.0f, 798.0f, 398.0f },
};

// Records what a component is asked to repaint, in place of a cached image.
struct RepaintRecorder : juce::CachedComponentImage
{
    void paint (juce::Graphics&) override {}
    bool invalidateAll() override { areas.add ({ 0, 0, 1 << 20, 1 << 20 }); return true; }
    bool invalidate (const juce::Rectangle<int>& area) override { areas.add (area); return true; }
    void releaseResources() override {}

    juce::RectangleList<int> areas;
};
} // namespace

TEST (MainComponent, PanelsLieOnTheGridsTracksInScreenOrder)
{
    QuorvaneAudioProcessor processor;
    MainComponent main_panel (processor);
    main_panel.setBounds (0, 0, 800, 400);

    ASSERT_EQ (main_panel.getNumChildComponents(), (int) std::size (tracks));

    for (int i = 0; i < main_panel.getNumChildComponents(); ++i)
    {
        auto* panel = main_panel.getChildComponent (i);
        const auto& track = tracks[i];
        const auto bounds = panel->getBounds().toFloat();
        SCOPED_TRACE (juce::String (i) + " " + track.panel + " at " + bounds.toString());

        EXPECT_TRUE (juce::String (typeid (*panel).name()).endsWith (track.panel));
        EXPECT_TRUE (panel->isVisible());

        // The framework's grid rounds each edge by less than a unit.
        EXPECT_LT (std::abs (bounds.getX() - track.left), 1.0f);
        EXPECT_LT (std::abs (bounds.getY() - track.top), 1.0f);
        EXPECT_LT (std::abs (bounds.getRight() - track.right), 1.0f);
        EXPECT_LT (std::abs (bounds.getBottom() - track.bottom), 1.0f);

        // Never touching a neighbour: a black gap always shows between two panels.
        for (int j = 0; j < i; ++j)
            EXPECT_FALSE (main_panel.getChildComponent (j)->getBounds().expanded (1, 1).intersects (panel->getBounds()));
    }
}

TEST (MainComponent, HostAutomationOfTheMixModeShowsWithinOneTick)
{
    QuorvaneAudioProcessor processor;
    MainComponent main_panel (processor);
    main_panel.setBounds (0, 0, 800, 400);
    main_panel.stopTimer();

    auto* master = dynamic_cast<MasterComponent*> (main_panel.getChildComponent (1));
    ASSERT_NE (master, nullptr);
    const auto icon_area = master->mix_mode_slider.getBounds();
    const auto before = master->createComponentSnapshot (icon_area);

    auto* recorder = new RepaintRecorder;
    master->setCachedComponentImage (recorder);
    recorder->areas.clear();

    // Automation arrives off the message thread: the panel hears of it only through its attachment's
    // pending update, which this test never lets run, or through the refresh.
    auto* mix_mode = processor.parameter_state.getParameter ("mix_mode");
    std::thread automation ([mix_mode] { mix_mode->setValueNotifyingHost (mix_mode->convertTo0to1 (3.0f)); });
    automation.join();
    EXPECT_FALSE (recorder->areas.intersects (icon_area));

    main_panel.timerCallback();
    EXPECT_TRUE (recorder->areas.containsRectangle (icon_area)) << recorder->areas.getBounds().toString();

    master->setCachedComponentImage (nullptr);
    const auto after = master->createComponentSnapshot (icon_area);
    bool changed = false;

    for (int y = 0; y < after.getHeight() && ! changed; ++y)
        for (int x = 0; x < after.getWidth() && ! changed; ++x)
            changed = after.getPixelAt (x, y) != before.getPixelAt (x, y);

    EXPECT_TRUE (changed) << "the routing picture did not change";
}
