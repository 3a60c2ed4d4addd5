// The footer's preset browser and the randomizer, driven without a display.

#include "EditorTestSupport.h"
#include "FooterComponent.h"
#include "RandomizerComponent.h"

#include <gtest/gtest.h>

#include <set>

#include <sys/stat.h>

using namespace quorvane_test;

namespace
{
// Without a display the desktop has no monitor and an alert cannot lay itself out:
// this lends it one while it lives.
struct MadeUpMonitor
{
    MadeUpMonitor()
    {
        juce::Displays::Display screen;
        screen.totalArea = screen.userArea = { 0, 0, 1280, 800 };
        screen.isMain = true;
        if (added)
            displays.displays.add (screen);
    }
    ~MadeUpMonitor() { if (added) displays.displays.clear(); }

    juce::Displays& displays = const_cast<juce::Displays&> (juce::Desktop::getInstance().getDisplays());
    const bool added = displays.displays.isEmpty();
};

struct Footer : ::testing::Test
{
    void write_file (const juce::String& name, const std::string& text)
    {
        ASSERT_TRUE (folder.getChildFile (name + ".qpst").replaceWithData (text.data(), text.size()));
    }

    void write_preset (const juce::String& name, int delay1_time)
    {
        write_file (name, "<Quorvane_State><PARAM id=\"delay1_time\" value=\"" + std::to_string (delay1_time) + "\"/></Quorvane_State>");
    }

    float value (int index) { return raw_values (processor)[(size_t) index]; }
    juce::Button& button (const juce::String& name) { return button_named (*footer, name); }

    // Menu items joined by "|", a ticked one marked "*", a greyed one "-".
    static juce::String items (const juce::PopupMenu& menu, int first_id = 1)
    {
        juce::StringArray texts;
        for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
            if (const auto& item = it.getItem(); item.itemID >= first_id)
                texts.add (item.text + (item.isTicked ? "*" : "") + (item.isEnabled ? "" : "-"));
        return texts.joinIntoString ("|");
    }

    juce::String presets() { return items (footer->create_preset_menu(), FooterComponent::first_preset_item_id); }

    QuorvaneAudioProcessor processor;
    const juce::File folder = [this] { processor.presets_folder.deleteRecursively(); processor.presets_folder.createDirectory(); return processor.presets_folder; }();
    std::unique_ptr<FooterComponent> footer = std::make_unique<FooterComponent> (processor);
};
} // namespace

TEST_F (Footer, SavedPresetRoundTripsEveryValueInCrLfUtf8TextAndResetKeepsItsName)
{
    juce::Random random (7);
    for (auto* parameter : processor.getParameters())
        parameter->setValueNotifyingHost (random.nextFloat());
    const auto saved = raw_values (processor);

    footer->save_preset (folder.getChildFile ("Round"));
    EXPECT_EQ (button ("").getButtonText(), "Round");
    const auto text = folder.getChildFile ("Round.qpst").loadFileAsString();
    EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n<Quorvane_State>\r\n"));
    EXPECT_EQ (text.replace ("\r\n", "").indexOfAnyOf ("\r\n"), -1) << "every line ends in CR LF";
    int param_lines = 0;
    for (const auto& line : juce::StringArray::fromLines (text))
        param_lines += line.startsWith ("  <PARAM id=\"") && line.endsWith ("\"/>");
    EXPECT_EQ (param_lines, QuorvaneParameters::num_parameters);

    footer->settings_menu_chosen (FooterComponent::reset_item_id);
    EXPECT_EQ (value (0), 120.0f);
    EXPECT_EQ (value (11), -3.0f);
    EXPECT_EQ (processor.current_preset_name, "Round");
    footer->preset_menu_chosen (FooterComponent::first_preset_item_id);
    EXPECT_EQ (raw_values (processor), saved);

    for (const auto* typed : { "Round.qpst", "Round.txt" })
        footer->save_preset (folder.getChildFile (typed));
    EXPECT_EQ (folder.findChildFiles (juce::File::findFiles, false).size(), 1) << "the extension is forced";
}

