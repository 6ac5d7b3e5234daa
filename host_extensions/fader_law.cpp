#include "fader_law.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace host {

namespace {

constexpr double kFaderRangeDb = kFaderTopDb - kFaderSilenceDb;

}  // namespace

int faderPositionFromDb(double dB) {
    if (!(dB > kFaderSilenceDb)) return 0;
    if (dB >= kFaderTopDb) return kFaderMaxPosition;
    const double travel = 1.0 - std::sqrt((kFaderTopDb - dB) / kFaderRangeDb);
    return int(std::lround(travel * kFaderMaxPosition));
}

double faderDbFromPosition(double position) {
    const double travel = std::clamp(position / kFaderMaxPosition, 0.0, 1.0);
    const double below = 1.0 - travel;
    return kFaderTopDb - kFaderRangeDb * below * below;
}

void formatVolume(char* text, double amplitude) {
    if (!text) return;
    const double dB = amplitude > 0.0 ? 20.0 * std::log10(amplitude) : kFaderSilenceDb;
    if (!(dB > kFaderSilenceDb)) {
        std::snprintf(text, kVolumeTextBytes, "-inf");
        return;
    }
    std::snprintf(text, kVolumeTextBytes, "%+.2f", dB);
}

int faderThumbLength(const FaderGeometry& geometry) {
    // Half the fader's thickness, at least 6 pixels, never longer than the fader.
    const int thumb = std::max(6, geometry.thickness / 2);
    return std::max(0, std::min(thumb, geometry.length));
}

int faderThumbOffset(const FaderGeometry& geometry, int position) {
    const int travel = geometry.length - faderThumbLength(geometry);
    if (travel <= 0) return 0;
    const int clamped = std::clamp(position, 0, kFaderMaxPosition);
    const int offset = int((int64_t(clamped) * travel + kFaderMaxPosition / 2) / kFaderMaxPosition);
    return geometry.vertical ? travel - offset : offset;
}

int faderPositionAtThumb(const FaderGeometry& geometry, int thumbOffset) {
    const int travel = geometry.length - faderThumbLength(geometry);
    if (travel <= 0) return 0;
    const int along = std::clamp(geometry.vertical ? travel - thumbOffset : thumbOffset, 0, travel);
    return int((int64_t(along) * kFaderMaxPosition + travel / 2) / travel);
}

int movedFaderPosition(int position, FaderMove move, bool fine) {
    const int step = fine ? 1 : 10;
    constexpr int page = 100;
    int moved = position;
    switch (move) {
        case FaderMove::StepUp: moved += step; break;
        case FaderMove::StepDown: moved -= step; break;
        case FaderMove::PageUp: moved += page; break;
        case FaderMove::PageDown: moved -= page; break;
        case FaderMove::ToTop: moved = kFaderMaxPosition; break;
        case FaderMove::ToBottom: moved = 0; break;
    }
    return std::clamp(moved, 0, kFaderMaxPosition);
}

}  // namespace host
