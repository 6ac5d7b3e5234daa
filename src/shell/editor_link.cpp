#include "shell/editor_link.h"

#include "shell/plugin_instance.h"

#if defined(_WIN32)
#include <windows.h>

#include "graph/graph_window_win32.h"
#endif

namespace vexlan {

#if defined(_WIN32)

namespace {

constexpr const char* kGraphWindowClass = "FFTdisp";

}  // namespace

void invalidateGraphControl(PluginInstance& instance, bool erase) {
    if (!instance.editorWindow) return;
    HWND control = GetDlgItem(static_cast<HWND>(instance.editorWindow), kGraphControlId);
    if (control) InvalidateRect(control, nullptr, erase ? TRUE : FALSE);
}

void postEditorMessage(PluginInstance& instance, uint32_t message) {
    if (instance.editorWindow) PostMessageA(static_cast<HWND>(instance.editorWindow), message, 0, 0);
}

void sendEditorMessage(PluginInstance& instance, uint32_t message) {
    if (instance.editorWindow) SendMessageA(static_cast<HWND>(instance.editorWindow), message, 0, 0);
}

void destroyEditorWindow(PluginInstance& instance) {
    if (instance.editorWindow) DestroyWindow(static_cast<HWND>(instance.editorWindow));
    instance.editorWindow = nullptr;
}

WindowHandle focusWindow() { return GetFocus(); }

bool registerGraphWindowClass(void* moduleHandle) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = graphClassProc;
    windowClass.hInstance = static_cast<HINSTANCE>(moduleHandle);
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.lpszClassName = kGraphWindowClass;
    return RegisterClassA(&windowClass) != 0;
}

void unregisterGraphWindowClass(void* moduleHandle) {
    UnregisterClassA(kGraphWindowClass, static_cast<HINSTANCE>(moduleHandle));
}

#else

bool openEditorWindow(PluginInstance&, WindowHandle) { return false; }
void invalidateGraphControl(PluginInstance&, bool) {}
void postEditorMessage(PluginInstance&, uint32_t) {}
void sendEditorMessage(PluginInstance&, uint32_t) {}
void destroyEditorWindow(PluginInstance& instance) { instance.editorWindow = nullptr; }
WindowHandle focusWindow() { return nullptr; }
bool registerGraphWindowClass(void*) { return true; }
void unregisterGraphWindowClass(void*) {}

#endif

}  // namespace vexlan
