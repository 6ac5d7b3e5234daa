#include "host_functions.h"

#include <cstring>
#include <string>

#include "fader_law.h"
#include "font.h"
#include "raster.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace host {

using namespace vexlan;

int db2Slider(double dB) { return faderPositionFromDb(dB); }

double slider2Db(double position) { return faderDbFromPosition(position); }

void mkVolStr(char* text, double amplitude) { formatVolume(text, amplitude); }

ExtensionState& extensionState() {
    static ExtensionState state;
    return state;
}

void resetExtensionState(int32_t midiOctaveOffset, bool removeToolWindowFlag) {
    ExtensionState& state = extensionState();
    std::lock_guard<std::mutex> hold(state.mutex);
    state.midiOctaveOffset = midiOctaveOffset;
    state.removeToolWindowFlag = removeToolWindowFlag;
    state.accessibleNames.clear();
    state.tabGroups.clear();
}

void setWindowAccessibilityString(WindowHandle control, const char* text, int) {
    if (!control) return;
    ExtensionState& state = extensionState();
    std::lock_guard<std::mutex> hold(state.mutex);
    if (text) {
        state.accessibleNames[control] = text;
    } else {
        state.accessibleNames.erase(control);
    }
}

WindowHandle getTooltipWindow(WindowHandle) { return nullptr; }

void removeToolWindowFlagIfConfigured(WindowHandle window, int) {
    if (!window) return;
    {
        ExtensionState& state = extensionState();
        std::lock_guard<std::mutex> hold(state.mutex);
        if (!state.removeToolWindowFlag) return;
    }
#if defined(_WIN32)
    HWND handle = static_cast<HWND>(window);
    const LONG_PTR style = GetWindowLongPtrA(handle, GWL_EXSTYLE);
    if (style & WS_EX_TOOLWINDOW) SetWindowLongPtrA(handle, GWL_EXSTYLE, style & ~LONG_PTR(WS_EX_TOOLWINDOW));
#endif
}

