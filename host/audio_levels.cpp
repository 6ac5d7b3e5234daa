#include "audio_levels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace host {

namespace {

constexpr size_t kLanes = 8;

double toDb(double amplitude) {
    return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : -std::numeric_limits<double>::infinity();
}

}  // namespace

void meterSamples(LevelMeter& meter, const float* samples, size_t count) {
    // Eight independent lanes the compiler can keep in one vector register;
    // a block's float sums are plenty for a level shown to 0.1 dB.
    float peaks[kLanes] = {};
    float squares[kLanes] = {};
    size_t i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        for (size_t lane = 0; lane < kLanes; ++lane) {
            const float sample = samples[i + lane];
            peaks[lane] = std::max(peaks[lane], std::fabs(sample));
            squares[lane] += sample * sample;
        }
    }
    double sumOfSquares = 0.0;
    double peak = meter.peak;
    for (size_t lane = 0; lane < kLanes; ++lane) {
        peak = std::max(peak, double(peaks[lane]));
        sumOfSquares += squares[lane];
    }
    for (; i < count; ++i) {
        peak = std::max(peak, double(std::fabs(samples[i])));
        sumOfSquares += double(samples[i]) * double(samples[i]);
    }
    meter.peak = peak;
    meter.sumOfSquares += sumOfSquares;
    meter.count += count;
}

LevelSummary levelSummary(const LevelMeter& meter) {
    return {toDb(meter.peak), toDb(meter.count > 0 ? std::sqrt(meter.sumOfSquares / double(meter.count)) : 0.0)};
}

std::string formatDb(double dB) {
    if (std::isinf(dB)) return "-inf dBFS";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dBFS", dB);
    return text;
}

}  // namespace host
