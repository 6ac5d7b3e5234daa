#include "ui/dpi_aware_font.h"

#include <new>

#include "shell/process_state.h"

namespace vexlan {

namespace {

int32_t swapValue(int32_t& slot, int32_t value) {
    const int32_t previous = slot;
    slot = value;
    return previous;
}

}  // namespace

void __VIZE_dpiAwareFont::destroy(unsigned) {
    for (SizedFont& entry : cache_) {
        destroyHostObject(entry.font);
        entry = {nullptr, 0};
    }
}

void __VIZE_dpiAwareFont::attachSystemFont(void*, int) {}

int __VIZE_dpiAwareFont::setTextColor(int colour) { return swapValue(textColour_, colour); }
int __VIZE_dpiAwareFont::setAttributeA(int value) { return swapValue(attributeA_, value); }
int __VIZE_dpiAwareFont::setAttributeB(int value) { return swapValue(attributeB_, value); }
int __VIZE_dpiAwareFont::setAttributeC(int value) { return swapValue(attributeC_, value); }
int __VIZE_dpiAwareFont::setAttributeD(int value) { return swapValue(attributeD_, value); }

void __VIZE_dpiAwareFont::setBlend(int mode, float alpha) {
    blendMode_ = mode;
    alpha_ = alpha;
}

int __VIZE_dpiAwareFont::getTextColor() { return textColour_; }

void* __VIZE_dpiAwareFont::getHandle() { return nullptr; }

int __VIZE_dpiAwareFont::getMetric() {
    VizeFont* font = fontForBitmap(nullptr);
    return font ? font->getMetric() : 10;
}

int __VIZE_dpiAwareFont::drawText(VizeBitmap* bitmap, const char* text, int length, VizeRect* rect, int flags) {
    VizeFont* font = fontForBitmap(bitmap);
    if (!font) return 0;
    // Measuring needs no colour, so the settings wait for the next drawing.
    if (!(flags & kTextCalcRect)) {
        font->setTextColor(textColour_);
        font->setAttributeA(attributeA_);
        font->setAttributeB(attributeB_);
        font->setAttributeC(attributeC_);
        font->setBlend(blendMode_, alpha_);
        font->setAttributeD(attributeD_);
    }
    return font->drawText(bitmap, text, length, rect, flags);
}

void __VIZE_dpiAwareFont::setDescription(const FontDescription& description) {
    description_ = description;
    for (int i = kSizeCacheEntries - 1; i >= 0 && cache_[i].key != 0; --i) cache_[i].key = 0;
}

VizeFont* __VIZE_dpiAwareFont::fontForBitmap(VizeBitmap* bitmap) {
    const int32_t scale = bitmap ? int32_t(bitmap->extended(kBitmapTextScale, nullptr)) : 0;
    int32_t flags = 0;
    int32_t height = description_.height;
    int32_t width = description_.width;
    if (scale & ~256) {
        flags |= kFontScaled;
        height = height * scale / 256;
        width = width * scale / 256;
    }

    int found = -1;
    for (int i = kSizeCacheEntries - 1; i >= 0 && found < 0; --i) {
        if (cache_[i].key == height || cache_[i].key == 0) found = i;
    }
    if (found < 0) {
        found = 0;
        cache_[0].key = 0;
    }
    const SizedFont entry = cache_[found];
    for (int i = found; i < kSizeCacheEntries - 1; ++i) cache_[i] = cache_[i + 1];
    SizedFont& last = cache_[kSizeCacheEntries - 1];
    last = entry;

    if (!last.font) last.font = createSizedFont();
    if (last.key == 0 && last.font) {
        last.key = height;
        FontDescription sized = description_;
        sized.height = height;
        sized.width = width;
        // Small unscaled text stays crisp without smoothing.
        if (!(flags & kFontScaled) && (height < 0 ? -height : height) < 15) sized.quality = kNonAntialiasedQuality;
        last.font->attachSystemFont(createSystemFont(sized), flags | kFontOwnsSystemFont);
    }
    return last.font;
}

void dpiAwareFont::destroy(unsigned flags) {
    __VIZE_dpiAwareFont::destroy(flags);
    if (flags & kDestroyFreesMemory) delete this;
}

VizeFont* dpiAwareFont::createSizedFont() {
    return processState.hostApi.createFont ? processState.hostApi.createFont() : nullptr;
}

}  // namespace vexlan
