#include "bitmap.h"

#include <algorithm>
#include <cstring>
#include <new>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace host {

namespace {

// Copies the top-left overlap of two rasters.
void copyOverlap(const uint32_t* from, int fromWidth, int fromHeight, uint32_t* to, int toWidth,
                 int toHeight) {
    if (!from || !to) return;
    const int columns = std::min(fromWidth, toWidth);
    const int rows = std::min(fromHeight, toHeight);
    for (int y = 0; y < rows; ++y) {
        std::memcpy(to + size_t(y) * toWidth, from + size_t(y) * fromWidth, size_t(columns) * 4);
    }
}

}  // namespace

void RasterBitmap::destroy(unsigned flags) {
    if (flags & vexlan::kDestroyFreesMemory) {
        delete this;
    } else {
        this->~RasterBitmap();
    }
}

#if defined(_WIN32)

RasterBitmap::RasterBitmap(int width, int height) {
    dc_ = CreateCompatibleDC(nullptr);
    resize(width, height);
}

RasterBitmap::~RasterBitmap() {
    if (dc_ && previousBitmap_) SelectObject(static_cast<HDC>(dc_), previousBitmap_);
    if (dib_) DeleteObject(dib_);
    if (dc_) DeleteDC(static_cast<HDC>(dc_));
}

void* RasterBitmap::getDC() { return dc_; }

void RasterBitmap::resize(int width, int height) {
    if (width <= 0 || height <= 0) width = height = 0;
    if (width == width_ && height == height_) return;
    HDC dc = static_cast<HDC>(dc_);
    HBITMAP dib = nullptr;
    uint32_t* bits = nullptr;
    if (width > 0 && dc) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // negative: top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* pixels = nullptr;
        dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
        bits = dib ? static_cast<uint32_t*>(pixels) : nullptr;
    }
    if (!bits) width = height = 0;
    GdiFlush();
    if (bits) {
        std::memset(bits, 0, size_t(width) * height * 4);
        copyOverlap(bits_, width_, height_, bits, width, height);
        HGDIOBJ previous = SelectObject(dc, dib);
        if (!previousBitmap_) previousBitmap_ = previous;
    } else if (previousBitmap_) {
        SelectObject(dc, previousBitmap_);
        previousBitmap_ = nullptr;
    }
    if (dib_) DeleteObject(dib_);
    dib_ = dib;
    bits_ = bits;
    width_ = width;
    height_ = height;
}

uint32_t* RasterBitmap::getBits() {
    // GDI may still be drawing into the section.
    GdiFlush();
    return bits_;
}

#else

RasterBitmap::RasterBitmap(int width, int height) { resize(width, height); }

RasterBitmap::~RasterBitmap() = default;

void* RasterBitmap::getDC() { return nullptr; }

void RasterBitmap::resize(int width, int height) {
    if (width <= 0 || height <= 0) width = height = 0;
    std::vector<uint32_t> pixels;
    try {
        pixels.assign(size_t(width) * height, 0u);
    } catch (const std::bad_alloc&) {
        // Nothing may be thrown into the plug-in: a bitmap too large is empty.
        width = height = 0;
    }
    copyOverlap(pixels_.data(), width_, height_, pixels.data(), width, height);
    pixels_.swap(pixels);
    width_ = width;
    height_ = height;
}

uint32_t* RasterBitmap::getBits() { return pixels_.empty() ? nullptr : pixels_.data(); }

#endif

intptr_t RasterBitmap::extended(int code, void* data) {
    switch (code) {
        case vexlan::kBitmapSetScale: {
            if (!data) return 0;
            int32_t scale = 0;
            std::memcpy(&scale, data, sizeof scale);
            if (scale <= 0) return 0;
            scale_ = scale;
            return 1;
        }
        case vexlan::kBitmapDisplayScale:
        case vexlan::kBitmapTextScale:
            return scale_;
        default:
            return 0;
    }
}

}  // namespace host
