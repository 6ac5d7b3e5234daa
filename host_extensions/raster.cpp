#include "raster.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "bitmap.h"

namespace host {

namespace {

constexpr double kPi = 3.14159265358979323846;

// One drawing call's view of a bitmap's pixels.
struct Canvas {
    uint32_t* bits = nullptr;
    int width = 0;
    int height = 0;
    int span = 0;

    bool empty() const { return !bits || width <= 0 || height <= 0; }
    bool contains(int64_t x, int64_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    uint32_t& at(int x, int y) const { return bits[size_t(y) * span + x]; }
    void blend(int64_t x, int64_t y, uint32_t colour, float weight, int mode) const {
        if (contains(x, y)) blendPixel(at(int(x), int(y)), colour, weight, mode);
    }
};

Canvas canvasOf(VizeBitmap* bitmap) {
    Canvas canvas;
    if (!bitmap) return canvas;
    canvas.bits = bitmap->getBits();
    canvas.width = bitmap->getWidth();
    canvas.height = bitmap->getHeight();
    canvas.span = bitmap->getRowSpan();
    if (canvas.empty()) canvas = Canvas{};
    return canvas;
}

bool finite(double a, double b, double c, double d) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

// Lowest and highest integer in [low, high] that is also inside 0..extent-1;
// false when there is none.
bool clipRange(double low, double high, int extent, int& first, int& last) {
    low = std::max(low, 0.0);
    high = std::min(high, double(extent) - 1.0);
    if (!(low <= high)) return false;
    first = int(std::ceil(low));
    last = int(std::floor(high));
    return first <= last;
}

void strokeLine(const Canvas& canvas, double x1, double y1, double x2, double y2, uint32_t colour,
                float alpha, int mode, bool antialias) {
    if (canvas.empty() || !finite(x1, y1, x2, y2)) return;
    const bool steep = std::fabs(y2 - y1) > std::fabs(x2 - x1);
    // Walk the major axis in whole pixels; `a` is along it, `b` across.
    double a1 = steep ? y1 : x1, b1 = steep ? x1 : y1;
    double a2 = steep ? y2 : x2, b2 = steep ? x2 : y2;
    if (a1 > a2) {
        std::swap(a1, a2);
        std::swap(b1, b2);
    }
    const double slope = a2 > a1 ? (b2 - b1) / (a2 - a1) : 0.0;
    const int majorExtent = steep ? canvas.height : canvas.width;
    const int minorExtent = steep ? canvas.width : canvas.height;
    int first = 0, last = 0;
    if (!clipRange(std::floor(a1 + 0.5), std::floor(a2 + 0.5), majorExtent, first, last)) return;
    auto plot = [&](int major, double minor, float weight) {
        if (weight <= 0.0f || minor < 0.0 || minor >= minorExtent) return;
        const int across = int(minor);
        if (steep) {
            canvas.blend(across, major, colour, weight, mode);
        } else {
            canvas.blend(major, across, colour, weight, mode);
        }
    };
    for (int major = first; major <= last; ++major) {
        const double minor = b1 + (major - a1) * slope;
        if (antialias) {
            const double base = std::floor(minor);
            const float share = float(minor - base);
            plot(major, base, alpha * (1.0f - share));
            plot(major, base + 1.0, alpha * share);
        } else {
            plot(major, std::floor(minor + 0.5), alpha);
        }
    }
}

// Calls visit(x, y, distance from the centre) for every pixel whose centre
// lies within `reach` of (cx, cy) and beyond `inner` (when inner > 0).
template <typename Visit>
void forEachPixelNear(const Canvas& canvas, double cx, double cy, double inner, double reach, Visit visit) {
    int top = 0, bottom = 0;
    if (!clipRange(cy - reach, cy + reach, canvas.height, top, bottom)) return;
    for (int y = top; y <= bottom; ++y) {
        const double dy = y - cy;
        const double outerHalf = std::sqrt(std::max(reach * reach - dy * dy, 0.0));
        const double innerHalf = inner > std::fabs(dy) ? std::sqrt(inner * inner - dy * dy) : 0.0;
        auto span = [&](double from, double to) {
            int left = 0, right = 0;
            if (!clipRange(from, to, canvas.width, left, right)) return;
            for (int x = left; x <= right; ++x) visit(x, y, std::hypot(x - cx, dy));
        };
        if (innerHalf > 0.0) {
            // The two pieces either side of the hole cannot share a pixel.
            span(cx - outerHalf, cx - innerHalf);
            span(cx + innerHalf, cx + outerHalf);
        } else {
            span(cx - outerHalf, cx + outerHalf);
        }
    }
}

double clamp01(double value) { return std::clamp(value, 0.0, 1.0); }

// `angle` measured from the top, clockwise, in 0..2 pi.
double angleFromTop(double dx, double dy) {
    const double angle = std::atan2(dx, -dy);
    return angle < 0.0 ? angle + 2.0 * kPi : angle;
}

void ring(const Canvas& canvas, double cx, double cy, double radius, uint32_t colour, float alpha,
          int mode, bool antialias, double fromAngle, double sweep) {
    if (canvas.empty() || !finite(cx, cy, radius, sweep) || !std::isfinite(fromAngle) || radius < 0.0) {
        return;
    }
    const bool whole = sweep >= 2.0 * kPi;
    auto inArc = [&](int x, int y) {
        if (whole) return true;
        const double offset = std::fmod(angleFromTop(x - cx, y - cy) - fromAngle, 2.0 * kPi);
        return (offset < 0.0 ? offset + 2.0 * kPi : offset) <= sweep;
    };
    forEachPixelNear(canvas, cx, cy, radius - 1.0, radius + 1.0, [&](int x, int y, double distance) {
        const double off = std::fabs(distance - radius);
        const double weight = antialias ? 1.0 - off : (distance >= radius - 0.5 && distance < radius + 0.5);
        if (weight > 0.0 && inArc(x, y)) canvas.blend(x, y, colour, float(alpha * weight), mode);
    });
}

void fillRectangle(const Canvas& canvas, int64_t x, int64_t y, int64_t width, int64_t height,
                   uint32_t colour, float alpha, int mode) {
    if (canvas.empty() || width <= 0 || height <= 0) return;
    const int left = int(std::max<int64_t>(x, 0));
    const int top = int(std::max<int64_t>(y, 0));
    const int right = int(std::min<int64_t>(x + width, canvas.width));
    const int bottom = int(std::min<int64_t>(y + height, canvas.height));
    for (int row = top; row < bottom; ++row) {
        for (int column = left; column < right; ++column) blendPixel(canvas.at(column, row), colour, alpha, mode);
    }
}

void outlineRectangle(const Canvas& canvas, int64_t x, int64_t y, int64_t width, int64_t height,
                      uint32_t colour, float alpha, int mode) {
    if (width <= 0 || height <= 0) return;
    fillRectangle(canvas, x, y, width, 1, colour, alpha, mode);
    if (height > 1) fillRectangle(canvas, x, y + height - 1, width, 1, colour, alpha, mode);
    if (height > 2) {
        fillRectangle(canvas, x, y + 1, 1, height - 2, colour, alpha, mode);
        if (width > 1) fillRectangle(canvas, x + width - 1, y + 1, 1, height - 2, colour, alpha, mode);
    }
}

struct Point {
    double x;
    double y;
};

// Fills the pixels whose centre lies inside a convex polygon. Each row takes
// the span between its leftmost and rightmost edge crossing; an edge counts
// from its upper end up to, not including, its lower end, so polygons that
// share an edge never both fill the pixels on it.
void fillConvex(const Canvas& canvas, const Point* points, int count, uint32_t colour, float alpha,
                int mode) {
    if (canvas.empty() || count < 3) return;
    double minY = points[0].y, maxY = points[0].y;
    for (int i = 1; i < count; ++i) {
        minY = std::min(minY, points[i].y);
        maxY = std::max(maxY, points[i].y);
    }
    int top = 0, bottom = 0;
    if (!clipRange(std::floor(minY), std::ceil(maxY), canvas.height, top, bottom)) return;
    for (int row = top; row <= bottom; ++row) {
        const double sampleY = row + 0.5;
        double left = HUGE_VAL, right = -HUGE_VAL;
        for (int i = 0; i < count; ++i) {
            const Point& a = points[i];
            const Point& b = points[(i + 1) % count];
            const Point& upper = a.y <= b.y ? a : b;
            const Point& lower = a.y <= b.y ? b : a;
            if (!(sampleY >= upper.y && sampleY < lower.y)) continue;
            const double x = upper.x + (sampleY - upper.y) * (lower.x - upper.x) / (lower.y - upper.y);
            left = std::min(left, x);
            right = std::max(right, x);
        }
        if (!(left < right)) continue;
        int first = 0, last = 0;
        // Pixel x is filled when left <= x + 0.5 < right.
        if (!clipRange(std::ceil(left - 0.5), std::ceil(right - 0.5) - 1.0, canvas.width, first, last)) continue;
        for (int x = first; x <= last; ++x) blendPixel(canvas.at(x, row), colour, alpha, mode);
    }
}

uint32_t lerpColour(uint32_t a, uint32_t b, double t) {
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const double ca = (a >> shift) & 0xFF;
        const double cb = (b >> shift) & 0xFF;
        result |= uint32_t(std::lround(ca + (cb - ca) * t)) << shift;
    }
    return result;
}

// Bilinear sample at (u, v) in pixel-centre coordinates, edges extended.
uint32_t sampleBilinear(const Canvas& source, double u, double v) {
    u = std::clamp(u, 0.0, double(source.width - 1));
    v = std::clamp(v, 0.0, double(source.height - 1));
    const int x0 = int(u), y0 = int(v);
    const int x1 = std::min(x0 + 1, source.width - 1), y1 = std::min(y0 + 1, source.height - 1);
    const double fx = u - x0, fy = v - y0;
    const uint32_t top = lerpColour(source.at(x0, y0), source.at(x1, y0), fx);
    const uint32_t bottom = lerpColour(source.at(x0, y1), source.at(x1, y1), fx);
    return lerpColour(top, bottom, fy);
}

// A copy of the source pixels when they are also the destination, so a
// transfer within one bitmap reads every pixel before it is overwritten.
struct SourcePixels {
    Canvas canvas;
    std::vector<uint32_t> copy;
};

bool takeSource(VizeBitmap* dest, VizeBitmap* source, SourcePixels& pixels) {
    pixels.canvas = canvasOf(source);
    if (pixels.canvas.empty()) return false;
    if (dest == source) {
        const Canvas& from = pixels.canvas;
        try {
            pixels.copy.resize(size_t(from.width) * from.height);
        } catch (const std::bad_alloc&) {
            return false;
        }
        for (int y = 0; y < from.height; ++y) {
            std::copy_n(&from.at(0, y), from.width, pixels.copy.data() + size_t(y) * from.width);
        }
        pixels.canvas.bits = pixels.copy.data();
        pixels.canvas.span = from.width;
    }
    return true;
}

}  // namespace

void blendPixel(uint32_t& pixel, uint32_t colour, float weight, int mode) {
    if (!(weight > 0.0f)) return;
    const uint32_t share = weight >= 1.0f ? 256u : uint32_t(weight * 256.0f + 0.5f);
    if (mode != vexlan::kBlendAdd && share >= 256u) {
        pixel = colour;
        return;
    }
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t d = (pixel >> shift) & 0xFF;
        const uint32_t s = (colour >> shift) & 0xFF;
        const uint32_t mixed = mode == vexlan::kBlendAdd ? std::min(d + ((s * share + 128u) >> 8), 255u)
                                                         : (d * (256u - share) + s * share + 128u) >> 8;
        result |= mixed << shift;
    }
    pixel = result;
}

