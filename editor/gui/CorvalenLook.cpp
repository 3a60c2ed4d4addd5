#include "CorvalenLook.h"

#include "BinaryData.h"

#include <vector>

namespace crvl::gui
{
namespace
{
constexpr float two_pi = juce::MathConstants<float>::twoPi;

// Alphas multiply with rounding to the nearest step, capped at opaque.
juce::Colour with_multiplied_alpha (juce::Colour colour, float multiplier)
{
    return colour.withAlpha ((juce::uint8) juce::jmin (255, juce::roundToInt ((float) colour.getAlpha() * multiplier)));
}

// Text is laid out through the process's default look, whatever look a component has, so
// the live looks take that role in turn: the newest one answers every font request.
std::vector<CorvalenLook*>& live_looks()
{
    static std::vector<CorvalenLook*> looks;
    return looks;
}

void make_default (juce::LookAndFeel* look)
{
    juce::LookAndFeel::setDefaultLookAndFeel (look);
    // Faces already looked up under the previous default would otherwise stay in use.
    juce::Typeface::clearTypefaceCache();
}
} // namespace

CorvalenLook::CorvalenLook()
{
    typeface = juce::Typeface::createSystemTypefaceFor (BinaryData::RobotoMedium_ttf,
                                                        (size_t) BinaryData::RobotoMedium_ttfSize);

    setColour (juce::PopupMenu::textColourId, light_grey);
    setColour (juce::PopupMenu::highlightedBackgroundColourId, light_grey);
    setColour (juce::PopupMenu::highlightedTextColourId, darker_grey);
    setColour (juce::TooltipWindow::backgroundColourId, light_grey);
    setColour (juce::TooltipWindow::textColourId, darker_grey);
    setColour (juce::TooltipWindow::outlineColourId, juce::Colours::black);
    setColour (juce::ComboBox::backgroundColourId, darker_grey);
    setColour (juce::ComboBox::textColourId, light_grey);
    setColour (juce::ComboBox::outlineColourId, dark_grey);
    setColour (juce::ComboBox::arrowColourId, light_grey);
    setColour (juce::ListBox::backgroundColourId, darker_grey);
    setColour (juce::DirectoryContentsDisplayComponent::textColourId, light_grey);
    setColour (juce::DirectoryContentsDisplayComponent::highlightColourId, blue);
    setColour (juce::TreeView::backgroundColourId, darker_grey);
    setColour (juce::TreeView::linesColourId, light_grey);
    setColour (juce::DrawableButton::backgroundOnColourId, juce::Colours::transparentWhite);
    setColour (juce::DrawableButton::backgroundColourId, juce::Colours::transparentWhite);

    live_looks().push_back (this);
    make_default (this);
}

CorvalenLook::~CorvalenLook()
{
    auto& looks = live_looks();
    looks.erase (std::remove (looks.begin(), looks.end(), this), looks.end());

    if (&juce::LookAndFeel::getDefaultLookAndFeel() == this)
        make_default (looks.empty() ? nullptr : looks.back());

    knob_front.reset();
    knob_back.reset();
    typeface = nullptr;
}

void CorvalenLook::set_knob_back (std::unique_ptr<juce::Drawable> image) { knob_back = std::move (image); }

void CorvalenLook::set_knob_front (std::unique_ptr<juce::Drawable> image) { knob_front = std::move (image); }

void CorvalenLook::load_knob_images()
{
    set_knob_back (juce::Drawable::createFromImageData (BinaryData::knob_back_svg, (size_t) BinaryData::knob_back_svgSize));
    set_knob_front (juce::Drawable::createFromImageData (BinaryData::knob_front_svg, (size_t) BinaryData::knob_front_svgSize));
}

bool CorvalenLook::is_bipolar (const juce::Component& component)
{
    return static_cast<int> (component.getProperties().getWithDefault ("bipolar", 0)) == 1;
}

//==============================================================================
void CorvalenLook::drawScrollbar (juce::Graphics& g, juce::ScrollBar&, int x, int y, int width, int height,
                                  bool isScrollbarVertical, int thumbStartPosition, int thumbSize,
                                  bool, bool)
{
    g.setColour (darker_grey);
    g.fillRect (x, y, width, height);

    // Thin bars lose the slot's frame so the thumb keeps some thickness.
    const auto slot_indent = juce::jmin (width, height) >= 16 ? 1 : 0;
    const auto thumb_indent = slot_indent + 1;

    const juce::Rectangle<float> slot ((float) (x + slot_indent), (float) (y + slot_indent),
                                       (float) (width - 2 * slot_indent), (float) (height - 2 * slot_indent));
    g.setColour (light_grey);
    g.fillRoundedRectangle (slot, (isScrollbarVertical ? slot.getWidth() : slot.getHeight()) * 0.5f);

    if (thumbSize <= 0)
        return;

    const auto thumb = isScrollbarVertical
                           ? juce::Rectangle<float> ((float) (x + thumb_indent), (float) (thumbStartPosition + thumb_indent),
                                                     (float) (width - 2 * thumb_indent), (float) (thumbSize - 2 * thumb_indent))
                           : juce::Rectangle<float> ((float) (thumbStartPosition + thumb_indent), (float) (y + thumb_indent),
                                                     (float) (thumbSize - 2 * thumb_indent), (float) (height - 2 * thumb_indent));
    const auto corner = (isScrollbarVertical ? thumb.getWidth() : thumb.getHeight()) * 0.5f;

    juce::Path thumb_path;
    thumb_path.addRoundedRectangle (thumb, corner);
    g.setColour (darker_grey);
    g.fillPath (thumb_path);
    g.setColour (juce::Colour (0x4c000000));
    g.strokePath (thumb_path, juce::PathStrokeType (0.4f));
}

int CorvalenLook::getDefaultScrollbarWidth() { return 8; }

int CorvalenLook::getScrollbarButtonSize (juce::ScrollBar&) { return 0; }

juce::Typeface::Ptr CorvalenLook::getTypefaceForFont (const juce::Font&) { return typeface; }

//==============================================================================
void CorvalenLook::drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour& backgroundColour,
                                         bool, bool)
{
    constexpr float corner = 6.0f;
    auto area = button.getLocalBounds().toFloat().reduced (0.5f);
    area.setSize (juce::jmax (0.0f, area.getWidth()), juce::jmax (0.0f, area.getHeight()));

    auto colour = button.isEnabled() ? backgroundColour : with_multiplied_alpha (backgroundColour, 0.5f);
    // Only a press darkens; hovering leaves the colour alone.
    colour = colour.withMultipliedBrightness (button.getState() == juce::Button::buttonDown ? 0.7f : 1.0f);
    g.setColour (colour);

    const auto outline = button.findColour (juce::ComboBox::outlineColourId);
    const auto flat_left = button.isConnectedOnLeft();
    const auto flat_right = button.isConnectedOnRight();

    if (flat_left || flat_right)
    {
        juce::Path path;
        path.addRoundedRectangle (area.getX(), area.getY(), area.getWidth(), area.getHeight(), corner, corner,
                                  ! flat_left, ! flat_right, ! flat_left, ! flat_right);
        g.fillPath (path);
        g.setColour (outline);
        g.strokePath (path, juce::PathStrokeType (1.0f));
    }
    else
    {
        g.fillRoundedRectangle (area, corner);
        g.setColour (outline);
        g.drawRoundedRectangle (area, corner, 1.0f);
    }
}

