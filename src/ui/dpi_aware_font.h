// The label font of the graph display: one font description, and one host
// font object per pixel size, chosen by the text scale of the bitmap drawn
// into. Text stays sharp on any DPI and on host surfaces with their own scale.
//
// The object is handed around as the host's font interface, so it keeps that
// interface's MSVC slot order (destroy first); createSizedFont follows the
// interface's slots.
#pragma once

#include <cstdint>

#include "shell/host_api.h"
#include "ui/ui_platform.h"

namespace vexlan {

using VIZE_IFont = VizeFont;

// Win32 DrawText flags the drawing uses.
constexpr int kTextCalcRect = 0x400;
// Flags handed to attachSystemFont: the object owns the system font; the size
// was scaled from the description.
constexpr int kFontOwnsSystemFont = 0x200;
constexpr int kFontScaled = 0x400;
constexpr uint8_t kNonAntialiasedQuality = 3;
constexpr int kSizeCacheEntries = 4;

struct SizedFont {
    VizeFont* font;  // owned
    int32_t key;     // pixel height it was made for; 0 = not made yet
};

class __VIZE_dpiAwareFont : public VizeFont {
public:
    // Destroys every cached font object; the most derived class frees the memory.
    void destroy(unsigned flags) override;
    void attachSystemFont(void* font, int flags) override;
    int setTextColor(int colour) override;
    int setAttributeA(int value) override;
    int setAttributeB(int value) override;
    int setAttributeC(int value) override;
    void setBlend(int mode, float alpha) override;
    // Draws, or with kTextCalcRect measures, through the font object for the
    // bitmap's text scale; 0 when there is none.
    int drawText(VizeBitmap* bitmap, const char* text, int length, VizeRect* rect, int flags) override;
    int getTextColor() override;
    void* getHandle() override;
    // The unscaled font object's metric, 10 without one.
    int getMetric() override;
    int setAttributeD(int value) override;
    // A new host font object, or null.
    virtual VizeFont* createSizedFont() = 0;

    // Replaces the description; sizes already made are made again.
    void setDescription(const FontDescription& description);
    // The host font object for a bitmap (none: unscaled), made or re-made as
    // needed; null when the host cannot make one.
    VizeFont* fontForBitmap(VizeBitmap* bitmap);

protected:
    __VIZE_dpiAwareFont() = default;
    ~__VIZE_dpiAwareFont() = default;

private:
    SizedFont cache_[kSizeCacheEntries] = {};  // least recently used first
    int32_t textColour_ = 0;
    int32_t attributeA_ = 0;
    int32_t attributeB_ = 0;
    int32_t attributeC_ = 1;
    int32_t blendMode_ = 0;
    float alpha_ = 1.0f;
    int32_t attributeD_ = 0;
    FontDescription description_ = {};
};

// Makes its sized fonts with the host's VIZE_CreateFont.
class dpiAwareFont final : public __VIZE_dpiAwareFont {
public:
    explicit dpiAwareFont(const FontDescription& description) { setDescription(description); }
    void destroy(unsigned flags) override;
    VizeFont* createSizedFont() override;
};

}  // namespace vexlan
