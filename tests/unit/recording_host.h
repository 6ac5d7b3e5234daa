// The host's drawing functions and font objects replaced by recorders, so
// tests can check what the graph drawing asks for without pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shell/host_api.h"
#include "ui/ui_platform.h"

namespace recording {

enum class Shape { FillRect, LineInt, Line, FillCircle, Circle, BorderedRect, Text };

struct DrawCall {
    Shape shape;
    float x1, y1, x2, y2;  // rectangles: x, y, width, height; circles: x, y, radius
    int32_t colour;
    int32_t border;        // bordered rectangles
    float alpha;
    bool antialias;
    std::string text;      // Text: what was drawn, with x1..y2 its rectangle (left, top, right, bottom)
    int flags;
};

// A bitmap that answers its scale and holds no pixels.
class ScaledBitmap final : public vexlan::VizeBitmap {
public:
    explicit ScaledBitmap(int32_t scale = 256, int width = 600, int height = 400)
        : scale_(scale), width_(width), height_(height) {}
    void destroy(unsigned) override {}
    void* getDC() override { return nullptr; }
    int getWidth() override { return width_; }
    int getHeight() override { return height_; }
    void resize(int width, int height) override { width_ = width, height_ = height; }
    uint32_t* getBits() override { return nullptr; }
    int getRowSpan() override { return width_; }
    intptr_t extended(int code, void*) override {
        return code == vexlan::kBitmapTextScale || code == vexlan::kBitmapDisplayScale ? scale_ : 0;
    }
    int32_t scale_;

private:
    int width_, height_;
};

// One host font object: every call in order, as "name(value)" strings.
struct FontLog {
    std::vector<std::string> calls;
    std::vector<vexlan::FontDescription> attached;  // what each attach handed over
    int destroyed = 0;
};

// Installs the recorders into the process's host functions while alive and
// puts the previous ones back afterwards. Text measures 7 pixels a character
// by 16.
class RecordingHost {
public:
    RecordingHost();
    ~RecordingHost();
    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    std::vector<DrawCall> calls;
    std::vector<FontLog> fonts;  // one per font object the host made
    bool refuseFonts = false;
    std::vector<DrawCall> of(Shape shape) const;
    std::vector<std::string> texts() const;

private:
    vexlan::HostApi saved_;
    vexlan::CreateSystemFontFn savedSystemFont_;
};

}  // namespace recording
