// The host's extension functions that are not drawing (fader law, volume
// text, window helpers, configuration, localisation), and the name lookup
// that hands every extension function out by name. The host stand-in hands
// them to a plug-in; the plug-in links them in as its built-in set for hosts
// that offer none.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "shell/host_api.h"

namespace host {

// The settings these functions read and what they remember. One per module:
// the plug-in's built-in copy and a host's are separate.
struct ExtensionState {
    // The "midioctoffs" value handed out by get_config_var; its address is
    // what the caller keeps, so it never moves.
    int32_t midiOctaveOffset = 0;
    // Whether RemoveToolWindowFlagIfConfigured removes the tool-window style.
    bool removeToolWindowFlag = false;
    // Accessible names set through SetWindowAccessibilityString, by window.
    std::map<void*, std::string> accessibleNames;
    // Control groups registered through vac_createGroupsFromTab, by tab window.
    std::map<void*, std::vector<int>> tabGroups;
    std::mutex mutex;  // a plug-in may call from its audio thread
};

ExtensionState& extensionState();
// Forgets every record and installs the two settings.
void resetExtensionState(int32_t midiOctaveOffset, bool removeToolWindowFlag);

// Address of the extension function called `name`, or null for an unknown name.
void* findHostFunction(const char* name);

int db2Slider(double dB);
double slider2Db(double position);
void mkVolStr(char* text, double amplitude);

// Remembers the accessible name of a control; a null text forgets it.
void setWindowAccessibilityString(vexlan::WindowHandle control, const char* text, int flags);
// This host shows no tooltip window of its own, so there is none to hand out.
vexlan::WindowHandle getTooltipWindow(vexlan::WindowHandle window);
// When configured to (ExtensionState::removeToolWindowFlag), takes
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
