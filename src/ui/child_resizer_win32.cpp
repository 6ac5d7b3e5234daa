#include <windows.h>

#include "ui/child_resizer.h"
#include "ui/window_dpi_scale.h"

namespace vexlan {

namespace {

HWND parentOf(const ChildResizer& resizer) { return static_cast<HWND>(resizer.parent); }

RECT rectInParent(HWND parent, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Scale refreshes only while DPI conversion is on; once off it stays off.
void refreshDesignScale(ChildResizer& resizer, WindowHandle window) {
    if (resizer.designScale > 0) resizer.designScale = windowDpiScale(window);
}

void moveItems(const ChildResizer& resizer, const LayoutRect& client, int32_t currentScale) {
    const int32_t count = resizerItemCount(resizer);
    const ResizerItem* items = resizerItems(resizer);
    HDWP batch = nullptr;
    for (int32_t i = 0; i < count; ++i) {
        const LayoutRect rect = itemLayoutRect(resizer, items[i], client, currentScale);
        HWND control = static_cast<HWND>(items[i].control);
        const int width = rect.right - rect.left, height = rect.bottom - rect.top;
        if (i == 0) batch = BeginDeferWindowPos(count);
        if (batch) {
            batch = DeferWindowPos(batch, control, nullptr, rect.left, rect.top, width, height,
                                   SWP_NOZORDER | SWP_NOACTIVATE);
        } else {
            SetWindowPos(control, nullptr, rect.left, rect.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    if (batch) EndDeferWindowPos(batch);
}

// Takes every visible direct child out of the region; stops once the region
// is empty or a region operation fails.
BOOL CALLBACK subtractChild(HWND child, LPARAM lParam) {
    ChildResizer& resizer = *reinterpret_cast<ChildResizer*>(lParam);
    HWND parent = parentOf(resizer);
    HRGN region = static_cast<HRGN>(resizer.region);
    if (!IsWindowVisible(child) || GetParent(child) != parent) return TRUE;
    const RECT rect = rectInParent(parent, child);
    if (!RectInRegion(region, &rect)) return TRUE;
    HRGN childRegion = CreateRectRgnIndirect(&rect);
    if (!childRegion) return FALSE;
    const int result = CombineRgn(region, region, childRegion, RGN_DIFF);
    DeleteObject(childRegion);
    return result != ERROR && result != NULLREGION;
}

}  // namespace

void setUpChildResizer(ChildResizer& resizer, WindowHandle parent) {
    resizer.parent = parent;
    RECT client{};
    GetClientRect(static_cast<HWND>(parent), &client);
    resizer.designWidth = client.right - client.left;
    resizer.designHeight = client.bottom - client.top;
    refreshDesignScale(resizer, parent);
    clearResizerItems(resizer);
}

void registerResizerControl(ChildResizer& resizer, WindowHandle control, const AnchorFactors& factors) {
    if (!resizer.parent || !control) return;
    const RECT rect = rectInParent(parentOf(resizer), static_cast<HWND>(control));
    appendResizerItem(resizer, {control, {rect.left, rect.top, rect.right, rect.bottom}, factors});
}

void layOutChildren(ChildResizer& resizer) {
    HWND parent = parentOf(resizer);
    if (!parent) return;
    RECT client{};
    GetClientRect(parent, &client);
    const int32_t currentScale = resizer.designScale > 0 ? windowDpiScale(parent) : 0;
    moveItems(resizer, {client.left, client.top, client.right, client.bottom}, currentScale);

    HRGN region = CreateRectRgnIndirect(&client);
    if (!region) return;
    resizer.region = region;
    EnumChildWindows(parent, subtractChild, reinterpret_cast<LPARAM>(&resizer));
    InvalidateRgn(parent, region, FALSE);
    DeleteObject(region);
    resizer.region = nullptr;
}

void tearDownChildResizer(ChildResizer& resizer) {
    resizer.parent = nullptr;
    resizer.designWidth = 0;
    resizer.designHeight = 0;
    clearResizerItems(resizer);
    refreshDesignScale(resizer, nullptr);
}

}  // namespace vexlan
