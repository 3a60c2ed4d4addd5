#include "CorvalenLook.h"
#include "EditorTestSupport.h"

#include <gtest/gtest.h>

using namespace quorvane_test;

namespace
{
constexpr float pi = juce::MathConstants<float>::pi;
constexpr float scale = 10.0f;
const juce::Colour fill { 0xff20d0ff };

// A 40 by 40 knob over 0 to 1, painted at ten pixels per unit.
juce::Image render_knob (crvl::gui::CorvalenLook& look, double value, juce::var bipolar = {}, bool enabled = true,
                         juce::Colour colour = fill)
{
    juce::Slider knob (juce::Slider::RotaryVerticalDrag, juce::Slider::NoTextBox);
    knob.setLookAndFeel (&look);
    knob.setRange (0.0, 1.0);
    knob.setValue (value);
    knob.setColour (juce::Slider::rotarySliderFillColourId, colour);
    knob.setEnabled (enabled);
    knob.getProperties().set ("bipolar", bipolar);
    knob.setBounds (0, 0, 40, 40);
    auto image = snapshot (knob, scale);
    knob.setLookAndFeel (nullptr);
    return image;
}

// Paints with the look straight into a transparent image, scaled.
juce::Image paint_scaled (int width, int height, float factor, const std::function<void (juce::Graphics&)>& paint)
{
    juce::Image image (juce::Image::ARGB, (int) ((float) width * factor), (int) ((float) height * factor), true);
    juce::Graphics g (image);
    g.addTransform (juce::AffineTransform::scale (factor));
    paint (g);
    return image;
}
} // namespace

TEST (CorvalenLook, FortyUnitKnobGeometry)
{
    crvl::gui::CorvalenLook look;
    look.load_knob_images();
    const juce::Point<float> centre (20.0f, 20.0f);
    const auto pie = juce::Colour (0xff0d0d0d).overlaidWith (fill.withAlpha ((juce::uint8) 204));
    const auto cap_face = 13.5f * 195.5f / 210.0f;

    struct Row { const char* what; double value; juce::Point<float> origin; float angle, from; juce::Colour colour; float start, end; };
    const Row rows[] = {
        { "pie", 1.0, centre, pi * 0.5f, 0.0f, pie, 13.5f, 16.2f },
        { "cap face", 1.0, centre, pi * 0.5f, 0.0f, juce::Colour (0xff1c1c1c), 0.0f, cap_face },
        { "cap rim", 1.0, centre, pi * 0.5f, 0.0f, juce::Colours::black, cap_face, 13.5f },
        { "body rim", 1.0, centre, pi * 0.5f, 14.0f, juce::Colours::black, 18.0f * 271.5f / 300.0f, 18.0f },
        { "pointer", 0.5, centre, 0.0f, 0.0f, fill, 5.4f, 10.8f },
        { "pointer width", 0.5, { 20.0f, 12.0f }, pi * 0.5f, -3.0f, fill, -0.72f, 0.72f },
    };

    for (const auto& row : rows)
    {
        const auto run = run_along (render_knob (look, row.value), scale, row.origin, row.angle, row.from, near (row.colour, 12));
        EXPECT_NEAR (run.getStart(), row.start, 0.15f) << row.what;
        EXPECT_NEAR (run.getEnd(), row.end, 0.15f) << row.what;
    }

    juce::Image sheet (juce::Image::RGB, 1600, 400, true);
    juce::Graphics g (sheet);
    g.fillAll (juce::Colour (0xff191919));
    g.drawImageAt (render_knob (look, 0.7), 0, 0);
    g.drawImageAt (render_knob (look, 0.7, {}, false), 400, 0);
    g.drawImageAt (render_knob (look, 0.3, true), 800, 0);
    g.drawImageAt (render_knob (look, 0.5, true), 1200, 0);
    keep_snapshot (sheet, "knob_normal_disabled_bipolar_bipolar-middle");
}