void CorvalenLook::drawTreeviewPlusMinusBox (juce::Graphics& g, const juce::Rectangle<float>& area,
                                             juce::Colour, bool isOpen, bool)
{
    // Odd side, so the bars sit on the box's middle pixel row and column.
    const auto side = juce::roundToInt (juce::jmin (16.0f, area.getWidth(), area.getHeight()) * 0.7f) | 1;
    const auto x = ((int) area.getWidth() - side) / 2 + (int) area.getX();
    const auto y = ((int) area.getHeight() - side) / 2 + (int) area.getY();
    const juce::Rectangle<float> box ((float) x, (float) y, (float) side, (float) side);

    g.setColour (light_grey);
    g.fillRect (box);
    g.setColour (darker_grey);
    g.drawRect (box, 1.0f);

    const auto bar = (float) (side / 2 + 1);
    const auto middle = (float) (side / 2);
    g.fillRect ((float) x + ((float) side - bar) * 0.5f, (float) y + middle, bar, 1.0f);

    if (! isOpen)
        g.fillRect ((float) x + middle, (float) y + ((float) side - bar) * 0.5f, 1.0f, bar);
}

//==============================================================================
void CorvalenLook::drawLinearSlider (juce::Graphics& g, int x, int y, int width, int height,
                                     float sliderPos, float minSliderPos, float maxSliderPos,
                                     juce::Slider::SliderStyle style, juce::Slider& slider)
{
    if (style != juce::Slider::LinearBar && style != juce::Slider::LinearBarVertical)
    {
        LookAndFeel_V4::drawLinearSlider (g, x, y, width, height, sliderPos, minSliderPos, maxSliderPos, style, slider);
        return;
    }

    g.setColour (slider.findColour (juce::Slider::backgroundColourId));
    g.fillRect (x, y, width, height);
    g.setColour (slider.findColour (juce::Slider::trackColourId));

    if (! slider.isHorizontal())
    {
        g.fillRect (juce::Rectangle<float> ((float) x + 0.5f, sliderPos, (float) width - 1.0f,
                                            (float) y + ((float) height - sliderPos)));
        return;
    }

    if (is_bipolar (slider))
    {
        // A one-value slider passes its unused min and max positions (both at value 0),
        // so the middle comes from the bar's own extent.
        const auto middle = (float) x + (float) width * 0.5f;
        g.fillRect (juce::Rectangle<float> (middle - 1.0f, (float) y + 0.5f, 2.0f, (float) height - 1.0f));
        g.fillRect (juce::Rectangle<float> (juce::jmin (middle, sliderPos), (float) y + 0.5f,
                                            std::abs (sliderPos - middle), (float) height - 1.0f));
        return;
    }

    g.fillRect (juce::Rectangle<float> ((float) x, (float) y + 0.5f, sliderPos - (float) x, (float) height - 1.0f));
}

