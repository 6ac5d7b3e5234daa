// A window's DPI scale in 1/256 units (256 = 100 %, 384 = 150 %), for the
// editor dialog's layout.
#pragma once

#include <cstdint>

#include "shell/host_api.h"

namespace vexlan {

constexpr int32_t kUnscaled = 256;

// 96 DPI is 256; unsigned integer division as the system's DPI is unsigned.
int32_t dpiToScale(uint32_t dpi);

// Windows only. The first call decides, once for the process, whether
// per-monitor DPI (version 2) is in force on the calling thread. Not in
// force: 0 for every window, and callers skip DPI conversion. In force: 256
// for no window, else the window's DPI as a scale.
int32_t windowDpiScale(WindowHandle window);

}  // namespace vexlan
