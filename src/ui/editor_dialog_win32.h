// What the editor dialog's Win32 files share among themselves.
#pragma once

#include <windows.h>

#include "ui/editor_choices.h"
#include "ui/editor_dialog.h"

namespace vexlan {

// Raises controlUpdateDepth for its lifetime.
class ControlUpdate {
public:
    ControlUpdate() { ++controlUpdateDepth; }
    ~ControlUpdate() { --controlUpdateDepth; }
    ControlUpdate(const ControlUpdate&) = delete;
    ControlUpdate& operator=(const ControlUpdate&) = delete;
};

// Fader messages of the host's fader classes.
constexpr UINT kFaderGetPosition = WM_USER;
constexpr UINT kFaderSetDefault = WM_USER + 4;
constexpr UINT kFaderSetPosition = WM_USER + 5;
constexpr UINT kFaderSetText = 0x2B0F;
constexpr WPARAM kFaderTextName = 1;
constexpr WPARAM kFaderTextValue = 2;
constexpr WPARAM kFaderTextNameWithUnit = 11;

HWND editorDialog(const PluginInstance& instance);
// Id 0 means "no such control".
inline HWND dialogItem(HWND dialog, int32_t controlId) { return controlId ? GetDlgItem(dialog, controlId) : nullptr; }
void fillCombo(HWND dialog, int controlId, const ComboItems& items);
// Gives the parameters' controls and the graph range edits their accessible
// names, or withdraws them (`give` false; faders keep theirs).
void setAccessibleNames(HWND dialog, bool give);
// Every fader's window-extra value 0 and default position.
void initialiseFaders(HWND dialog);
// Shows the edit mode in its combo and its hint.
void showEditMode(PluginInstance& instance);
// Closes an open host edit gesture.
void endEditGesture(PluginInstance& instance);
// One call of audioMasterAutomate with index -1: state that is no parameter.
void notifyStateChange(PluginInstance& instance);

void onEditorCommand(PluginInstance& instance, WPARAM wParam);
void onFaderScroll(PluginInstance& instance, WPARAM wParam, LPARAM lParam);

}  // namespace vexlan