void CorvalenLook::drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height,
                                     float sliderPos, float rotaryStartAngle, float rotaryEndAngle,
                                     juce::Slider& slider)
{
    const auto radius = (float) (juce::jmin (width / 2, height / 2) - 2);

    if (radius <= 0.0f)
        return;

    const auto cx = (float) x + (float) width / 2.0f;
    const auto cy = (float) y + (float) height / 2.0f;
    const juce::Rectangle<float> knob (cx - radius, cy - radius, 2.0f * radius, 2.0f * radius);
    const auto angle = rotaryStartAngle + sliderPos * (rotaryEndAngle - rotaryStartAngle);

    const auto pointer_colour = slider.findColour (juce::Slider::rotarySliderFillColourId)
                                    .withAlpha ((juce::uint8) (slider.isEnabled() ? 255 : 127));
    const auto pie_colour = with_multiplied_alpha (pointer_colour, 0.8f);

    if (knob_back != nullptr)
        knob_back->drawWithin (g, knob, juce::RectanglePlacement::fillDestination, 1.0f);

    // The pie shows as a ring between the cap's edge and 0.9 of the radius.
    auto from = rotaryStartAngle;
    auto to = angle;

    if (is_bipolar (slider))
    {
        // Grows from twelve o'clock, the middle of the default rotary range.
        const auto proportion = slider.valueToProportionOfLength (slider.getValue());
        from = proportion >= 0.5 ? two_pi : angle;
        to = proportion >= 0.5 ? angle : two_pi;
    }

    juce::Path pie;
    pie.addPieSegment (knob.reduced (0.1f * radius), from, to, 0.0f);
    g.setColour (pie_colour);
    g.fillPath (pie);

    const auto cap = knob.reduced (0.25f * radius);

    if (knob_front != nullptr)
    {
        knob_front->drawWithin (g, cap, juce::RectanglePlacement::fillDestination, 1.0f);
    }
    else
    {
        g.setColour (darker_grey);
        g.fillEllipse (cap);
    }

    juce::Path pointer;
    pointer.addLineSegment ({ 0.0f, -0.3f * radius, 0.0f, -0.6f * radius }, 0.04f * 2.0f * radius);
    pointer.applyTransform (juce::AffineTransform::rotation (angle).translated (cx, cy));
    g.setColour (pointer_colour);
    g.fillPath (pointer);
}

