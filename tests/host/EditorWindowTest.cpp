// The plug-in's editor in a real window on an X display, through the command-line
// host: its size and the preferences file across openings, and what the display
// shows. Runs under Xvfb (see CMakeLists.txt); TestMain gives it a home of its own.

#include "HostRig.h"

#include <gtest/gtest.h>

namespace
{
// Below the home TestMain sets, so found afresh each time.
juce::File prefs_file() { return juce::File ("~/Corvalen/Quorvane.prefs"); }

void store_size (int width, int height)
{
    prefs_file().getParentDirectory().createDirectory();
    ASSERT_TRUE (prefs_file().replaceWithText ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PROPERTIES>\n  <VALUE name=\"width\" val=\""
                                             + juce::String (width) + "\"/>\n  <VALUE name=\"height\" val=\"" + juce::String (height)
                                             + "\"/>\n</PROPERTIES>\n"));
}

juce::String stored_size()
{
    const auto xml = juce::parseXML (prefs_file());
    juce::StringArray values;
    for (const auto* value : xml != nullptr ? xml->getChildIterator() : decltype (xml->getChildIterator()) {})
        values.add (value->getStringAttribute ("name") + "=" + value->getStringAttribute ("val"));
    values.sort (false);
    return values.joinIntoString (" ");
}

// Opens the editor once, through the host, and gives what it showed.
juce::Image open_editor (const juce::StringArray& options = {})
{
    const juce::File png ("~/shot.png");
    png.deleteFile();
    juce::StringArray args { "editor", HostRig::bundle().getFullPathName(), "--out", png.getFullPathName() };
    args.addArray (options);
    const HostRig::Run run (args);
    EXPECT_EQ (run.exit_code, 0) << run.err;
    return juce::ImageFileFormat::loadFrom (png);
}
} // namespace

TEST (EditorWindow, OpensAtTheStoredSizeAndStoresWhatItClosesAt)
{
    // The host resizes the window, keeping its shape; the plug-in stores what it closes at,
    // and holds the host at the minimum width. A stored size beyond the 1280 x 1024 screen
    // opens at the largest 2:1 size that fits, its corner in reach.
    store_size (600, 300);
    const struct { juce::StringArray options; int width, height, stored_width = 0, stored_height = 0; } openings[] {
        { {}, 600, 300 }, { { "--width", "1000" }, 1000, 500 }, { {}, 1000, 500 }, { { "--width", "150" }, 200, 100 },
        { {}, 1280, 640, 16384, 8192 },
    };
    for (const auto& o : openings)
    {
        if (o.stored_width > 0)
            store_size (o.stored_width, o.stored_height);
        EXPECT_EQ (open_editor (o.options).getBounds(), juce::Rectangle<int> (o.width, o.height)) << o.options.joinIntoString (" ");
        EXPECT_EQ (stored_size(), "height=" + juce::String (o.height) + " width=" + juce::String (o.width));
    }

    // Closing at the stored size leaves the file as it was.
    const auto before = juce::Time (2001, 0, 1, 0, 0);
    ASSERT_TRUE (prefs_file().setLastModificationTime (before));
    open_editor();
    EXPECT_EQ (prefs_file().getLastModificationTime(), before);
}

TEST (EditorWindow, ShowsTheGridsFrameGapsAndPanelColours)
{
    store_size (800, 400);
    const auto shot = open_editor();
    ASSERT_EQ (shot.getBounds(), juce::Rectangle<int> (800, 400));
    constexpr juce::uint32 panel = 0xff191919, title = 0xff121212, delay = 0xff4bc89a;

    // The frame and the gaps, then each panel's background and its title row's bare right end.
    for (const auto& [x, y] : { std::pair (0, 0), { 1, 200 }, { 400, 1 }, { 798, 100 }, { 400, 398 }, { 50, 210 }, { 700, 211 }, { 50, 316 },
                                { 700, 317 }, { 300, 100 }, { 499, 100 }, { 150, 250 }, { 300, 250 }, { 499, 250 }, { 649, 250 } })
        EXPECT_EQ (shot.getPixelAt (x, y).getARGB(), 0xff000000) << x << ", " << y;

    const struct { int x, y; juce::uint32 argb; } points[] {
        { 5, 206, panel }, { 295, 206, panel }, { 305, 206, panel }, { 794, 206, panel }, { 5, 312, panel }, { 794, 312, panel },
        { 5, 394, panel }, { 295, 5, title }, { 494, 5, title }, { 794, 5, title }, { 145, 215, title }, { 644, 215, title },
        { 51, 140, delay }, // the pointer of delay 1's feed knob, straight up at its default
    };
    for (const auto& p : points)
        EXPECT_EQ (shot.getPixelAt (p.x, p.y).getARGB(), p.argb) << p.x << ", " << p.y;
}