VizeBitmap* vizeCreateBitmap(int, int width, int height) {
    RasterBitmap* bitmap = new (std::nothrow) RasterBitmap(width, height);
    if (bitmap && width > 0 && height > 0 && bitmap->getWidth() == 0) {
        bitmap->destroy(vexlan::kDestroyFreesMemory);
        return nullptr;
    }
    return bitmap;
}

int vizeGetPixel(VizeBitmap* bitmap, int x, int y) {
    const Canvas canvas = canvasOf(bitmap);
    return canvas.contains(x, y) ? int(canvas.at(x, y)) : 0;
}

void vizePutPixel(VizeBitmap* bitmap, int x, int y, int colour, float alpha, int mode) {
    canvasOf(bitmap).blend(x, y, uint32_t(colour), alpha, mode);
}

void vizeLineInt(VizeBitmap* bitmap, int x1, int y1, int x2, int y2, int colour, float alpha, int mode,
                 bool antialias) {
    strokeLine(canvasOf(bitmap), x1, y1, x2, y2, uint32_t(colour), alpha, mode, antialias);
}

void vizeLine(VizeBitmap* bitmap, float x1, float y1, float x2, float y2, int colour, float alpha, int mode,
              bool antialias) {
    strokeLine(canvasOf(bitmap), x1, y1, x2, y2, uint32_t(colour), alpha, mode, antialias);
}

