// evaluateGraph runs on every mouse move of a drag, so a whole evaluation of
// a full graph must fit well inside one move (bar: 200 us). The editor
// repaints the graph 20 times a second with the spectra shown, so one paint
// at the largest FFT size must stay far below that budget (bar: 5 ms).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "graph/graph_model.h"
#include "host_functions.h"
#include "raster.h"
#include "ui/graph_renderer.h"
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

// The host stand-in's real drawing library and font.
intptr_t VST_CALL drawingHost(AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float) {
    if (opcode != kHostLookupOpcode || !ptr) return 0;
    return reinterpret_cast<intptr_t>(host::findHostFunction(static_cast<const char*>(ptr)));
}

// Both spectra of a 32768-point transform: a falling noise floor with peaks,
// loud enough that every column of both curves is drawn.
void fillSpectra(PluginInstance& instance) {
    float* analysis = bufferAs<float>(instance.analysisBuffer);
    const int32_t n = instance.fftSize;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> jitter(0.5f, 1.5f);
    for (int32_t i = 0; i < 2 * n; ++i) {
        const int32_t bin = std::min(i % n, n - i % n);
        analysis[i] = jitter(random) * 0.05f / (1.0f + bin * 0.01f) * ((bin % 97) == 0 ? 20.0f : 1.0f);
    }
}

void BM_RenderGraph1000x600Fft32768(benchmark::State& state) {
    AEffect* effect = VSTPluginMain(drawingHost);
    if (!effect) {
        state.SkipWithError("no instance");
        return;
    }
    PluginInstance& instance = *instanceOf(effect);
    setFftSize(instance, kMaxFftSize);
    fillSpectra(instance);
    instance.paramValues[0] = 1.0;
    VizeBitmap* bitmap = host::vizeCreateBitmap(1, 1000, 600);
    const VizeRect rect{0, 0, 1000, 600};
    std::strcpy(instance.embeddedReadoutText, "1000 Hz (C6-),  -6.00 dB (current is +0.00 dB)");
    for (auto _ : state) {
        renderGraph(instance, nullptr, bitmap, rect, 500, 100);
        benchmark::ClobberMemory();
    }
    destroyHostObject(bitmap);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

}  // namespace

BENCHMARK(BM_RenderGraph1000x600Fft32768)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EvaluateGraphLinear32Points)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EvaluateGraphSmooth32Points)->Unit(benchmark::kMicrosecond);
