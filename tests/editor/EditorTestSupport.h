#pragma once

#include "QuorvaneAudioProcessor.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <stdexcept>

namespace quorvane_test
{
using ColourMatch = std::function<bool (juce::Colour)>;

// Every channel, alpha included, within tolerance (antialiasing, premultiplication).
inline ColourMatch near (juce::Colour expected, int tolerance = 6)
{
    return [=] (juce::Colour c)
    {
        return std::abs (c.getRed() - expected.getRed()) <= tolerance && std::abs (c.getGreen() - expected.getGreen()) <= tolerance
            && std::abs (c.getBlue() - expected.getBlue()) <= tolerance && std::abs (c.getAlpha() - expected.getAlpha()) <= tolerance;
    };
}

inline juce::Colour pixel_at (const juce::Image& image, float scale, juce::Point<float> p)
{
    return image.getPixelAt ((int) std::floor (p.x * scale), (int) std::floor (p.y * scale));
}

// The first unbroken run of matching pixels along a ray from origin (angle 0 = up,
// clockwise), searched from distance `from` on. Units, not pixels; empty if none.
inline juce::Range<float> run_along (const juce::Image& image, float scale, juce::Point<float> origin, float angle, float from,
                                     const ColourMatch& match)
{
    const juce::Point<float> direction (std::sin (angle), -std::cos (angle));
    std::optional<float> start;

    for (auto d = from;; d += 0.25f / scale)
    {
        const auto p = (origin + direction * d) * scale;
        const auto inside = p.x >= 0.0f && p.y >= 0.0f && p.x < (float) image.getWidth() && p.y < (float) image.getHeight();
        const auto matches = inside && match (pixel_at (image, scale, origin + direction * d));

        if (matches && ! start)
            start = d;
        else if (! matches && start)
            return { *start, d };
        else if (! inside)
            return {};
    }
}

inline juce::Image snapshot (juce::Component& component, float scale = 1.0f)
{
    return component.createComponentSnapshot (component.getLocalBounds(), true, scale);
}

// Keeps a picture for a human to look at when QUORVANE_SNAPSHOT_DIR names a folder.
inline void keep_snapshot (const juce::Image& image, const juce::String& name)
{
    if (const auto* folder = std::getenv ("QUORVANE_SNAPSHOT_DIR"); folder != nullptr && *folder != 0)
    {
        const auto file = juce::File (folder).getChildFile (name + ".png");
        file.deleteFile();
        juce::FileOutputStream stream (file);
        juce::PNGImageFormat().writeImageToStream (image, stream);
    }
}

// A left-button mouse event on target, a drag when it is away from where it went down.
inline juce::MouseEvent mouse (juce::Component& target, juce::Point<float> position, juce::Point<float> down_at)
{
    const auto now = juce::Time::getCurrentTime();
    return { juce::Desktop::getInstance().getMainMouseSource(), position, juce::ModifierKeys::leftButtonModifier,
             juce::MouseInputSource::defaultPressure, 0.0f, 0.0f, 0.0f, 0.0f, &target, &target, now, down_at, now, 1, position != down_at };
}

/** Every parameter's raw value, by parameter index. */
inline std::vector<float> raw_values (QuorvaneAudioProcessor& processor)
{
    std::vector<float> values;
    for (int i = 0; i < QuorvaneParameters::num_parameters; ++i)
        values.push_back (*processor.parameter_state.getRawParameterValue (QuorvaneParameters::get_id_for_parameter (i)));
    return values;
}

/** A panel's button of this name, as a click reaches it. */
inline juce::Button& button_named (juce::Component& panel, const juce::String& name)
{
    for (auto* child : panel.getChildren())
        if (auto* button = dynamic_cast<juce::Button*> (child); button != nullptr && button->getName() == name)
            return *button;
    throw std::logic_error ("no button " + name.toStdString());
}
} // namespace quorvane_test
