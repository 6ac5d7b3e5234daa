// processBlock on a stereo stream at 48 kHz, against the transforms alone:
// each iteration processes eight hops of audio and then runs the eight
// forward and inverse transforms those hops need (two channels share one
// complex transform), both timed on this thread's CPU clock so that other
// processes on the machine do not count. The counters compare medians.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <ctime>
#include <vector>

#include "aligned_floats.h"
#include "dsp/fft.h"
#include "shell/parameters.h"
#include "shell/plugin_instance.h"
#include "shell/vst2_abi.h"

using namespace vexlan;

namespace {

constexpr double kSampleRate = 48000.0;
constexpr int kBlock = 512;
constexpr int kHopsPerIteration = 8;

void benchmarkHostFunction() {}

intptr_t VST_CALL benchmarkHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == kHostLookupOpcode ? reinterpret_cast<intptr_t>(&benchmarkHostFunction) : 0;
}

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec + 1e-9 * now.tv_nsec;
}

double median(std::vector<double> samples) {
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

std::vector<float> noise(size_t length, uint32_t seed) {
    std::vector<float> out(length);
    uint32_t state = seed;
    for (float& x : out) {
        state = state * 1664525u + 1013904223u;
        x = float((state >> 8) * (1.0 / 8388608.0) - 1.0);
    }
    return out;
}

const char* const kModeNames[] = {"EQ", "Gate", "Compressor", "Convolve", "Subtract"};

// Table level per mode: a flat EQ, thresholds and a profile below the noise.
float tableLevelFor(int mode) { return mode == kModeEq || mode == kModeConvolve ? 1.0f : 0.01f; }

void processVersusTransforms(benchmark::State& state) {
    const int n = int(state.range(0));
    const int mode = int(state.range(1));
    const bool analysis = state.range(2) != 0;
    AEffect* effect = VSTPluginMain(benchmarkHost);
    if (!effect) {
        state.SkipWithError("no instance");
        return;
    }
    PluginInstance& instance = *instanceOf(effect);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, float(kSampleRate));
    effect->setParameter(effect, kParamShowAnalysis, analysis ? 1.0f : 0.0f);
    setFftSize(instance, n);
    instance.processingMode = mode;
    std::fill(std::begin(instance.binGainTable), std::end(instance.binGainTable), tableLevelFor(mode));
    instance.tableChanged = 1;
    resetProcessing(instance);

    const int hop = n / 2;
    const int samples = kHopsPerIteration * hop;
    const std::vector<float> left = noise(samples, 1);
    const std::vector<float> right = noise(samples, 2);
    std::vector<float> outLeft(kBlock), outRight(kBlock);
    auto processSamples = [&] {
        for (int position = 0; position < samples; position += kBlock) {
            const int frames = std::min(kBlock, samples - position);
            float* in[2] = {const_cast<float*>(left.data()) + position, const_cast<float*>(right.data()) + position};
            float* out[2] = {outLeft.data(), outRight.data()};
            effect->processReplacing(effect, in, out, frames);
        }
    };
    // Two passes fill the queues, size every buffer and build the filter.
    processSamples();
    processSamples();

    const std::vector<float> source = noise(2 * size_t(n), 3);
    const AlignedFloats frames = alignedFloats(kHopsPerIteration * 2 * size_t(n));
    std::vector<double> processSeconds, transformSeconds;
    for (auto _ : state) {
        const double processStart = threadSeconds();
        processSamples();
        const double processElapsed = threadSeconds() - processStart;

        // Fresh input for every transform pair: unscaled round trips grow by N.
        for (int hopIndex = 0; hopIndex < kHopsPerIteration; ++hopIndex) {
            std::memcpy(frames.get() + hopIndex * 2 * size_t(n), source.data(), source.size() * sizeof(float));
        }
        const double transformStart = threadSeconds();
        for (int hopIndex = 0; hopIndex < kHopsPerIteration; ++hopIndex) {
            float* frame = frames.get() + hopIndex * 2 * size_t(n);
            fftForward(frame, n);
            fftInverse(frame, n);
        }
        benchmark::DoNotOptimize(frames.get());
        const double transformElapsed = threadSeconds() - transformStart;

        state.SetIterationTime(processElapsed);
        processSeconds.push_back(processElapsed);
        transformSeconds.push_back(transformElapsed);
    }
    const double audioSeconds = samples / kSampleRate;
    const double process = median(processSeconds);
    const double transforms = median(transformSeconds);
    state.counters["cpu_s_per_audio_s"] = process / audioSeconds;
    state.counters["transforms_s_per_audio_s"] = transforms / audioSeconds;
    state.counters["ratio_to_transforms"] = process / transforms;
    // A new instance shows the analysis, so EQ with it on is the default case.
    const bool defaultEq = mode == kModeEq && analysis;
    state.SetLabel(std::string(kModeNames[mode]) + (analysis ? ", analysis on" : ", analysis off") +
                   (defaultEq ? " (default settings)" : ""));
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

}  // namespace

// Arguments: FFT size, processing mode (0 EQ .. 4 Subtract), analysis shown.
// EQ comes first with the analysis on (the default) and off, side by side.
BENCHMARK(processVersusTransforms)
    ->ArgNames({"N", "mode", "analysis"})
    ->ArgsProduct({{1024, 4096, 32768}, {0}, {1, 0}})
    ->ArgsProduct({{1024, 4096, 32768}, {1, 2, 3, 4}, {1}})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
