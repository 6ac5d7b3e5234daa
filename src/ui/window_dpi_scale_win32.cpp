#include <windows.h>

#include "ui/window_dpi_scale.h"

namespace vexlan {

namespace {

using GetThreadDpiAwarenessContextFn = DPI_AWARENESS_CONTEXT(WINAPI*)();
using AreDpiAwarenessContextsEqualFn = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT, DPI_AWARENESS_CONTEXT);
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

// Decided at the first call and kept: the host's awareness does not change
// while the process lives, and older systems lack these functions.
bool decided = false;
GetDpiForWindowFn getDpiForWindow = nullptr;

template <typename Function>
Function lookUp(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void decide() {
    decided = true;
    HMODULE user32 = GetModuleHandleA("user32.dll");
    if (!user32) return;
    auto threadContext = lookUp<GetThreadDpiAwarenessContextFn>(user32, "GetThreadDpiAwarenessContext");
    auto contextsEqual = lookUp<AreDpiAwarenessContextsEqualFn>(user32, "AreDpiAwarenessContextsEqual");
    if (!threadContext || !contextsEqual) return;
    if (!contextsEqual(threadContext(), DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) return;
    getDpiForWindow = lookUp<GetDpiForWindowFn>(user32, "GetDpiForWindow");
}

}  // namespace

int32_t windowDpiScale(WindowHandle window) {
    if (!decided) decide();
    if (!getDpiForWindow) return 0;
    if (!window) return kUnscaled;
    return dpiToScale(getDpiForWindow(static_cast<HWND>(window)));
}

}  // namespace vexlan