//==============================================================================
void CorvalenLook::drawTabButton (juce::TabBarButton& button, juce::Graphics& g, bool isMouseOver, bool isMouseDown)
{
    juce::Path shape;
    createTabButtonShape (button, shape, isMouseOver, isMouseDown);

    const auto active = button.getActiveArea();
    shape.applyTransform (juce::AffineTransform::translation ((float) active.getX(), (float) active.getY()));

    juce::DropShadow (juce::Colours::black.withAlpha ((juce::uint8) 127), 2, { 0, 0 }).drawForPath (g, shape);

    fillTabButtonShape (button, g, shape, isMouseOver, isMouseDown);
    drawTabButtonText (button, g, isMouseOver, isMouseDown);
}

void CorvalenLook::drawTabButtonText (juce::TabBarButton& button, juce::Graphics& g, bool isMouseOver, bool isMouseDown)
{
    const auto area = button.getTextArea().toFloat();
    auto& bar = button.getTabbedButtonBar();
    auto length = area.getWidth();
    auto depth = area.getHeight();

    if (bar.isVertical())
        std::swap (length, depth);

    juce::Font font (depth * 0.6f);
    font.setUnderline (button.hasKeyboardFocus (false));

    juce::AffineTransform transform;

    switch (bar.getOrientation())
    {
        case juce::TabbedButtonBar::TabsAtLeft:
            transform = transform.rotated (-juce::MathConstants<float>::halfPi).translated (area.getX(), area.getBottom());
            break;
        case juce::TabbedButtonBar::TabsAtRight:
            transform = transform.rotated (juce::MathConstants<float>::halfPi).translated (area.getRight(), area.getY());
            break;
        case juce::TabbedButtonBar::TabsAtTop:
        case juce::TabbedButtonBar::TabsAtBottom:
        default:
            transform = transform.translated (area.getX(), area.getY());
            break;
    }

    juce::Colour colour;

    if (button.isFrontTab() && (button.isColourSpecified (juce::TabbedButtonBar::frontTextColourId)
                                || isColourSpecified (juce::TabbedButtonBar::frontTextColourId)))
        colour = findColour (juce::TabbedButtonBar::frontTextColourId);
    else if (button.isColourSpecified (juce::TabbedButtonBar::tabTextColourId)
             || isColourSpecified (juce::TabbedButtonBar::tabTextColourId))
        colour = findColour (juce::TabbedButtonBar::tabTextColourId);
    else
        colour = button.getTabBackgroundColour().contrasting (1.0f);

    const auto alpha = button.isEnabled() ? ((isMouseOver || isMouseDown) ? 1.0f : 0.8f) : 0.3f;
    g.setColour (with_multiplied_alpha (colour, alpha));
    g.setFont (font);
    g.addTransform (transform);
    g.drawFittedText (button.getButtonText().trim(), 0, 0, (int) length, (int) depth,
                      juce::Justification::centred, juce::jmax (1, (int) depth / 12));
}

void CorvalenLook::drawTabbedButtonBarBackground (juce::TabbedButtonBar&, juce::Graphics&) {}

