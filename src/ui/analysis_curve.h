// One measured spectrum drawn as a smooth line: the bins are averaged per
// pixel column, a midpoint Bezier profile fills the columns between the
// samples, and each repaint moves the shown line 60 % of the way towards the
// new profile, so the display calms without hiding changes.
#pragma once

#include <cstdint>

#include "shell/growable_buffer.h"
#include "shell/host_api.h"

namespace vexlan {

struct AnalysisCurve {
    int32_t graphWidth;
    int32_t graphHeight;
    int32_t binCount;    // nb = N / 2
    int32_t fftSize;     // N
    bool halfBins;       // read every second bin at twice its level
    double binStep;      // share of the 0..24000 Hz display axis per bin
    double floorDb;      // analysis level at the bottom edge
    double yScale;       // pixels per dB, negative: louder is higher
    double yOffset;      // y of the floor
};

struct ColumnSample {
    int32_t x;
    float y;
};

// At most graphWidth + 1 samples: one per pixel column the bins reach, with
// y the mean of the bins since the previous sample. Returns the count.
int32_t sampleAnalysisColumns(const AnalysisCurve& curve, const float* magnitudes, const int32_t* binOrder,
                              ColumnSample* samples, int32_t capacity);

// One value per column from the first sample's x to the last's (span + 1
// values): lines at both ends, quadratic Beziers between the midpoints of
// neighbouring samples, each passing through its sample's level halfway.
void analysisProfile(const ColumnSample* samples, int32_t count, float* profile);

// history = 0.6 profile + 0.4 history, per column.
void smoothAnalysisHistory(const float* profile, float* history, int32_t span);

// Samples, profiles, smooths into `history` (reset to the floor when the
// width changed) and draws the curve in `colour`; nothing when a buffer
// cannot grow or fewer than three samples span two pixels.
void drawAnalysisCurve(VizeBitmap* bitmap, int32_t colour, const float* magnitudes, GrowableBuffer& history,
                       int32_t graphWidth, int32_t graphHeight, int32_t binCount, int32_t fftSize, bool halfBins,
                       double binStep, double floorDb, double yScale, double yOffset);

// Frees the scratch arrays shared by every call.
void releaseAnalysisScratch();

}  // namespace vexlan
