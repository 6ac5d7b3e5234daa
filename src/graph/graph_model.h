// The adjustment graph: up to 32 points (or, in "Precise", a freehand
// table) evaluated into the 4096-entry BinGainTable. Entry k stands for
// k * 24000 / 4096 Hz whatever the sample rate and FFT size.
//
// Nothing here takes a lock: the graph editor rewrites the table in place on
// the user-interface thread and sets tableChanged last; the state loader
// calls evaluateGraph with both instance locks held.
#pragma once

#include <cstdint>

namespace vexlan {

struct PluginInstance;

// Frequency of table position 4096, one past the last entry.
constexpr double kGraphTopFrequency = 24000.0;
// The quietest level the graph reports.
constexpr double kGraphFloorDb = -150.0;

// Points in use: pointCount kept within 0..32.
int activePointCount(const PluginInstance& instance);

// Rewrites all 4096 entries from the points: the smooth rule in "Points
// (smooth)", the linear rule in every other mode. With no points the table
// is left as it is. Never writes outside the table, whatever the stored
// frequencies. The caller sets tableChanged.
void evaluateGraph(PluginInstance& instance);

// Two 0 dB points at display positions 1/3 and 2/3 (about 382 Hz and
// 3203 Hz). Does not evaluate.
void resetGraphPoints(PluginInstance& instance);
// Flat table, default points, re-evaluated and repainted.
void resetGraph(PluginInstance& instance);
// Removes the point at storage index `index` keeping the order of the rest,
// then re-evaluates. An index outside the points is ignored.
void removePoint(PluginInstance& instance, int32_t index);
// Switches the edit mode (0..2; any other value is ignored). Leaving
// "Precise" turns the drawn table into points evenly spaced on the display
// axis; entering a points mode re-evaluates.
void setEditMode(PluginInstance& instance, int32_t mode);
// Learning starts from an empty profile, drawn freehand: "Precise" and a
// table of zeros, marked changed.
void clearForNoiseLearning(PluginInstance& instance);

// exp(dB * ln 10 / 20) as float32; values beyond the float range saturate
// at the largest float.
float dbToAmplitude(double dB);
// 20 log10(value), never below -150 dB; values below 2^-25 (zero, negatives
// and NaN included) read as -150 dB.
double amplitudeToDb(double value);

}  // namespace vexlan
