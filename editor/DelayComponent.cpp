#include "DelayComponent.h"

#include "BinaryData.h"
#include "LabelStyles.h"
#include "ModulePanelControls.h"
#include "QuorvaneParameters.h"

namespace
{
// Delay 2's parameters lie four indices after delay 1's, in both blocks.
int module_offset (int index) { return index == 0 ? 0 : 4; }

constexpr int time_index = 0, feed_index = 1, damp_index = 2, amp_index = 3;
constexpr int time_mod_src_index = 27, time_mod_depth_index = 28, feed_mod_src_index = 29, feed_mod_depth_index = 30;
} // namespace

DelayComponent::DelayComponent (juce::AudioProcessorValueTreeState& parameters, int index)
{
    const int b = module_offset (index);
    const auto id_of = [b] (int parameter_index) { return QuorvaneParameters::get_id_for_parameter (parameter_index + b); };

    QuorvaneUITools::init_header_label (header, "DELAY " + juce::String (index + 1), this);

    for (auto* knob : { &time_slider, &feed_slider, &damp_slider, &amp_slider })
        ModulePanelControls::init_knob (*knob, palette->delay_colour, *this);

    QuorvaneUITools::init_control_label (time_label, "TIME", this);
    QuorvaneUITools::init_control_label (feed_label, "FEED", this);
    QuorvaneUITools::init_control_label (damp_label, "DAMP", this);
    QuorvaneUITools::init_control_label (amp_label, "AMP", this);

    ModulePanelControls::init_knob (time_mod_depth_slider, palette->delay_mod_colour, *this);
    QuorvaneUITools::init_hit_area_slider (time_mod_src_slider, palette->delay_mod_colour, this);
    ModulePanelControls::init_knob (feed_mod_depth_slider, palette->delay_mod_colour, *this);
    QuorvaneUITools::init_hit_area_slider (feed_mod_src_slider, palette->delay_mod_colour, this);

    const auto attach = [&] (int parameter_index, juce::Slider& slider)
    { return std::make_unique<SliderAttachment> (parameters, id_of (parameter_index), slider); };

    time_attachment = attach (time_index, time_slider);
    feed_attachment = attach (feed_index, feed_slider);
    damp_attachment = attach (damp_index, damp_slider);
    amp_attachment = attach (amp_index, amp_slider);
    time_mod_depth_attachment = attach (time_mod_depth_index, time_mod_depth_slider);
    feed_mod_depth_attachment = attach (feed_mod_depth_index, feed_mod_depth_slider);
    time_mod_src_attachment = attach (time_mod_src_index, time_mod_src_slider);
    feed_mod_src_attachment = attach (feed_mod_src_index, feed_mod_src_slider);

    const auto raw = [&] (int parameter_index) { return parameters.getRawParameterValue (id_of (parameter_index)); };

    time_mod_src_selector.reset (new QuorvaneUITools::IconSelector { {}, raw (time_mod_src_index) });
    feed_mod_src_selector.reset (new QuorvaneUITools::IconSelector { {}, raw (feed_mod_src_index) });

    time_display = std::make_unique<crvl::gui::ValueDisplayLabel> (time_slider, raw (time_index), "Ms",
                                                                   palette->delay_colour, true, nullptr);
    addChildComponent (*time_display);
    amp_display = std::make_unique<crvl::gui::ValueDisplayLabel> (amp_slider, raw (amp_index), "dB",
                                                                  palette->delay_colour, false, nullptr);
    addChildComponent (*amp_display);

    init_mod_source_icons (time_mod_src_selector.get());
    init_mod_source_icons (feed_mod_src_selector.get());
}

void DelayComponent::init_mod_source_icons (QuorvaneUITools::IconSelector* selector)
{
    // Choice order of the modulation-source parameters.
    const std::pair<const char*, int> icons[] = {
        { BinaryData::none_svg, BinaryData::none_svgSize },
        { BinaryData::env1_svg, BinaryData::env1_svgSize },
        { BinaryData::env1_inv_svg, BinaryData::env1_inv_svgSize },
        { BinaryData::env2_svg, BinaryData::env2_svgSize },
        { BinaryData::env2_inv_svg, BinaryData::env2_inv_svgSize },
        { BinaryData::lfo1_svg, BinaryData::lfo1_svgSize },
        { BinaryData::lfo1_inv_svg, BinaryData::lfo1_inv_svgSize },
        { BinaryData::lfo2_svg, BinaryData::lfo2_svgSize },
        { BinaryData::lfo2_inv_svg, BinaryData::lfo2_inv_svgSize },
    };

    for (const auto& [data, size] : icons)
        QuorvaneUITools::append_icon (*selector, data, (size_t) size, palette->delay_mod_colour);
}

void DelayComponent::update()
{
    repaint (time_mod_src_slider.getBounds());
    repaint (feed_mod_src_slider.getBounds());
    time_display->update (2);
    amp_display->update (3);
}

void DelayComponent::paint (juce::Graphics& g)
{
    g.fillAll (palette->background_colour);
    QuorvaneUITools::paint_icon_selector (g, time_mod_src_selector.get(), time_mod_src_slider.getBounds(),
                                          palette->delay_mod_colour);
    QuorvaneUITools::paint_icon_selector (g, feed_mod_src_selector.get(), feed_mod_src_slider.getBounds(),
                                          palette->delay_mod_colour);
}

void DelayComponent::resized()
{
    using Track = juce::Grid::TrackInfo;
    using Fr = juce::Grid::Fr;

    juce::Grid grid;
    grid.justifyItems = juce::Grid::JustifyItems::center;
    grid.alignItems = juce::Grid::AlignItems::center;
    grid.templateRows = { Track (juce::Grid::Px (20)), Track (Fr (2)), Track (Fr (1)), Track (Fr (1)),
                          Track (Fr (2)), Track (Fr (1)), Track (Fr (1)) };
    grid.templateColumns = { Track (Fr (1)), Track (Fr (1)), Track (Fr (1)) };

    grid.items = {
        juce::GridItem (header).withArea (1, 1, 2, 4),
        juce::GridItem (time_slider).withArea (2, 1, 4, 2).withSize (50, 50),
        juce::GridItem (time_label).withArea (4, 1, 5, 3),
        juce::GridItem (time_mod_depth_slider).withArea (2, 2, 3, 3).withSize (40, 40),
        juce::GridItem (time_mod_src_slider).withArea (3, 2, 4, 3).withSize (80, 15),
        juce::GridItem (feed_slider).withArea (5, 1, 7, 2).withSize (50, 50),
        juce::GridItem (feed_label).withArea (7, 1, 8, 3),
        juce::GridItem (feed_mod_depth_slider).withArea (5, 2, 6, 3).withSize (40, 40),
        juce::GridItem (feed_mod_src_slider).withArea (6, 2, 7, 3).withSize (80, 15),
        juce::GridItem (damp_slider).withArea (2, 3, 4, 4).withSize (50, 50),
        juce::GridItem (damp_label).withArea (4, 3, 5, 4),
        juce::GridItem (amp_slider).withArea (5, 3, 7, 4).withSize (50, 50),
        juce::GridItem (amp_label).withArea (7, 3, 8, 4),
    };

    grid.performLayout (getLocalBounds());

    time_display->setBounds (time_slider.getBounds().withSizeKeepingCentre (60, 18));
    amp_display->setBounds (amp_slider.getBounds().withSizeKeepingCentre (60, 18));
}
