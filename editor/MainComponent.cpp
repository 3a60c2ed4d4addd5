#include "MainComponent.h"

#include "Palette.h"
#include "QuorvaneAudioProcessor.h"

MainComponent::MainComponent (QuorvaneAudioProcessor&)
{
    look_and_feel.load_knob_images();

    // A palette of its own, not the panels' shared one, for the pop-up menus.
    const QuorvaneUITools::Palette palette;
    look_and_feel.setColour (juce::PopupMenu::backgroundColourId, palette.background_colour);
    look_and_feel.setColour (juce::PopupMenu::textColourId, palette.text_colour);
    setLookAndFeel (&look_and_feel);

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
    grid.performLayout (getLocalBounds().reduced (2));
}

void MainComponent::timerCallback()
{
}