void vizeThickFLine(VizeBitmap* bitmap, double x1, double y1, double x2, double y2, int colour, float alpha,
                    int mode, int thickness) {
    const Canvas canvas = canvasOf(bitmap);
    if (thickness <= 1) {
        strokeLine(canvas, x1, y1, x2, y2, uint32_t(colour), alpha, mode, true);
        return;
    }
    if (canvas.empty() || !finite(x1, y1, x2, y2)) return;
    const double length = std::hypot(x2 - x1, y2 - y1);
    if (length == 0.0) return;
    const double ux = (x2 - x1) / length, uy = (y2 - y1) / length;
    const double halfWidth = thickness / 2.0;
    const double reach = halfWidth + 1.0;
    int left = 0, right = 0, top = 0, bottom = 0;
    if (!clipRange(std::min(x1, x2) - reach, std::max(x1, x2) + reach, canvas.width, left, right)) return;
    if (!clipRange(std::min(y1, y2) - reach, std::max(y1, y2) + reach, canvas.height, top, bottom)) return;
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            const double along = (x - x1) * ux + (y - y1) * uy;
            const double across = std::fabs((x - x1) * uy - (y - y1) * ux);
            const double weight = clamp01(halfWidth + 0.5 - across) * clamp01(along + 0.5) *
                                  clamp01(length - along + 0.5);
            if (weight > 0.0) blendPixel(canvas.at(x, y), uint32_t(colour), float(alpha * weight), mode);
        }
    }
}

