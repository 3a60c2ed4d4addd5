// The toolkit headless: the look's knobs, bars, buttons, tree boxes, scroll bars and
// typeface measured in painted pixels; the palette, labels, read-outs, icon selectors
// and compiled-in images. QUORVANE_SNAPSHOT_DIR=<folder> keeps the images as PNGs.

#include "BinaryData.h"
#include "CorvalenLook.h"
#include "EditorTestSupport.h"
#include "IconSelector.h"
#include "LabelStyles.h"
#include "ValueDisplayLabel.h"

#include <gtest/gtest.h>

#include <map>

using namespace quorvane_test;

namespace
{
constexpr float pi = juce::MathConstants<float>::pi;
constexpr float scale = 10.0f;
const juce::Colour fill { 0xff20d0ff };

// A 40 by 40 knob over 0 to 1, painted at ten pixels per unit.
juce::Image render_knob (crvl::gui::CorvalenLook& look, double value, juce::var bipolar = {}, bool enabled = true, juce::Colour colour = fill)
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

// Paints with the look straight into a transparent image, four pixels per unit.
juce::Image paint_scaled (int width, int height, const std::function<void (juce::Graphics&)>& paint)
{
    juce::Image image (juce::Image::ARGB, width * 4, height * 4, true);
    juce::Graphics g (image);
    g.addTransform (juce::AffineTransform::scale (4.0f));
    paint (g);
    return image;
}
} // namespace

TEST (CorvalenLook, FortyUnitKnobGeometry)
{
    crvl::gui::CorvalenLook look;
    look.load_knob_images();
    const juce::Point<float> centre (20.0f, 20.0f);
    const auto cap_face = 13.5f * 195.5f / 210.0f;

    struct Row { const char* what; double value; juce::Point<float> origin; float angle, from; juce::Colour colour; float start, end; };
    const Row rows[] = {
        { "pie", 1.0, centre, pi * 0.5f, 0.0f, juce::Colour (0xff0d0d0d).overlaidWith (fill.withAlpha ((juce::uint8) 204)), 13.5f, 16.2f },
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
        const auto pointer_over_cap = juce::Colour (0xff232323).overlaidWith (juce::Colours::white.withAlpha ((juce::uint8) row.pointer_alpha));
        EXPECT_TRUE (row.pointer_alpha < 0 || near (pointer_over_cap, 2) (pixel_at (image, scale, { 20.0f, 12.0f }))) << row.value;
    }
}

