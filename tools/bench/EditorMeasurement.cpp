// quorvane-editor-measure BUNDLE: a measurement run of the plug-in's editor in a
// real window, hosted as a DAW hosts it (run it under xvfb-run; see
// scripts/measure-editor.sh). Prints the time to open the editor and the CPU
// this process spends, host and plug-in together, with the editor open and
// idle at two widths and while a knob is dragged. The X server's own share is
// not counted.

#include "EditorWindow.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{
constexpr int open_repeats = 10;
// Each share is measured in several rounds, interleaved, and the least is kept:
// the one least disturbed by other load on a shared machine.
constexpr int rounds = 3;
constexpr int settle_ms = 1000, measure_ms = 5000;

double cpu_seconds()
{
    rusage usage {};
    getrusage (RUSAGE_SELF, &usage);
    return (double) usage.ru_utime.tv_sec + (double) usage.ru_utime.tv_usec * 1e-6
         + (double) usage.ru_stime.tv_sec + (double) usage.ru_stime.tv_usec * 1e-6;
}

// The share of one core that the process used while `activity` ran.
template <typename Activity>
double cpu_share (Activity&& activity)
{
    const auto wall_start = juce::Time::getMillisecondCounterHiRes();
    const auto cpu_start = cpu_seconds();
    activity();
    const auto wall = (juce::Time::getMillisecondCounterHiRes() - wall_start) * 1e-3;
    return (cpu_seconds() - cpu_start) / wall;
}

int measure (const juce::File& bundle, const juce::Point<float> knob_at_800)
{
    juce::String error;

    if (! EditorWindow::display_available (error))
    {
        std::fprintf (stderr, "%s\n", error.toRawUTF8());
        return 1;
    }

    auto plugin = HostedPlugin::load (bundle, 48000.0, 512, error);

    if (plugin == nullptr)
    {
        std::fprintf (stderr, "%s\n", error.toRawUTF8());
        return 1;
    }

    const auto idle = [] { EditorWindow::run_messages (measure_ms); };
    auto baseline = 1.0;

    for (int round = 0; round < rounds; ++round)
    {
        EditorWindow::run_messages (settle_ms);
        baseline = std::min (baseline, cpu_share (idle));
    }

    std::printf ("plug-in loaded, no editor open: %.2f %% of one core\n", baseline * 100.0);

    std::vector<double> open_ms;

    for (int i = 0; i < open_repeats; ++i)
    {
        const auto start = juce::Time::getMillisecondCounterHiRes();
        auto window = EditorWindow::open (*plugin, error);

        if (window == nullptr)
        {
            std::fprintf (stderr, "%s\n", error.toRawUTF8());
            return 1;
        }

        // Until the messages that opening posted, the first paint among them, are handled.
        EditorWindow::run_messages (0);
        open_ms.push_back (juce::Time::getMillisecondCounterHiRes() - start);
        window.reset();
        EditorWindow::run_messages (100);
    }

    std::sort (open_ms.begin(), open_ms.end());
    std::printf ("editor open: median %.1f ms, fastest %.1f ms, slowest %.1f ms (%d openings)\n",
                 open_ms[open_ms.size() / 2], open_ms.front(), open_ms.back(), open_repeats);

    auto window = EditorWindow::open (*plugin, error);

    double idle_share[2] = { 1.0, 1.0 };
    const int widths[2] = { 800, 1600 };

    for (int round = 0; round < rounds; ++round)
    {
        for (int i = 0; i < 2; ++i)
        {
            window->resize_through_host (widths[i]);
            EditorWindow::run_messages (settle_ms);
            idle_share[i] = std::min (idle_share[i], cpu_share (idle));
        }
    }

    for (int i = 0; i < 2; ++i)
        std::printf ("idle editor at %d x %d: %.2f %% of one core\n", widths[i], widths[i] / 2, idle_share[i] * 100.0);

    window->resize_through_host (800);
    EditorWindow::run_messages (settle_ms);

    // Up and down over the knob's whole travel, a step each 16 ms, as a hand drags; each
    // stroke starts on the knob, since a press outside the window reaches nothing.
    const auto knob = knob_at_800.roundToInt();
    bool dragged = true;
    auto share = 1.0;

    for (int round = 0; round < rounds && dragged; ++round)
    {
        share = std::min (share, cpu_share ([&]
        {
            const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) measure_ms;

            while (dragged && juce::Time::getMillisecondCounter() < end)
                dragged = window->drag (knob, knob.translated (0, -150), 60, 16)
                       && window->drag (knob, knob.translated (0, 150), 60, 16);
        }));
    }

    // The drag must reach the plug-in: the knob under it is the first delay's time, and
    // the last stroke, downwards, leaves it at its minimum.
    auto* time = plugin->find_parameter ("delay1_time");
    const auto moved_to = time != nullptr ? time->value() : 0.0;

    if (dragged)
        std::printf ("knob dragged at 800 x 400: %.2f %% of one core (delay1_time left at %.1f ms)\n", share * 100.0, moved_to);
    else
        std::printf ("knob drag: the display has no test extension\n");

    window.reset();
    return 0;
}
} // namespace

int main (int argc, char* argv[])
{
    if (argc < 2)
    {
        std::fprintf (stderr, "usage: quorvane-editor-measure BUNDLE [KNOB_X KNOB_Y]\n");
        return 2;
    }

    const juce::ScopedJuceInitialiser_GUI runtime;
    const auto bundle = juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]);
    const juce::Point<float> knob (argc > 3 ? (float) std::atof (argv[2]) : 75.0f, argc > 3 ? (float) std::atof (argv[3]) : 80.0f);
    return measure (bundle, knob);
}
