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
constexpr double kSecondsMeasured = 2.0;

double processSeconds() {
#if defined(_WIN32)
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto seconds = [](const FILETIME& time) {
        return double((uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime) * 1e-7;
    };
    return seconds(kernel) + seconds(user);
#else
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
#endif
}

// CPU seconds per second of stereo noise, run through from a fresh start.
bool measure(vexlan::AEffect* effect, double sampleRate, size_t fftSize, double& cost, std::string& error) {
    // At least a few frames even for the largest sizes.
    const size_t frames = std::max(size_t(kSecondsMeasured * sampleRate), 8 * fftSize);
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
    const FrameSink discard = [](const float*, const float*, size_t, std::string&) { return true; };
    PluginRun run;
    run.blockSize = kBlock;
    run.latencyCompensation = false;
    if (!resumePlugin(effect, sampleRate, 2, kBlock, error)) return false;
    const double started = processSeconds();
    const bool ok = runPlugin(effect, 2, run, noise, discard, error);
    cost = (processSeconds() - started) / (double(frames) / sampleRate);
    suspendPlugin(effect);
    return ok;
}

}  // namespace

int runCpuReport(const std::string& pluginPath, const PluginSettings& settings, double sampleRate) {
    PluginSession session;
    std::string error;
    if (!openSession(pluginPath, session, error)) return reportError(error);
    std::printf("At %.0f Hz, CPU milliseconds per second of stereo audio on this machine:\n", sampleRate);
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
