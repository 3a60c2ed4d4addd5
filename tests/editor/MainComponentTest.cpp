// The main panel and its module panels headless, at the design size: where the grid
// puts every panel and control, which parameter each control follows, and what one
// tick of the refresh timer brings to the screen.

#include "BinaryData.h"
#include "EditorTestSupport.h"
#include "MainComponent.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

using namespace quorvane_test;

namespace
{
struct MainPanel : ::testing::Test
{
    MainPanel()
    {
        main_panel.setBounds (0, 0, 800, 400);
        main_panel.stopTimer(); // ticks come from the test
    }

    template <typename Panel> Panel& panel (int child) { return *dynamic_cast<Panel*> (main_panel.getChildComponent (child)); }

    void set (const juce::String& id, float value)
    {
        auto* parameter = processor.parameter_state.getParameter (id);
        parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
    }

    float get (const juce::String& id) { return processor.parameter_state.getRawParameterValue (id)->load(); }

    QuorvaneAudioProcessor processor;
    MainComponent main_panel { processor };
    DelayComponent &delay1 = panel<DelayComponent> (0), &delay2 = panel<DelayComponent> (2);
    MasterComponent& master = panel<MasterComponent> (1);
    EnvelopeComponent &env1 = panel<EnvelopeComponent> (3), &env2 = panel<EnvelopeComponent> (4);
    LFOComponent &lfo1 = panel<LFOComponent> (6), &lfo2 = panel<LFOComponent> (7);
};

juce::String bounds_of_children (juce::Component& panel)
{
    juce::StringArray bounds;
    for (auto* child : panel.getChildren())
        bounds.add (child->getBounds().toString().replace (" ", ","));
    return bounds.joinIntoString (" ");
}

// The compiled-in picture named after a choice: "SOLO 1" is mix_solo1_svg, "ENVELOPE 1 INVERT" env1_inv_svg.
std::unique_ptr<juce::Drawable> picture_named_after (const juce::String& prefix, const juce::String& choice)
{
    const auto name = prefix + choice.toLowerCase().replace ("envelope ", "env").replace ("lfo ", "lfo").replace ("solo ", "solo")
                                   .replace (" invert", "_inv").replace (" ", "_") + "_svg";
    int size = 0;
    const auto* data = BinaryData::getNamedResource (name.toRawUTF8(), size);
    return data == nullptr ? nullptr : juce::Drawable::createFromImageData (data, (size_t) size);
}

// Where a drawing covers, whatever its colour.
juce::Image coverage_of (const juce::Drawable& drawable)
{
    juce::Image image (juce::Image::ARGB, 64, 32, true);
    juce::Graphics g (image);
    drawable.drawWithin (g, { 64.0f, 32.0f }, juce::RectanglePlacement::centred, 1.0f);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            image.setPixelAt (x, y, juce::Colour::greyLevel ((float) image.getPixelAt (x, y).getAlpha() / 255.0f));
    return image;
}

double value_of (juce::Component& control)
{
    if (auto* button = dynamic_cast<juce::Button*> (&control))
        return button->getToggleState() ? 1.0 : 0.0;
    return dynamic_cast<juce::Slider&> (control).getValue();
}
} // namespace

