#include <windows.h>

#include <cstdio>

#include "graph/graph_platform.h"
#include "graph/set_point.h"
#include "shell/plugin_instance.h"
#include "shell/process_state.h"

namespace vexlan {

namespace {

// The host's localisation finds the plug-in's texts under this section.
constexpr const char* kLocalizeSection = "tarnik_";
constexpr int kLocalizeContextSlots = 5;

bool keyDown(int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; }

HMENU loadGraphMenu() {
    HMENU menu = LoadMenuA(static_cast<HINSTANCE>(processState.moduleHandle), MAKEINTRESOURCEA(kGraphMenuResource));
    if (menu && processState.hostApi.localizeMenu) {
        processState.hostApi.localizeMenu(kLocalizeSection, menu, kGraphMenuResource);
    }
    return menu;
}

void markMenu(HMENU popup, const GraphMenuMarks& marks) {
    if (marks.insertGreyed) EnableMenuItem(popup, kCmdInsertPoint, MF_BYCOMMAND | MF_GRAYED);
    for (int32_t i = 0; i < marks.checkedCount; ++i) {
        CheckMenuItem(popup, UINT(marks.checked[i]), MF_BYCOMMAND | MF_CHECKED);
    }
}

void setEditValue(HWND dialog, int control, double value) {
    char text[64];
    formatSetPointValue(value, text, sizeof text);
    SetDlgItemTextA(dialog, control, text);
}

INT_PTR CALLBACK setPointDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        if (processState.hostApi.removeToolWindowFlagIfConfigured) {
            processState.hostApi.removeToolWindowFlagIfConfigured(dialog, -1);
        }
        RECT bounds;
        GetWindowRect(dialog, &bounds);
        SetWindowPos(dialog, nullptr, setPointDialog.x, setPointDialog.y, bounds.right - bounds.left,
                     bounds.bottom - bounds.top, SWP_NOZORDER);
        setEditValue(dialog, kSetPointFrequencyEdit, setPointDialog.frequency);
        setEditValue(dialog, kSetPointGainEdit, setPointDialog.gain);
    } else if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        char frequency[kSetPointTextChars + 1];
        char gain[kSetPointTextChars + 1];
        GetDlgItemTextA(dialog, kSetPointFrequencyEdit, frequency, sizeof frequency);
        GetDlgItemTextA(dialog, kSetPointGainEdit, gain, sizeof gain);
        readSetPointTexts(setPointDialog, frequency, gain);
        EndDialog(dialog, 1);
    } else if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
    }
    return 0;
}

}  // namespace

ModifierKeys currentModifierKeys() { return {keyDown(VK_SHIFT), keyDown(VK_CONTROL), keyDown(VK_MENU)}; }

ScreenPoint clickScreenPosition(WindowHandle window, int32_t x, int32_t y) {
    POINT point{x, y};
    if (window) {
        ClientToScreen(static_cast<HWND>(window), &point);
    } else {
        GetCursorPos(&point);
    }
    return {point.x, point.y};
}

int32_t trackGraphMenu(WindowHandle window, int menu, const GraphMenuMarks* marks, ScreenPoint at) {
    HMENU resource = loadGraphMenu();
    if (!resource) return 0;
    HMENU popup = GetSubMenu(resource, menu);
    int32_t command = 0;
    if (popup) {
        if (marks) markMenu(popup, *marks);
        HWND owner = window ? static_cast<HWND>(window) : GetFocus();
        command = TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr);
    }
    DestroyMenu(resource);
    return command;
}

bool runSetPointDialog(PluginInstance& instance, WindowHandle window) {
    DLGPROC procedure = setPointDialogProc;
    LPARAM parameter = reinterpret_cast<LPARAM>(&instance);
    char key[128];
    void* context[kLocalizeContextSlots] = {};
    if (processState.hostApi.localizePrepareDialog) {
        std::snprintf(key, sizeof key, "%.100s%d", kLocalizeSection, kSetPointDialogId);
        context[kLocalizeContextSlots - 1] = key;
        void* replacement = processState.hostApi.localizePrepareDialog(
            kLocalizeSection, processState.moduleHandle, kSetPointDialogId,
            reinterpret_cast<void*>(setPointDialogProc), reinterpret_cast<intptr_t>(&instance), context,
            kLocalizeContextSlots);
        if (replacement) {
            procedure = reinterpret_cast<DLGPROC>(replacement);
            parameter = reinterpret_cast<LPARAM>(context);
        }
    }
    return DialogBoxParamA(static_cast<HINSTANCE>(processState.moduleHandle), MAKEINTRESOURCEA(kSetPointDialogId),
                           static_cast<HWND>(window), procedure, parameter) == 1;
}

}  // namespace vexlan
