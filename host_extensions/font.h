// The host's font object behind "VIZE_CreateFont". It draws and measures
// 8-bit text with Win32 DrawText semantics (the DT_ flags below). On Windows
// it uses the GDI font handed to attachSystemFont, drawing with DrawTextA on
// the bitmap's DC; elsewhere it renders a TrueType face (DejaVu Sans) itself.
#pragma once

#include <cstdint>

#include "shell/host_api.h"

namespace host {

using vexlan::VizeBitmap;
using vexlan::VizeFont;
using vexlan::VizeRect;

// The Win32 DrawText flags this font honours, under their own names so the
// native build needs no Windows header.
constexpr int kTextCenter = 0x1;
constexpr int kTextRight = 0x2;
constexpr int kTextVCenter = 0x4;      // single line only
constexpr int kTextBottom = 0x8;       // single line only
constexpr int kTextSingleLine = 0x20;  // otherwise lines break at '\n'
constexpr int kTextNoClip = 0x100;
constexpr int kTextCalcRect = 0x400;  // measure: rect's right and bottom are set
constexpr int kTextNoPrefix = 0x800;  // otherwise "&&" shows "&" and a lone '&' is dropped

// attachSystemFont flag (Windows): the font object owns the handle and
// deletes it when another is attached or the object goes.
constexpr int kFontOwnsHandle = 0x200;

class HostFont final : public VizeFont {
public:
    HostFont() = default;
    ~HostFont();
    HostFont(const HostFont&) = delete;
    HostFont& operator=(const HostFont&) = delete;

    // Windows: an HFONT. Elsewhere: a font description whose first field is
    // the int32 LOGFONT height (negative: character height, positive: cell
    // height, 0: the default); only that height is read, at once. Null goes
    // back to the default font.
    void destroy(unsigned flags) override;
    void attachSystemFont(void* font, int flags) override;
    // Colours are 0xRRGGBB; the previous value is returned.
    int setTextColor(int colour) override;
    // Attributes A to D are kept for the caller; drawing does not read them.
    int setAttributeA(int value) override;
    int setAttributeB(int value) override;
    int setAttributeC(int value) override;
    // Blend mode and weight of drawn text, as for the drawing functions.
    void setBlend(int mode, float alpha) override;
    // Returns the height of the text (measured or drawn), 0 when nothing
    // could be done. Without kTextCalcRect a bitmap is needed.
    int drawText(VizeBitmap* bitmap, const char* text, int length, VizeRect* rect, int flags) override;
    int getTextColor() override { return textColour_; }
    // The attached system font handle (Windows) or description, or null.
    void* getHandle() override { return attached_; }
    // Line height in pixels.
    int getMetric() override;
    int setAttributeD(int value) override;

private:
    int textColour_ = 0;
    int attributes_[4] = {0, 0, 0, 0};
    int blendMode_ = vexlan::kBlendCopy;
    float alpha_ = 1.0f;
    void* attached_ = nullptr;
#if defined(_WIN32)
    void releaseAttached();
    bool ownsAttached_ = false;
#else
    int32_t height_ = 0;  // the LOGFONT height of the attached description
#endif
};

#if !defined(_WIN32)
// Whether the TrueType face at `path` can be drawn with; a missing, empty or
// cut file cannot.
bool fontFaceUsable(const char* path);
#endif

VizeFont* vizeCreateFont();
// Width and height of one line of `text`; returns the height, 0 on failure.
int vizeMeasureText(VizeFont* font, const char* text, int* width, int* height);
// `font`'s drawText with the whole string.
int vizeDrawText(VizeBitmap* bitmap, VizeFont* font, const char* text, VizeRect* rect, int flags);

}  // namespace host
