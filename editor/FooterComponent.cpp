#include "FooterComponent.h"

#include "BinaryData.h"
#include "StateDocumentChecks.h"

namespace
{
std::unique_ptr<juce::Drawable> load_image (const void* data, int size)
{
    return juce::Drawable::createFromImageData (data, (size_t) size);
}

// The arrows and the gear are drawn in white; the button shows them in the footer colour,
// darker while pressed.
void init_image_button (juce::DrawableButton& button, const void* data, int size, juce::Colour colour)
{
    auto normal = load_image (data, size);
    auto pressed = load_image (data, size);

    if (normal != nullptr && pressed != nullptr)
    {
        normal->replaceColour (juce::Colours::white, colour);
        pressed->replaceColour (juce::Colours::white, colour.withMultipliedBrightness (0.7f));
        button.setImages (normal.get(), nullptr, pressed.get());
    }
}

// Through a temporary file that replaces the target only once complete, as the framework's
// own XML writer does, but keeping the system's reason when a step fails.
juce::Result write_preset_file (const juce::XmlElement& document, const juce::File& target)
{
    // The rename would take an empty folder of that name away.
    if (target.isDirectory())
        return juce::Result::fail ("A folder has that name");

    juce::XmlElement::TextFormat format;
    format.customEncoding = "UTF-8";
    format.lineWrapLength = 60;
    format.newLineChars = "\r\n";

    const juce::TemporaryFile temporary (target);
    {
        juce::FileOutputStream stream (temporary.getFile());
        if (! stream.openedOk())
            return stream.getStatus();

        document.writeTo (stream, format);
        stream.flush(); // syncs too, so a full disk is known before the rename
        if (stream.getStatus().failed())
            return stream.getStatus();
    }

    if (! temporary.overwriteTargetFileWithTemporary())
        return juce::Result::fail ("The existing file could not be replaced");

    return juce::Result::ok();
}
} // namespace

FooterComponent::FooterComponent (QuorvaneAudioProcessor& processor)
    : audio_processor (processor),
      maker_logo (load_image (BinaryData::maker_logo_svg, BinaryData::maker_logo_svgSize)),
      wordmark (load_image (BinaryData::wordmark_svg, BinaryData::wordmark_svgSize))
{
    cache_presets_list();

    init_image_button (prev_button, BinaryData::Prev_svg, BinaryData::Prev_svgSize, palette->footer_colour);
    addAndMakeVisible (prev_button);

    name_button.setButtonText (audio_processor.current_preset_name);
    addAndMakeVisible (name_button);
    name_button.setColour (juce::TextButton::buttonColourId, palette->footer_colour);
    name_button.setColour (juce::TextButton::buttonOnColourId, palette->footer_colour);
    name_button.setColour (juce::TextButton::textColourOffId, palette->background_colour);
    name_button.setColour (juce::TextButton::textColourOnId, palette->background_colour);

    init_image_button (next_button, BinaryData::Next_svg, BinaryData::Next_svgSize, palette->footer_colour);
    addAndMakeVisible (next_button);

    prev_button.onClick = [this] { step_preset (-1); };
    next_button.onClick = [this] { step_preset (1); };
    name_button.onClick = [this]
    {
        show_menu (create_preset_menu(), name_button, 4, [] (FooterComponent& footer, int result)
                   { footer.preset_menu_chosen (result); });
    };

    init_image_button (config_button, BinaryData::gear_svg, BinaryData::gear_svgSize, palette->footer_colour);
    addAndMakeVisible (config_button);
    config_button.onClick = [this]
    {
        show_menu (create_settings_menu(), config_button, 1, [] (FooterComponent& footer, int result)
                   { footer.settings_menu_chosen (result); });
    };

    if (wordmark != nullptr)
        wordmark->replaceColour (juce::Colours::black, juce::Colours::white);
}

FooterComponent::~FooterComponent() = default;

void FooterComponent::paint (juce::Graphics& g)
{
    g.fillAll (palette->background_colour);

    if (maker_logo != nullptr)
        maker_logo->drawWithin (g, maker_logo_area, juce::RectanglePlacement::centred, 1.0f);

    if (wordmark != nullptr)
        wordmark->drawWithin (g, wordmark_area, juce::RectanglePlacement::centred, 1.0f);
}

