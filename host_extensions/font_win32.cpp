// The font object's drawing on Windows: GDI's DrawTextA with the attached
// system font (or the default GUI font) on the bitmap's DC.
#include <windows.h>

#include <vector>

#include "bitmap.h"
#include "font.h"
#include "raster.h"

namespace host {

namespace {

// Measuring needs a DC even without a bitmap; one serves the whole process.
HDC measuringDc() {
    static HDC dc = CreateCompatibleDC(nullptr);
    return dc;
}

COLORREF colorRef(int colour) {
    return RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

// Selects a font into a DC for the lifetime of the object.
class SelectedFont {
public:
    SelectedFont(HDC dc, void* font)
        : dc_(dc), previous_(SelectObject(dc, font ? static_cast<HFONT>(font) : GetStockObject(DEFAULT_GUI_FONT))) {}
    ~SelectedFont() { SelectObject(dc_, previous_); }
    SelectedFont(const SelectedFont&) = delete;
    SelectedFont& operator=(const SelectedFont&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace

HostFont::~HostFont() { releaseAttached(); }

void HostFont::releaseAttached() {
    if (ownsAttached_ && attached_) DeleteObject(static_cast<HFONT>(attached_));
    attached_ = nullptr;
    ownsAttached_ = false;
}

void HostFont::attachSystemFont(void* font, int flags) {
    if (font == attached_) {
        ownsAttached_ = ownsAttached_ || (flags & kFontOwnsHandle);
        return;
    }
    releaseAttached();
    attached_ = font;
    ownsAttached_ = font && (flags & kFontOwnsHandle);
}

int HostFont::getMetric() {
    HDC dc = measuringDc();
    if (!dc) return 0;
    SelectedFont selected(dc, attached_);
    TEXTMETRICA metrics{};
    return GetTextMetricsA(dc, &metrics) ? int(metrics.tmHeight) : 0;
}

int HostFont::drawText(VizeBitmap* bitmap, const char* text, int length, VizeRect* rect, int flags) {
    if (!text || !rect) return 0;
    HDC bitmapDc = bitmap ? static_cast<HDC>(bitmap->getDC()) : nullptr;
    RECT area{rect->left, rect->top, rect->right, rect->bottom};
    if (flags & kTextCalcRect) {
        HDC dc = bitmapDc ? bitmapDc : measuringDc();
        if (!dc) return 0;
        SelectedFont selected(dc, attached_);
        const int height = DrawTextA(dc, text, length, &area, UINT(flags));
        *rect = VizeRect{area.left, area.top, area.right, area.bottom};
        return height;
    }
    if (!bitmapDc) return 0;
    if (blendMode_ == vexlan::kBlendCopy && alpha_ >= 1.0f) {
        SelectedFont selected(bitmapDc, attached_);
        SetTextColor(bitmapDc, colorRef(textColour_));
        SetBkMode(bitmapDc, TRANSPARENT);
        const int height = DrawTextA(bitmapDc, text, length, &area, UINT(flags));
        GdiFlush();
        return height;
    }
    // Partial or added text: GDI draws the coverage, white on black, into a
    // scratch bitmap the size of the rectangle, which is then mixed in as a
    // glyph. The text is clipped to the rectangle here, whatever the flags.
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return 0;
    RasterBitmap scratch(width, height);
    HDC scratchDc = static_cast<HDC>(scratch.getDC());
    if (!scratchDc || scratch.getWidth() != width) return 0;
    int result = 0;
    {
        SelectedFont selected(scratchDc, attached_);
        SetTextColor(scratchDc, RGB(255, 255, 255));
        SetBkMode(scratchDc, TRANSPARENT);
        RECT local{0, 0, width, height};
        result = DrawTextA(scratchDc, text, length, &local, UINT(flags));
    }
    const uint32_t* coverage = scratch.getBits();
    std::vector<unsigned char> mask(size_t(width) * height);
    for (size_t i = 0; i < mask.size(); ++i) mask[i] = static_cast<unsigned char>((coverage[i] >> 8) & 0xFF);
    vizeDrawGlyph(bitmap, mask.data(), width, height, area.left, area.top, int(0xFF000000u | uint32_t(textColour_)),
                  alpha_, blendMode_);
    return result;
}

}  // namespace host