int getWindowDpiScaling(WindowHandle window) {
#if defined(_WIN32)
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    // Looked up by name: older systems (and some Wine versions) lack it.
    static const GetDpiForWindowFn getDpiForWindow = [] {
        HMODULE user32 = GetModuleHandleA("user32.dll");
        return user32 ? reinterpret_cast<GetDpiForWindowFn>(
                            reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")))
                      : nullptr;
    }();
    if (window && getDpiForWindow) {
        const UINT dpi = getDpiForWindow(static_cast<HWND>(window));
        if (dpi > 0) return int(dpi * 256 / 96);
    }
#else
    (void)window;
#endif
    return 256;
}

void* getConfigVar(const char* name, int* size) {
    if (!name || std::strcmp(name, "midioctoffs") != 0) return nullptr;
    if (size) *size = int(sizeof(int32_t));
    // The value lives in this module's state, which outlives every caller.
    return &extensionState().midiOctaveOffset;
}

bool vacCreateGroupsFromTab(WindowHandle tab, int* groups, int groupCount) {
    if (!tab || !groups || groupCount <= 0) return false;
    ExtensionState& state = extensionState();
    std::lock_guard<std::mutex> hold(state.mutex);
    state.tabGroups[tab].assign(groups, groups + groupCount);
    return true;
}

const char* localizeFunc(const char* text, const char*, int) { return text; }

void localizeMenu(const char*, void*, int) {}

void localizeInitializeDialog(WindowHandle, const char*) {}

void* localizePrepareDialog(const char*, void*, int, void*, intptr_t, void**, int) { return nullptr; }

namespace {

struct NamedFunction {
    const char* name;
    void* address;
};

// The casts to the interface's pointer types make the compiler check every
// signature against the declarations the plug-in calls through.
template <typename Fn>
void* entry(Fn function) {
    return reinterpret_cast<void*>(function);
}

const NamedFunction kFunctions[] = {
    {"SetWindowAccessibilityString", entry<SetWindowAccessibilityStringFn>(&setWindowAccessibilityString)},
    {"DB2SLIDER", entry<Db2SliderFn>(&db2Slider)},
    {"SLIDER2DB", entry<Slider2DbFn>(&slider2Db)},
    {"mkvolstr", entry<MkVolStrFn>(&mkVolStr)},
    {"GetTooltipWindow", entry<GetTooltipWindowFn>(&getTooltipWindow)},
    {"RemoveToolWindowFlagIfConfigured", entry<RemoveToolWindowFlagFn>(&removeToolWindowFlagIfConfigured)},
    {"VIZE_CreateBitmap", entry<VizeCreateBitmapFn>(&vizeCreateBitmap)},
    {"VIZE_GetPixel", entry<VizeGetPixelFn>(&vizeGetPixel)},
    {"VIZE_PutPixel", entry<VizePutPixelFn>(&vizePutPixel)},
    {"VIZE_LineInt", entry<VizeLineIntFn>(&vizeLineInt)},
    {"VIZE_Line", entry<VizeLineFn>(&vizeLine)},
    {"VIZE_ThickFLine", entry<VizeThickFLineFn>(&vizeThickFLine)},
    {"VIZE_Circle", entry<VizeCircleFn>(&vizeCircle)},
    {"VIZE_FillCircle", entry<VizeCircleFn>(&vizeFillCircle)},
    {"VIZE_FillRect", entry<VizeRectFn>(&vizeFillRect)},
    {"VIZE_DrawRect", entry<VizeRectFn>(&vizeDrawRect)},
    {"VIZE_BorderedRect", entry<VizeBorderedRectFn>(&vizeBorderedRect)},
    {"VIZE_Clear", entry<VizeClearFn>(&vizeClear)},
    {"VIZE_Blit", entry<VizeBlitFn>(&vizeBlit)},
    {"VIZE_RotatedBlit", entry<VizeRotatedBlitFn>(&vizeRotatedBlit)},
    {"VIZE_DrawGlyph", entry<VizeDrawGlyphFn>(&vizeDrawGlyph)},
    {"VIZE_CreateFont", entry<VizeCreateFontFn>(&vizeCreateFont)},
    {"VIZE_FillTriangle", entry<VizeFillTriangleFn>(&vizeFillTriangle)},
    {"VIZE_Arc", entry<VizeArcFn>(&vizeArc)},
    {"VIZE_FillTrapezoid", entry<VizeFillTrapezoidFn>(&vizeFillTrapezoid)},
    {"VIZE_FillConvexPolygon", entry<VizeFillConvexPolygonFn>(&vizeFillConvexPolygon)},
    {"VIZE_Copy", entry<VizeCopyFn>(&vizeCopy)},
    {"VIZE_ScaledBlit", entry<VizeScaledBlitFn>(&vizeScaledBlit)},
    {"VIZE_MeasureText", entry<VizeMeasureTextFn>(&vizeMeasureText)},
    {"VIZE_DrawText", entry<VizeDrawTextFn>(&vizeDrawText)},
    {"GetWindowDPIScaling", entry<GetWindowDpiScalingFn>(&getWindowDpiScaling)},
    {"get_config_var", entry<GetConfigVarFn>(&getConfigVar)},
    {"vac_createGroupsFromTab", entry<VacCreateGroupsFromTabFn>(&vacCreateGroupsFromTab)},
    {"__localizeFunc", entry<LocalizeFuncFn>(&localizeFunc)},
    {"__localizeMenu", entry<LocalizeMenuFn>(&localizeMenu)},
    {"__localizeInitializeDialog", entry<LocalizeInitializeDialogFn>(&localizeInitializeDialog)},
    {"__localizePrepareDialog", entry<LocalizePrepareDialogFn>(&localizePrepareDialog)},
};

}  // namespace

void* findHostFunction(const char* name) {
    if (!name) return nullptr;
    for (const NamedFunction& function : kFunctions) {
        if (std::strcmp(function.name, name) == 0) return function.address;
    }
    return nullptr;
}

}  // namespace host
