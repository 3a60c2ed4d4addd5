#pragma once

#include "CorvalenLook.h"
#include "DelayComponent.h"
#include "EnvelopeComponent.h"
#include "FooterComponent.h"
#include "LFOComponent.h"
#include "MasterComponent.h"
#include "RandomizerComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

class QuorvaneAudioProcessor;

/** The editor's one child and the parent of every panel. It lays the panels
    out in a 3 by 5 grid at the design size of 800 by 400 and runs the editor's
    one refresh timer, which brings the read-outs and pictures up to date with
    the parameters' raw values, which nothing announces. Message thread only. */
class MainComponent : public juce::Component,
                      public juce::Timer
{
public:
    static constexpr int refresh_period_ms = 60;

    explicit MainComponent (QuorvaneAudioProcessor& processor);
    ~MainComponent() override;

    void paint (juce::Graphics&) override;
    void resized() override;
    void timerCallback() override;

private:
    // First, so that it outlives every panel that draws with it.
    crvl::gui::CorvalenLook look_and_feel;
    DelayComponent delay1_component, delay2_component;
    MasterComponent master_component;
    EnvelopeComponent envelope1_component, envelope2_component;
    LFOComponent lfo1_component, lfo2_component;
    RandomizerComponent randomizer_component;
    FooterComponent footer_component;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};
