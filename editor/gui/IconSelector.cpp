#include "IconSelector.h"

namespace QuorvaneUITools
{
std::unique_ptr<juce::Drawable> load_recoloured_svg (const void* svg_data, size_t size, juce::Colour colour, juce::Colour from)
{
    auto drawable = juce::Drawable::createFromImageData (svg_data, size);

    if (drawable != nullptr)
        drawable->replaceColour (from, colour);

    return drawable;
}

void append_icon (IconSelector& selector, const void* svg_data, size_t size, juce::Colour colour, juce::Colour from)
{
    if (auto drawable = load_recoloured_svg (svg_data, size, colour, from))
        selector.icons.push_back (std::move (drawable));
}

void init_hit_area_slider (juce::Slider& slider, juce::Colour fill_colour, juce::Component* parent)
{
    slider.setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
    slider.setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
    slider.setColour (juce::Slider::rotarySliderFillColourId, fill_colour);
    parent->addAndMakeVisible (slider);
    // Never drawn, yet still takes the mouse.
    slider.setAlpha (0.0f);
}

void paint_icon_selector (juce::Graphics& g,
                          const IconSelector* selector,
                          juce::Rectangle<int> area,
                          juce::Colour dot_colour)
{
    if (selector == nullptr || selector->raw_value == nullptr)
        return;

    const auto bounds = area.toFloat();
    const auto x = bounds.getX();
    const auto y = bounds.getY();
    const auto icon_width = juce::jmax (bounds.getWidth() - 32.0f, 0.0f);
    const auto h = bounds.getHeight();
    const auto idx = juce::roundToInt (selector->raw_value->load (std::memory_order_relaxed));
    const auto count = static_cast<int> (selector->icons.size());

    // A value outside the list (never the case for a bound parameter) shows no picture.
    if (juce::isPositiveAndBelow (idx, count) && selector->icons[(size_t) idx] != nullptr)
        selector->icons[(size_t) idx]->drawWithin (g,
                                                   { x + 16.0f, y, icon_width, juce::jmax (h, 0.0f) },
                                                   juce::RectanglePlacement::centred,
                                                   1.0f);

    g.setColour (dot_colour.withAlpha ((juce::uint8) 0x99));
    const auto dot_y = y + (h - 4.0f) * 0.5f;

    if (idx > 0)
        g.fillEllipse (x + 8.0f, dot_y, 4.0f, 4.0f);

    if (idx + 1 < count)
        g.fillEllipse (x + 20.0f + icon_width, dot_y, 4.0f, 4.0f);
}
} // namespace QuorvaneUITools