TEST_F (MainPanel, PanelsLieOnTheGridsTracksInScreenOrderNeverTouching)
{
    // In the order of the children, which is the stacking order: a later panel is above.
    const struct { const char* panel; float left, top, right, bottom; } tracks[] {
        { "DelayComponent", 2.0f, 2.0f, 299.5f, 210.0f },       { "MasterComponent", 301.5f, 2.0f, 498.5f, 210.0f },
        { "DelayComponent", 500.5f, 2.0f, 798.0f, 210.0f },     { "EnvelopeComponent", 2.0f, 212.0f, 149.75f, 316.0f },
        { "EnvelopeComponent", 151.75f, 212.0f, 299.5f, 316.0f }, { "RandomizerComponent", 301.5f, 212.0f, 498.5f, 316.0f },
        { "LFOComponent", 500.5f, 212.0f, 648.25f, 316.0f },    { "LFOComponent", 650.25f, 212.0f, 798.0f, 316.0f },
        { "FooterComponent", 2.0f, 318.0f, 798.0f, 398.0f },
    };
    ASSERT_EQ (main_panel.getNumChildComponents(), (int) std::size (tracks));

    for (int i = 0; i < main_panel.getNumChildComponents(); ++i)
    {
        auto* panel = main_panel.getChildComponent (i);
        const auto& track = tracks[i];
        const auto bounds = panel->getBounds().toFloat();
        SCOPED_TRACE (juce::String (i) + " " + track.panel + " at " + bounds.toString());
        EXPECT_TRUE (juce::String (typeid (*panel).name()).endsWith (track.panel) && panel->isVisible());

        // The framework's grid rounds each edge by less than a unit.
        EXPECT_LT (bounds.getTopLeft().getDistanceFrom ({ track.left, track.top }), 1.0f);
        EXPECT_LT (bounds.getBottomRight().getDistanceFrom ({ track.right, track.bottom }), 1.0f);

        // A black gap always shows between two panels.
        for (int j = 0; j < i; ++j)
            EXPECT_FALSE (main_panel.getChildComponent (j)->getBounds().expanded (1, 1).intersects (panel->getBounds()));
    }
}

TEST_F (MainPanel, ModulePanelsLayOutTheirChildrenUnderTheirTitles)
{
    // Each child's bounds in child order. A sized item centred on a fractional position takes
    // the smallest whole rectangle that holds it, so a 50-unit knob may take 51.
    const std::pair<juce::Component*, const char*> layouts[] {
        { &delay1, "0,0,298,20 24,30,51,51 24,124,51,51 223,30,51,51 223,124,51,51 0,90,199,24 0,184,199,24 198,90,100,24 "
                   "198,184,100,24 129,23,40,41 109,71,80,16 129,117,40,41 109,165,80,16 20,46,60,18 219,140,60,18" },
        { &master, "0,0,198,20 92,35,80,51 3,35,60,51 8,115,50,51 74,115,50,51 140,115,50,51 0,181,66,27 66,181,66,27 132,181,66,27 "
                   "69,131,60,18" },
        { &env2, "0,0,149,20 4,31,41,41 54,31,41,41 104,31,41,41 0,83,50,21 49,83,51,21 99,83,50,21 0,42,50,18 50,42,50,18 100,42,50,18" },
        // The wave area is 42 high, so its 50-high hit area overhangs the panel by 4.
        { &lfo1, "0,0,149,20 91,31,41,41 91,31,41,41 7,58,61,50 24,28,27,26 74,83,75,21 82,42,60,18 82,42,60,18" },
    };
    for (const auto& [panel, expected] : layouts)
        EXPECT_EQ (bounds_of_children (*panel), expected) << typeid (*panel).name();

    juce::StringArray titles;
    for (auto* header : { &delay1.header, &delay2.header, &env1.header, &env2.header, &lfo1.header, &lfo2.header, &master.header })
        titles.add (header->getText());
    EXPECT_EQ (titles.joinIntoString ("|"), "DELAY 1|DELAY 2|ENVELOPE 1|ENVELOPE 2|LFO 1|LFO 2|MASTER");
}

