// Native stand-ins for the drawing's Win32 calls: no windows, the system's
// default tooltip colours.
#if !defined(_WIN32)

#include "ui/ui_platform.h"

namespace vexlan {

namespace {

void* descriptionAsHandle(FontDescription& description) { return &description; }

}  // namespace

CreateSystemFontFn createSystemFont = descriptionAsHandle;

uint32_t systemColour(int index) {
    // Win32's defaults: black text on pale yellow.
    return index == kColourInfoBackground ? 0xFFFFE1u : 0x000000u;
}

bool cursorInClient(WindowHandle, int32_t&, int32_t&) { return false; }

}  // namespace vexlan

#endif