TEST (CorvalenLook, PieAndPointerAlphaAndBipolarPie)
{
    // Without images the pie lies on a transparent ground, 15 units out, and the pointer on
    // the plain cap. The default range runs from 1.2 pi to 2.8 pi: 0.25 points at 1.6 pi, 0.75 at 0.4 pi.
    crvl::gui::CorvalenLook look;

    struct Row { double value; juce::var bipolar; bool enabled; juce::uint8 fill_alpha; std::vector<float> angles; int pie_alpha, pointer_alpha; };
    const Row rows[] = {
        { 1.0, {}, true, 0xff, { 0.5f, 1.3f }, 204, -1 },     { 1.0, {}, false, 0xff, { 0.5f }, 102, -1 },
        { 1.0, {}, true, 0x40, { 0.5f }, 204, -1 },           { 1.0, {}, false, 0x40, { 0.5f }, 102, -1 },
        { 0.5, {}, true, 0x40, {}, 0, 255 },                  { 0.5, {}, false, 0xff, {}, 0, 127 },
        { 0.25, {}, true, 0xff, { 1.4f }, 204, -1 },          { 0.25, 2, true, 0xff, { 1.4f }, 204, -1 },
        { 0.25, {}, true, 0xff, { 1.8f, 0.2f }, 0, -1 },      { 0.25, 2, true, 0xff, { 1.8f }, 0, -1 },
        { 0.5, true, true, 0xff, { 1.3f, 1.7f, 1.99f, 0.0f, 0.01f, 0.3f, 0.7f }, 0, -1 },
        { 0.75, 1, true, 0xff, { 0.05f, 0.2f, 0.35f }, 204, -1 }, { 0.75, 1, true, 0xff, { 1.8f, 0.6f }, 0, -1 },
        { 0.25, 1, true, 0xff, { 1.65f, 1.8f, 1.95f }, 204, -1 }, { 0.25, 1, true, 0xff, { 1.4f, 0.2f }, 0, -1 },
    };

    for (const auto& row : rows)
    {
        const auto image = render_knob (look, row.value, row.bipolar, row.enabled, juce::Colours::white.withAlpha (row.fill_alpha));
        for (auto a : row.angles)
            EXPECT_EQ (pixel_at (image, scale, { 20.0f + 15.0f * std::sin (a * pi), 20.0f - 15.0f * std::cos (a * pi) }).getAlpha(), row.pie_alpha)
                << row.value << " " << row.bipolar.toString() << " " << row.enabled << " at " << a << " pi";
        if (row.pointer_alpha >= 0)
        {
            const auto pointer_over_cap = juce::Colour (0xff232323).overlaidWith (juce::Colours::white.withAlpha ((juce::uint8) row.pointer_alpha));
            EXPECT_TRUE (near (pointer_over_cap, 2) (pixel_at (image, scale, { 20.0f, 12.0f })));
        }
    }
}

TEST (CorvalenLook, HorizontalBipolarBarFillsFromTheMiddle)
{
    crvl::gui::CorvalenLook look;
    const juce::Colour track (0xffff8000);

    struct Row { juce::var bipolar; double value, fill_from, fill_to; };
    for (const auto& row : { Row { {}, 0.75, 0.0, 0.75 }, Row { 1, 0.75, 0.49, 0.75 }, Row { 1, 0.25, 0.25, 0.51 } })
    {
        juce::Slider bar (juce::Slider::LinearBar, juce::Slider::NoTextBox);
        bar.setLookAndFeel (&look);
        bar.setRange (0.0, 1.0);
        bar.setValue (row.value);
        bar.setColour (juce::Slider::trackColourId, track);
        bar.getProperties().set ("bipolar", row.bipolar);
        bar.setBounds (0, 0, 100, 20);

        const auto run = run_along (snapshot (bar, 1.0f), 1.0f, { 0.0f, 10.0f }, pi * 0.5f, 0.0f, near (track, 40));
        EXPECT_NEAR (run.getStart(), bar.getPositionOfValue (row.fill_from), 1.5) << row.value;
        EXPECT_NEAR (run.getEnd(), bar.getPositionOfValue (row.fill_to), 1.5) << row.value;
        bar.setLookAndFeel (nullptr);
    }
}

