#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <memory>
#include <vector>

namespace QuorvaneUITools
{
// A choice parameter shown as the picture of its current choice. The panel lays a
// transparent hit-area slider, bound to the parameter, over the picture to take drags.
struct IconSelector
{
    // One picture per choice, in the parameter's choice order.
    std::vector<std::unique_ptr<juce::Drawable>> icons;
    // The choice index as a float; points into the parameter state, which outlives the editor.
    const std::atomic<float>* raw_value = nullptr;
};

// A compiled-in SVG with every use of `from` (pure black or pure white in our images)
// replaced by colour; null when the data does not parse.
std::unique_ptr<juce::Drawable> load_recoloured_svg (const void* svg_data, size_t size, juce::Colour colour,
                                                     juce::Colour from = juce::Colours::black);

// Appends a recoloured picture to selector.icons. Data that does not parse is left out.
void append_icon (IconSelector& selector, const void* svg_data, size_t size, juce::Colour colour,
                  juce::Colour from = juce::Colours::black);

// Turns a slider already set up like the panel's knobs into the selector's invisible
// hit area: both drag directions, no text box, fully transparent, added to parent.
void init_hit_area_slider (juce::Slider& slider, juce::Colour fill_colour, juce::Component* parent);

// Paints the current choice's picture inset 16 from the area's sides, and a dot on each
// side where more choices lie that way. Draws nothing for a null selector.
void paint_icon_selector (juce::Graphics& g,
                          const IconSelector* selector,
                          juce::Rectangle<int> area,
                          juce::Colour dot_colour);
} // namespace QuorvaneUITools
