#include "MainComponent.h"

#include "Palette.h"
#include "QuorvaneAudioProcessor.h"

MainComponent::MainComponent (QuorvaneAudioProcessor& processor)
    : delay1_component (processor.parameter_state, 0),
      delay2_component (processor.parameter_state, 1),
      master_component (processor.parameter_state),
      envelope1_component (processor.parameter_state, 0),
      envelope2_component (processor.parameter_state, 1),
      lfo1_component (processor.parameter_state, 0),
      lfo2_component (processor.parameter_state, 1),
      randomizer_component (processor.parameter_state),
      footer_component (processor)
{
    look_and_feel.load_knob_images();

    // A palette of its own, not the panels' shared one, for the pop-up menus.
    const QuorvaneUITools::Palette palette;
    look_and_feel.setColour (juce::PopupMenu::backgroundColourId, palette.background_colour);
    look_and_feel.setColour (juce::PopupMenu::textColourId, palette.text_colour);
    setLookAndFeel (&look_and_feel);

    // Screen order, top row first and left to right; later panels stack above earlier ones.
    for (auto* panel : std::initializer_list<juce::Component*> { &delay1_component, &master_component, &delay2_component,
                                                                 &envelope1_component, &envelope2_component,
                                                                 &randomizer_component, &lfo1_component, &lfo2_component,
                                                                 &footer_component })
        addAndMakeVisible (panel);

    startTimer (refresh_period_ms);
}

MainComponent::~MainComponent()
{
    // No panel may still point at the look when it goes, after them all.
    setLookAndFeel (nullptr);
}

void MainComponent::paint (juce::Graphics& g)
{
    // Shows through the frame and the gaps of the grid as thin black lines.
    g.fillAll (juce::Colours::black);
}

void MainComponent::resized()
{
    using Track = juce::Grid::TrackInfo;
    using juce::Grid;

    Grid grid;
    grid.rowGap = Grid::Px (2);
    grid.columnGap = Grid::Px (2);
    grid.templateRows = { Track (Grid::Fr (2)), Track (Grid::Fr (1)), Track (Grid::Px (80)) };
    grid.templateColumns = { Track (Grid::Fr (3)), Track (Grid::Fr (3)), Track (Grid::Fr (4)), Track (Grid::Fr (3)),
                             Track (Grid::Fr (3)) };
    grid.templateAreas = { "delay1 delay1 master delay2 delay2",
                           "env1 env2 randomizer lfo1 lfo2",
                           "footer footer footer footer footer" };
    grid.items = { juce::GridItem (delay1_component).withArea ("delay1"),
                   juce::GridItem (master_component).withArea ("master"),
                   juce::GridItem (delay2_component).withArea ("delay2"),
                   juce::GridItem (envelope1_component).withArea ("env1"),
                   juce::GridItem (envelope2_component).withArea ("env2"),
                   juce::GridItem (randomizer_component).withArea ("randomizer"),
                   juce::GridItem (lfo1_component).withArea ("lfo1"),
                   juce::GridItem (lfo2_component).withArea ("lfo2"),
                   juce::GridItem (footer_component).withArea ("footer") };
    grid.performLayout (getLocalBounds().reduced (2));
}

void MainComponent::timerCallback()
{
    delay1_component.update();
    delay2_component.update();

    // The routing picture is drawn from the raw value, which host automation changes unannounced.
    master_component.repaint (master_component.mix_mode_slider.getBounds());
    master_component.amp_display->update (3);

    for (auto* envelope : { &envelope1_component, &envelope2_component })
        for (auto* display : { &envelope->sens_display, &envelope->attack_display, &envelope->release_display })
            (*display)->update (2);

    lfo1_component.update();
    lfo2_component.update();
}