TEST (CorvalenLook, OnlyAHeldButtonDarkens)
{
    crvl::gui::CorvalenLook look;
    const juce::Colour colour (0xff4080c0);

    struct Row { juce::Button::ButtonState state; bool enabled; juce::Colour expected; };
    for (const auto& row : { Row { juce::Button::buttonNormal, true, colour }, Row { juce::Button::buttonOver, true, colour },
                             Row { juce::Button::buttonDown, true, colour.withMultipliedBrightness (0.7f) },
                             Row { juce::Button::buttonNormal, false, colour.withAlpha ((juce::uint8) 128) } })
    {
        juce::TextButton button;
        button.setLookAndFeel (&look);
        button.setColour (juce::TextButton::buttonColourId, colour);
        button.setBounds (0, 0, 60, 24);
        button.setEnabled (row.enabled);
        button.setState (row.state);
        const auto pixel = snapshot (button, 1.0f).getPixelAt (30, 12);
        EXPECT_TRUE (near (row.expected, 1) (pixel)) << row.state << " " << pixel.toDisplayString (true);
        button.setLookAndFeel (nullptr);
    }
}

TEST (CorvalenLook, TreeViewBoxOfTwentyIsElevenWithBarsOfSix)
{
    crvl::gui::CorvalenLook look;
    const auto dark = near (juce::Colour (0xff232323), 12);

    for (const auto& [open, vertical_bar] : { std::pair (true, 1.0f), std::pair (false, 6.0f) })
    {
        const auto image = paint_scaled (20, 20, 4.0f, [&, open = open] (juce::Graphics& g)
                                         { look.drawTreeviewPlusMinusBox (g, { 0.0f, 0.0f, 20.0f, 20.0f }, {}, open, false); });

        EXPECT_FLOAT_EQ (run_along (image, 4.0f, { 0.0f, 6.0f }, pi * 0.5f, 0.0f, [] (juce::Colour c) { return c.getAlpha() > 0; }).getLength(), 11.0f);
        EXPECT_FLOAT_EQ (run_along (image, 4.0f, { 0.0f, 9.5f }, pi * 0.5f, 5.3f, dark).getLength(), 6.0f);
        EXPECT_FLOAT_EQ (run_along (image, 4.0f, { 9.5f, 0.0f }, pi, 5.3f, dark).getLength(), vertical_bar);
    }
}

TEST (CorvalenLook, ScrollbarSlotIsIndentedOnlyFromSixteenUp)
{
    crvl::gui::CorvalenLook look;
    juce::ScrollBar scrollbar (true);
    const auto light = near (juce::Colour (0xffbdbdbd), 12);

    struct Row { int thickness; bool vertical; float indent; };
    for (const auto& row : { Row { 8, true, 0.0f }, Row { 15, true, 0.0f }, Row { 16, true, 1.0f }, Row { 12, false, 0.0f }, Row { 20, false, 1.0f } })
    {
        const auto w = row.vertical ? row.thickness : 60, h = row.vertical ? 60 : row.thickness;
        const auto image = paint_scaled (w, h, 4.0f, [&] (juce::Graphics& g) { look.drawScrollbar (g, scrollbar, 0, 0, w, h, row.vertical, 30, 20, false, false); });

        // Across the bar, away from the thumb (which spans 30 to 50): the slot; beside the thumb, one unit of slot.
        const auto across = [&] (float along)
        { return run_along (image, 4.0f, row.vertical ? juce::Point (0.0f, along) : juce::Point (along, 0.0f), row.vertical ? pi * 0.5f : pi, 0.0f, light); };
        EXPECT_NEAR (across (10.0f).getStart(), row.indent, 0.01f) << row.thickness;
        EXPECT_NEAR (across (40.0f).getStart(), row.indent, 0.01f) << row.thickness;
        EXPECT_NEAR (across (40.0f).getEnd(), row.indent + 1.0f, 0.3f) << row.thickness;
    }
}

TEST (CorvalenLook, EveryFontRequestGetsTheEmbeddedTypeface)
{
    crvl::gui::CorvalenLook look;
    const auto typeface = look.get_typeface();
    ASSERT_NE (typeface, nullptr);
    EXPECT_EQ (typeface->getName() + " " + typeface->getStyle(), "Roboto Medium");

    for (const auto& font : { juce::Font (12.0f), juce::Font ("Courier New", 30.0f, juce::Font::bold),
                              juce::Font (juce::Font::getDefaultMonospacedFontName(), 9.0f, juce::Font::italic) })
    {
        EXPECT_EQ (look.getTypefaceForFont (font), typeface) << font.toString();
        // Text is laid out with the face that the process's default look gives.
        EXPECT_EQ (juce::Font (font).getTypefacePtr(), typeface) << font.toString();
    }
}
