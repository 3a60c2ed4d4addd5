#include "FastestRepetition.h"
#include "QuorvaneAudioProcessor.h"
#include "QuorvaneAudioProcessorEditor.h"

#include <benchmark/benchmark.h>

namespace
{
// Records what the main panel asks to repaint, as a window's peer would collect it.
struct RepaintRecorder : juce::CachedComponentImage
{
    explicit RepaintRecorder (juce::RectangleList<int>& into) : areas (into) {}
    void paint (juce::Graphics&) override {}
    bool invalidateAll() override { areas.add ({ 0, 0, 800, 400 }); return true; }
    bool invalidate (const juce::Rectangle<int>& area) override { areas.add (area); return true; }
    void releaseResources() override {}

    juce::RectangleList<int>& areas;
};

// One tick of the editor's refresh with nothing changed, and the software
// rendering of what it asks to repaint, at a window width: the editor's own
// share of an idle window, without the window system's. The share of one core
// is the time per tick over the 60 ms period.
void BM_EditorRefreshTick (benchmark::State& state)
{
    QuorvaneAudioProcessor processor;
    const auto width = (int) state.range (0);
    QuorvaneAudioProcessorEditor editor (processor);
    editor.setSize (width, width / 2);
    auto& main_panel = *editor.getChildComponent (0);
    dynamic_cast<juce::Timer&> (main_panel).stopTimer();

    juce::Image frame (juce::Image::RGB, width, width / 2, true);
    juce::RectangleList<int> areas;

    for (auto _ : state)
    {
        main_panel.setCachedComponentImage (new RepaintRecorder (areas));
        areas.clear(); // attaching the recorder itself repaints everything
        dynamic_cast<juce::Timer&> (main_panel).timerCallback();
        main_panel.setCachedComponentImage (nullptr);

        juce::RectangleList<int> on_screen;
        for (const auto& area : areas)
            on_screen.add (editor.getLocalArea (&main_panel, area.toFloat()).getSmallestIntegerContainer());

        juce::Graphics g (frame);
        g.reduceClipRegion (on_screen);
        editor.paintEntireComponent (g, true);
    }

    state.counters["repainted_px"] = (double) [&]
    {
        juce::RectangleList<int> on_screen;
        for (const auto& area : areas)
            on_screen.add (editor.getLocalArea (&main_panel, area.toFloat()).getSmallestIntegerContainer());
        juce::int64 pixels = 0;
        for (const auto& r : on_screen)
            pixels += (juce::int64) r.getWidth() * r.getHeight();
        return pixels;
    }();
}

BENCHMARK (BM_EditorRefreshTick)->Arg (800)->Arg (1600)->Unit (benchmark::kMicrosecond)->ComputeStatistics ("min", fastest);

// Building and laying out the whole editor, as a host's opening of the view does,
// without the window.
void BM_EditorConstruction (benchmark::State& state)
{
    QuorvaneAudioProcessor processor;

    for (auto _ : state)
    {
        QuorvaneAudioProcessorEditor editor (processor);
        benchmark::DoNotOptimize (&editor);
    }
}

BENCHMARK (BM_EditorConstruction)->Unit (benchmark::kMillisecond)->ComputeStatistics ("min", fastest);
} // namespace
