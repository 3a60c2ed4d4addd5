// The plug-in's editor in a real window on an X display, through the command-line
// host: its size and the preferences file across openings, and what the display
// shows. Runs under Xvfb (see CMakeLists.txt); TestMain gives it a home of its own.

#include "CliRun.h"
#include "TestBundle.h"

#include <gtest/gtest.h>

namespace
{
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
