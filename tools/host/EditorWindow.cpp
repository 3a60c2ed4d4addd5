#include "EditorWindow.h"

#include <cstring>

// After JUCE's headers: Xlib's macros (None, Bool, Status) would clash with them.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace juce
{
// The framework's own step of its message loop; its run-for-a-while form is
// compiled out where modal loops are not permitted.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace
{
// A connection of our own, for the process's life, to read pixels and fake
// input; the framework's is private to it and the plug-in keeps yet another.
struct DisplayConnection
{
    DisplayConnection() : display (XOpenDisplay (nullptr))
    {
        // The framework only looks these atoms up, which fails on a display that
        // no window manager has served, and then uses atom 0, which the X server
        // answers with a fatal error. Once created they last while any client
        // stays connected, this one included.
        if (display != nullptr)
        {
            for (const auto* name : { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING",
                                      "WM_CHANGE_STATE", "WM_STATE" })
                XInternAtom (display, name, False);

            XSync (display, False);
        }
    }

    ~DisplayConnection()
    {
        if (display != nullptr)
            XCloseDisplay (display);
    }

    ::Display* const display;
};

::Display* shared_display()
{
    static const DisplayConnection connection;
    return connection.display;
}

int mask_shift (unsigned long mask)
{
    int shift = 0;

    while (mask != 0 && (mask & 1) == 0)
    {
        mask >>= 1;
        ++shift;
    }

    return shift;
}

juce::uint8 channel (unsigned long pixel, unsigned long mask)
{
    const auto value = (pixel & mask) >> mask_shift (mask);
    const auto top = mask >> mask_shift (mask);
    return (juce::uint8) (top == 0 ? 0 : value * 255 / top);
}
} // namespace

bool EditorWindow::display_available (juce::String& reason)
{
    if (shared_display() != nullptr)
        return true;

    const auto* name = std::getenv ("DISPLAY");
    reason = name == nullptr ? juce::String ("no X display: DISPLAY is not set (run under xvfb-run)")
                             : "cannot open the X display '" + juce::String (name) + "'";
    return false;
}

std::unique_ptr<EditorWindow> EditorWindow::open (HostedPlugin& plugin, juce::String& error)
{
    if (! display_available (error))
        return nullptr;

    auto& instance = plugin.instance();

    if (! instance.hasEditor())
    {
        error = plugin.description().name + " has no editor";
        return nullptr;
    }

    std::unique_ptr<juce::AudioProcessorEditor> editor (instance.createEditorIfNeeded());

    if (editor == nullptr)
    {
        error = plugin.description().name + " did not create its editor";
        return nullptr;
    }

    std::unique_ptr<EditorWindow> window (new EditorWindow (std::move (editor)));

    if (window->getPeer() == nullptr)
    {
        error = "cannot open a window on the X display";
        return nullptr;
    }

    return window;
}

EditorWindow::EditorWindow (std::unique_ptr<juce::AudioProcessorEditor> hosted)
    : editor (std::move (hosted))
{
    setOpaque (true);
    addAndMakeVisible (*editor);
    setSize (editor->getWidth(), editor->getHeight());
    setTopLeftPosition (0, 0);
    addToDesktop (juce::ComponentPeer::windowAppearsOnTaskbar);
    // Becoming visible on the desktop is what attaches the plug-in's view.
    setVisible (true);
}

EditorWindow::~EditorWindow()
{
    // The view goes before the window that it is embedded in.
    removeChildComponent (editor.get());
    editor.reset();
    removeFromDesktop();
}

void EditorWindow::childBoundsChanged (juce::Component* child)
{
    if (child == editor.get())
        setSize (editor->getWidth(), editor->getHeight());
}

void EditorWindow::resize_through_host (int width)
{
    const auto current = editor->getBounds();
    const auto height = current.getWidth() > 0 ? juce::roundToInt ((double) width * current.getHeight() / current.getWidth())
                                               : current.getHeight();
    editor->setSize (width, height);
}

juce::Rectangle<int> EditorWindow::editor_bounds() const
{
    return editor->getBounds();
}

juce::Image EditorWindow::capture() const
{
    auto* peer = getPeer();

    if (peer == nullptr)
        return {};

    const auto window = (::Window) (juce::pointer_sized_uint) peer->getNativeHandle();
    auto* display = shared_display();
    XSync (display, False);
    auto* pixels = XGetImage (display, window, 0, 0, (unsigned) getWidth(), (unsigned) getHeight(),
                              AllPlanes, ZPixmap);

    if (pixels == nullptr)
        return {};

    juce::Image image (juce::Image::RGB, getWidth(), getHeight(), false);
    const juce::Image::BitmapData out (image, juce::Image::BitmapData::writeOnly);

    for (int y = 0; y < getHeight(); ++y)
    {
        for (int x = 0; x < getWidth(); ++x)
        {
            const auto pixel = XGetPixel (pixels, x, y);
            out.setPixelColour (x, y, juce::Colour (channel (pixel, pixels->red_mask), channel (pixel, pixels->green_mask),
                                                    channel (pixel, pixels->blue_mask)));
        }
    }

    XDestroyImage (pixels);
    return image;
}

juce::Image EditorWindow::capture_when_still (int interval_ms, int max_ms)
{
    const auto same = [] (const juce::Image& a, const juce::Image& b)
    {
        if (! a.isValid() || ! b.isValid() || a.getBounds() != b.getBounds())
            return false;

        const juce::Image::BitmapData pa (a, juce::Image::BitmapData::readOnly), pb (b, juce::Image::BitmapData::readOnly);

        for (int y = 0; y < a.getHeight(); ++y)
            if (std::memcmp (pa.getLinePointer (y), pb.getLinePointer (y), (size_t) (a.getWidth() * pa.pixelStride)) != 0)
                return false;

        return true;
    };

    auto shot = capture();

    for (int waited = 0; waited < max_ms; waited += interval_ms)
    {
        run_messages (interval_ms);
        auto next = capture();

        if (same (shot, next))
            break;

        shot = next;
    }

    return shot;
}

bool EditorWindow::drag (juce::Point<int> from, juce::Point<int> to, int steps, int step_ms)
{
    auto* display = shared_display();
    int event_base = 0, error_base = 0, major = 0, minor = 0;

    if (! XTestQueryExtension (display, &event_base, &error_base, &major, &minor))
        return false;

    const auto origin = getScreenPosition();
    const auto move_to = [&] (juce::Point<int> p)
    {
        XTestFakeMotionEvent (display, -1, origin.x + p.x, origin.y + p.y, CurrentTime);
        XFlush (display);
    };

    move_to (from);
    run_messages (step_ms);
    XTestFakeButtonEvent (display, 1, True, CurrentTime);
    XFlush (display);
    run_messages (step_ms);

    for (int i = 1; i <= steps; ++i)
    {
        move_to (from + (to - from) * i / juce::jmax (1, steps));
        run_messages (step_ms);
    }

    XTestFakeButtonEvent (display, 1, False, CurrentTime);
    XFlush (display);
    run_messages (step_ms);
    return true;
}

void EditorWindow::run_messages (int milliseconds)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) juce::jmax (0, milliseconds);

    // Wakes the loop at the end should nothing else be pending then; gone with this call.
    struct WakeUp : juce::Timer
    {
        void timerCallback() override { stopTimer(); }
    } wake_up;

    wake_up.startTimer (juce::jmax (1, milliseconds));

    while (juce::Time::getMillisecondCounter() < end)
        juce::dispatchNextMessageOnSystemQueue (false);

    while (juce::dispatchNextMessageOnSystemQueue (true)) {}
}