void vizeCircle(VizeBitmap* bitmap, float cx, float cy, float radius, int colour, float alpha, int mode,
                bool antialias) {
    ring(canvasOf(bitmap), cx, cy, radius, uint32_t(colour), alpha, mode, antialias, 0.0, 2.0 * kPi);
}

void vizeFillCircle(VizeBitmap* bitmap, float cx, float cy, float radius, int colour, float alpha, int mode,
                    bool antialias) {
    const Canvas canvas = canvasOf(bitmap);
    if (canvas.empty() || !finite(cx, cy, radius, 0.0) || radius < 0.0f) return;
    forEachPixelNear(canvas, cx, cy, 0.0, radius + 0.5, [&](int x, int y, double distance) {
        const double weight = antialias ? clamp01(radius + 0.5 - distance) : distance <= radius;
        if (weight > 0.0) blendPixel(canvas.at(x, y), uint32_t(colour), float(alpha * weight), mode);
    });
}

void vizeFillRect(VizeBitmap* bitmap, int x, int y, int width, int height, int colour, float alpha, int mode) {
    fillRectangle(canvasOf(bitmap), x, y, width, height, uint32_t(colour), alpha, mode);
}

void vizeDrawRect(VizeBitmap* bitmap, int x, int y, int width, int height, int colour, float alpha, int mode) {
    outlineRectangle(canvasOf(bitmap), x, y, width, height, uint32_t(colour), alpha, mode);
}

