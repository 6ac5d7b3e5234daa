// Where the graph display's grid lines and labels go: the dB lines with
// their step, the frequency lines of the fixed table and which of them carry
// a label at a given width, and the table curve's segments.
#pragma once

#include <cstdint>

#include "graph/graph_geometry.h"

namespace vexlan {

// dB between horizontal lines: halved from 12 dB until the range holds more
// than two steps, then the largest max / 2^k not above that step (when max
// is above 1 dB), so a line falls on max.
double dbGridStep(double minDb, double maxDb);

struct DbGridLine {
    int32_t y;
    double gain;
};

// Visits the dB lines from the top down: every step below max and above
// min, skipping any that would come within 20 pixels (at 100 %) of the one
// drawn before.
template <typename Visit>
void forEachDbGridLine(const GraphGeometry& geometry, Visit visit) {
    const double step = dbGridStep(geometry.minDb, geometry.maxDb);
    const int32_t minimumGap = (20 * geometry.scale) >> 8;
    int32_t lastY = 0;
    for (int i = 1;; ++i) {
        const double gain = geometry.maxDb - i * step;
        if (!(gain > geometry.minDb)) break;
        const int32_t y = int32_t(yOfGain(geometry, gain));
        if (y - lastY <= minimumGap) continue;
        lastY = y;
        visit(DbGridLine{y, gain});
    }
}

struct FrequencyGridLine {
    int32_t x;
    int32_t frequency;  // Hz
    bool major;
    bool labelled;
};

constexpr int kFrequencyGridEntries = 26;

// "%d" below 1000 Hz, "%.1fk" from there on.
void formatFrequencyLabel(int32_t frequency, char* text, int capacity);

// The analysis floor in dB: 20 log10 of the parameter, never above -6 dB.
double analysisFloorDb(double floorParameter);
// Pixels per dB of the analysis curves (negative: louder is higher), the
// floor at the bottom edge.
double analysisLevelScale(const GraphGeometry& geometry, double floorDb);

struct TablePoint {
    float x;
    float y;
};

struct FrequencyGridEntry {
    int32_t frequency;
    bool mayLabel;  // labelled when the width allows
};

extern const FrequencyGridEntry kFrequencyGrid[kFrequencyGridEntries];

// 100 to 500 Hz, 1 to 5 kHz, 10 to 15 kHz and 20 kHz stand out.
bool frequencyLineIsMajor(int32_t frequency);
// Narrow graphs label only 100 Hz, 1 kHz and 10 kHz, adding 300 Hz and 3 kHz from 240 pixels.
bool frequencyLineIsLabelled(int32_t frequency, int32_t graphWidth);
// Table entry `entry` times `factor` at its place in the graph, y at most the bottom edge.
TablePoint tableTablePoint(const float* table, double factor, int entry, const GraphGeometry& geometry);

// Visits the frequency lines left to right up to the graph's right edge.
template <typename Visit>
void forEachFrequencyGridLine(int32_t graphWidth, Visit visit) {
    for (const FrequencyGridEntry& entry : kFrequencyGrid) {
        const GraphGeometry axis{256, false, 0, 0, graphWidth, 1, 0, 0.0, 1.0};
        const int32_t x = 1 + int32_t(xOfFrequency(axis, entry.frequency));
        if (x >= graphWidth) break;
        visit(FrequencyGridLine{x, entry.frequency, frequencyLineIsMajor(entry.frequency),
                                entry.mayLabel && frequencyLineIsLabelled(entry.frequency, graphWidth)});
    }
}

// Visits the segments of the gain table times `factor`, every second entry:
// in "Precise" every one, otherwise only those that move more than a pixel
// right or down, so dense stretches draw few lines.
template <typename Visit>
void forEachTableCurveSegment(const float* table, double factor, bool precise, const GraphGeometry& geometry,
                              Visit visit) {
    TablePoint previous = tableTablePoint(table, factor, 0, geometry);
    for (int entry = 2; entry < 4096; entry += 2) {
        const TablePoint point = tableTablePoint(table, factor, entry, geometry);
        if (!precise && !(point.x - previous.x > 1.0f || point.y - previous.y > 1.0f)) continue;
        visit(previous, point);
        previous = point;
    }
}

}  // namespace vexlan
