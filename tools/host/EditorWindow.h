#pragma once

#include "HostedPlugin.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

/** The plug-in's own editor in a top-level window on the X display, as a DAW
    shows it: the VST 3 view is attached to a native window and runs on this
    thread's message loop, which also serves the plug-in's run loop.

    Message thread only. The display is $DISPLAY; under Xvfb nothing decorates
    or moves the window, so what the display shows of it is the editor itself. */
class EditorWindow : public juce::Component
{
public:
    /** Opens the hosted plug-in's editor and shows it, or fails with a one-line reason. */
    static std::unique_ptr<EditorWindow> open (HostedPlugin& plugin, juce::String& error);

    /** Closes the editor: its view is removed and the plug-in's editor deleted. */
    ~EditorWindow() override;

    /** Resizes the window to this width as a DAW does when its frame is dragged:
        the height scales alike, and the plug-in's size constraint has the last word. */
    void resize_through_host (int width);

    /** The size of the editor as the host has it. */
    juce::Rectangle<int> editor_bounds() const;

    /** The window's pixels as the X server holds them, the plug-in's embedded
        window included; an invalid image if they cannot be read. */
    juce::Image capture() const;

    /** The window's pixels once two reads a while apart agree, so that a slow
        plug-in has painted; the last read if they never do within max_ms. */
    juce::Image capture_when_still (int interval_ms, int max_ms);

    /** Presses the first pointer button at one point of the window, moves to
        another in steps of step_ms each, and releases: a user's drag, sent
        through the X server's test extension. False if the display has none. */
    bool drag (juce::Point<int> from, juce::Point<int> to, int steps, int step_ms);

    /** Runs this thread's message loop for a while, then until nothing is
        pending: timers, painting and the plug-in's own run loop. */
    static void run_messages (int milliseconds);

    /** Opens this process's own connection to the X display, or gives false
        with the reason. Call it before the plug-in is loaded: a plug-in may look
        up the display's atoms as it loads, and this makes sure they exist. */
    static bool display_available (juce::String& reason);

private:
    explicit EditorWindow (std::unique_ptr<juce::AudioProcessorEditor>);

    void childBoundsChanged (juce::Component*) override;

    std::unique_ptr<juce::AudioProcessorEditor> editor;

    JUCE_DECLARE_NON_COPYABLE (EditorWindow)
};
