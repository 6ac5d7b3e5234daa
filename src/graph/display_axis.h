// The horizontal frequency axis of the graph display, shared by the graph
// control and the renderer: position x (0 at the left edge of the graph
// area, 1 at the right) stands for f = 60 (401^x - 1) Hz, so 0 Hz sits at
// x = 0 and 24000 Hz at x = 1. Low frequencies get room without a log axis
// pushing 0 Hz out to minus infinity.
#pragma once

namespace vexlan {

// ln 401 and its inverse.
constexpr double kDisplayAxisLog = 5.993961427306569;
constexpr double kDisplayAxisInverseLog = 0.16683457378359495;

// x = ln(1 + f / 60) / ln 401.
double displayPosition(double frequency);
// f = 60 (401^x - 1).
double displayFrequency(double position);

}  // namespace vexlan
