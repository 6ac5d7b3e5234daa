// The host's bitmap: a 32-bit 0xAARRGGBB raster, top row first. On Windows
// its pixels are a DIB section selected into a memory DC, so BitBlt and GDI
// text work on it; elsewhere it is a plain pixel array without a DC.
#pragma once

#include <cstdint>
#include <vector>

#include "shell/host_api.h"

namespace host {

class RasterBitmap final : public vexlan::VizeBitmap {
public:
    RasterBitmap(int width, int height);
    ~RasterBitmap();
    RasterBitmap(const RasterBitmap&) = delete;
    RasterBitmap& operator=(const RasterBitmap&) = delete;

    void destroy(unsigned flags) override;
    void* getDC() override;
    int getWidth() override { return width_; }
    int getHeight() override { return height_; }
    // Keeps the pixels the old and new sizes share and clears the rest to 0.
    void resize(int width, int height) override;
    uint32_t* getBits() override;
    int getRowSpan() override { return width_; }
    // 0x2002 sets the scale (data: int32*, positive; answers 1, or 0 when
    // refused); 0x2003 and 0x2004 answer it as the display and text scale.
    // Other codes answer 0.
    intptr_t extended(int code, void* data) override;

private:
    int width_ = 0;
    int height_ = 0;
    int32_t scale_ = 256;
#if defined(_WIN32)
    void* dc_ = nullptr;
    void* dib_ = nullptr;
    void* previousBitmap_ = nullptr;
    uint32_t* bits_ = nullptr;
#else
    std::vector<uint32_t> pixels_;
#endif
};

}  // namespace host
