// Where the graph sits inside the graph control, for one client size and
// display scale: the margins that hold the axis labels, the graph area and
// the mappings between pixels and Hz or dB. Shared by the mouse handling and
// the renderer, so a point is hit exactly where it is drawn.
#pragma once

#include <cstdint>

namespace vexlan {

struct GraphGeometry {
    int32_t scale;         // 256 = 100 %
    bool compact;          // too narrow for labels: the graph fills the control
    int32_t rightMargin;   // dB labels
    int32_t bottomMargin;  // frequency labels
    int32_t graphWidth;    // at least 1
    int32_t graphHeight;   // at least 1
    int32_t hitRadius;     // pixels around a point that grab it
    double minDb;
    double maxDb;
};

GraphGeometry graphGeometry(int32_t clientWidth, int32_t clientHeight, int32_t scale, double minDb,
                            double maxDb);

// Hz at pixel column x of the graph area (60 (401^(x / width) - 1)).
double frequencyAtX(const GraphGeometry& geometry, double x);
// dB at pixel row y: the top row is maxDb, row graphHeight is minDb.
double gainAtY(const GraphGeometry& geometry, double y);
double xOfFrequency(const GraphGeometry& geometry, double frequency);
double yOfGain(const GraphGeometry& geometry, double gain);

}  // namespace vexlan
