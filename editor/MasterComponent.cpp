#include "MasterComponent.h"

#include "BinaryData.h"
#include "LabelStyles.h"
#include "ModulePanelControls.h"

MasterComponent::MasterComponent (juce::AudioProcessorValueTreeState& parameters)
{
    QuorvaneUITools::init_header_label (header, "MASTER", this);

    QuorvaneUITools::init_hit_area_slider (mix_mode_slider, palette->master_colour, this);
    QuorvaneUITools::init_hit_area_slider (distortion_type_slider, palette->distortion_colour, this);

    ModulePanelControls::init_knob (drive_slider, palette->distortion_colour, *this);
    ModulePanelControls::init_knob (amp_slider, palette->master_colour, *this);
    ModulePanelControls::init_knob (dry_wet_slider, palette->master_colour, *this);

    // Dry/wet reads from the middle: the look draws its pie from twelve o'clock.
    dry_wet_slider.getProperties().set ("bipolar", true);

    QuorvaneUITools::init_control_label (drive_label, "DRIVE", this);
    QuorvaneUITools::init_control_label (amp_label, "AMP", this);
    QuorvaneUITools::init_control_label (dry_wet_label, "DRY/WET", this);

    mix_mode_attachment = std::make_unique<SliderAttachment> (parameters, "mix_mode", mix_mode_slider);
    distortion_type_attachment = std::make_unique<SliderAttachment> (parameters, "distortion_type", distortion_type_slider);
    drive_attachment = std::make_unique<SliderAttachment> (parameters, "distortion_drive", drive_slider);
    amp_attachment = std::make_unique<SliderAttachment> (parameters, "master_amp", amp_slider);
    dry_wet_attachment = std::make_unique<SliderAttachment> (parameters, "master_dry_wet", dry_wet_slider);

    // Choice order of "mix_mode".
    const std::pair<const char*, int> routings[] = {
        { BinaryData::mix_parallel_svg, BinaryData::mix_parallel_svgSize },
        { BinaryData::mix_serial_svg, BinaryData::mix_serial_svgSize },
        { BinaryData::mix_reverse_serial_svg, BinaryData::mix_reverse_serial_svgSize },
        { BinaryData::mix_solo1_svg, BinaryData::mix_solo1_svgSize },
        { BinaryData::mix_solo2_svg, BinaryData::mix_solo2_svgSize },
        { BinaryData::mix_stereo_split_svg, BinaryData::mix_stereo_split_svgSize },
        { BinaryData::mix_reverse_stereo_split_svg, BinaryData::mix_reverse_stereo_split_svgSize },
    };
    mix_mode_selector.reset (new QuorvaneUITools::IconSelector { {}, parameters.getRawParameterValue ("mix_mode") });
    for (const auto& [data, size] : routings)
        QuorvaneUITools::append_icon (*mix_mode_selector, data, (size_t) size, palette->master_colour);

    // Choice order of "distortion_type".
    const std::pair<const char*, int> distortions[] = {
        { BinaryData::soft_clip_svg, BinaryData::soft_clip_svgSize },
        { BinaryData::hard_clip_svg, BinaryData::hard_clip_svgSize },
        { BinaryData::overdrive_svg, BinaryData::overdrive_svgSize },
        { BinaryData::foldover_svg, BinaryData::foldover_svgSize },
    };
    distortion_type_selector.reset (
        new QuorvaneUITools::IconSelector { {}, parameters.getRawParameterValue ("distortion_type") });
    for (const auto& [data, size] : distortions)
        QuorvaneUITools::append_icon (*distortion_type_selector, data, (size_t) size, palette->distortion_colour);

    amp_display = std::make_unique<crvl::gui::ValueDisplayLabel> (amp_slider, parameters.getRawParameterValue ("master_amp"),
                                                                  "dB", palette->master_colour, false, nullptr);
    addChildComponent (*amp_display);
}

void MasterComponent::paint (juce::Graphics& g)
{
    g.fillAll (palette->background_colour);
    QuorvaneUITools::paint_icon_selector (g, mix_mode_selector.get(), mix_mode_slider.getBounds(), palette->master_colour);
    QuorvaneUITools::paint_icon_selector (g, distortion_type_selector.get(), distortion_type_slider.getBounds(),
                                          palette->distortion_colour);
}

void MasterComponent::resized()
{
    using Track = juce::Grid::TrackInfo;
    using Fr = juce::Grid::Fr;

    juce::Grid grid;
    grid.justifyItems = juce::Grid::JustifyItems::center;
    grid.alignItems = juce::Grid::AlignItems::center;
    grid.templateRows = { Track (juce::Grid::Px (20)), Track (Fr (3)), Track (Fr (3)), Track (Fr (1)) };
    grid.templateColumns = { Track (Fr (1)), Track (Fr (1)), Track (Fr (1)) };
    grid.templateAreas = { "header header header", "dist mix mix", "drive_knob amp_knob dw_knob",
                           "drive_lbl amp_lbl dw_lbl" };

    grid.items = {
        juce::GridItem (header).withArea ("header"),
        juce::GridItem (mix_mode_slider).withArea ("mix").withSize (80, 50),
        juce::GridItem (distortion_type_slider).withArea ("dist").withSize (60, 50),
        juce::GridItem (drive_slider).withArea ("drive_knob").withSize (50, 50),
        juce::GridItem (amp_slider).withArea ("amp_knob").withSize (50, 50),
        juce::GridItem (dry_wet_slider).withArea ("dw_knob").withSize (50, 50),
        juce::GridItem (drive_label).withArea ("drive_lbl"),
        juce::GridItem (amp_label).withArea ("amp_lbl"),
        juce::GridItem (dry_wet_label).withArea ("dw_lbl"),
    };

    grid.performLayout (getLocalBounds());

    amp_display->setBounds (amp_slider.getBounds().withSizeKeepingCentre (60, 18));
}
