#include "EnvelopeComponent.h"

#include "LabelStyles.h"
#include "ModulePanelControls.h"
#include "QuorvaneParameters.h"

namespace
{
// Envelope 2's three parameters follow envelope 1's.
int module_offset (int index) { return index == 0 ? 0 : 3; }

constexpr int sens_index = 13, attack_index = 14, release_index = 15;
} // namespace

EnvelopeComponent::EnvelopeComponent (juce::AudioProcessorValueTreeState& parameters, int index)
{
    const int b = module_offset (index);
    const auto id_of = [b] (int parameter_index) { return QuorvaneParameters::get_id_for_parameter (parameter_index + b); };

    QuorvaneUITools::init_header_label (header, "ENVELOPE " + juce::String (index + 1), this);

    for (auto* knob : { &sens_slider, &attack_slider, &release_slider })
        ModulePanelControls::init_knob (*knob, palette->modulation_colour, *this);

    QuorvaneUITools::init_control_label (sens_label, "SENS", this);
    QuorvaneUITools::init_control_label (attack_label, "ATT", this);
    QuorvaneUITools::init_control_label (release_label, "REL", this);

    sens_attachment = std::make_unique<SliderAttachment> (parameters, id_of (sens_index), sens_slider);
    attack_attachment = std::make_unique<SliderAttachment> (parameters, id_of (attack_index), attack_slider);
    release_attachment = std::make_unique<SliderAttachment> (parameters, id_of (release_index), release_slider);

    const auto make_display = [&] (juce::Slider& knob, int parameter_index, const juce::String& suffix, bool integer_only)
    {
        auto display = std::make_unique<crvl::gui::ValueDisplayLabel> (
            knob, parameters.getRawParameterValue (id_of (parameter_index)), suffix, palette->modulation_colour,
            integer_only, nullptr);
        addChildComponent (*display);
        return display;
    };

    sens_display = make_display (sens_slider, sens_index, "dB", false);
    attack_display = make_display (attack_slider, attack_index, "Ms", true);
    release_display = make_display (release_slider, release_index, "Ms", true);
}

void EnvelopeComponent::paint (juce::Graphics& g)
{
    g.fillAll (palette->background_colour);
}

void EnvelopeComponent::resized()
{
    using Track = juce::Grid::TrackInfo;
    using Fr = juce::Grid::Fr;

    juce::Grid grid;
    grid.justifyItems = juce::Grid::JustifyItems::center;
    grid.alignItems = juce::Grid::AlignItems::center;
    grid.templateRows = { Track (juce::Grid::Px (20)), Track (Fr (3)), Track (Fr (1)) };
    grid.templateColumns = { Track (Fr (1)), Track (Fr (1)), Track (Fr (1)) };

    grid.items = {
        juce::GridItem (header).withArea (1, 1, 2, 4),
        juce::GridItem (sens_slider).withArea (2, 1, 3, 2).withSize (40, 40),
        juce::GridItem (attack_slider).withArea (2, 2, 3, 3).withSize (40, 40),
        juce::GridItem (release_slider).withArea (2, 3, 3, 4).withSize (40, 40),
        juce::GridItem (sens_label).withArea (3, 1, 4, 2),
        juce::GridItem (attack_label).withArea (3, 2, 4, 3),
        juce::GridItem (release_label).withArea (3, 3, 4, 4),
    };

    grid.performLayout (getLocalBounds());

    // Narrower than elsewhere: three knobs share a quarter-width panel.
    sens_display->setBounds (sens_slider.getBounds().withSizeKeepingCentre (50, 18));
    attack_display->setBounds (attack_slider.getBounds().withSizeKeepingCentre (50, 18));
    release_display->setBounds (release_slider.getBounds().withSizeKeepingCentre (50, 18));
}
