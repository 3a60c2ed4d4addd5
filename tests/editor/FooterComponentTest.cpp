#include "FooterComponent.h"
#include "PanelTestSupport.h"

#include <gtest/gtest.h>

namespace
{
struct Footer : ::testing::Test
{
    static juce::File emptied (const juce::File& f)
    {
        f.deleteRecursively();
        f.createDirectory();
        return f;
    }

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
    const juce::File folder = emptied (processor.presets_folder);
    std::unique_ptr<FooterComponent> footer = std::make_unique<FooterComponent> (processor);
};
} // namespace

TEST_F (Footer, SavedPresetRoundTripsEveryValueInCrLfUtf8Text)
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

    // The reset moves every value but keeps the preset's name.
    footer->settings_menu_chosen (FooterComponent::reset_item_id);
    EXPECT_EQ (value (0), 120.0f);
    EXPECT_EQ (processor.current_preset_name, "Round");

    footer->preset_menu_chosen (FooterComponent::first_preset_item_id);
    EXPECT_EQ (raw_values (processor), saved);

    for (const auto* typed : { "Round.qpst", "Round.txt" })
        footer->save_preset (folder.getChildFile (typed));
    EXPECT_EQ (folder.findChildFiles (juce::File::findFiles, false).size(), 1) << "the extension is forced";
}

TEST_F (Footer, PreviousAndNextWrapAndFallBackToTheFirstPreset)
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
    footer = std::make_unique<FooterComponent> (processor);

    // Natural order ignoring case, 2 before 10; the current name matches exactly or not at all.
    struct Case { const char* current; const char* button; const char* expected; float delay1_time; };
    for (const auto& c : { Case { "Lead", "next", "Lead.v1.5", 15 }, Case { "Pad 10", "next", "Lead", 5 },
                           Case { "Lead", "prev", "Pad 10", 10 }, Case { "pad 2", "prev", "Lead.v1.5", 15 },
                           Case { "Init", "prev", "Lead", 5 }, Case { "PAD 2", "next", "Lead", 5 } })
    {
        processor.current_preset_name = c.current;
        button (c.button).onClick();
        EXPECT_EQ (button ("").getButtonText(), c.expected) << c.current << " " << c.button;
        EXPECT_EQ (value (0), c.delay1_time) << c.current << " " << c.button;
    }

    processor.current_preset_name = "pad 2";
    EXPECT_EQ (presets(), "Lead|Lead.v1.5|pad 2*|Pad 10");
    processor.current_preset_name = "PAD 2";
    EXPECT_EQ (presets(), "Lead|Lead.v1.5|pad 2|Pad 10");
}

TEST_F (Footer, ARejectedFileChangesNothing)
{
    const std::string param = R"(<PARAM id="delay1_time" value="7"/>)";
    struct Case { const char* name; std::string text; bool loads; };
    const Case cases[] = {
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
