// The few places where portable code reaches the editor window. The Windows
// build does it with Win32; the native build has no editor window, so these
// do nothing there.
#pragma once

#include <cstdint>

#include "shell/host_api.h"

namespace vexlan {

struct PluginInstance;

// Private messages of the editor dialog: reload every control, show the
// current processing mode's controls, rebuild the metering list.
constexpr uint32_t EDITOR_MSG_RELOAD = 7630;
constexpr uint32_t EDITOR_MSG_MODE_CONTROLS = 7631;
constexpr uint32_t EDITOR_MSG_METERING = 7691;

// Dialog item of the graph control.
constexpr int kGraphControlId = 1045;

// effEditOpen: replaces any open editor with a new dialog inside `parent`;
// false when none could be made (always natively). The Windows build's is
// in ui/editor_dialog_win32.cpp.
bool openEditorWindow(PluginInstance& instance, WindowHandle parent);
void invalidateGraphControl(PluginInstance& instance, bool erase);
void postEditorMessage(PluginInstance& instance, uint32_t message);
// Delivered before returning, for changes the dialog must show at once.
void sendEditorMessage(PluginInstance& instance, uint32_t message);
void destroyEditorWindow(PluginInstance& instance);
WindowHandle focusWindow();
// The graph control's window class, registered by the first instance;
// false when the system refused it (nothing to register without an editor).
bool registerGraphWindowClass(void* moduleHandle);
void unregisterGraphWindowClass(void* moduleHandle);

}  // namespace vexlan