void vizeBorderedRect(VizeBitmap* bitmap, int x, int y, int width, int height, int fillColour,
                      int borderColour, float alpha, int mode) {
    const Canvas canvas = canvasOf(bitmap);
    fillRectangle(canvas, int64_t(x) + 1, int64_t(y) + 1, int64_t(width) - 2, int64_t(height) - 2,
                  uint32_t(fillColour), alpha, mode);
    outlineRectangle(canvas, x, y, width, height, uint32_t(borderColour), alpha, mode);
}

void vizeClear(VizeBitmap* bitmap, int colour) {
    const Canvas canvas = canvasOf(bitmap);
    for (int y = 0; y < canvas.height; ++y) std::fill_n(&canvas.at(0, y), canvas.width, uint32_t(colour));
}

void vizeBlit(VizeBitmap* dest, VizeBitmap* source, int dstX, int dstY, int width, int height, int srcX,
              int srcY, float alpha, int mode) {
    const Canvas target = canvasOf(dest);
    SourcePixels pixels;
    if (target.empty() || !takeSource(dest, source, pixels)) return;
    const Canvas& from = pixels.canvas;
    // Clip the transfer against both bitmaps, moving both origins together.
    int64_t sx = srcX, sy = srcY, dx = dstX, dy = dstY, w = width, h = height;
    const int64_t skipX = std::max({int64_t(0), -sx, -dx});
    const int64_t skipY = std::max({int64_t(0), -sy, -dy});
    sx += skipX, dx += skipX, w -= skipX;
    sy += skipY, dy += skipY, h -= skipY;
    w = std::min({w, from.width - sx, target.width - dx});
    h = std::min({h, from.height - sy, target.height - dy});
    for (int64_t row = 0; row < h; ++row) {
        for (int64_t column = 0; column < w; ++column) {
            blendPixel(target.at(int(dx + column), int(dy + row)), from.at(int(sx + column), int(sy + row)),
                       alpha, mode);
        }
    }
}

void vizeRotatedBlit(VizeBitmap* dest, VizeBitmap* source, int dstX, int dstY, int width, int height,
                     float srcX, float srcY, float srcWidth, float srcHeight, double angle, float alpha,
                     int mode) {
    const Canvas target = canvasOf(dest);
    SourcePixels pixels;
    if (target.empty() || width <= 0 || height <= 0 || !std::isfinite(angle) ||
        !finite(srcX, srcY, srcWidth, srcHeight) || !takeSource(dest, source, pixels)) {
        return;
    }
    const double halfW = width / 2.0, halfH = height / 2.0;
    const double cx = dstX + halfW, cy = dstY + halfH;
    const double c = std::cos(angle), s = std::sin(angle);
    const double extentX = std::fabs(halfW * c) + std::fabs(halfH * s);
    const double extentY = std::fabs(halfW * s) + std::fabs(halfH * c);
    int left = 0, right = 0, top = 0, bottom = 0;
    if (!clipRange(std::floor(cx - extentX), std::ceil(cx + extentX), target.width, left, right)) return;
    if (!clipRange(std::floor(cy - extentY), std::ceil(cy + extentY), target.height, top, bottom)) return;
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            // Turn the pixel centre back into the unrotated rectangle.
            const double px = x + 0.5 - cx, py = y + 0.5 - cy;
            const double localX = px * c + py * s + halfW;
            const double localY = -px * s + py * c + halfH;
            if (localX < 0.0 || localY < 0.0 || localX >= width || localY >= height) continue;
            const double u = srcX + localX * srcWidth / width - 0.5;
            const double v = srcY + localY * srcHeight / height - 0.5;
            blendPixel(target.at(x, y), sampleBilinear(pixels.canvas, u, v), alpha, mode);
        }
    }
}

