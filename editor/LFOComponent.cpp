#include "LFOComponent.h"

#include "BinaryData.h"
#include "LabelStyles.h"
#include "ModulePanelControls.h"
#include "QuorvaneParameters.h"
#include "SyncTranslator.h"

namespace
{
// LFO 2's four parameters follow LFO 1's.
int module_offset (int index) { return index == 0 ? 0 : 4; }

constexpr int rate_index = 19, sync_index = 20, synced_rate_index = 21, wave_index = 22;

std::unique_ptr<juce::Drawable> sync_icon (juce::Colour white_to, juce::Colour black_to)
{
    auto icon = QuorvaneUITools::load_recoloured_svg (BinaryData::sync_svg, (size_t) BinaryData::sync_svgSize, white_to,
                                                      juce::Colours::white);
    if (icon != nullptr)
        icon->replaceColour (juce::Colours::black, black_to);
    return icon;
}
} // namespace

LFOComponent::LFOComponent (juce::AudioProcessorValueTreeState& parameters, int index)
{
    const int b = module_offset (index);
    const auto id_of = [b] (int parameter_index) { return QuorvaneParameters::get_id_for_parameter (parameter_index + b); };

    QuorvaneUITools::init_header_label (header, "LFO " + juce::String (index + 1), this);

    ModulePanelControls::init_knob (rate_slider, palette->modulation_colour, *this);
    ModulePanelControls::init_knob (synced_rate_slider, palette->modulation_colour, *this);
    QuorvaneUITools::init_hit_area_slider (wave_slider, palette->modulation_colour, this);

    {
        // The off image sinks into the panel: a ring darker than the title bar.
        const auto off_image = sync_icon (palette->background_colour, palette->header_colour.withMultipliedBrightness (0.5f));
        const auto on_image = sync_icon (palette->modulation_colour, palette->header_colour);
        sync_button.setImages (off_image.get(), nullptr, on_image.get(), nullptr, on_image.get());
    }
    sync_button.setClickingTogglesState (true);
    addAndMakeVisible (sync_button);

    QuorvaneUITools::init_control_label (rate_label, "RATE", this);

    rate_attachment = std::make_unique<SliderAttachment> (parameters, id_of (rate_index), rate_slider);
    synced_rate_attachment = std::make_unique<SliderAttachment> (parameters, id_of (synced_rate_index), synced_rate_slider);
    wave_attachment = std::make_unique<SliderAttachment> (parameters, id_of (wave_index), wave_slider);
    sync_attachment = std::make_unique<juce::AudioProcessorValueTreeState::ButtonAttachment> (parameters, id_of (sync_index),
                                                                                             sync_button);

    const auto raw = [&] (int parameter_index) { return parameters.getRawParameterValue (id_of (parameter_index)); };

    wave_selector.reset (new QuorvaneUITools::IconSelector { {}, raw (wave_index) });

    rate_display = std::make_unique<crvl::gui::ValueDisplayLabel> (rate_slider, raw (rate_index), "Hz",
                                                                   palette->modulation_colour, false, nullptr);
    addChildComponent (*rate_display);

    // The note value is a choice index, which the attachment keeps whole.
    synced_rate_display = std::make_unique<crvl::gui::ValueDisplayLabel> (
        synced_rate_slider, raw (synced_rate_index), juce::String(), palette->modulation_colour, false,
        [] (float value) { return crvl::dsp::SyncTranslator::time_value_to_string ((int) value); });
    addChildComponent (*synced_rate_display);

    // Choice order of the wave parameters.
    const std::pair<const char*, int> waves[] = {
        { BinaryData::wave_sine_svg, BinaryData::wave_sine_svgSize },
        { BinaryData::wave_square_svg, BinaryData::wave_square_svgSize },
        { BinaryData::wave_saw_up_svg, BinaryData::wave_saw_up_svgSize },
        { BinaryData::wave_saw_down_svg, BinaryData::wave_saw_down_svgSize },
        { BinaryData::wave_triangle_svg, BinaryData::wave_triangle_svgSize },
        { BinaryData::wave_random_svg, BinaryData::wave_random_svgSize },
        { BinaryData::wave_smooth_random_svg, BinaryData::wave_smooth_random_svgSize },
    };

    // The waves are drawn in white.
    for (const auto& [data, size] : waves)
        QuorvaneUITools::append_icon (*wave_selector, data, (size_t) size, palette->modulation_colour, juce::Colours::white);
}

void LFOComponent::update()
{
    const bool sync = sync_button.getToggleState();
    rate_slider.setVisible (! sync);
    synced_rate_slider.setVisible (sync);

    repaint (wave_slider.getBounds());

    rate_display->update (3);
    synced_rate_display->update (2);
}

void LFOComponent::paint (juce::Graphics& g)
{
    g.fillAll (palette->background_colour);
    QuorvaneUITools::paint_icon_selector (g, wave_selector.get(), wave_slider.getBounds(), palette->modulation_colour);
}

void LFOComponent::resized()
{
    using Track = juce::Grid::TrackInfo;
    using Fr = juce::Grid::Fr;

    juce::Grid grid;
    grid.justifyItems = juce::Grid::JustifyItems::center;
    grid.alignItems = juce::Grid::AlignItems::center;
    grid.templateRows = { Track (juce::Grid::Px (20)), Track (Fr (2)), Track (Fr (1)), Track (Fr (1)) };
    grid.templateColumns = { Track (Fr (1)), Track (Fr (1)) };
    grid.templateAreas = { "header header", "sync rate_knob", "wave rate_knob", "wave rate_label" };

    grid.items = {
        juce::GridItem (header).withArea ("header"),
        juce::GridItem (sync_button).withArea ("sync").withSize (26, 26),
        juce::GridItem (rate_slider).withArea ("rate_knob").withSize (40, 40),
        juce::GridItem (wave_slider).withArea ("wave").withSize (60, 50),
        juce::GridItem (rate_label).withArea ("rate_label"),
    };

    grid.performLayout (getLocalBounds());

    synced_rate_slider.setBounds (rate_slider.getBounds());
    rate_display->setBounds (rate_slider.getBounds().withSizeKeepingCentre (60, 18));
    synced_rate_display->setBounds (synced_rate_slider.getBounds().withSizeKeepingCentre (60, 18));
}