void FooterComponent::resized()
{
    using Track = juce::Grid::TrackInfo;
    using Fr = juce::Grid::Fr;

    juce::Grid grid;
    grid.justifyItems = juce::Grid::JustifyItems::center;
    grid.alignItems = juce::Grid::AlignItems::center;
    grid.templateRows = { Track (Fr (1)), Track (Fr (1)), Track (Fr (1)) };
    grid.templateColumns = { Track (Fr (3)), Track (Fr (1)), Track (Fr (3)), Track (Fr (1)), Track (Fr (3)) };
    grid.columnGap = juce::Grid::Px (2);
    grid.templateAreas = { "quorvanelogo blank1 blank1 blank1 cvlogo",
                           "quorvanelogo prev name next cvlogo",
                           "quorvanelogo blank2 blank2 blank2 cvlogo" };
    grid.items = { juce::GridItem (prev_button).withArea ("prev").withSize (24.0f, 24.0f),
                   juce::GridItem (name_button).withArea ("name").withHeight (24.0f),
                   juce::GridItem (next_button).withArea ("next").withSize (24.0f, 24.0f) };
    grid.performLayout (getLocalBounds());

    config_button.setBounds (next_button.getRight() + 10, next_button.getY(), next_button.getWidth(), next_button.getHeight());

    const auto width = getWidth(), height = getHeight();
    const auto right = next_button.getRight();
    maker_logo_area = juce::Rectangle<int> (right + 66 + (juce::jmax (0, width - right) - 70) / 2, (height - 30) / 2, 70, 30).toFloat();

    const auto left = prev_button.getX();
    wordmark_area = juce::Rectangle<int> (juce::jmin (0, left) + (juce::jmax (0, left) - 200) / 2, (height - 32) / 2, 200, 32).toFloat();
}

void FooterComponent::cache_presets_list()
{
    preset_names.clear();

    for (const auto& entry : juce::RangedDirectoryIterator (audio_processor.presets_folder, false,
                                                            "*." + audio_processor.preset_extension,
                                                            juce::File::findFiles))
    {
        // The pattern ignores case even where file names do not; a name is listed only
        // when loading it opens this very file.
        const auto name = entry.getFile().getFileNameWithoutExtension();
        if (preset_file (name) == entry.getFile())
            preset_names.add (name);
    }

    preset_names.sortNatural();
}

bool FooterComponent::load_preset (const juce::File& file)
{
    juce::MemoryBlock bytes;
    if (! StateDocumentChecks::read_file (file, bytes))
        return false;

    // The same checks as a host state chunk's text: a preset file is just as untrusted.
    const auto document = StateDocumentChecks::parse_document (bytes.getData(), bytes.getSize());
    auto& parameter_state = audio_processor.parameter_state;

    if (document == nullptr || ! document->hasTagName (parameter_state.state.getType().toString()))
        return false;

    const auto tree = juce::ValueTree::fromXml (*document);

    audio_processor.suspendProcessing (true);

    const auto restored = audio_processor.restore_state (tree);
    if (restored)
        audio_processor.current_preset_name = file.getFileNameWithoutExtension();

    audio_processor.suspendProcessing (false);
    return restored;
}

void FooterComponent::step_preset (int direction)
{
    const auto count = preset_names.size();
    auto index = preset_names.indexOf (audio_processor.current_preset_name, false);

    // An unlisted name starts at the first preset and goes on forward from there.
    if (index < 0)
        direction = 1;

    // Past presets that fail to load, each tried once: when none loads, nothing changes.
    for (int tried = 0; tried < count; ++tried)
    {
        index = (index + direction + count) % count;
        if (load_preset (preset_file (preset_names[index])))
            break;
    }

    name_button.setButtonText (audio_processor.current_preset_name);
}

void FooterComponent::load_preset_named (const juce::String& name)
{
    load_preset (preset_file (name));
    name_button.setButtonText (audio_processor.current_preset_name);
}

juce::File FooterComponent::preset_file (const juce::String& name) const
{
    // The extension is appended rather than swapped in, so a name with a dot of its own
    // finds its file again.
    return audio_processor.presets_folder.getChildFile (name + "." + audio_processor.preset_extension);
}

juce::PopupMenu FooterComponent::create_preset_menu() const
{
    juce::PopupMenu menu;
    menu.addItem (save_item_id, "SAVE PRESET...");

    const auto current = preset_names.indexOf (audio_processor.current_preset_name, false);

    for (int i = 0; i < preset_names.size(); ++i)
        menu.addItem (i + first_preset_item_id, preset_names[i], true, i == current);

    return menu;
}

void FooterComponent::preset_menu_chosen (int result)
{
    if (result == save_item_id)
        show_save_dialog();
    else if (juce::isPositiveAndBelow (result - first_preset_item_id, preset_names.size()))
        load_preset_named (preset_names[result - first_preset_item_id]);
}

juce::PopupMenu FooterComponent::create_settings_menu() const
{
    juce::PopupMenu menu;
    menu.addItem (reset_item_id, "RESET TO DEFAULT VALUES");
    menu.addItem (show_presets_item_id, "SHOW PRESETS FOLDER");
    menu.addItem (show_preferences_item_id, "SHOW PREFERENCES FILE");
    menu.addItem (version_item_id, juce::String ("Corvalen Quorvane version ") + JucePlugin_VersionString, false);
    return menu;
}

