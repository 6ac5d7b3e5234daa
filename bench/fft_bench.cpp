// Our transform against FFTW (single precision, in place, measured plans) in
// one benchmark: each iteration times one forward+inverse of ours and one of
// FFTW on the same data, back to back. The counters compare the medians of
// those times, which a busy machine's preemptions barely move.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <vector>

#include "aligned_floats.h"
#include "dsp/fft.h"

namespace {

using Clock = std::chrono::steady_clock;

struct FftwPair {
    fftwf_complex* data;
    fftwf_plan forward;
    fftwf_plan backward;
};

FftwPair makeFftwPair(int n) {
    FftwPair pair;
    pair.data = fftwf_alloc_complex(n);
    pair.forward = fftwf_plan_dft_1d(n, pair.data, pair.data, FFTW_FORWARD, FFTW_MEASURE);
    pair.backward = fftwf_plan_dft_1d(n, pair.data, pair.data, FFTW_BACKWARD, FFTW_MEASURE);
    return pair;
}

void freeFftwPair(FftwPair& pair) {
    fftwf_destroy_plan(pair.forward);
    fftwf_destroy_plan(pair.backward);
    fftwf_free(pair.data);
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double>& samples) {
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

void FftRoundTripVsFftw(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    vexlan::buildFftTables();
    std::vector<float> source(2 * n);
    std::mt19937 generator(n);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (float& x : source) x = value(generator);

    // FFTW's planner overwrites the array, so plan before filling it.
    FftwPair fftw = makeFftwPair(n);
    const AlignedFloats ours = alignedFloats(2 * size_t(n));
    float* theirs = reinterpret_cast<float*>(fftw.data);
    const size_t bytes = source.size() * sizeof(float);

    std::vector<double> oursSeconds, fftwSeconds;
    oursSeconds.reserve(state.max_iterations);
    fftwSeconds.reserve(state.max_iterations);
    for (auto _ : state) {
        // Fresh input each time: repeated unscaled round trips would overflow.
        std::memcpy(ours.get(), source.data(), bytes);
        std::memcpy(theirs, source.data(), bytes);

        const Clock::time_point oursStart = Clock::now();
        vexlan::fftForward(ours.get(), n);
        vexlan::fftInverse(ours.get(), n);
        benchmark::DoNotOptimize(ours.get());
        const double oursElapsed = secondsSince(oursStart);

        const Clock::time_point fftwStart = Clock::now();
        fftwf_execute(fftw.forward);
        fftwf_execute(fftw.backward);
        benchmark::DoNotOptimize(theirs);
        const double fftwElapsed = secondsSince(fftwStart);

        state.SetIterationTime(oursElapsed);
        oursSeconds.push_back(oursElapsed);
        fftwSeconds.push_back(fftwElapsed);
    }
    const double oursMedian = median(oursSeconds), fftwMedian = median(fftwSeconds);
    state.counters["ours_us"] = 1e6 * oursMedian;
    state.counters["fftw_us"] = 1e6 * fftwMedian;
    state.counters["ours_over_fftw"] = oursMedian / fftwMedian;
    freeFftwPair(fftw);
}

}  // namespace

BENCHMARK(FftRoundTripVsFftw)->RangeMultiplier(2)->Range(256, 32768)->UseManualTime()->Unit(benchmark::kMicrosecond);
