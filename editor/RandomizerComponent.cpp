#include "RandomizerComponent.h"

#include "BinaryData.h"
#include "LabelStyles.h"
#include "QuorvaneParameters.h"

#include <algorithm>

RandomizerComponent::RandomizerComponent (juce::AudioProcessorValueTreeState& state)
    : parameter_state (state)
{
    // Every panel starts from its own sequence.
    random.setSeedRandomly();

    QuorvaneUITools::init_header_label (header, "RANDOMIZER", this);

    init_icon_button (delay1_button, BinaryData::icon_delay1_svg, BinaryData::icon_delay1_svgSize, palette->delay_colour);
    init_icon_button (delay2_button, BinaryData::icon_delay2_svg, BinaryData::icon_delay2_svgSize, palette->delay_colour);
    init_icon_button (mods_button, BinaryData::icon_mods_svg, BinaryData::icon_mods_svgSize, palette->modulation_colour);
    init_icon_button (all_button, BinaryData::icon_all_svg, BinaryData::icon_all_svgSize, palette->master_colour);

    delay1_parameters = { 0, 1, 2, 27, 28, 29, 30 };
    delay2_parameters = { 4, 5, 6, 31, 32, 33, 34 };
    mods_parameters = { 14, 15, 17, 18, 19, 21, 22, 23, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34 };

    // Output levels, distortion, envelope sensitivities and sync switches are never randomised.
    constexpr int kept[] = { 3, 7, 9, 10, 11, 12, 13, 16, 20, 24 };
    for (int i = 0; i < QuorvaneParameters::num_parameters; ++i)
        if (std::find (std::begin (kept), std::end (kept), i) == std::end (kept))
            all_parameters.push_back (i);

    const auto randomize_all_of = [this] (const std::vector<int>& indices)
    {
        return [this, &indices]
        {
            for (const auto index : indices)
                randomize_parameter (index);
        };
    };

    delay1_button.onClick = randomize_all_of (delay1_parameters);
    delay2_button.onClick = randomize_all_of (delay2_parameters);
    mods_button.onClick = randomize_all_of (mods_parameters);
    all_button.onClick = randomize_all_of (all_parameters);
}

RandomizerComponent::~RandomizerComponent() = default;

void RandomizerComponent::init_icon_button (juce::DrawableButton& button, const void* data, unsigned long size,
                                            const juce::Colour& colour)
{
    auto normal = juce::Drawable::createFromImageData (data, (size_t) size);
    auto pressed = juce::Drawable::createFromImageData (data, (size_t) size);

    if (normal != nullptr && pressed != nullptr)
    {
        normal->replaceColour (juce::Colours::black, colour);
        pressed->replaceColour (juce::Colours::black, colour.withMultipliedBrightness (0.7f));
        button.setImages (normal.get(), nullptr, pressed.get());
    }

    addAndMakeVisible (button);
}

void RandomizerComponent::randomize_parameter (int index)
{
    const auto id = QuorvaneParameters::get_id_for_parameter (index);
    const auto range = parameter_state.getParameterRange (id);

    // Unsnapped: the parameter rounds it as it does any value it is given.
    parameter_state.getParameterAsValue (id) = (double) range.convertFrom0to1 (random.nextFloat());
}

void RandomizerComponent::paint (juce::Graphics& g)
{
    g.fillAll (palette->background_colour);
}

void RandomizerComponent::resized()
{
    using Track = juce::Grid::TrackInfo;
    using Fr = juce::Grid::Fr;

    juce::Grid grid;
    grid.justifyItems = juce::Grid::JustifyItems::center;
    grid.alignItems = juce::Grid::AlignItems::center;
    grid.templateRows = { Track (juce::Grid::Px (20)), Track (Fr (1)), Track (Fr (1)) };
    grid.templateColumns = { Track (Fr (1)), Track (Fr (1)) };
    grid.templateAreas = { "header header", "delay1 delay2", "mods all" };
    grid.items = { juce::GridItem (header).withArea ("header"),
                   juce::GridItem (delay1_button).withArea ("delay1").withSize (34.0f, 34.0f),
                   juce::GridItem (delay2_button).withArea ("delay2").withSize (34.0f, 34.0f),
                   juce::GridItem (mods_button).withArea ("mods").withSize (26.0f, 26.0f),
                   juce::GridItem (all_button).withArea ("all").withSize (26.0f, 26.0f) };
    grid.performLayout (getLocalBounds());
}
