// The font object's drawing outside Windows: DejaVu Sans rendered with
// stb_truetype, laid out with DrawText's rules. The Windows build draws with
// GDI instead (font_win32.cpp).
#if !defined(_WIN32)

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "font.h"
#include "raster.h"

#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb/stb_truetype.h>

namespace host {

namespace {

// Where Debian's fonts-dejavu-core (and some other systems) put the face.
const char* const kFaceFiles[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/TTF/DejaVuSans.ttf",
    "/usr/share/fonts/dejavu/DejaVuSans.ttf",
};

// Cell height used when no description (or height 0) was attached.
constexpr int32_t kDefaultCellHeight = 14;

struct Face {
    std::vector<unsigned char> data;
    stbtt_fontinfo info{};
    bool ready = false;
    int ascent = 0;
    int descent = 0;
};

uint32_t bigEndian(const unsigned char* bytes, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 8 | bytes[i];
    return value;
}

// The parser trusts the file, so a cut or damaged one is refused first: the
// table directory and every table it lists must lie inside the data.
bool tablesInside(const std::vector<unsigned char>& data) {
    constexpr size_t kOffsetTableBytes = 12, kRecordBytes = 16;
    if (data.size() < kOffsetTableBytes) return false;
    const size_t tables = bigEndian(&data[4], 2);
    if (tables == 0 || data.size() < kOffsetTableBytes + tables * kRecordBytes) return false;
    for (size_t i = 0; i < tables; ++i) {
        const unsigned char* record = &data[kOffsetTableBytes + i * kRecordBytes];
        const uint64_t end = uint64_t(bigEndian(record + 8, 4)) + bigEndian(record + 12, 4);
        if (end > data.size()) return false;
    }
    return true;
}

bool loadFaceFrom(const char* path, Face& face) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    face.data.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (!tablesInside(face.data)) return false;
    const int offset = stbtt_GetFontOffsetForIndex(face.data.data(), 0);
    if (offset < 0 || !stbtt_InitFont(&face.info, face.data.data(), offset)) return false;
    int lineGap = 0;
    stbtt_GetFontVMetrics(&face.info, &face.ascent, &face.descent, &lineGap);
    face.ready = true;
    return true;
}

// Without any face text is simply not drawn: drawText and getMetric answer 0.
Face loadFace() {
    Face face;
    for (const char* path : kFaceFiles) {
        if (loadFaceFrom(path, face)) break;
    }
    return face;
}

}  // namespace

bool fontFaceUsable(const char* path) {
    Face face;
    return path && loadFaceFrom(path, face);
}

namespace {

const Face& sharedFace() {
    static const Face face = loadFace();
    return face;
}

struct Metrics {
    float scale;
    int ascent;      // pixels from a line's top to its baseline
    int lineHeight;  // pixels from one line's top to the next
};

Metrics metricsFor(const Face& face, int32_t height) {
    const float scale = height < 0   ? stbtt_ScaleForMappingEmToPixels(&face.info, float(-height))
                        : height > 0 ? stbtt_ScaleForPixelHeight(&face.info, float(height))
                                     : stbtt_ScaleForPixelHeight(&face.info, float(kDefaultCellHeight));
    Metrics metrics;
    metrics.scale = scale;
    metrics.ascent = int(std::lround(face.ascent * scale));
    metrics.lineHeight = int(std::ceil((face.ascent - face.descent) * scale));
    return metrics;
}

// The text's lines as they are shown: split at '\n' unless single-line, with
// '&' prefixes resolved unless kTextNoPrefix.
std::vector<std::string> layoutLines(const char* text, int length, int flags) {
    const size_t count = length < 0 ? std::strlen(text) : size_t(length);
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < count; ++i) {
        const char c = text[i];
        if (c == '\n' && !(flags & kTextSingleLine)) {
            lines.emplace_back();
            continue;
        }
        if (c == '&' && !(flags & kTextNoPrefix)) {
            if (i + 1 < count && text[i + 1] == '&') {
                lines.back() += '&';
                ++i;
            }
            continue;
        }
        lines.back() += c;
    }
    return lines;
}

// Text is 8-bit; bytes are read as Latin-1. Control characters are not shown.
bool shown(unsigned char c) { return c >= 32 && c != 127; }