TEST_F (MainPanel, EachParameterMovesItsOwnControlOnlyAndADoubleClickResetsIt)
{
    // The control of every parameter, in parameter-index order.
    const juce::Component* const controls[] {
        &delay1.time_slider, &delay1.feed_slider, &delay1.damp_slider, &delay1.amp_slider, &delay2.time_slider, &delay2.feed_slider,
        &delay2.damp_slider, &delay2.amp_slider, &master.mix_mode_slider, &master.distortion_type_slider, &master.drive_slider,
        &master.amp_slider, &master.dry_wet_slider, &env1.sens_slider, &env1.attack_slider, &env1.release_slider, &env2.sens_slider,
        &env2.attack_slider, &env2.release_slider, &lfo1.rate_slider, &lfo1.sync_button, &lfo1.synced_rate_slider, &lfo1.wave_slider,
        &lfo2.rate_slider, &lfo2.sync_button, &lfo2.synced_rate_slider, &lfo2.wave_slider, &delay1.time_mod_src_slider,
        &delay1.time_mod_depth_slider, &delay1.feed_mod_src_slider, &delay1.feed_mod_depth_slider, &delay2.time_mod_src_slider,
        &delay2.time_mod_depth_slider, &delay2.feed_mod_src_slider, &delay2.feed_mod_depth_slider,
    };
    static_assert (std::size (controls) == QuorvaneParameters::num_parameters);
    const auto control = [&controls] (int i) -> juce::Component& { return *const_cast<juce::Component*> (controls[i]); };

    for (int index = 0; index < QuorvaneParameters::num_parameters; ++index)
    {
        const auto id = QuorvaneParameters::get_id_for_parameter (index);
        std::vector<double> before;
        for (int other = 0; other < QuorvaneParameters::num_parameters; ++other)
            before.push_back (value_of (control (other)));

        auto* parameter = processor.parameter_state.getParameter (id);
        parameter->setValueNotifyingHost (parameter->getDefaultValue() > 0.5f ? 0.0f : 1.0f);
        for (int other = 0; other < QuorvaneParameters::num_parameters; ++other)
            EXPECT_EQ (value_of (control (other)) != before[(size_t) other], other == index) << id << " moves " << other;
        EXPECT_DOUBLE_EQ (value_of (control (index)), get (id)) << id;

        if (auto* knob = dynamic_cast<juce::Slider*> (&control (index)))
        {
            knob->mouseDoubleClick (mouse (*knob, {}, {}));
            EXPECT_FLOAT_EQ (parameter->getValue(), parameter->getDefaultValue()) << id;
        }
    }
}

TEST_F (MainPanel, OneTickShowsReadOutsOfDraggedKnobsAndTheRateKnobOfTheSyncState)
{
    struct { crvl::gui::ValueDisplayLabel& display; juce::Slider& knob; const char* id; float value; const char* text; } readouts[] = {
        { *delay2.time_display, delay2.time_slider, "delay2_time", 250.0f, "250 Ms" },
        { *delay1.amp_display, delay1.amp_slider, "delay1_amp", -3.0f, "-3.000 dB" },
        { *env2.sens_display, env2.sens_slider, "env2_sens", -6.5f, "-6.50 dB" },
        { *env1.attack_display, env1.attack_slider, "env1_attack", 10.0f, "10 Ms" },
        { *env2.release_display, env2.release_slider, "env2_release", 60.0f, "60 Ms" },
        { *lfo1.rate_display, lfo1.rate_slider, "lfo1_rate", 1.0f, "1.000 Hz" },
        { *lfo2.synced_rate_display, lfo2.synced_rate_slider, "lfo2_synced_rate", 15.0f, "1/16T" },
        { *master.amp_display, master.amp_slider, "master_amp", -12.5f, "-12.500 dB" },
    };
    for (auto& row : readouts)
    {
        set (row.id, row.value);
        const auto centre = row.knob.getLocalBounds().getCentre().toFloat();
        row.knob.mouseDown (mouse (row.knob, centre, centre));
        main_panel.timerCallback();
        EXPECT_TRUE (row.display.isVisible()) << row.id;
        EXPECT_EQ (row.display.getText(), row.text);
        row.knob.mouseUp (mouse (row.knob, centre, centre));
        EXPECT_FALSE (row.display.isVisible()) << row.id;
    }

    for (const bool sync : { true, false })
    {
        set ("lfo2_sync", sync ? 1.0f : 0.0f);
        main_panel.timerCallback();
        EXPECT_EQ (lfo2.synced_rate_slider.isVisible(), sync);
        EXPECT_EQ (lfo2.rate_slider.isVisible(), ! sync);
    }
}

