// The few places where portable code reaches the editor window. The Windows
// build does it with Win32; the native build has no editor window, so these
// do nothing there.
#pragma once

#include <cstdint>

#include "shell/host_api.h"

namespace vexlan {

struct PluginInstance;

// Private messages of the editor dialog.
constexpr uint32_t EDITOR_MSG_RELOAD = 7630;
constexpr uint32_t EDITOR_MSG_MODE_CONTROLS = 7631;
constexpr uint32_t EDITOR_MSG_METERING = 7691;

// Dialog item of the graph control.
constexpr int kGraphControlId = 1045;

void invalidateGraphControl(PluginInstance& instance, bool erase);
void postEditorMessage(PluginInstance& instance, uint32_t message);
// Delivered before returning, for changes the dialog must show at once.
void sendEditorMessage(PluginInstance& instance, uint32_t message);
void destroyEditorWindow(PluginInstance& instance);
WindowHandle focusWindow();
// The graph control's window class, registered by the first instance.
void registerGraphWindowClass(void* moduleHandle);
void unregisterGraphWindowClass(void* moduleHandle);

}  // namespace vexlan
