#include "CraftedDocuments.h"
#include "ProcessorRig.h"

#include <benchmark/benchmark.h>

namespace
{
// Each crafted document restored as host state into a live processor, which keeps
// the defaults' state between runs. The worst must stay well under 50 ms.
void RestoreCraftedDocument (benchmark::State& state)
{
    const auto document = quorvane::test::crafted_documents()[(size_t) state.range (0)];
    const auto chunk = quorvane::test::chunk_of (document.text);
    state.SetLabel (document.name);
    QuorvaneAudioProcessor processor;
    const auto defaults = processor.parameter_state.copyState();

    for (auto _ : state)
    {
        processor.setStateInformation (chunk.getData(), (int) chunk.getSize());
        state.PauseTiming();
        processor.parameter_state.replaceState (defaults.createCopy());
        state.ResumeTiming();
    }

    state.counters["bytes"] = (double) document.text.size();
}
} // namespace

BENCHMARK (RestoreCraftedDocument)->DenseRange (0, (int) quorvane::test::crafted_documents().size() - 1)->Unit (benchmark::kMillisecond);