// Dragging walks the whole list, and the side dots, painted from the parameter at each
// refresh, tell at either end that further choices lie only the other way.
TEST_F (MainPanel, DraggingAnInvisibleSelectorStepsThroughEveryChoice)
{
    const auto background = delay1.palette->background_colour;
    // Each choice shows the picture named after it, with that prefix.
    const std::tuple<juce::Component&, juce::Slider&, const char*, int, QuorvaneUITools::IconSelector&, const char*> selectors[] = {
        { delay1, delay1.time_mod_src_slider, "delay1_time_mod_src", 9, *delay1.time_mod_src_selector, "" },
        { delay2, delay2.feed_mod_src_slider, "delay2_feed_mod_src", 9, *delay2.feed_mod_src_selector, "" },
        { lfo2, lfo2.wave_slider, "lfo2_wave", 7, *lfo2.wave_selector, "wave_" },
        { master, master.mix_mode_slider, "mix_mode", 7, *master.mix_mode_selector, "mix_" },
        { master, master.distortion_type_slider, "distortion_type", 4, *master.distortion_type_selector, "" },
    };
    for (auto& [panel, area, id, choices, selector, prefix] : selectors)
    {
        const auto texts = processor.parameter_state.getParameter (id)->getAllValueStrings();
        ASSERT_EQ (selector.icons.size(), (size_t) texts.size()) << id;
        for (int i = 0; i < texts.size(); ++i)
        {
            const auto expected = picture_named_after (prefix, texts[i]);
            ASSERT_NE (expected, nullptr) << texts[i];
            const auto shown = coverage_of (*selector.icons[(size_t) i]), named = coverage_of (*expected);
            bool same = true;
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 64; ++x)
                    same = same && shown.getPixelAt (x, y) == named.getPixelAt (x, y);
            EXPECT_TRUE (same) << id << " " << texts[i];
        }

        // Right from the first choice, then down from the last.
        for (const auto step : { juce::Point<float> (1, 0), juce::Point<float> (0, 1) })
        {
            std::set<int> seen;
            const auto start = area.getLocalBounds().getCentre().toFloat();
            area.mouseDown (mouse (area, start, start));
            for (int i = 1; i <= 300; ++i)
            {
                area.mouseDrag (mouse (area, start + step * (float) i, start));
                seen.insert (juce::roundToInt (get (id)));
            }
            area.mouseUp (mouse (area, start + step * 300.0f, start));
            EXPECT_EQ ((int) seen.size(), choices) << id;

            main_panel.timerCallback();
            const bool at_last = step.x > 0;
            const auto image = snapshot (panel);
            const auto bounds = area.getBounds();
            EXPECT_EQ (image.getPixelAt (bounds.getX() + 10, bounds.getCentreY()) != background, at_last) << id;
            EXPECT_EQ (image.getPixelAt (bounds.getRight() - 10, bounds.getCentreY()) != background, ! at_last) << id;
        }
    }
}

TEST_F (MainPanel, HostAutomationOfTheMixModeShowsWithinOneTick)
{
    // Records what the master panel is asked to repaint, in place of a cached image.
    struct RepaintRecorder : juce::CachedComponentImage
    {
        void paint (juce::Graphics&) override {}
        bool invalidateAll() override { areas.add ({ 0, 0, 1 << 20, 1 << 20 }); return true; }
        bool invalidate (const juce::Rectangle<int>& area) override { areas.add (area); return true; }
        void releaseResources() override {}
        juce::RectangleList<int> areas;
    };

    const auto icon_area = master.mix_mode_slider.getBounds();
    const auto before = master.createComponentSnapshot (icon_area);
    auto* recorder = new RepaintRecorder;
    master.setCachedComponentImage (recorder);
    recorder->areas.clear();

    // Automation arrives off the message thread: the panel hears of it only through its attachment's
    // pending update, which this test never lets run, or through the refresh.
    std::thread automation ([this] { set ("mix_mode", 3.0f); });
    automation.join();
    EXPECT_FALSE (recorder->areas.intersects (icon_area));
    main_panel.timerCallback();
    EXPECT_TRUE (recorder->areas.containsRectangle (icon_area)) << recorder->areas.getBounds().toString();

    master.setCachedComponentImage (nullptr);
    const auto after = master.createComponentSnapshot (icon_area);
    bool changed = false;
    for (int y = 0; y < after.getHeight(); ++y)
        for (int x = 0; x < after.getWidth(); ++x)
            changed = changed || after.getPixelAt (x, y) != before.getPixelAt (x, y);
    EXPECT_TRUE (changed) << "the routing picture did not change";
}
