// PNG files of the host's bitmaps.
#pragma once

#include <string>

#include "shell/host_api.h"

namespace host {

// Writes the bitmap's colours as an opaque 8-bit RGB PNG (the alpha byte of
// the raster is a drawing weight, not transparency). False with `error`.
bool writePng(const std::string& path, vexlan::VizeBitmap* bitmap, std::string& error);

}  // namespace host