template <typename Visit>
double walkLine(const Face& face, const Metrics& metrics, const std::string& line, Visit visit) {
    double pen = 0.0;
    int previous = 0;
    for (const char c : line) {
        const unsigned char code = static_cast<unsigned char>(c);
        if (!shown(code)) continue;
        const int glyph = stbtt_FindGlyphIndex(&face.info, code);
        if (previous) pen += metrics.scale * stbtt_GetGlyphKernAdvance(&face.info, previous, glyph);
        visit(glyph, pen);
        int advance = 0, bearing = 0;
        stbtt_GetGlyphHMetrics(&face.info, glyph, &advance, &bearing);
        pen += metrics.scale * advance;
        previous = glyph;
    }
    return pen;
}

int lineWidth(const Face& face, const Metrics& metrics, const std::string& line) {
    return int(std::ceil(walkLine(face, metrics, line, [](int, double) {})));
}

}  // namespace

HostFont::~HostFont() = default;

// A description is the caller's: only its height is taken, at once.
void HostFont::attachSystemFont(void* font, int) {
    attached_ = font;
    height_ = 0;
    if (font) std::memcpy(&height_, font, sizeof height_);
}

int HostFont::getMetric() {
    const Face& face = sharedFace();
    return face.ready ? metricsFor(face, height_).lineHeight : 0;
}

int HostFont::drawText(VizeBitmap* bitmap, const char* text, int length, VizeRect* rect, int flags) {
    const Face& face = sharedFace();
    if (!face.ready || !text || !rect) return 0;
    const Metrics metrics = metricsFor(face, height_);
    const std::vector<std::string> lines = layoutLines(text, length, flags);
    int width = 0;
    for (const std::string& line : lines) width = std::max(width, lineWidth(face, metrics, line));
    const int height = int(lines.size()) * metrics.lineHeight;
    if (flags & kTextCalcRect) {
        rect->right = rect->left + width;
        rect->bottom = rect->top + height;
        return height;
    }
    uint32_t* bits = bitmap ? bitmap->getBits() : nullptr;
    if (!bits) return 0;
    const int bitmapWidth = bitmap->getWidth(), bitmapHeight = bitmap->getHeight();
    const int rowSpan = bitmap->getRowSpan();
    int top = rect->top;
    if (flags & kTextSingleLine) {
        if (flags & kTextVCenter) {
            top = rect->top + (rect->bottom - rect->top - height) / 2;
        } else if (flags & kTextBottom) {
            top = rect->bottom - height;
        }
    }
    // Pixels outside the rectangle are kept unless kTextNoClip.
    const bool clip = !(flags & kTextNoClip);
    const int clipLeft = clip ? std::max(rect->left, 0) : 0, clipTop = clip ? std::max(rect->top, 0) : 0;
    const int clipRight = std::min(clip ? rect->right : bitmapWidth, bitmapWidth);
    const int clipBottom = std::min(clip ? rect->bottom : bitmapHeight, bitmapHeight);
    const uint32_t ink = 0xFF000000u | uint32_t(textColour_);
    std::vector<unsigned char> mask;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const int spare = rect->right - rect->left - lineWidth(face, metrics, line);
        const int left = rect->left + ((flags & kTextRight) ? spare : (flags & kTextCenter) ? spare / 2 : 0);
        const int baseline = top + int(i) * metrics.lineHeight + metrics.ascent;
        walkLine(face, metrics, line, [&](int glyph, double pen) {
            const int whole = int(std::floor(pen));
            const float shift = float(pen - whole);
            int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
            stbtt_GetGlyphBitmapBoxSubpixel(&face.info, glyph, metrics.scale, metrics.scale, shift, 0.0f, &x0, &y0,
                                            &x1, &y1);
            const int w = x1 - x0, h = y1 - y0;
            if (w <= 0 || h <= 0) return;
            mask.assign(size_t(w) * h, 0);
            stbtt_MakeGlyphBitmapSubpixel(&face.info, mask.data(), w, h, w, metrics.scale, metrics.scale, shift,
                                          0.0f, glyph);
            const int originX = left + whole + x0, originY = baseline + y0;
            for (int row = 0; row < h; ++row) {
                const int y = originY + row;
                if (y < clipTop || y >= clipBottom) continue;
                for (int column = 0; column < w; ++column) {
                    const int x = originX + column;
                    const unsigned char coverage = mask[size_t(row) * w + column];
                    if (!coverage || x < clipLeft || x >= clipRight) continue;
                    blendPixel(bits[size_t(y) * rowSpan + x], ink, alpha_ * (coverage / 255.0f),
                               blendMode_);
                }
            }
        });
    }
    return (top - rect->top) + height;
}

}  // namespace host

#endif