TEST_F (Footer, AFailedSaveKeepsTheNameAndSaysWhereAndWhy)
{
    // Refusals that hold for root too, who writes through any permission bit.
    ASSERT_TRUE (folder.getChildFile ("Blocked").replaceWithText ("a file, not a folder"));
    ASSERT_TRUE (folder.getChildFile ("Taken.qpst").getChildFile ("inside").create());
    const struct { juce::File chosen; const char* reason; } cases[] = {
        { folder.getChildFile ("Blocked").getChildFile ("Broken"), "Not a directory" },
        { folder.getChildFile ("Taken"), "A folder has that name" },
    };

    const MadeUpMonitor monitor;
    processor.current_preset_name = "Kept";
    for (const auto& c : cases)
    {
        footer->save_preset (c.chosen);
        EXPECT_EQ (processor.current_preset_name, "Kept") << c.reason;
        EXPECT_EQ (button ("").getButtonText(), "Kept") << c.reason;

        const std::unique_ptr<juce::Component> alert (dynamic_cast<juce::AlertWindow*> (juce::Component::getCurrentlyModalComponent()));
        ASSERT_NE (alert, nullptr) << c.reason;
        EXPECT_EQ (alert->getDescription(), "Save Preset. \"" + c.chosen.getFileName() + "\" was not saved to "
                                                + c.chosen.getParentDirectory().getFullPathName() + ": " + c.reason + ".");
    }
    EXPECT_EQ (presets(), "");
}

TEST_F (Footer, PreviousAndNextWrapInNaturalOrderAndFallBackToTheFirstPreset)
{
    for (const auto* name : { "prev", "next" })
    {
        button (name).onClick();
        EXPECT_EQ (processor.current_preset_name, "Init") << "empty folder";
    }

    write_preset ("Pad 10", 10);
    write_preset ("pad 2", 2);
    write_preset ("Lead", 5);
    write_preset ("Lead.v1.5", 15);
    // A step passes over presets that fail to load; the loader's file name only is listed.
    write_file ("A broken", "not xml");
    write_file ("Lead.v2", "not xml");
    for (const auto* name : { "Lead.QPST", "Zed.QPST" })
        ASSERT_TRUE (folder.getChildFile (name).replaceWithText ("<Quorvane_State/>"));
    footer = std::make_unique<FooterComponent> (processor);

    // Natural order ignoring case, 2 before 10; the current name matches exactly or not at all.
    struct Case { const char* current; const char* button; const char* expected; float delay1_time; };
    for (const auto& c : { Case { "Lead", "next", "Lead.v1.5", 15 }, Case { "Pad 10", "next", "Lead", 5 },
                           Case { "Lead", "prev", "Pad 10", 10 }, Case { "pad 2", "prev", "Lead.v1.5", 15 },
                           Case { "Init", "prev", "Lead", 5 }, Case { "PAD 2", "next", "Lead", 5 },
                           Case { "Lead.v1.5", "next", "pad 2", 2 } })
    {
        processor.current_preset_name = c.current;
        button (c.button).onClick();
        EXPECT_EQ (button ("").getButtonText(), c.expected) << c.current << " " << c.button;
        EXPECT_EQ (value (0), c.delay1_time) << c.current << " " << c.button;
    }

    processor.current_preset_name = "pad 2";
    EXPECT_EQ (presets(), "A broken|Lead|Lead.v1.5|Lead.v2|pad 2*|Pad 10");
    processor.current_preset_name = "PAD 2";
    EXPECT_EQ (presets(), "A broken|Lead|Lead.v1.5|Lead.v2|pad 2|Pad 10");

    // None left that loads: nothing changes.
    for (const auto* name : { "Lead", "Lead.v1.5", "pad 2", "Pad 10" })
        ASSERT_TRUE (folder.getChildFile (juce::String (name) + ".qpst").deleteFile());
    button ("next").onClick();
    EXPECT_EQ (button ("").getButtonText(), "PAD 2");
    EXPECT_EQ (value (0), 2.0f);
}

TEST_F (Footer, ARejectedFileChangesNothing)
{
    const std::string param = R"(<PARAM id="delay1_time" value="7"/>)";
    const struct { const char* name; std::string text; bool loads; } cases[] = {
        { "missing", {}, false },
        { "garbage", "\x01\x02 not xml", false },
        { "other root", "<Other_State>" + param + "</Other_State>", false },
        { "not utf-8", "<Quorvane_State>" + param + "<!-- \xff --></Quorvane_State>", false },
        { "instruction", "<?xml version=\"1.0\"?><?pi x?><Quorvane_State>" + param + "</Quorvane_State>", false },
        { "other case", "<QUORVANE_STATE>" + param + "</QUORVANE_STATE>", true },
    };

    folder.getChildFile ("folder.qpst").createDirectory();
    footer->load_preset (folder.getChildFile ("folder.qpst"));
    EXPECT_EQ (processor.current_preset_name, "Init");

    // Opening a pipe would wait for a writer for ever.
    ASSERT_EQ (mkfifo (folder.getChildFile ("pipe.qpst").getFullPathName().toRawUTF8(), 0600), 0);
    EXPECT_FALSE (footer->load_preset (folder.getChildFile ("pipe.qpst")));

    for (const auto& c : cases)
    {
        processor.parameter_state.getParameter ("delay1_feed")->setValueNotifyingHost (0.25f);
        if (! c.text.empty())
            write_file (c.name, c.text);
        processor.current_preset_name = "Before";
        footer->load_preset (folder.getChildFile (juce::String (c.name) + ".qpst"));
        EXPECT_EQ (processor.current_preset_name, c.loads ? c.name : "Before") << c.name;
        EXPECT_EQ (value (0), c.loads ? 7.0f : 120.0f) << c.name;
        EXPECT_EQ (value (1), 25.0f) << c.name << ": a parameter the file lacks keeps its value";
    }
}

