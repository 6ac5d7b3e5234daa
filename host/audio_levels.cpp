#include "audio_levels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace host {

namespace {

double toDb(double amplitude) {
    return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : -std::numeric_limits<double>::infinity();
}

}  // namespace

LevelSummary measureLevels(const AudioData& audio, size_t from, size_t to) {
    to = std::min(to, frameCount(audio));
    double peak = 0.0;
    double sumOfSquares = 0.0;
    size_t count = 0;
    for (const std::vector<float>& channel : audio.channels) {
        for (size_t i = from; i < to; ++i) {
            const double sample = channel[i];
            peak = std::max(peak, std::fabs(sample));
            sumOfSquares += sample * sample;
        }
        count += to > from ? to - from : 0;
    }
    return {toDb(peak), toDb(count > 0 ? std::sqrt(sumOfSquares / double(count)) : 0.0)};
}

std::string formatDb(double dB) {
    if (std::isinf(dB)) return "-inf dBFS";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dBFS", dB);
    return text;
}

}  // namespace host
