#include "MainComponent.h"

#include "QuorvaneAudioProcessor.h"

MainComponent::MainComponent (QuorvaneAudioProcessor&)
{
    startTimer (refresh_period_ms);
}

MainComponent::~MainComponent() = default;

void MainComponent::paint (juce::Graphics& g)
{
    // Shows through the frame and the gaps of the grid as thin black lines.
    g.fillAll (juce::Colours::black);
}

void MainComponent::resized()
{
}

void MainComponent::timerCallback()
{
}
