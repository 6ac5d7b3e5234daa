#include <windows.h>

#include <cstdint>
#include <cstring>

#include "ui/dialog_background.h"

namespace vexlan {

namespace {

// Enough for any dialog of ours; a walk that long means a broken chain.
constexpr int kMaxChildrenWalked = 200;
// Brush handles below this are no handles but colour indices or errors.
constexpr uintptr_t kLowestBrushHandle = 0x10000;

// Group boxes are hollow: the background under them must be painted.
bool isGroupBox(HWND window) {
    if ((GetWindowLongA(window, GWL_STYLE) & 0xFFFFFF) != BS_GROUPBOX) return false;
    char className[16] = {};
    return GetClassNameA(window, className, sizeof className) > 0 && std::strcmp(className, "Button") == 0;
}

void subtractChildren(HWND window, HRGN region) {
    HWND child = GetWindow(window, GW_CHILD);
    for (int walked = 0; child && walked < kMaxChildrenWalked; ++walked, child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child) || isGroupBox(child)) continue;
        RECT rect{};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
        if (!RectInRegion(region, &rect)) continue;
        HRGN childRegion = CreateRectRgnIndirect(&rect);
        if (!childRegion) return;
        const int result = CombineRgn(region, region, childRegion, RGN_DIFF);
        DeleteObject(childRegion);
        if (result == ERROR || result == NULLREGION) return;
    }
}

}  // namespace

void paintDialogBackground(WindowHandle handle) {
    HWND window = static_cast<HWND>(handle);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (!dc) return;
    HRGN region = CreateRectRgnIndirect(&paint.rcPaint);
    if (region) {
        subtractChildren(window, region);
        HBRUSH brush = reinterpret_cast<HBRUSH>(
            SendMessageA(window, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window)));
        const bool ownBrush = reinterpret_cast<uintptr_t>(brush) <= kLowestBrushHandle;
        if (ownBrush) brush = CreateSolidBrush(GetSysColor(COLOR_3DFACE));
        FillRgn(dc, region, brush);
        if (ownBrush) DeleteObject(brush);
        DeleteObject(region);
    }
    EndPaint(window, &paint);
}

}  // namespace vexlan
