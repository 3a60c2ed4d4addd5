#include "EditorTestSupport.h"
#include "IconSelector.h"
#include "LabelStyles.h"
#include "Palette.h"
#include "ValueDisplayLabel.h"

#include <gtest/gtest.h>

using namespace quorvane_test;

TEST (Palette, SharedAndDerivedExactly)
{
    const juce::SharedResourcePointer<QuorvaneUITools::Palette> palette, other_holder;
    EXPECT_EQ (&*palette, &*other_holder);
    EXPECT_EQ (palette->header_colour.getARGB(), 0xff121212u); // 0x19 darkened by 0.7, rounded
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
        EXPECT_EQ (snapshot (label, 1.0f).getPixelAt (118, 1).getARGB(), row.painted_background); // a corner clear of the text
    }
}

TEST (ValueDisplayLabel, TextFollowsSuffixRoundingAndFormatter)
{
    const auto quarter_notes = [] (float v) { return "1/" + juce::String (juce::roundToInt (v)); };
    struct Row { float value; int decimals; const char* suffix; bool integer_only; std::function<juce::String (float)> formatter; const char* text; };
    const Row rows[] = { { -3.0f, 3, "dB", false, {}, "-3.000 dB" }, { 120.0f, 2, "Ms", true, {}, "120 Ms" },
                         { 2.5f, 2, "", true, {}, "2" },             { 3.5f, 2, "Ms", true, {}, "4 Ms" },
                         { -0.6f, 2, "Ms", true, {}, "-1 Ms" },      { 0.25f, 2, "", false, {}, "0.25" },
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
}

TEST (ValueDisplayLabel, ShownOnlyWhileItsKnobIsDragged)
{
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

    const auto now = juce::Time::getCurrentTime();
    const juce::MouseEvent press (juce::Desktop::getInstance().getMainMouseSource(), { 50.0f, 50.0f }, {}, 1.0f, 0.0f, 0.0f,
                                  0.0f, 0.0f, &knob, &knob, now, { 50.0f, 50.0f }, now, 1, false);
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