int vizeDrawGlyph(VizeBitmap* bitmap, const unsigned char* alphaMask, int maskWidth, int maskHeight, int x,
                  int y, int colour, float alpha, int mode) {
    const Canvas canvas = canvasOf(bitmap);
    if (canvas.empty() || !alphaMask || maskWidth <= 0 || maskHeight <= 0) return 0;
    for (int row = 0; row < maskHeight; ++row) {
        for (int column = 0; column < maskWidth; ++column) {
            const unsigned char coverage = alphaMask[size_t(row) * maskWidth + column];
            if (coverage) {
                canvas.blend(int64_t(x) + column, int64_t(y) + row, uint32_t(colour), alpha * (coverage / 255.0f),
                             mode);
            }
        }
    }
    return maskWidth;
}

void vizeFillTriangle(VizeBitmap* bitmap, int x1, int y1, int x2, int y2, int x3, int y3, int colour,
                      float alpha, int mode) {
    const Point points[] = {{double(x1), double(y1)}, {double(x2), double(y2)}, {double(x3), double(y3)}};
    fillConvex(canvasOf(bitmap), points, 3, uint32_t(colour), alpha, mode);
}

void vizeArc(VizeBitmap* bitmap, float cx, float cy, float radius, float angle1, float angle2, int colour,
             float alpha, int mode, bool antialias) {
    if (!(angle2 >= angle1)) return;
    const double start = std::fmod(double(angle1), 2.0 * kPi);
    ring(canvasOf(bitmap), cx, cy, radius, uint32_t(colour), alpha, mode, antialias,
         start < 0.0 ? start + 2.0 * kPi : start, double(angle2) - angle1);
}

void vizeFillTrapezoid(VizeBitmap* bitmap, int x1a, int x1b, int y1, int x2a, int x2b, int y2, int colour,
                       float alpha, int mode) {
    const Point points[] = {{double(x1a), double(y1)},
                            {double(x1b), double(y1)},
                            {double(x2b), double(y2)},
                            {double(x2a), double(y2)}};
    fillConvex(canvasOf(bitmap), points, 4, uint32_t(colour), alpha, mode);
}

void vizeFillConvexPolygon(VizeBitmap* bitmap, const int* xy, int pointCount, int colour, float alpha,
                           int mode) {
    if (!xy || pointCount < 3) return;
    std::vector<Point> points;
    try {
        points.reserve(size_t(pointCount));
    } catch (const std::bad_alloc&) {
        return;
    }
    for (int i = 0; i < pointCount; ++i) points.push_back({double(xy[2 * i]), double(xy[2 * i + 1])});
    fillConvex(canvasOf(bitmap), points.data(), pointCount, uint32_t(colour), alpha, mode);
}

void vizeCopy(VizeBitmap* dest, VizeBitmap* source) {
    if (!dest || !source || dest == source) return;
    dest->resize(source->getWidth(), source->getHeight());
    int32_t scale = int32_t(source->extended(vexlan::kBitmapDisplayScale, nullptr));
    if (scale > 0) dest->extended(vexlan::kBitmapSetScale, &scale);
    const Canvas from = canvasOf(source);
    const Canvas to = canvasOf(dest);
    if (from.empty() || to.width != from.width || to.height != from.height) return;
    for (int y = 0; y < from.height; ++y) std::copy_n(&from.at(0, y), from.width, &to.at(0, y));
}

void vizeScaledBlit(VizeBitmap* dest, VizeBitmap* source, int dstX, int dstY, int dstWidth, int dstHeight,
                    float srcX, float srcY, float srcWidth, float srcHeight, float alpha, int mode) {
    vizeRotatedBlit(dest, source, dstX, dstY, dstWidth, dstHeight, srcX, srcY, srcWidth, srcHeight, 0.0, alpha,
                    mode);
}

}  // namespace host
