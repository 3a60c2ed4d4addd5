#include "DelayComponent.h"
#include "EnvelopeComponent.h"
#include "LFOComponent.h"
#include "MasterComponent.h"
#include "QuorvaneAudioProcessor.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

namespace
{
// The seven module panels of the editor over one processor's parameter state, at the
// whole-unit sizes the main panel's grid gives them (297.5 and 197 wide round out to
// 298 and 198, 147.75 to 148).
struct Panels
{
    QuorvaneAudioProcessor processor;
    juce::AudioProcessorValueTreeState& state = processor.parameter_state;
    DelayComponent delay[2] { { state, 0 }, { state, 1 } };
    EnvelopeComponent envelope[2] { { state, 0 }, { state, 1 } };
    LFOComponent lfo[2] { { state, 0 }, { state, 1 } };
    MasterComponent master { state };

    Panels()
    {
        for (auto* panel : std::initializer_list<juce::Component*> { &delay[0], &delay[1], &master })
            panel->setSize (panel == &master ? 198 : 298, 208);
        for (auto* panel : std::initializer_list<juce::Component*> { &envelope[0], &envelope[1], &lfo[0], &lfo[1] })
            panel->setSize (148, 104);
    }

    // What the main panel's timer does every 60 ms.
    void refresh()
    {
        for (auto& panel : delay)
            panel.update();
        master.amp_display->update (3);
        for (auto& panel : envelope)
            for (auto* display : { panel.sens_display.get(), panel.attack_display.get(), panel.release_display.get() })
                display->update (2);
        for (auto& panel : lfo)
            panel.update();
    }

    void set (const juce::String& id, float value)
    {
        auto* parameter = state.getParameter (id);
        parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
    }

