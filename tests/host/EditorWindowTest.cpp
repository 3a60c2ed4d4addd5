// The plug-in's editor in a real window on an X display, through the command-line
// host: its size and the preferences file across openings, and what the display
// shows. Runs under Xvfb (see CMakeLists.txt); TestMain gives it a home of its own.

#include "CliRun.h"
#include "TestBundle.h"

#include <gtest/gtest.h>

namespace
{
const juce::Colour black (0xff000000), panel_background (0xff191919), title_row (0xff121212);
constexpr int resize_corner = 18;

juce::File prefs_file()
{
    return juce::File ("~/Corvalen/Quorvane.prefs");
}

void store_size (int width, int height)
{
    prefs_file().getParentDirectory().createDirectory();
    ASSERT_TRUE (prefs_file().replaceWithText ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PROPERTIES>\n"
                                               "  <VALUE name=\"width\" val=\"" + juce::String (width) + "\"/>\n"
                                               "  <VALUE name=\"height\" val=\"" + juce::String (height) + "\"/>\n"
                                               "</PROPERTIES>\n"));
}

juce::Point<int> stored_size()
{
    const auto xml = juce::parseXML (prefs_file());
    juce::Point<int> size;

    if (xml != nullptr)
        for (const auto* value : xml->getChildIterator())
            (value->getStringAttribute ("name") == "width" ? size.x : size.y) = value->getIntAttribute ("val");

    return size;
}

struct Shot
{
    juce::Image image;
    juce::String printed;
};

// Opens the editor once, through the host, and gives what it showed.
Shot open_editor (const juce::StringArray& options = {})
{
    const juce::File png ("~/shot.png");
    png.deleteFile();

    juce::StringArray args { "editor", TestBundle::file().getFullPathName(), "--out", png.getFullPathName() };
    args.addArray (options);
    const CliRun run (args);
    EXPECT_EQ (run.exit_code, 0) << run.err;

    return { juce::ImageFileFormat::loadFrom (png), run.out };
}

// The panels' areas at the design size, from the grid's tracks.
struct Area
{
    const char* panel;
    float left, top, right, bottom;
    bool has_title;
};

const Area areas[] {
    { "delay1", 2.0f, 2.0f, 299.5f, 210.0f, true },
    { "master", 301.5f, 2.0f, 498.5f, 210.0f, true },
    { "delay2", 500.5f, 2.0f, 798.0f, 210.0f, true },
    { "env1", 2.0f, 212.0f, 149.75f, 316.0f, true },
    { "env2", 151.75f, 212.0f, 299.5f, 316.0f, true },
    { "randomizer", 301.5f, 212.0f, 498.5f, 316.0f, true },
    { "lfo1", 500.5f, 212.0f, 648.25f, 316.0f, true },
    { "lfo2", 650.25f, 212.0f, 798.0f, 316.0f, true },
    { "footer", 2.0f, 318.0f, 798.0f, 398.0f, false },
};
} // namespace

TEST (EditorWindow, OpensAtTheStoredSizeAndStoresWhatItClosesAt)
{
    store_size (600, 300);
    auto shot = open_editor();
    EXPECT_EQ (shot.image.getBounds(), juce::Rectangle<int> (600, 300));
    EXPECT_TRUE (shot.printed.contains ("at 600 x 300")) << shot.printed;

    // The host resizes the window, keeping its shape; the plug-in stores what it closes at.
    shot = open_editor ({ "--width", "1000" });
    EXPECT_EQ (shot.image.getBounds(), juce::Rectangle<int> (1000, 500));
    EXPECT_EQ (stored_size(), juce::Point<int> (1000, 500));

    shot = open_editor();
    EXPECT_EQ (shot.image.getBounds(), juce::Rectangle<int> (1000, 500));

    // Below the minimum width the plug-in holds the host at it.
    shot = open_editor ({ "--width", "150" });
    EXPECT_EQ (shot.image.getBounds(), juce::Rectangle<int> (200, 100));
    EXPECT_EQ (stored_size(), juce::Point<int> (200, 100));
    store_size (1000, 500);

    // Closing at the stored size leaves the file as it was.
    const auto before = juce::Time (2001, 0, 1, 0, 0);
    ASSERT_TRUE (prefs_file().setLastModificationTime (before));
    const auto contents = prefs_file().loadFileAsString();
    open_editor();
    EXPECT_EQ (prefs_file().getLastModificationTime(), before);
    EXPECT_EQ (prefs_file().loadFileAsString(), contents);
}

TEST (EditorWindow, ShowsTheGridsFrameGapsAndPanelColours)
{
    store_size (800, 400);
    const auto shot = open_editor().image;
    ASSERT_EQ (shot.getBounds(), juce::Rectangle<int> (800, 400));

    const auto expect_colour = [&shot] (int x, int y, juce::Colour colour, const juce::String& what)
    {
        // The window's resize corner, the editor's own, lies over the bottom right.
        if (x >= 800 - resize_corner && y >= 400 - resize_corner)
            return;

        EXPECT_EQ (shot.getPixelAt (x, y).getARGB(), colour.getARGB())
            << what << " at (" << x << ", " << y << ")";
    };

    // The whole frame, and a line through the middle of each gap, whatever the grid's rounding.
    for (int i = 0; i < 800; ++i)
        for (const int y : { 0, 1, 398, 399 })
            expect_colour (i, y, black, "frame");

    for (int i = 0; i < 400; ++i)
        for (const int x : { 0, 1, 798, 799 })
            expect_colour (x, i, black, "frame");

    for (int x = 2; x < 798; ++x)
        for (const int y : { 210, 211, 316, 317 })
            expect_colour (x, y, black, "row gap");

    for (int y = 2; y < 210; ++y)
        for (const int x : { 300, 499 })
            expect_colour (x, y, black, "column gap, top row");

    for (int y = 212; y < 316; ++y)
        for (const int x : { 150, 300, 499, 649 })
            expect_colour (x, y, black, "column gap, middle row");

    for (const auto& area : areas)
    {
        const auto left = (int) std::ceil (area.left) + 3, right = (int) area.right - 4;
        const auto top = (int) std::ceil (area.top) + 3, bottom = (int) area.bottom - 4;

        // The title is left-aligned: its row's right end is bare.
        expect_colour (left, bottom, panel_background, juce::String (area.panel) + " background");
        expect_colour (right, bottom, panel_background, juce::String (area.panel) + " background");

        if (area.has_title)
            expect_colour (right, top, title_row, juce::String (area.panel) + " title row");
    }
}
