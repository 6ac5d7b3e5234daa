#include "ui/graph_grid.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "graph/display_axis.h"
#include "graph/graph_model.h"

namespace vexlan {

const FrequencyGridEntry kFrequencyGrid[kFrequencyGridEntries] = {
    {50, true},    {100, true},   {200, true},   {300, true},   {400, false},  {500, true},   {600, false},
    {700, false},  {800, false},  {900, false},  {1000, true},  {2000, true},  {3000, true},  {4000, false},
    {5000, true},  {6000, false}, {7000, false}, {8000, false}, {9000, false}, {10000, true}, {11000, false},
    {12000, false}, {13000, false}, {14000, false}, {15000, false}, {20000, true},
};

double dbGridStep(double minDb, double maxDb) {
    const double range = maxDb - minDb;
    double step = 12.0;
    int tests = 0;
    bool wideEnough = false;
    for (int halvings = 0; halvings < 8 && !wideEnough; ++halvings) {
        ++tests;
        wideEnough = range > 2.0 * step;
        if (!wideEnough) step *= 0.5;
    }
    if (!wideEnough) ++tests;
    if (maxDb > 1.0) {
        double candidate = maxDb;
        while (tests < 16) {
            ++tests;
            if (candidate <= step) break;
            candidate *= 0.5;
        }
        step = candidate;
    }
    return step;
}

bool frequencyLineIsMajor(int32_t frequency) {
    return (frequency >= 100 && frequency <= 500) || (frequency >= 1000 && frequency <= 5000) ||
           (frequency >= 10000 && frequency <= 15000) || frequency == 20000;
}

bool frequencyLineIsLabelled(int32_t frequency, int32_t graphWidth) {
    if (graphWidth >= 420) return true;
    if (frequency == 100 || frequency == 1000 || frequency == 10000) return true;
    return graphWidth >= 240 && (frequency == 300 || frequency == 3000);
}

void formatFrequencyLabel(int32_t frequency, char* text, int capacity) {
    if (frequency < 1000) {
        std::snprintf(text, size_t(capacity), "%d", int(frequency));
    } else {
        std::snprintf(text, size_t(capacity), "%.1fk", frequency / 1000.0);
    }
}

double analysisFloorDb(double floorParameter) { return std::min(amplitudeToDb(floorParameter), -6.0); }

double analysisLevelScale(const GraphGeometry& geometry, double floorDb) {
    const double top = geometry.maxDb;
    return -geometry.graphHeight / ((top - floorDb) * top / (top - geometry.minDb) - floorDb);
}

TablePoint tableTablePoint(const float* table, double factor, int entry, const GraphGeometry& geometry) {
    const double gain = amplitudeToDb(table[entry] * factor);
    const double x = geometry.graphWidth * std::log(1.0 + 400.0 * entry / 4096.0) / kDisplayAxisLog;
    const double y = std::min(yOfGain(geometry, double(float(gain))), double(geometry.graphHeight));
    return TablePoint{float(x), float(y)};
}

}  // namespace vexlan