TEST (CorvalenLook, BarsButtonsTreeBoxesAndScrollbars)
{
    crvl::gui::CorvalenLook look;
    const juce::Colour track (0xffff8000), colour (0xff4080c0);

    // A horizontal bipolar bar fills from the middle.
    struct Bar { juce::var bipolar; double value, fill_from, fill_to; };
    for (const auto& row : { Bar { {}, 0.75, 0.0, 0.75 }, Bar { 1, 0.75, 0.49, 0.75 }, Bar { 1, 0.25, 0.25, 0.51 } })
    {
        juce::Slider bar (juce::Slider::LinearBar, juce::Slider::NoTextBox);
        bar.setLookAndFeel (&look);
        bar.setRange (0.0, 1.0);
        bar.setValue (row.value);
        bar.setColour (juce::Slider::trackColourId, track);
        bar.getProperties().set ("bipolar", row.bipolar);
        bar.setBounds (0, 0, 100, 20);
        const auto run = run_along (snapshot (bar), 1.0f, { 0.0f, 10.0f }, pi * 0.5f, 0.0f, near (track, 40));
        EXPECT_NEAR (run.getStart(), bar.getPositionOfValue (row.fill_from), 1.5) << row.value;
        EXPECT_NEAR (run.getEnd(), bar.getPositionOfValue (row.fill_to), 1.5) << row.value;
        bar.setLookAndFeel (nullptr);
    }

    // Only a held button darkens.
    struct Button { juce::Button::ButtonState state; bool enabled; juce::Colour expected; };
    for (const auto& row : { Button { juce::Button::buttonNormal, true, colour }, Button { juce::Button::buttonOver, true, colour },
                             Button { juce::Button::buttonDown, true, colour.withMultipliedBrightness (0.7f) },
                             Button { juce::Button::buttonNormal, false, colour.withAlpha ((juce::uint8) 128) } })
    {
        juce::TextButton button;
        button.setLookAndFeel (&look);
        button.setColour (juce::TextButton::buttonColourId, colour);
        button.setBounds (0, 0, 60, 24);
        button.setEnabled (row.enabled);
        button.setState (row.state);
        EXPECT_TRUE (near (row.expected, 1) (snapshot (button).getPixelAt (30, 12))) << row.state;
        button.setLookAndFeel (nullptr);
    }

    // A tree view's box of 20 is 11 across, with bars of 6.
    const auto dark = near (juce::Colour (0xff232323), 12);
    for (const auto& [open, vertical_bar] : { std::pair (true, 1.0f), std::pair (false, 6.0f) })
    {
        const auto image = paint_scaled (20, 20, [&, open = open] (juce::Graphics& g) { look.drawTreeviewPlusMinusBox (g, { 0.0f, 0.0f, 20.0f, 20.0f }, {}, open, false); });
        EXPECT_FLOAT_EQ (run_along (image, 4.0f, { 0.0f, 6.0f }, pi * 0.5f, 0.0f, [] (juce::Colour c) { return c.getAlpha() > 0; }).getLength(), 11.0f);
        EXPECT_FLOAT_EQ (run_along (image, 4.0f, { 0.0f, 9.5f }, pi * 0.5f, 5.3f, dark).getLength(), 6.0f);
        EXPECT_FLOAT_EQ (run_along (image, 4.0f, { 9.5f, 0.0f }, pi, 5.3f, dark).getLength(), vertical_bar);
    }

    // A scroll bar's slot is indented only from 16 up; beside the thumb (30 to 50) lies one unit of slot.
    juce::ScrollBar scrollbar (true);
    struct Scroll { int thickness; bool vertical; float indent; };
    for (const auto& row : { Scroll { 8, true, 0.0f }, Scroll { 15, true, 0.0f }, Scroll { 16, true, 1.0f }, Scroll { 12, false, 0.0f }, Scroll { 20, false, 1.0f } })
    {
        const auto w = row.vertical ? row.thickness : 60, h = row.vertical ? 60 : row.thickness;
        const auto image = paint_scaled (w, h, [&] (juce::Graphics& g) { look.drawScrollbar (g, scrollbar, 0, 0, w, h, row.vertical, 30, 20, false, false); });
        const auto across = [&] (float along)
        { return run_along (image, 4.0f, row.vertical ? juce::Point (0.0f, along) : juce::Point (along, 0.0f), row.vertical ? pi * 0.5f : pi, 0.0f, near (juce::Colour (0xffbdbdbd), 12)); };
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

TEST (LabelStyles, TitleAndCaption)
{
    using Init = void (*) (juce::Label&, const juce::String&, juce::Component*);
    struct Row { Init init; float height; int justification; juce::uint32 painted_background; };
    for (const auto& row : { Row { QuorvaneUITools::init_header_label, 16.0f, juce::Justification::centredLeft, 0xff121212 },
                             Row { QuorvaneUITools::init_control_label, 12.0f, juce::Justification::centred, 0 } })
    {
        juce::Component parent;
        juce::Label label;
        row.init (label, "DELAY 1", &parent);
        label.setBounds (0, 0, 120, 20);
        EXPECT_TRUE (label.isVisible() && label.getParentComponent() == &parent && label.getText() == "DELAY 1");
        EXPECT_FLOAT_EQ (label.getFont().getHeight(), row.height);
        EXPECT_EQ (label.getJustificationType().getFlags(), row.justification);
        EXPECT_EQ (label.findColour (juce::Label::textColourId).getARGB(), 0xffbdbdbdu);
        EXPECT_EQ (snapshot (label).getPixelAt (118, 1).getARGB(), row.painted_background); // a corner clear of the text
    }
}

TEST (ValueDisplayLabel, TextFollowsSuffixRoundingAndFormatterAndShowsOnlyWhileItsKnobIsDragged)
{
    const auto quarter_notes = [] (float v) { return "1/" + juce::String (juce::roundToInt (v)); };
    struct Row { float value; int decimals; const char* suffix; bool integer_only; std::function<juce::String (float)> formatter; const char* text; };
    const Row rows[] = { { -3.0f, 3, "dB", false, {}, "-3.000 dB" }, { 120.0f, 2, "Ms", true, {}, "120 Ms" }, { 2.5f, 2, "", true, {}, "2" },
                         { 3.5f, 2, "Ms", true, {}, "4 Ms" }, { -0.6f, 2, "Ms", true, {}, "-1 Ms" }, { 0.25f, 2, "", false, {}, "0.25" },
                         { 4.0f, 3, "Hz", false, quarter_notes, "1/4" } };
    for (const auto& row : rows)
    {
        juce::Slider slider;
        std::atomic<float> raw { row.value };
        crvl::gui::ValueDisplayLabel readout (slider, &raw, row.suffix, juce::Colours::lime, row.integer_only, row.formatter);
        readout.sliderDragStarted (&slider);
        readout.update (row.decimals);
        EXPECT_EQ (readout.getText(), row.text);
    }

    juce::Component panel;
    juce::Slider knob (juce::Slider::RotaryVerticalDrag, juce::Slider::NoTextBox);
    std::atomic<float> raw { 1.5f };
    auto readout = std::make_unique<crvl::gui::ValueDisplayLabel> (knob, &raw, "dB", juce::Colours::lime);
    panel.setBounds (0, 0, 100, 100);
    panel.setVisible (true);
    panel.addAndMakeVisible (knob);
    panel.addChildComponent (*readout);
    knob.setBounds (0, 0, 100, 100);
    readout->setBounds (20, 41, 60, 18);
    const auto press = mouse (knob, { 50.0f, 50.0f }, { 50.0f, 50.0f });
    readout->update (3);
    EXPECT_FALSE (readout->isVisible());
    knob.mouseDown (press);
    EXPECT_TRUE (readout->isVisible());
    EXPECT_EQ (readout->getText(), ""); // nothing until the first refresh
    EXPECT_EQ (panel.getComponentAt (50, 50), &knob); // clicks go through to the knob
    readout->update (3);
    EXPECT_EQ (readout->getText(), "1.500 dB");
    knob.mouseUp (press);
    EXPECT_FALSE (readout->isVisible());
    raw = 9.0f;
    readout->update (3);
    EXPECT_EQ (readout->getText(), "1.500 dB"); // a hidden read-out keeps its last text
    readout.reset();
    knob.setValue (0.3); // the knob no longer calls the read-out
}

TEST (IconSelector, PictureAndSideDots)
{
    // Square pictures told apart by colour: black or white in the data, recoloured on loading.
    const char* square = R"(<svg viewBox="0 0 10 10"><rect x="0" y="0" width="10" height="10" fill="#000000"/></svg>)";
    const juce::Colour colours[] = { juce::Colours::red, juce::Colours::green, juce::Colours::blue, juce::Colours::yellow };
    const auto dot = juce::Colour (0xff96ca30);
    QuorvaneUITools::IconSelector selector;
    std::atomic<float> raw;
    selector.raw_value = &raw;
    for (auto colour : { colours[0], colours[1], colours[2] })
        QuorvaneUITools::append_icon (selector, square, strlen (square), colour);
    const juce::String white_square = juce::String (square).replace ("#000000", "#FFFFFF");
    QuorvaneUITools::append_icon (selector, white_square.toRawUTF8(), white_square.getNumBytesAsUTF8(), colours[3], juce::Colours::white);
    QuorvaneUITools::append_icon (selector, "not an image", 12, dot);
    ASSERT_EQ (selector.icons.size(), 4u);

    struct Row { float raw; int width, picture; bool left_dot, right_dot; };
    for (const auto& row : { Row { 0.0f, 100, 0, false, true }, Row { 1.4f, 100, 1, true, true }, Row { 1.6f, 100, 2, true, true },
                             Row { 3.0f, 100, 3, true, false }, Row { 0.0f, 20, -1, false, true }, Row { 2.0f, 31, -1, true, true } })
    {
        raw = row.raw;
        juce::Image image (juce::Image::ARGB, 140, 40, true);
        juce::Graphics g (image);
        QuorvaneUITools::paint_icon_selector (g, &selector, { 10, 5, row.width, 30 }, dot);

        // The picture is inset 16 each side; dot centres lie 10 in from the left and at 22 + picture width.
        const auto picture_width = juce::jmax (row.width - 32, 0);
        EXPECT_EQ (image.getPixelAt (26 + picture_width / 2, 20), row.picture < 0 ? juce::Colour() : colours[row.picture]) << row.raw;
        const auto dot_if = [&] (bool shown) { return near (shown ? dot.withAlpha ((juce::uint8) 0x99) : juce::Colour(), 1); };
        EXPECT_TRUE (dot_if (row.left_dot) (image.getPixelAt (20, 20))) << row.raw;
        EXPECT_TRUE (dot_if (row.right_dot) (image.getPixelAt (32 + picture_width, 20))) << row.raw;
    }
}

TEST (Resources, EveryCompiledInImageParses)
{
    // Each family of pictures goes on one sheet for the eye, on a grey that shows black and white.
    std::map<juce::String, std::vector<std::unique_ptr<juce::Drawable>>> families;
    for (int i = 0, size = 0; i < BinaryData::namedResourceListSize; ++i)
    {
        const juce::String name (BinaryData::namedResourceList[i]);
        if (! name.endsWith ("_svg"))
            continue;
        const auto* data = BinaryData::getNamedResource (name.toRawUTF8(), size);
        auto drawable = juce::Drawable::createFromImageData (data, (size_t) size);
        ASSERT_NE (drawable, nullptr) << name;
        EXPECT_FALSE (drawable->getDrawableBounds().isEmpty()) << name;
        families[name.upToFirstOccurrenceOf ("_", false, false)].push_back (std::move (drawable));
    }
    EXPECT_EQ (families["knob"].size(), 2u);

    for (auto& [family, drawables] : families)
    {
        juce::Image sheet (juce::Image::RGB, 160 * (int) drawables.size(), 160, true);
        juce::Graphics g (sheet);
        g.fillAll (juce::Colour (0xff7a7a7a));
        for (size_t i = 0; i < drawables.size(); ++i)
            drawables[i]->drawWithin (g, { 160.0f * (float) i + 8.0f, 8.0f, 144.0f, 144.0f }, juce::RectanglePlacement::centred, 1.0f);
        keep_snapshot (sheet, "images_" + family);
    }
}