void FooterComponent::settings_menu_chosen (int result)
{
    if (result == reset_item_id)
    {
        for (auto* parameter : audio_processor.getParameters())
        {
            parameter->beginChangeGesture();
            parameter->setValueNotifyingHost (parameter->getDefaultValue());
            parameter->endChangeGesture();
        }
    }
    else if (result == show_presets_item_id)
    {
        audio_processor.presets_folder.revealToUser();
    }
    else if (result == show_preferences_item_id && audio_processor.properties_file != nullptr)
    {
        audio_processor.properties_file->getFile().revealToUser();
    }
}

void FooterComponent::show_menu (const juce::PopupMenu& menu, juce::Component& target, int max_columns,
                                 std::function<void (FooterComponent&, int)> handler)
{
    auto shown = menu;
    shown.setLookAndFeel (&getLookAndFeel());

    const auto options = juce::PopupMenu::Options()
                             .withTargetComponent (&target)
                             .withItemThatMustBeVisible (1)
                             .withMinimumWidth (40)
                             .withStandardItemHeight (18)
                             .withMaximumNumColumns (max_columns);

    shown.showMenuAsync (options, [safe = juce::Component::SafePointer<FooterComponent> (this), handler] (int result)
                         {
                             if (safe != nullptr)
                                 handler (*safe, result);
                         });
}

void FooterComponent::show_save_dialog()
{
    if (save_dialog_open)
        return;

    // Starting from the current name in the presets folder: the desktop dialog would
    // otherwise offer the folder's own name as the file name.
    const auto& extension = audio_processor.preset_extension;
    const auto start = audio_processor.presets_folder.getChildFile (audio_processor.current_preset_name + "." + extension);
    save_chooser = std::make_unique<juce::FileChooser> ("Save Preset", start, "*." + extension, true, false, nullptr);
    save_dialog_open = true;

    // The framework moves the process into the folder to start the desktop dialog there;
    // the host's working folder is not ours to change.
    const auto working_folder = juce::File::getCurrentWorkingDirectory();

    const auto dialog_flags = juce::FileBrowserComponent::saveMode | juce::FileBrowserComponent::canSelectFiles
                       | juce::FileBrowserComponent::warnAboutOverwriting;

    save_chooser->launchAsync (dialog_flags, [safe = juce::Component::SafePointer<FooterComponent> (this)] (const juce::FileChooser& chooser)
                               {
                                   if (safe == nullptr)
                                       return;

                                   safe->save_dialog_open = false;
                                   const auto chosen = chooser.getResult();

                                   // Cancelled: nothing changes and the list stays as it is.
                                   if (chosen != juce::File())
                                       safe->confirm_replace (chosen);
                               });
    working_folder.setAsCurrentWorkingDirectory();
}

void FooterComponent::confirm_replace (const juce::File& chosen)
{
    // The dialog asked about the name as typed; the extension forced afterwards may name
    // another preset that exists, which a desktop dialog on Linux never saw.
    const auto target = chosen.withFileExtension (audio_processor.preset_extension);

    if (target == chosen || ! target.existsAsFile())
    {
        save_preset (chosen);
        return;
    }

    const auto options = juce::MessageBoxOptions()
                             .withIconType (juce::MessageBoxIconType::QuestionIcon)
                             .withTitle ("Save Preset")
                             .withMessage ("\"" + target.getFileNameWithoutExtension() + "\" already exists. Replace it?")
                             .withButton ("Replace")
                             .withButton ("Cancel")
                             .withAssociatedComponent (this);

    juce::AlertWindow::showAsync (options, [safe = juce::Component::SafePointer<FooterComponent> (this), chosen] (int result)
                                  {
                                      if (safe != nullptr && result == 1)
                                          safe->save_preset (chosen);
                                  });
}

void FooterComponent::save_preset (const juce::File& chosen)
{
    // Only the snapshot needs the audio thread held off; writing happens afterwards.
    audio_processor.suspendProcessing (true);
    const auto snapshot = audio_processor.parameter_state.copyState();
    audio_processor.suspendProcessing (false);

    if (snapshot.isValid())
    {
        if (const auto document = snapshot.createXml())
        {
            const auto target = chosen.withFileExtension (audio_processor.preset_extension);

            if (const auto written = write_preset_file (*document, target); written.wasOk())
                audio_processor.current_preset_name = target.getFileNameWithoutExtension();
            else
                report_save_failure (target, written.getErrorMessage());
        }
    }

    name_button.setButtonText (audio_processor.current_preset_name);
    cache_presets_list();
}

void FooterComponent::report_save_failure (const juce::File& target, const juce::String& reason)
{
    const auto options = juce::MessageBoxOptions()
                             .withIconType (juce::MessageBoxIconType::WarningIcon)
                             .withTitle ("Save Preset")
                             .withMessage ("\"" + target.getFileNameWithoutExtension() + "\" was not saved to "
                                           + target.getParentDirectory().getFullPathName() + ": " + reason + ".")
                             .withButton ("OK")
                             .withAssociatedComponent (this);

    juce::AlertWindow::showAsync (options, static_cast<juce::ModalComponentManager::Callback*> (nullptr));
}
