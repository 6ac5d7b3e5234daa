// Helpers shared by the host stand-in's tests.
#pragma once

#include <cstdint>
#include <string>

#include "raster.h"

namespace hosttest {

// A private copy of the built plug-in under a temporary name, so loading it
// starts from fresh process-wide plug-in state. Removed again on destruction
// (after the copy has been unloaded).
class PluginCopy {
public:
    PluginCopy();
    ~PluginCopy();
    PluginCopy(const PluginCopy&) = delete;
    PluginCopy& operator=(const PluginCopy&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A bitmap from the host library, destroyed through its first slot as the
// plug-in destroys it.
struct OwnedBitmap {
    vexlan::VizeBitmap* bitmap;
    explicit OwnedBitmap(int width, int height) : bitmap(host::vizeCreateBitmap(1, width, height)) {}
    ~OwnedBitmap() { vexlan::destroyHostObject(bitmap); }
    OwnedBitmap(const OwnedBitmap&) = delete;
    OwnedBitmap& operator=(const OwnedBitmap&) = delete;
    vexlan::VizeBitmap* get() const { return bitmap; }
};

uint32_t pixel(vexlan::VizeBitmap* bitmap, int x, int y);
// One byte of a colour: 0 blue, 8 green, 16 red, 24 alpha.
int channel(uint32_t colour, int shift);

}  // namespace hosttest
