#include "cpu_report.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <ctime>
#endif

#include "plugin_run.h"
#include "plugin_session.h"
#include "plugin_settings.h"
#include "terminal.h"

namespace host {

namespace {

constexpr ProcessingMode kModes[] = {ProcessingMode::Eq, ProcessingMode::Gate, ProcessingMode::Compressor,
                                     ProcessingMode::Convolve, ProcessingMode::Subtract};
constexpr const char* kModeNames[] = {"eq", "gate", "compressor", "convolve", "subtract"};
constexpr int kBlock = 512;
constexpr double kSecondsMeasured = 1.0;
constexpr int kRepeats = 3;

#if defined(_WIN32)
// Windows counts process CPU time in ticks of 10 ms or more, longer than a
// whole measurement; the one processing thread's wall time stands in.
constexpr const char* kClockName = "milliseconds (wall clock, one thread)";
#else
constexpr const char* kClockName = "CPU milliseconds";
#endif

double processSeconds() {
#if defined(_WIN32)
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart) / double(frequency.QuadPart);
#else
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
#endif
}

// Seconds per second of stereo noise run through from a fresh start, the
// least of a few runs: other programs only ever add time.
bool measure(vexlan::AEffect* effect, double sampleRate, size_t fftSize, double& cost, std::string& error) {
    // At least a few frames even for the largest sizes.
    const size_t frames = std::max(size_t(kSecondsMeasured * sampleRate), 8 * fftSize);
    const FrameSink discard = [](const float*, const float*, size_t, std::string&) { return true; };
    PluginRun run;
    run.blockSize = kBlock;
    run.latencyCompensation = false;
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
        uint32_t seed = 0x9E3779B9u;
        size_t fed = 0;
        const FrameSource noise = [&](float* samples, size_t wanted, size_t& got, std::string&) {
            got = std::min(wanted, frames - fed);
            for (size_t i = 0; i < 2 * got; ++i) {
                seed = seed * 1664525u + 1013904223u;
                samples[i] = float(int32_t(seed) >> 8) / 33554432.0f;
            }
            fed += got;
            return true;
        };
        if (!resumePlugin(effect, sampleRate, 2, kBlock, error)) return false;
        const double started = processSeconds();
        const bool ok = runPlugin(effect, 2, run, noise, discard, error);
        const double seconds = (processSeconds() - started) / (double(frames) / sampleRate);
        suspendPlugin(effect);
        if (!ok) return false;
        cost = repeat == 0 ? seconds : std::min(cost, seconds);
    }
    return true;
}

}  // namespace

int runCpuReport(const std::string& pluginPath, const PluginSettings& settings, double sampleRate) {
    PluginSession session;
    std::string error;
    if (!openSession(pluginPath, session, error)) return reportError(error);
    std::printf("At %.0f Hz, %s per second of stereo audio on this machine:\n", sampleRate, kClockName);
    std::printf("%8s %20s", "FFT size", "latency");
    for (const char* name : kModeNames) std::printf(" %10s", name);
    std::printf("\n");
    bool ok = true;
    for (int fftSize = kMinFftSize; ok && fftSize <= kMaxFftSize; fftSize *= 2) {
        std::printf("%8d %6d smp %7.1f ms", fftSize, fftSize, 1000.0 * fftSize / sampleRate);
        for (ProcessingMode mode : kModes) {
            PluginSettings cell = settings;
            cell.mode = mode;
            cell.fftSize = fftSize;
            double cost = 0.0;
            ok = applySettings(session.effect, cell, sampleRate, error) &&
                 measure(session.effect, sampleRate, size_t(fftSize), cost, error);
            if (!ok) break;
            std::printf(" %10.2f", 1000.0 * cost);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    closeSession(session);
    return ok ? 0 : reportError(error);
}

}  // namespace host
