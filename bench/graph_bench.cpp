// evaluateGraph runs on every mouse move of a drag, so a whole evaluation of
// a full graph must fit well inside one move (bar: 200 us).
#include <benchmark/benchmark.h>

#include <cmath>

#include "graph/graph_model.h"
#include "shell/plugin_instance.h"
#include "shell/vst2_abi.h"

using namespace vexlan;

namespace {

void benchmarkHostFunction() {}

// Every lookup answers, so instance creation succeeds; nothing here calls them.
intptr_t VST_CALL benchmarkHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == kHostLookupOpcode ? reinterpret_cast<intptr_t>(&benchmarkHostFunction) : 0;
}

// 32 points spread over the whole range in storage order that is not sorted,
// with gains that swing beyond the graph range so the clamp is exercised.
void fillFullGraph(PluginInstance& instance) {
    instance.pointCount = kMaxGraphPoints;
    for (int i = 0; i < kMaxGraphPoints; ++i) {
        const int slot = (i * 13) % kMaxGraphPoints;
        instance.points[slot].frequency = 24000.0 * std::pow(i / 31.0, 2.5);
        instance.points[slot].gain = 40.0 * std::sin(i * 0.9) - 10.0;
    }
}

void evaluateFullGraph(benchmark::State& state, int32_t editMode) {
    AEffect* effect = VSTPluginMain(benchmarkHost);
    if (!effect) {
        state.SkipWithError("no instance");
        return;
    }
    PluginInstance& instance = *instanceOf(effect);
    fillFullGraph(instance);
    instance.editMode = editMode;
    for (auto _ : state) {
        evaluateGraph(instance);
        benchmark::DoNotOptimize(instance.binGainTable);
        benchmark::ClobberMemory();
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

void BM_EvaluateGraphLinear32Points(benchmark::State& state) { evaluateFullGraph(state, kEditPointsLinear); }
void BM_EvaluateGraphSmooth32Points(benchmark::State& state) { evaluateFullGraph(state, kEditPointsSmooth); }

}  // namespace

BENCHMARK(BM_EvaluateGraphLinear32Points)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EvaluateGraphSmooth32Points)->Unit(benchmark::kMicrosecond);
