#pragma once

#include "Palette.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

namespace crvl::gui
{
// The editor's look: one embedded typeface for all text, knobs drawn from two images
// with a value pie and a pointer, and flat dark buttons, scrollbars, tree boxes and tabs.
// A slider whose component property "bipolar" is 1 fills from its middle.
// Message thread only.
class CorvalenLook : public juce::LookAndFeel_V4
{
public:
    CorvalenLook();
    ~CorvalenLook() override;

    // Knob body, drawn over the whole knob square, and cap, drawn over its inner 75 %.
    void set_knob_back (std::unique_ptr<juce::Drawable> image);
    void set_knob_front (std::unique_ptr<juce::Drawable> image);
    // Both images from the compiled-in "knob_back" and "knob_front" SVGs.
    void load_knob_images();

    juce::Typeface::Ptr get_typeface() const { return typeface; }

    // True when the slider's "bipolar" property reads as the integer 1.
    static bool is_bipolar (const juce::Component& component);

    void drawScrollbar (juce::Graphics&, juce::ScrollBar&, int x, int y, int width, int height,
                        bool isScrollbarVertical, int thumbStartPosition, int thumbSize,
                        bool isMouseOver, bool isMouseDown) override;
    int getDefaultScrollbarWidth() override;
    int getScrollbarButtonSize (juce::ScrollBar&) override;

    juce::Typeface::Ptr getTypefaceForFont (const juce::Font&) override;

    void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                               bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

    void drawTreeviewPlusMinusBox (juce::Graphics&, const juce::Rectangle<float>& area,
                                   juce::Colour backgroundColour, bool isOpen, bool isMouseOver) override;

    void drawLinearSlider (juce::Graphics&, int x, int y, int width, int height,
                           float sliderPos, float minSliderPos, float maxSliderPos,
                           juce::Slider::SliderStyle, juce::Slider&) override;
    void drawRotarySlider (juce::Graphics&, int x, int y, int width, int height,
                           float sliderPosProportional, float rotaryStartAngle,
                           float rotaryEndAngle, juce::Slider&) override;

    void drawTabButton (juce::TabBarButton&, juce::Graphics&, bool isMouseOver, bool isMouseDown) override;
    void drawTabButtonText (juce::TabBarButton&, juce::Graphics&, bool isMouseOver, bool isMouseDown) override;
    void drawTabbedButtonBarBackground (juce::TabbedButtonBar&, juce::Graphics&) override;
    void drawTabAreaBehindFrontButton (juce::TabbedButtonBar&, juce::Graphics&, int w, int h) override;
    void createTabButtonShape (juce::TabBarButton&, juce::Path&, bool isMouseOver, bool isMouseDown) override;
    void fillTabButtonShape (juce::TabBarButton&, juce::Graphics&, const juce::Path&,
                             bool isMouseOver, bool isMouseDown) override;

private:
    juce::Typeface::Ptr typeface;

    // The look keeps its own copy of the named colours; their values live in the palette.
    static inline const QuorvaneUITools::Palette palette_colours {};

    juce::Colour blue { palette_colours.blue };
    juce::Colour green { palette_colours.green };
    juce::Colour yellow { palette_colours.yellow };
    juce::Colour red { palette_colours.red };
    juce::Colour orange { palette_colours.orange };
    juce::Colour lime { palette_colours.lime };
    juce::Colour mint { palette_colours.mint };
    juce::Colour magenta { palette_colours.magenta };
    juce::Colour purple { palette_colours.purple };
    juce::Colour dark_grey { palette_colours.dark_grey };
    juce::Colour light_grey { palette_colours.light_grey };
    juce::Colour darker_grey { palette_colours.darker_grey };
    juce::Colour darkest_grey { palette_colours.darkest_grey };

    std::unique_ptr<juce::Drawable> knob_back;
    std::unique_ptr<juce::Drawable> knob_front;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CorvalenLook)
};
} // namespace crvl::gui
