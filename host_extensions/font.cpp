#include "font.h"

#include <new>

namespace host {

int HostFont::setTextColor(int colour) {
    const int previous = textColour_;
    textColour_ = colour;
    return previous;
}

namespace {

int swapValue(int& slot, int value) {
    const int previous = slot;
    slot = value;
    return previous;
}

}  // namespace

int HostFont::setAttributeA(int value) { return swapValue(attributes_[0], value); }
int HostFont::setAttributeB(int value) { return swapValue(attributes_[1], value); }
int HostFont::setAttributeC(int value) { return swapValue(attributes_[2], value); }
int HostFont::setAttributeD(int value) { return swapValue(attributes_[3], value); }

void HostFont::setBlend(int mode, float alpha) {
    blendMode_ = mode;
    alpha_ = alpha;
}

void HostFont::destroy(unsigned flags) {
    if (flags & vexlan::kDestroyFreesMemory) {
        delete this;
    } else {
        this->~HostFont();
    }
}

VizeFont* vizeCreateFont() { return new (std::nothrow) HostFont(); }

int vizeMeasureText(VizeFont* font, const char* text, int* width, int* height) {
    if (!font || !text) return 0;
    VizeRect rect{0, 0, 0, 0};
    const int measured = font->drawText(nullptr, text, -1, &rect, kTextCalcRect | kTextSingleLine | kTextNoPrefix);
    if (width) *width = rect.right - rect.left;
    if (height) *height = rect.bottom - rect.top;
    return measured;
}

int vizeDrawText(VizeBitmap* bitmap, VizeFont* font, const char* text, VizeRect* rect, int flags) {
    return font ? font->drawText(bitmap, text, -1, rect, flags) : 0;
}

}  // namespace host