    float get (const juce::String& id) { return state.getRawParameterValue (id)->load(); }
};

juce::MouseEvent mouse (juce::Component& target, juce::Point<float> position, juce::Point<float> down_at = {})
{
    const auto now = juce::Time::getCurrentTime();
    return { juce::Desktop::getInstance().getMainMouseSource(), position, juce::ModifierKeys::leftButtonModifier,
             juce::MouseInputSource::defaultPressure, 0.0f, 0.0f, 0.0f, 0.0f, &target, &target, now, down_at, now,
             1, position != down_at };
}

juce::Component& child_of (juce::Component& child) { return child; }
template <typename T> juce::Component& child_of (std::unique_ptr<T>& child) { return *child; }

struct Placement
{
    const char* name;
    juce::Component& (*child) (Panels&);
    juce::Rectangle<int> bounds;
};

#define AT(member, x, y, w, h) { #member, [] (Panels& p) -> juce::Component& { return child_of (p.member); }, { x, y, w, h } }

// One table per panel. A sized item centred on a fractional position takes the smallest
// whole rectangle that holds it, so a 50-unit knob may take 51.
const std::vector<Placement> delay_layout = {
    AT (delay[0].header, 0, 0, 298, 20),              AT (delay[0].time_slider, 24, 30, 51, 51),
    AT (delay[0].time_label, 0, 90, 199, 24),         AT (delay[0].time_mod_depth_slider, 129, 23, 40, 41),
    AT (delay[0].time_mod_src_slider, 109, 71, 80, 16), AT (delay[0].feed_slider, 24, 124, 51, 51),
    AT (delay[0].feed_label, 0, 184, 199, 24),        AT (delay[0].feed_mod_depth_slider, 129, 117, 40, 41),
    AT (delay[0].feed_mod_src_slider, 109, 165, 80, 16), AT (delay[0].damp_slider, 223, 30, 51, 51),
    AT (delay[0].damp_label, 198, 90, 100, 24),       AT (delay[0].amp_slider, 223, 124, 51, 51),
    AT (delay[0].amp_label, 198, 184, 100, 24),       AT (delay[0].time_display, 20, 46, 60, 18),
    AT (delay[0].amp_display, 219, 140, 60, 18),
};
const std::vector<Placement> envelope_layout = {
    AT (envelope[1].header, 0, 0, 148, 20),           AT (envelope[1].sens_slider, 4, 31, 41, 41),
    AT (envelope[1].attack_slider, 54, 31, 40, 41),   AT (envelope[1].release_slider, 103, 31, 41, 41),
    AT (envelope[1].sens_label, 0, 83, 50, 21),       AT (envelope[1].attack_label, 49, 83, 50, 21),
    AT (envelope[1].release_label, 98, 83, 50, 21),   AT (envelope[1].sens_display, 0, 42, 50, 18),
    AT (envelope[1].attack_display, 49, 42, 50, 18),  AT (envelope[1].release_display, 99, 42, 50, 18),
};
// The wave area is 42 high, so its 50-high hit area overhangs the panel by 4.
const std::vector<Placement> lfo_layout = {
    AT (lfo[0].header, 0, 0, 148, 20),                AT (lfo[0].sync_button, 24, 28, 26, 26),
    AT (lfo[0].rate_slider, 91, 31, 40, 41),          AT (lfo[0].synced_rate_slider, 91, 31, 40, 41),
    AT (lfo[0].wave_slider, 7, 58, 60, 50),           AT (lfo[0].rate_label, 74, 83, 74, 21),
    AT (lfo[0].rate_display, 81, 42, 60, 18),         AT (lfo[0].synced_rate_display, 81, 42, 60, 18),
};
const std::vector<Placement> master_layout = {
    AT (master.header, 0, 0, 198, 20),                AT (master.mix_mode_slider, 92, 35, 80, 51),
    AT (master.distortion_type_slider, 3, 35, 60, 51), AT (master.drive_slider, 8, 115, 50, 51),
    AT (master.amp_slider, 74, 115, 50, 51),          AT (master.dry_wet_slider, 140, 115, 50, 51),
    AT (master.drive_label, 0, 181, 66, 27),          AT (master.amp_label, 66, 181, 66, 27),
    AT (master.dry_wet_label, 132, 181, 66, 27),      AT (master.amp_display, 69, 131, 60, 18),
};

TEST (ModulePanels, LayOutTheirChildrenOnTheGridUnderTheirTitles)
{
    Panels p;
    for (const auto* table : { &delay_layout, &envelope_layout, &lfo_layout, &master_layout })
        for (const auto& row : *table)
            EXPECT_EQ (row.child (p).getBounds().toString(), row.bounds.toString()) << row.name;

    juce::StringArray titles;
    for (auto* header : { &p.delay[0].header, &p.delay[1].header, &p.envelope[0].header, &p.envelope[1].header,
                          &p.lfo[0].header, &p.lfo[1].header, &p.master.header })
        titles.add (header->getText());
    EXPECT_EQ (titles.joinIntoString ("|"), "DELAY 1|DELAY 2|ENVELOPE 1|ENVELOPE 2|LFO 1|LFO 2|MASTER");
}

double value_of (juce::Component& control)
{
    if (auto* button = dynamic_cast<juce::Button*> (&control))
        return button->getToggleState() ? 1.0 : 0.0;
    return dynamic_cast<juce::Slider&> (control).getValue();
}

#define CONTROL(member) [] (Panels& p) -> juce::Component& { return p.member; }

// The control of every parameter, in parameter-index order.
juce::Component& (*const controls[]) (Panels&) = {
    CONTROL (delay[0].time_slider), CONTROL (delay[0].feed_slider), CONTROL (delay[0].damp_slider),
    CONTROL (delay[0].amp_slider), CONTROL (delay[1].time_slider), CONTROL (delay[1].feed_slider),
    CONTROL (delay[1].damp_slider), CONTROL (delay[1].amp_slider), CONTROL (master.mix_mode_slider),
    CONTROL (master.distortion_type_slider), CONTROL (master.drive_slider), CONTROL (master.amp_slider),
    CONTROL (master.dry_wet_slider), CONTROL (envelope[0].sens_slider), CONTROL (envelope[0].attack_slider),
    CONTROL (envelope[0].release_slider), CONTROL (envelope[1].sens_slider), CONTROL (envelope[1].attack_slider),
    CONTROL (envelope[1].release_slider), CONTROL (lfo[0].rate_slider), CONTROL (lfo[0].sync_button),
    CONTROL (lfo[0].synced_rate_slider), CONTROL (lfo[0].wave_slider), CONTROL (lfo[1].rate_slider),
    CONTROL (lfo[1].sync_button), CONTROL (lfo[1].synced_rate_slider), CONTROL (lfo[1].wave_slider),
    CONTROL (delay[0].time_mod_src_slider), CONTROL (delay[0].time_mod_depth_slider),
    CONTROL (delay[0].feed_mod_src_slider), CONTROL (delay[0].feed_mod_depth_slider),
    CONTROL (delay[1].time_mod_src_slider), CONTROL (delay[1].time_mod_depth_slider),
    CONTROL (delay[1].feed_mod_src_slider), CONTROL (delay[1].feed_mod_depth_slider),
};

TEST (ModulePanels, EachParameterMovesItsOwnControlOnlyAndADoubleClickResetsIt)
{
    static_assert (std::size (controls) == QuorvaneParameters::num_parameters);
    Panels p;
    for (int index = 0; index < QuorvaneParameters::num_parameters; ++index)
    {
        const auto id = QuorvaneParameters::get_id_for_parameter (index);
        std::vector<double> before;
        for (auto* control : controls)
            before.push_back (value_of (control (p)));

        auto* parameter = p.state.getParameter (id);
        parameter->setValueNotifyingHost (parameter->getDefaultValue() > 0.5f ? 0.0f : 1.0f);

        for (int other = 0; other < QuorvaneParameters::num_parameters; ++other)
            EXPECT_EQ (value_of (controls[other] (p)) != before[(size_t) other], other == index) << id << " moves " << other;
        EXPECT_DOUBLE_EQ (value_of (controls[index] (p)), p.get (id)) << id;

        if (auto* knob = dynamic_cast<juce::Slider*> (&controls[index] (p)))
        {
            knob->mouseDoubleClick (mouse (*knob, {}));
            EXPECT_FLOAT_EQ (parameter->getValue(), parameter->getDefaultValue()) << id;
        }
    }
}

TEST (ModulePanels, ReadOutShowsItsValueWhileItsKnobIsDragged)
{
    Panels p;
    struct { crvl::gui::ValueDisplayLabel& display; juce::Slider& knob; const char* id; float value; const char* text; } readouts[] = {
        { *p.delay[1].time_display, p.delay[1].time_slider, "delay2_time", 250.0f, "250 Ms" },
        { *p.delay[0].amp_display, p.delay[0].amp_slider, "delay1_amp", -3.0f, "-3.000 dB" },
        { *p.envelope[1].sens_display, p.envelope[1].sens_slider, "env2_sens", -6.5f, "-6.50 dB" },
        { *p.envelope[0].attack_display, p.envelope[0].attack_slider, "env1_attack", 10.0f, "10 Ms" },
        { *p.envelope[1].release_display, p.envelope[1].release_slider, "env2_release", 60.0f, "60 Ms" },
        { *p.lfo[0].rate_display, p.lfo[0].rate_slider, "lfo1_rate", 1.0f, "1.000 Hz" },
        { *p.lfo[1].synced_rate_display, p.lfo[1].synced_rate_slider, "lfo2_synced_rate", 15.0f, "1/16T" },
        { *p.master.amp_display, p.master.amp_slider, "master_amp", -12.5f, "-12.500 dB" },
    };
    for (auto& row : readouts)
    {
        p.set (row.id, row.value);
        const auto centre = row.knob.getLocalBounds().getCentre().toFloat();
        row.knob.mouseDown (mouse (row.knob, centre, centre));
        p.refresh();
        EXPECT_TRUE (row.display.isVisible()) << row.id;
        EXPECT_EQ (row.display.getText(), row.text);
        row.knob.mouseUp (mouse (row.knob, centre, centre));
        EXPECT_FALSE (row.display.isVisible()) << row.id;
    }
}

TEST (ModulePanels, SyncShowsTheNoteValueKnobAfterOneRefresh)
{
    Panels p;
    auto& lfo = p.lfo[1];
    for (const bool sync : { true, false })
    {
        p.set ("lfo2_sync", sync ? 1.0f : 0.0f);
        p.refresh();
        EXPECT_EQ (lfo.synced_rate_slider.isVisible(), sync);
        EXPECT_EQ (lfo.rate_slider.isVisible(), ! sync);
    }
}

// Dragging walks the whole list, and the side dots, painted from the parameter at each
// refresh, tell at either end that further choices lie only the other way.
TEST (ModulePanels, DraggingAnInvisibleSelectorStepsThroughEveryChoice)
{
    Panels p;
    const auto background = p.delay[0].palette->background_colour;
    const std::tuple<juce::Component&, juce::Slider&, const char*, int> selectors[] = {
        { p.delay[0], p.delay[0].time_mod_src_slider, "delay1_time_mod_src", 9 },
        { p.delay[1], p.delay[1].feed_mod_src_slider, "delay2_feed_mod_src", 9 },
        { p.lfo[1], p.lfo[1].wave_slider, "lfo2_wave", 7 },
        { p.master, p.master.mix_mode_slider, "mix_mode", 7 },
        { p.master, p.master.distortion_type_slider, "distortion_type", 4 },
    };
    for (auto& [panel, area, id, choices] : selectors)
    {
        // Right from the first choice, then down from the last.
        for (const auto step : { juce::Point<float> (1, 0), juce::Point<float> (0, 1) })
        {
            std::set<int> seen;
            const auto start = area.getLocalBounds().getCentre().toFloat();
            area.mouseDown (mouse (area, start, start));
            for (int i = 1; i <= 300; ++i)
            {
                area.mouseDrag (mouse (area, start + step * (float) i, start));
                seen.insert (juce::roundToInt (p.get (id)));
            }
            area.mouseUp (mouse (area, start + step * 300.0f, start));
            EXPECT_EQ ((int) seen.size(), choices) << id;

            p.refresh();
            const bool at_last = step.x > 0;
            const auto image = panel.createComponentSnapshot (panel.getLocalBounds());
            const auto bounds = area.getBounds();
            EXPECT_EQ (image.getPixelAt (bounds.getX() + 10, bounds.getCentreY()) != background, at_last) << id;
            EXPECT_EQ (image.getPixelAt (bounds.getRight() - 10, bounds.getCentreY()) != background, ! at_last) << id;
        }
    }
}
} // namespace
