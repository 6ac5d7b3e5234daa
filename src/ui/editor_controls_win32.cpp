// Writing the instance's state into the editor's controls.
#include <cstdio>

#include "../../res/resource_ids.h"
#include "graph/edit_mode_hint.h"
#include "graph/quality_mode.h"
#include "shell/editor_link.h"
#include "shell/parameters.h"
#include "shell/process_state.h"
#include "ui/editor_controls.h"
#include "ui/editor_dialog_win32.h"
#include "ui/fader_mapping.h"
#include "ui/metering_choices.h"

namespace vexlan {

int32_t controlUpdateDepth = 0;

namespace {

constexpr int kAccessibleNameBytes = 1024;

void selectItem(HWND dialog, int controlId, int32_t item) {
    SendDlgItemMessageA(dialog, controlId, CB_SETCURSEL, WPARAM(item), 0);
}

void showParameter(HWND dialog, int32_t index, double value) {
    if (parameterKind(index) == ParameterKind::Switch) {
        CheckDlgButton(dialog, parameterCheckBoxId(index), value >= 0.5 ? BST_CHECKED : BST_UNCHECKED);
        return;
    }
    char text[kParamTextMax + 1];
    formatParameter(index, value, text, sizeof text);
    if (const int32_t edit = parameterEditId(index)) SetDlgItemTextA(dialog, edit, text);
    if (HWND fader = dialogItem(dialog, parameterFaderId(index))) {
        const int32_t position = faderPositionForValue(index, value, processState.hostApi.db2Slider);
        SendMessageA(fader, kFaderSetPosition, 0, position);
        SendMessageA(fader, kFaderSetText, kFaderTextValue, reinterpret_cast<LPARAM>(text));
    }
}

void showGraphRange(HWND dialog, const PluginInstance& instance) {
    char text[32];
    std::snprintf(text, sizeof text, "%+.0f", instance.graphMinDb);
    SetDlgItemTextA(dialog, IDC_GRAPH_MIN, text);
    std::snprintf(text, sizeof text, "%+.0f", instance.graphMaxDb);
    SetDlgItemTextA(dialog, IDC_GRAPH_MAX, text);
}

}  // namespace

HWND editorDialog(const PluginInstance& instance) { return static_cast<HWND>(instance.editorWindow); }

void fillCombo(HWND dialog, int controlId, const ComboItems& items) {
    HWND combo = GetDlgItem(dialog, controlId);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (int32_t i = 0; i < items.count; ++i) {
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items.texts[i]));
    }
}

void setAccessibleNames(HWND dialog, bool give) {
    const SetWindowAccessibilityStringFn setName = processState.hostApi.setWindowAccessibilityString;
    for (int32_t i = 0; i < kParameterCount; ++i) {
        if (parameterKind(i) == ParameterKind::Switch) continue;
        char text[kAccessibleNameBytes];
        const bool withUnit = accessibleParameterName(i, text, sizeof text);
        if (const int32_t edit = parameterEditId(i); edit && setName) {
            setName(dialogItem(dialog, edit), give ? text : nullptr, 0);
        }
        HWND fader = dialogItem(dialog, parameterFaderId(i));
        if (give && fader) {
            SendMessageA(fader, kFaderSetText, withUnit ? kFaderTextNameWithUnit : kFaderTextName,
                         reinterpret_cast<LPARAM>(text));
        }
    }
    if (!setName) return;
    setName(GetDlgItem(dialog, IDC_GRAPH_MAX), give ? "Adjustment graph maximum (dB)" : nullptr, 0);
    setName(GetDlgItem(dialog, IDC_GRAPH_MIN), give ? "Adjustment graph minimum (dB)" : nullptr, 0);
}

void initialiseFaders(HWND dialog) {
    for (int32_t i = 0; i < kParameterCount; ++i) {
        HWND fader = dialogItem(dialog, parameterFaderId(i));
        if (!fader) continue;
        SetWindowLongPtrA(fader, 0, 1);
        SendMessageA(fader, kFaderSetDefault, 0, faderDefaultPosition(i));
    }
}

void showEditMode(PluginInstance& instance) {
    selectItem(editorDialog(instance), IDC_EDIT_MODE, instance.editMode);
    showEditModeHint(instance);
}

void reloadEditorControls(PluginInstance& instance) {
    HWND dialog = editorDialog(instance);
    if (!dialog) return;
    fillMeteringCombo(instance);
    {
        ControlUpdate update;
        showGraphRange(dialog, instance);
        selectItem(dialog, IDC_QUALITY, qualityChoice(instance.paramValues[kParamQuality]));
        selectItem(dialog, IDC_FFT_SIZE, fftSizeItem(instance.fftSize));
        showEditMode(instance);
        selectItem(dialog, IDC_MODE, instance.processingMode);
        for (int32_t i = 0; i < kParameterCount; ++i) showParameter(dialog, i, instance.paramValues[i]);
    }
    invalidateGraphControl(instance, false);
    updateModeControls(instance);
}

void updateModeControls(PluginInstance& instance) {
    HWND dialog = editorDialog(instance);
    if (!dialog) return;
    for (const ModeControl& control : kModeControls) {
        ShowWindow(GetDlgItem(dialog, control.controlId),
                   modeControlShown(control, instance.processingMode) ? SW_SHOWNA : SW_HIDE);
    }
}

void fillMeteringCombo(PluginInstance& instance) {
    HWND combo = GetDlgItem(editorDialog(instance), IDC_METERING);
    if (!combo) return;
    const MeteringChoices choices = meteringChoices(instance.effect.numInputs, instance.channelLayout);
    const int32_t count = meteringItemCount(choices);
    if (SendMessageA(combo, CB_GETCOUNT, 0, 0) != count) {
        SendMessageA(combo, CB_RESETCONTENT, 0, 0);
        for (int32_t item = 0; item < count; ++item) {
            char text[16];
            meteringItemText(choices, item, text, sizeof text);
            SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        }
    }
    const int32_t item = meteringItemForSource(choices, instance.meteringSource);
    if (item >= 0) SendMessageA(combo, CB_SETCURSEL, WPARAM(item), 0);
}

}  // namespace vexlan
