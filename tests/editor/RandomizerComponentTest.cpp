#include "PanelTestSupport.h"
#include "RandomizerComponent.h"

#include <gtest/gtest.h>

#include <set>

namespace
{
struct Randomizer : ::testing::Test
{
    std::vector<float> values() { return raw_values (processor); }

    void reset()
    {
        for (auto* parameter : processor.getParameters())
            parameter->setValueNotifyingHost (parameter->getDefaultValue());

        // Into the tree too, as the state's timer would: a value written there that
        // equals a stale one would not reach its parameter.
        processor.parameter_state.copyState();
    }

    static void click (RandomizerComponent& panel, const juce::String& name) { button_named (panel, name).onClick(); }

    QuorvaneAudioProcessor processor;
    RandomizerComponent panel { processor.parameter_state };
};
} // namespace

TEST_F (Randomizer, EachButtonChangesExactlyItsGroup)
{
    const std::pair<const char*, std::vector<int>> groups[] = {
        { "delay1", { 0, 1, 2, 27, 28, 29, 30 } },
        { "delay2", { 4, 5, 6, 31, 32, 33, 34 } },
        { "mods", { 14, 15, 17, 18, 19, 21, 22, 23, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34 } },
        { "all", { 0, 1, 2, 4, 5, 6, 8, 14, 15, 17, 18, 19, 21, 22, 23, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34 } },
    };
    processor.current_preset_name = "Kept";

    for (const auto& [name, group] : groups)
    {
        reset();
        const auto defaults = values();
        std::set<int> changed;

        // A choice lands on its default now and then; over many clicks every member moves.
        for (int clicks = 0; clicks < 30; ++clicks)
        {
            click (panel, name);
            for (int i = 0; i < QuorvaneParameters::num_parameters; ++i)
                if (values()[(size_t) i] != defaults[(size_t) i])
                    changed.insert (i);
        }

        EXPECT_EQ (std::vector<int> (changed.begin(), changed.end()), group) << name;
    }

    EXPECT_EQ (processor.current_preset_name, "Kept");
}

TEST_F (Randomizer, PanelsDrawDifferentSequencesEvenlyOverTheNormalisedRange)
{
    RandomizerComponent second { processor.parameter_state };
    std::vector<float> drawn[2];
    for (auto* p : { &panel, &second })
    {
        reset();
        click (*p, "all");
        drawn[p == &second] = values();
    }
    EXPECT_NE (drawn[0], drawn[1]);

    auto* delay1_time = processor.parameter_state.getParameter ("delay1_time");
    std::array<int, 10> counts {};

    for (int i = 0; i < 4000; ++i)
    {
        panel.randomize_parameter (0);
        ++counts[(size_t) juce::jlimit (0, 9, (int) (delay1_time->getValue() * 10))];
    }

    // A bin's binomial spread is about 19 draws; a misapplied skew shifts far more.
    for (const auto count : counts)
        EXPECT_NEAR (count, 400, 100);
}