void CorvalenLook::drawTabAreaBehindFrontButton (juce::TabbedButtonBar& bar, juce::Graphics& g, int w, int h)
{
    constexpr float shadow = 0.2f;
    const auto dark = juce::Colours::black.withAlpha ((juce::uint8) (bar.isEnabled() ? 63 : 38));
    juce::ColourGradient gradient (dark, 0.0f, 0.0f, juce::Colours::transparentBlack, 0.0f, 0.0f, false);
    juce::Rectangle<int> shadow_area, line;

    switch (bar.getOrientation())
    {
        case juce::TabbedButtonBar::TabsAtLeft:
            gradient.point1.x = (float) w;
            gradient.point2.x = (float) w * (1.0f - shadow);
            shadow_area.setBounds ((int) gradient.point2.x, 0, w - (int) gradient.point2.x, h);
            line.setBounds (w - 1, 0, 1, h);
            break;
        case juce::TabbedButtonBar::TabsAtRight:
            gradient.point2.x = (float) w * shadow;
            shadow_area.setBounds (0, 0, (int) gradient.point2.x, h);
            line.setBounds (0, 0, 1, h);
            break;
        case juce::TabbedButtonBar::TabsAtTop:
            gradient.point1.y = (float) h;
            gradient.point2.y = (float) h * (1.0f - shadow);
            shadow_area.setBounds (0, (int) gradient.point2.y, w, h - (int) gradient.point2.y);
            line.setBounds (0, h - 1, w, 1);
            break;
        case juce::TabbedButtonBar::TabsAtBottom:
            gradient.point2.y = (float) h * shadow;
            shadow_area.setBounds (0, 0, w, (int) gradient.point2.y);
            line.setBounds (0, 0, w, 1);
            break;
        default:
            break;
    }

    g.setGradientFill (gradient);
    g.fillRect (shadow_area.expanded (2, 2));
    g.setColour (juce::Colour (0x80000000));
    g.fillRect (line);
}

void CorvalenLook::createTabButtonShape (juce::TabBarButton& button, juce::Path& path, bool, bool)
{
    const auto active = button.getActiveArea();
    const auto w = (float) active.getWidth();
    const auto h = (float) active.getHeight();
    auto& bar = button.getTabbedButtonBar();
    const auto indent = (float) getTabButtonOverlap ((int) (bar.isVertical() ? w : h));
    constexpr float overhang = 4.0f;

    switch (bar.getOrientation())
    {
        case juce::TabbedButtonBar::TabsAtBottom:
            path.startNewSubPath (0.0f, 0.0f);
            path.lineTo (indent, h);
            path.lineTo (w - indent, h);
            path.lineTo (w, 0.0f);
            path.lineTo (w + overhang, -overhang);
            path.lineTo (-overhang, -overhang);
            break;
        case juce::TabbedButtonBar::TabsAtLeft:
            path.startNewSubPath (w, 0.0f);
            path.lineTo (0.0f, indent);
            path.lineTo (0.0f, h - indent);
            path.lineTo (w, h);
            path.lineTo (w + overhang, h + overhang);
            path.lineTo (w, -overhang);
            break;
        case juce::TabbedButtonBar::TabsAtRight:
            path.startNewSubPath (0.0f, 0.0f);
            path.lineTo (w, indent);
            path.lineTo (w, h - indent);
            path.lineTo (0.0f, h);
            path.lineTo (-overhang, h + overhang);
            path.lineTo (-overhang, -overhang);
            break;
        case juce::TabbedButtonBar::TabsAtTop:
        default:
            path.startNewSubPath (0.0f, h);
            path.lineTo (w, h);
            path.lineTo (w, 0.0f);
            path.lineTo (0.0f, 0.0f);
            break;
    }

    path.closeSubPath();
    path = path.createPathWithRoundedCorners (3.0f);
}

void CorvalenLook::fillTabButtonShape (juce::TabBarButton& button, juce::Graphics& g, const juce::Path& path, bool, bool)
{
    const auto front = button.getToggleState();
    g.setColour (button.getTabBackgroundColour().withMultipliedBrightness (front ? 1.0f : 0.7f));
    g.fillPath (path);

    const auto outline = button.findColour (front ? juce::TabbedButtonBar::frontOutlineColourId
                                                  : juce::TabbedButtonBar::tabOutlineColourId);
    g.setColour (button.isEnabled() ? outline : with_multiplied_alpha (outline, 0.5f));

    const auto bounds = path.getBounds();
    g.drawLine (bounds.getX(), bounds.getBottom(), bounds.getRight(), bounds.getBottom());
}
} // namespace crvl::gui
