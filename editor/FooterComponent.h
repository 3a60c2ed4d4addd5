#pragma once

#include "Palette.h"
#include "QuorvaneAudioProcessor.h"

#include <juce_gui_basics/juce_gui_basics.h>

/** The strip along the bottom of the editor: the preset browser (previous, name,
    next), the settings menu, the wordmark and the maker logo.

    Menus and the save dialog run asynchronously; their results come back on the
    message thread and go through the same handlers that tests call directly.
    Message thread only. */
class FooterComponent : public juce::Component
{
public:
    explicit FooterComponent (QuorvaneAudioProcessor& processor);
    ~FooterComponent() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    /** Rebuilds the list of preset names from the presets folder, in natural order. */
    void cache_presets_list();

    /** Loads a preset file into the parameter state and says whether it did. A file
        that fails any check changes nothing, the current preset name included. */
    bool load_preset (const juce::File& file);

    /** The preset menu: item 1 saves, item i + 2 loads the i-th listed preset. */
    juce::PopupMenu create_preset_menu() const;
    void preset_menu_chosen (int result);

    /** The settings menu: reset, show presets folder, show preferences file, version. */
    juce::PopupMenu create_settings_menu() const;
    void settings_menu_chosen (int result);

    /** What the save dialog does once the user has picked a file. A write that fails
        keeps the current name and tells the user why in an alert. */
    void save_preset (const juce::File& chosen);

    static constexpr int save_item_id = 1;
    static constexpr int first_preset_item_id = 2;
    enum SettingsItem { reset_item_id = 1, show_presets_item_id, show_preferences_item_id, version_item_id };

private:
    void step_preset (int direction);
    void load_preset_named (const juce::String& name);
    juce::File preset_file (const juce::String& name) const;
    void show_menu (const juce::PopupMenu& menu, juce::Component& target, int max_columns,
                    std::function<void (FooterComponent&, int)> handler);
    void show_save_dialog();
    void confirm_replace (const juce::File& chosen);
    void report_save_failure (const juce::File& target, const juce::String& reason);

    QuorvaneAudioProcessor& audio_processor;
    juce::SharedResourcePointer<QuorvaneUITools::Palette> palette;

    juce::DrawableButton prev_button { "prev", juce::DrawableButton::ImageFitted };
    juce::TextButton name_button;
    juce::DrawableButton next_button { "next", juce::DrawableButton::ImageFitted };
    juce::StringArray preset_names;
    juce::DrawableButton config_button { "config", juce::DrawableButton::ImageFitted };

    std::unique_ptr<juce::Drawable> maker_logo;
    juce::Rectangle<float> maker_logo_area;
    std::unique_ptr<juce::Drawable> wordmark;
    juce::Rectangle<float> wordmark_area;

    // The asynchronous save dialog must outlive its launch; one at a time.
    std::unique_ptr<juce::FileChooser> save_chooser;
    bool save_dialog_open = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FooterComponent)
};
