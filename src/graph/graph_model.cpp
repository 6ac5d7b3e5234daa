#include "graph/graph_model.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "graph/display_axis.h"
#include "graph/edit_mode_hint.h"
#include "shell/editor_link.h"
#include "shell/parameters.h"
#include "shell/plugin_instance.h"

namespace vexlan {

namespace {

constexpr double kInverseTopFrequency = 4.1666666666666665e-5;  // 1 / 24000
constexpr double kEntrySpacing = 0.000244140625;                 // 1 / 4096
constexpr double kLinearToDb = 8.685889638065037;                // 20 / ln 10
constexpr double kQuietestAmplitude = 2.9802322387695313e-8;      // 2^-25
constexpr int kMinConvertedPoints = 8;

int compareFrequency(const void* a, const void* b) {
    const double difference =
        static_cast<const GraphPoint*>(a)->frequency - static_cast<const GraphPoint*>(b)->frequency;
    if (difference < 0.0) return -1;
    if (difference > 0.0) return 1;
    return 0;
}

// The points are kept in insertion order; evaluation works on a sorted copy.
// Returns the number of points.
int sortedPoints(const PluginInstance& instance, GraphPoint (&sorted)[kMaxGraphPoints]) {
    const int count = activePointCount(instance);
    std::memcpy(sorted, instance.points, sizeof sorted);
    for (int i = 0; i < count; ++i) {
        // A NaN frequency would compare equal to every other, an inconsistent
        // order that qsort is not built to survive; an infinite one would make
        // a smooth segment infinitely wide.
        double& frequency = sorted[i].frequency;
        frequency = std::isnan(frequency) ? 0.0 : std::clamp(frequency, -DBL_MAX, DBL_MAX);
        // A NaN gain reads as 0 dB rather than reaching the processor.
        if (std::isnan(sorted[i].gain)) sorted[i].gain = 0.0;
    }
    std::qsort(sorted, size_t(count), sizeof(GraphPoint), compareFrequency);
    return count;
}

double clampGain(const PluginInstance& instance, double gain) {
    if (gain > instance.graphMaxDb) gain = instance.graphMaxDb;
    if (gain < instance.graphMinDb) gain = instance.graphMinDb;
    return gain;
}

// Table position of a frequency, truncated toward zero. Kept within 0..4096
// so that a restored frequency above 24000 Hz cannot reach past the last
// entry; below 0 Hz nothing would be written anyway.
int tablePosition(double frequency) {
    const double position = frequency * 4096.0 * kInverseTopFrequency;
    if (!(position > 0.0)) return 0;
    if (position >= double(kBinGainTableSize)) return kBinGainTableSize;
    return int(position);
}

// Fraction of 24000 Hz at `span` (0..24000) along the display axis:
// (401^(span / 24000) - 1) / 400, in the operation order that fixes which
// table entries the conversion out of "Precise" reads.
double displayAxisFraction(double span) {
    return (std::exp(span * kDisplayAxisLog * kInverseTopFrequency) - 1.0) * 0.0025;
}

// Linear in dB over the table index, flat beyond the outer points.
void evaluateLinear(PluginInstance& instance, const GraphPoint* points, int count) {
    float* table = instance.binGainTable;
    int cursor = tablePosition(points[0].frequency);
    std::fill(table, table + cursor, dbToAmplitude(clampGain(instance, points[0].gain)));
    for (int k = 1; k < count; ++k) {
        const int end = tablePosition(points[k].frequency);
        if (cursor >= end) continue;
        const double left = points[k - 1].gain;
        const double right = points[k].gain;
        const double step = 1.0 / (end - cursor);
        double t = 0.0;
        for (int j = cursor; j < end; ++j) {
            table[j] = dbToAmplitude(clampGain(instance, (1.0 - t) * left + t * right));
            t += step;
        }
        cursor = end;
    }
    std::fill(table + cursor, table + kBinGainTableSize,
              dbToAmplitude(clampGain(instance, points[count - 1].gain)));
}

// One cubic Bezier segment in polynomial form: X(t) and Y(t) = ((a t + b) t + c) t + d.
struct BezierSegment {
    double ax, bx, cx, x0;
    double ay, by, cy, y0;
};

double cubic(double a, double b, double c, double d, double t) {
    return ((a * t + b) * t + c) * t + d;
}

double segmentX(const BezierSegment& s, double t) { return cubic(s.ax, s.bx, s.cx, s.x0, t); }
double segmentY(const BezierSegment& s, double t) { return cubic(s.ay, s.by, s.cy, s.y0, t); }

BezierSegment polynomialForm(double x0, double x1, double x2, double x3, double y0, double y1,
                             double y2, double y3) {
    BezierSegment s;
    s.cx = 3.0 * (x1 - x0);
    s.bx = 3.0 * (x2 - x1) - s.cx;
    s.ax = (x3 - x0) - s.cx - s.bx;
    s.x0 = x0;
    s.cy = 3.0 * (y1 - y0);
    s.by = 3.0 * (y2 - y1) - s.cy;
    s.ay = (y3 - y0) - s.cy - s.by;
    s.y0 = y0;
    return s;
}

// The segment from point i - 1 to point i: handles a quarter of the segment
// wide, tangents along the chord between the neighbours, level at the ends.
BezierSegment smoothSegment(const double* position, const double* gain, int i, int count) {
    const double quarter = (position[i] - position[i - 1]) / 4.0;
    double startHandle = gain[i - 1];
    if (i > 1 && position[i - 2] != position[i]) {
        startHandle += (gain[i] - gain[i - 2]) / (position[i] - position[i - 2]) * quarter;
    }
    double endHandle = gain[i];
    if (i < count - 1 && position[i - 1] != position[i + 1]) {
        endHandle -= (gain[i + 1] - gain[i - 1]) / (position[i + 1] - position[i - 1]) * quarter;
    }
    return polynomialForm(position[i - 1], position[i - 1] + quarter, position[i] - quarter, position[i],
                          gain[i - 1], startHandle, endHandle, gain[i]);
}

// Y where X(t) = q: eight rounds of bisection for t, then a straight line
// between the bracketing curve points.
double segmentValueAt(const BezierSegment& s, double q) {
    double lo = 0.0;
    double hi = 1.0;
    double xLo = 0.0;
    double xHi = 0.0;
    for (int round = 0; round < 8; ++round) {
        const double t = (lo + hi) / 2.0;
        const double x = segmentX(s, t);
        if (x < q) {
            lo = t;
            xLo = x;
        } else if (x > q) {
            hi = t;
            xHi = x;
        } else {
            lo = t;
            xLo = x;
            hi = std::min(1.0, t + 1.0 / 256.0);
            xHi = segmentX(s, hi);
            break;
        }
    }
    if (lo == 0.0) xLo = segmentX(s, 0.0);
    if (hi == 1.0) xHi = segmentX(s, 1.0);
    const double yLo = segmentY(s, lo);
    const double yHi = segmentY(s, hi);
    const double slope = xHi == xLo ? 0.0 : (yHi - yLo) / (xHi - xLo);
    return yLo + (q - xLo) * slope;
}

// Position of every table entry on the natural-log frequency axis:
// ln(k * 24000 / 4096) / ln 24000, and 0 for entry 0. The same for every
// evaluation, so it is worked out once per process.
const double* entryLogPositions() {
    static const struct Positions {
        double values[kBinGainTableSize];
        Positions() {
            const double logTop = std::log(kGraphTopFrequency);
            values[0] = 0.0;
            for (int k = 1; k < kBinGainTableSize; ++k) {
                values[k] = std::log(k * kEntrySpacing * kGraphTopFrequency) / logTop;
            }
        }
    } positions;
    return positions.values;
}

// A chain of Bezier segments on the natural-log frequency axis, flat beyond
// the outer points. The curve may overshoot the clamped point gains.
void evaluateSmooth(PluginInstance& instance, const GraphPoint* points, int count) {
    const int32_t bytes = count * int32_t(sizeof(double));
    resizeBuffer(instance.graphScratch[0], bytes, false);
    resizeBuffer(instance.graphScratch[1], bytes, false);
    if (instance.graphScratch[0].size != bytes || instance.graphScratch[1].size != bytes) return;
    double* position = bufferAs<double>(instance.graphScratch[0]);
    double* gain = bufferAs<double>(instance.graphScratch[1]);

    const double logTop = std::log(kGraphTopFrequency);
    for (int i = 0; i < count; ++i) {
        const double frequency = points[i].frequency;
        position[i] = frequency > 0.0 ? std::log(frequency) / logTop : 0.0;
        gain[i] = clampGain(instance, points[i].gain);
    }

    // Entry positions only grow, so the segment search resumes where it left off.
    const double* entryPositions = entryLogPositions();
    int segment = 1;
    int builtSegment = 0;
    BezierSegment curve{};
    for (int k = 0; k < kBinGainTableSize; ++k) {
        const double q = entryPositions[k];
        double value;
        if (q <= position[0]) {
            value = gain[0];
        } else if (q >= position[count - 1]) {
            value = gain[count - 1];
        } else {
            while (segment < count - 1 && q > position[segment]) ++segment;
            if (q < position[segment - 1]) {
                value = gain[segment - 1];
            } else if (q >= position[segment]) {
                value = gain[segment];
            } else {
                if (builtSegment != segment) {
                    curve = smoothSegment(position, gain, segment, count);
                    builtSegment = segment;
                }
                value = segmentValueAt(curve, q);
            }
        }
        instance.binGainTable[k] = dbToAmplitude(value);
    }
}

// Points evenly spaced on the display axis (at least eight), each taking the
// drawn table's level at its frequency.
void convertTableToPoints(PluginInstance& instance) {
    int count = activePointCount(instance);
    if (count < kMinConvertedPoints) count = kMinConvertedPoints;
    instance.pointCount = count;
    const double step = kGraphTopFrequency / (count - 1);
    for (int i = 0; i < count; ++i) {
        const double fraction = displayAxisFraction(i * step);
        const int entry = std::clamp(int(fraction * kBinGainTableSize), 0, kBinGainTableSize - 1);
        instance.points[i].frequency = fraction * kGraphTopFrequency;
        instance.points[i].gain = amplitudeToDb(instance.binGainTable[entry]);
    }
}

}  // namespace

int activePointCount(const PluginInstance& instance) {
    return std::clamp(instance.pointCount, 0, kMaxGraphPoints);
}

float dbToAmplitude(double dB) {
    const double amplitude = std::exp(dB * kDbToLinear);
    return amplitude > double(FLT_MAX) ? FLT_MAX : float(amplitude);
}

double amplitudeToDb(double value) {
    if (!(value >= kQuietestAmplitude)) return kGraphFloorDb;
    return std::max(std::log(value) * kLinearToDb, kGraphFloorDb);
}

void evaluateGraph(PluginInstance& instance) {
    GraphPoint sorted[kMaxGraphPoints];
    const int count = sortedPoints(instance, sorted);
    if (count == 0) return;
    if (instance.editMode == kEditPointsSmooth) {
        evaluateSmooth(instance, sorted, count);
    } else {
        evaluateLinear(instance, sorted, count);
    }
}

void resetGraphPoints(PluginInstance& instance) {
    instance.pointCount = 2;
    for (int i = 0; i < 2; ++i) {
        instance.points[i].frequency = displayAxisFraction(8000.0 * (i + 1)) * kGraphTopFrequency;
        instance.points[i].gain = 0.0;
    }
}

void resetGraph(PluginInstance& instance) {
    std::fill(std::begin(instance.binGainTable), std::end(instance.binGainTable), 1.0f);
    resetGraphPoints(instance);
    evaluateGraph(instance);
    instance.tableChanged = 1;
    invalidateGraphControl(instance, false);
}

void removePoint(PluginInstance& instance, int32_t index) {
    const int count = activePointCount(instance);
    if (index < 0 || index >= count) return;
    std::copy(instance.points + index + 1, instance.points + count, instance.points + index);
    instance.pointCount = count - 1;
    evaluateGraph(instance);
    instance.tableChanged = 1;
}

void setEditMode(PluginInstance& instance, int32_t mode) {
    if (mode < kEditPointsLinear || mode > kEditPointsSmooth) return;
    const int32_t previous = instance.editMode;
    instance.editMode = mode;
    if (previous == kEditPrecise && mode != kEditPrecise) convertTableToPoints(instance);
    if (mode != kEditPrecise) {
        evaluateGraph(instance);
        instance.tableChanged = 1;
    }
    showEditModeHint(instance);
}

void clearForNoiseLearning(PluginInstance& instance) {
    instance.editMode = kEditPrecise;
    std::fill(std::begin(instance.binGainTable), std::end(instance.binGainTable), 0.0f);
    instance.tableChanged = 1;
}

}  // namespace vexlan