TEST_F (Footer, TheListChangesOnlyAfterASaveOrANewPanel)
{
    write_preset ("Outside", 3);
    EXPECT_EQ (presets(), "");
    footer->save_preset (folder.getChildFile ("Mine"));
    EXPECT_EQ (presets(), "Mine*|Outside");
    write_preset ("Later", 4);
    EXPECT_EQ (presets(), "Mine*|Outside");
    footer = std::make_unique<FooterComponent> (processor);
    EXPECT_EQ (presets(), "Later|Mine*|Outside");

    // Neither a host state restore nor a menu's version line touches the name.
    juce::MemoryBlock state;
    processor.getStateInformation (state);
    processor.setStateInformation (state.getData(), (int) state.getSize());
    EXPECT_EQ (processor.current_preset_name, "Mine");
    EXPECT_EQ (items (footer->create_settings_menu()),
               "RESET TO DEFAULT VALUES|SHOW PRESETS FOLDER|SHOW PREFERENCES FILE|Corvalen Quorvane version 1.0.0-");
}

TEST (Randomizer, EachButtonChangesExactlyItsGroupEvenlyOverTheRangeFromASequenceOfItsOwn)
{
    QuorvaneAudioProcessor processor;
    RandomizerComponent panel { processor.parameter_state }, second { processor.parameter_state };
    processor.current_preset_name = "Kept";
    const auto reset = [&processor]
    {
        for (auto* parameter : processor.getParameters())
            parameter->setValueNotifyingHost (parameter->getDefaultValue());
        // Into the tree too, as the state's timer would: a value written there that
        // equals a stale one would not reach its parameter.
        processor.parameter_state.copyState();
    };

    // Every panel starts from a sequence of its own.
    std::vector<float> drawn[2];
    for (auto* p : { &panel, &second })
    {
        reset();
        button_named (*p, "all").onClick();
        drawn[p == &second] = raw_values (processor);
    }
    EXPECT_NE (drawn[0], drawn[1]);

    const std::pair<const char*, std::vector<int>> groups[] = {
        { "delay1", { 0, 1, 2, 27, 28, 29, 30 } },
        { "delay2", { 4, 5, 6, 31, 32, 33, 34 } },
        { "mods", { 14, 15, 17, 18, 19, 21, 22, 23, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34 } },
        { "all", { 0, 1, 2, 4, 5, 6, 8, 14, 15, 17, 18, 19, 21, 22, 23, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34 } },
    };
    for (const auto& [name, group] : groups)
    {
        reset();
        const auto defaults = raw_values (processor);
        std::set<int> changed;
        // A choice lands on its default now and then; over many clicks every member moves.
        for (int clicks = 0; clicks < 30; ++clicks)
        {
            button_named (panel, name).onClick();
            for (int i = 0; i < QuorvaneParameters::num_parameters; ++i)
                if (raw_values (processor)[(size_t) i] != defaults[(size_t) i])
                    changed.insert (i);
        }
        EXPECT_EQ (std::vector<int> (changed.begin(), changed.end()), group) << name;
    }
    EXPECT_EQ (processor.current_preset_name, "Kept");

    // A bin's binomial spread is about 19 draws; a misapplied skew shifts far more.
    auto* delay1_time = processor.parameter_state.getParameter ("delay1_time");
    std::array<int, 10> counts {};
    for (int i = 0; i < 4000; ++i)
    {
        panel.randomize_parameter (0);
        ++counts[(size_t) juce::jlimit (0, 9, (int) (delay1_time->getValue() * 10))];
    }
    for (const auto count : counts)
        EXPECT_NEAR (count, 400, 100);
}
