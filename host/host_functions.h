// The host's extension functions that are not drawing (fader law, volume
// text, window helpers, configuration, localisation), and the name lookup
// that hands every extension function out by name.
#pragma once

#include <cstdint>

#include "shell/host_api.h"

namespace host {

// Address of the extension function called `name`, or null for a name this
// host does not know. Options can still withhold a known name (host_callback).
void* findHostFunction(const char* name);

int db2Slider(double dB);
double slider2Db(double position);
void mkVolStr(char* text, double amplitude);

// Remembers the accessible name of a control; a null text forgets it.
void setWindowAccessibilityString(vexlan::WindowHandle control, const char* text, int flags);
// This host shows no tooltip window of its own, so there is none to hand out.
vexlan::WindowHandle getTooltipWindow(vexlan::WindowHandle window);
// When the host is configured to (HostOptions::removeToolWindowFlag), takes
// the tool-window style off a window so it gets a task-bar entry.
void removeToolWindowFlagIfConfigured(vexlan::WindowHandle window, int flags);

// 256 = 100 %: the window's monitor DPI where the system can tell it,
// otherwise 256.
int getWindowDpiScaling(vexlan::WindowHandle window);
// "midioctoffs" is the only configuration value: a 4-byte integer.
void* getConfigVar(const char* name, int* size);
// Registers the control groups of a tab window for accessibility; false
// without a tab or groups.
bool vacCreateGroupsFromTab(vexlan::WindowHandle tab, int* groups, int groupCount);

// The host carries no translations: text comes back unchanged and dialogs
// keep their own procedure.
const char* localizeFunc(const char* text, const char* section, int flags);
void localizeMenu(const char* section, void* menu, int menuId);
void localizeInitializeDialog(vexlan::WindowHandle dialog, const char* section);
void* localizePrepareDialog(const char* section, void* module, int resourceId, void* dialogProc,
                            intptr_t param, void** context, int contextSlots);

}  // namespace host
