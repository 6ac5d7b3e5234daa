#include "ui/child_resizer.h"

#include <algorithm>

namespace vexlan {

int32_t edgeShift(int32_t difference, float factor) {
    if (factor >= 1.0f) return difference;
    if (factor > 0.0f) return int32_t(float(difference) * factor);
    return 0;
}

LayoutRect anchoredRect(const LayoutRect& designRect, const AnchorFactors& factors, int32_t dw, int32_t dh) {
    LayoutRect rect{designRect.left + edgeShift(dw, factors.left), designRect.top + edgeShift(dh, factors.top),
                    designRect.right + edgeShift(dw, factors.right),
                    designRect.bottom + edgeShift(dh, factors.bottom)};
    rect.right = std::max(rect.right, rect.left);
    rect.bottom = std::max(rect.bottom, rect.top);
    return rect;
}

LayoutRect scaledRect(const LayoutRect& rect, int32_t multiplier, int32_t divisor) {
    return {rect.left * multiplier / divisor, rect.top * multiplier / divisor, rect.right * multiplier / divisor,
            rect.bottom * multiplier / divisor};
}

bool convertsDpi(int32_t designScale, int32_t currentScale) {
    return designScale > 0 && currentScale > 0 && currentScale != designScale;
}

LayoutRect itemLayoutRect(const ChildResizer& resizer, const ResizerItem& item, const LayoutRect& client,
                          int32_t currentScale) {
    const bool convert = convertsDpi(resizer.designScale, currentScale);
    const LayoutRect layoutClient = convert ? scaledRect(client, resizer.designScale, currentScale) : client;
    const int32_t dw = (layoutClient.right - layoutClient.left) - resizer.designWidth;
    const int32_t dh = (layoutClient.bottom - layoutClient.top) - resizer.designHeight;
    const LayoutRect rect = anchoredRect(item.designRect, item.factors, dw, dh);
    return convert ? scaledRect(rect, currentScale, resizer.designScale) : rect;
}

void minimumClientSize(const ChildResizer& resizer, int32_t currentScale, int32_t& width, int32_t& height) {
    width = resizer.designWidth;
    height = resizer.designHeight;
    if (!convertsDpi(resizer.designScale, currentScale)) return;
    width = width * currentScale / resizer.designScale;
    height = height * currentScale / resizer.designScale;
}

int32_t resizerItemCount(const ChildResizer& resizer) {
    return resizer.items.size / int32_t(sizeof(ResizerItem));
}

ResizerItem* resizerItems(const ChildResizer& resizer) { return bufferAs<ResizerItem>(resizer.items); }

bool appendResizerItem(ChildResizer& resizer, const ResizerItem& item) {
    const int32_t count = resizerItemCount(resizer);
    const int32_t bytes = (count + 1) * int32_t(sizeof(ResizerItem));
    resizeBuffer(resizer.items, bytes, false);
    if (resizer.items.size != bytes) return false;
    resizerItems(resizer)[count] = item;
    return true;
}

void clearResizerItems(ChildResizer& resizer) { resizeBuffer(resizer.items, 0, false); }

}  // namespace vexlan
