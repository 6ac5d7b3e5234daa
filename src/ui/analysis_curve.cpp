#include "ui/analysis_curve.h"

#include <algorithm>
#include <cmath>

#include "dsp/fft.h"
#include "graph/display_axis.h"
#include "graph/graph_model.h"
#include "shell/process_state.h"

namespace vexlan {

namespace {

// Shared by every curve of every instance; painting runs on one thread.
GrowableBuffer sampleScratch;
GrowableBuffer profileScratch;

template <typename T>
T* scratchFor(GrowableBuffer& buffer, int32_t count) {
    const int32_t bytes = count * int32_t(sizeof(T));
    if (buffer.size < bytes) resizeBuffer(buffer, bytes, false);
    return buffer.size >= bytes ? bufferAs<T>(buffer) : nullptr;
}

int32_t nearest(double value) { return int32_t(value + 0.5); }

// The Bezier from midpoint (m0x, m0y) to (m1x, m1y) with its control point
// at (cx, cy), at column x.
double bezierAt(double m0x, double m0y, double cx, double cy, double m1x, double m1y, double x) {
    if (x <= m0x) return m0y;
    if (x >= m1x) return m1y;
    const double a = m0x - 2.0 * cx + m1x;
    double t;
    if (a == 0.0) {
        t = m1x == m0x ? 0.0 : (x - m0x) / (m1x - m0x);
    } else {
        const double e = cx - m0x;
        t = (std::sqrt(e * e - (m0x - x) * a) - e) / a;
    }
    return (1.0 - t) * (1.0 - t) * m0y + 2.0 * t * (1.0 - t) * cy + t * t * m1y;
}

}  // namespace

int32_t sampleAnalysisColumns(const AnalysisCurve& curve, const float* magnitudes, const int32_t* binOrder,
                              ColumnSample* samples, int32_t capacity) {
    const int32_t count = curve.halfBins ? curve.binCount / 2 : curve.binCount;
    const double step = curve.halfBins ? 2.0 * curve.binStep : curve.binStep;
    const double factor = curve.halfBins ? 2.0 : 1.0;
    const int32_t stride = curve.halfBins ? 2 : 1;
    const double widthOverLog = curve.graphWidth / kDisplayAxisLog;
    int32_t recorded = 0;
    double sum = 0.0;
    int32_t summed = 0;
    for (int32_t i = 0; i < count && recorded < capacity; ++i) {
        const double level = amplitudeToDb(factor * magnitudes[binOrder[i * stride]]);
        const int32_t x = int32_t(widthOverLog * std::log(1.0 + 400.0 * i * step));
        const double y = (double(float(level)) - curve.floorDb) * curve.yScale + curve.yOffset;
        sum += std::min(int32_t(y), curve.graphHeight);
        ++summed;
        if (i == 0 || x - samples[recorded - 1].x >= 1) {
            samples[recorded++] = ColumnSample{std::min(x, curve.graphWidth), float(sum / summed)};
            sum = 0.0;
            summed = 0;
        }
        if (x >= curve.graphWidth) break;
    }
    return recorded;
}

void analysisProfile(const ColumnSample* samples, int32_t count, float* profile) {
    const int32_t x0 = samples[0].x;
    const int32_t last = samples[count - 1].x;
    int32_t column = x0;
    auto write = [&](int32_t end, auto valueAt) {
        for (; column <= end && column <= last; ++column) profile[column - x0] = float(valueAt(double(column)));
    };
    auto midX = [&](int32_t k) { return (samples[k - 1].x + samples[k].x) * 0.5; };
    auto midY = [&](int32_t k) { return (double(samples[k - 1].y) + samples[k].y) * 0.5; };

    const double firstSlope = (double(samples[1].y) - samples[0].y) / (samples[1].x - samples[0].x);
    write(nearest(midX(1)), [&](double x) { return samples[0].y + firstSlope * (x - x0); });
    for (int32_t k = 2; k < count; ++k) {
        const double m0x = midX(k - 1), m0y = midY(k - 1), m1x = midX(k), m1y = midY(k);
        const double through = samples[k - 1].y;
        const double controlY = 2.0 * through - (m0y + m1y) * 0.5;
        if (m0y == m1y && m0y == through) {
            write(nearest(m1x), [&](double) { return through; });
        } else {
            write(nearest(m1x),
                  [&](double x) { return bezierAt(m0x, m0y, samples[k - 1].x, controlY, m1x, m1y, x); });
        }
    }
    const double endX = midX(count - 1), endY = midY(count - 1);
    const double lastSlope =
        (double(samples[count - 1].y) - samples[count - 2].y) / (samples[count - 1].x - samples[count - 2].x);
    write(last, [&](double x) { return endY + lastSlope * (x - endX); });
}

void smoothAnalysisHistory(const float* profile, float* history, int32_t span) {
    for (int32_t c = 0; c < span; ++c) history[c] = float(0.6 * profile[c] + 0.4 * history[c]);
}

void drawAnalysisCurve(VizeBitmap* bitmap, int32_t colour, const float* magnitudes, GrowableBuffer& history,
                       int32_t graphWidth, int32_t graphHeight, int32_t binCount, int32_t fftSize, bool halfBins,
                       double binStep, double floorDb, double yScale, double yOffset) {
    const int32_t* binOrder = binOrderTable(fftSize);
    ColumnSample* samples = scratchFor<ColumnSample>(sampleScratch, graphWidth + 1);
    if (!binOrder || !samples) return;
    const AnalysisCurve curve{graphWidth, graphHeight, binCount, fftSize, halfBins, binStep, floorDb, yScale, yOffset};
    const int32_t count = sampleAnalysisColumns(curve, magnitudes, binOrder, samples, graphWidth + 1);
    if (count < 3) return;
    const int32_t x0 = samples[0].x;
    const int32_t span = samples[count - 1].x - x0;
    if (span < 2) return;
    float* profile = scratchFor<float>(profileScratch, span + 1);
    if (!profile) return;
    analysisProfile(samples, count, profile);

    const int32_t bytes = span * int32_t(sizeof(float));
    if (history.size != bytes) {
        resizeBuffer(history, bytes, true);
        if (history.size != bytes) return;
        std::fill_n(bufferAs<float>(history), span, float(graphHeight));
    }
    float* shown = bufferAs<float>(history);
    smoothAnalysisHistory(profile, shown, span);

    const VizeLineFn line = processState.hostApi.line;
    const float floorY = float(graphHeight - 1);
    for (int32_t c = 1; c < span; ++c) {
        if (shown[c - 1] >= floorY && shown[c] >= floorY) continue;
        line(bitmap, float(x0 + c - 1), shown[c - 1], float(x0 + c), shown[c], colour, 1.0f, kBlendCopy, true);
    }
}

void releaseAnalysisScratch() {
    freeBuffer(sampleScratch);
    freeBuffer(profileScratch);
}

}  // namespace vexlan
