#include "ui/ui_platform.h"

#include <windows.h>

namespace vexlan {

namespace {

static_assert(sizeof(FontDescription) == sizeof(LOGFONTA), "FontDescription is a LOGFONTA");

void* createFontIndirect(FontDescription& description) {
    return CreateFontIndirectA(reinterpret_cast<const LOGFONTA*>(&description));
}

}  // namespace

CreateSystemFontFn createSystemFont = createFontIndirect;

uint32_t systemColour(int index) { return fromSystemColour(uint32_t(GetSysColor(index))); }

bool cursorInClient(WindowHandle window, int32_t& x, int32_t& y) {
    POINT cursor;
    if (!window || !GetCursorPos(&cursor) || !ScreenToClient(static_cast<HWND>(window), &cursor)) return false;
    x = cursor.x;
    y = cursor.y;
    return true;
}

}  // namespace vexlan
