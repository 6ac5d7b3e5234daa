// The user's edits in the editor: control notifications and fader moves.

#include "../../res/resource_ids.h"
#include "graph/graph_model.h"
#include "graph/quality_mode.h"
#include "shell/editor_link.h"
#include "shell/parameters.h"
#include "shell/process_state.h"
#include "ui/editor_controls.h"
#include "ui/editor_dialog_win32.h"
#include "ui/fader_mapping.h"
#include "ui/metering_choices.h"
#include "ui/typed_values.h"

namespace vexlan {

namespace {

constexpr int kTypedTextBytes = 512;
constexpr int32_t kNoSelection = -1;  // CB_ERR

int32_t selectedItem(HWND dialog, int controlId) {
    return int32_t(SendDlgItemMessageA(dialog, controlId, CB_GETCURSEL, 0, 0));
}

bool isTicked(HWND dialog, int controlId) { return IsDlgButtonChecked(dialog, controlId) == BST_CHECKED; }

void onSelectionChange(PluginInstance& instance, int controlId) {
    HWND dialog = editorDialog(instance);
    const int32_t item = selectedItem(dialog, controlId);
    switch (controlId) {
        case IDC_FFT_SIZE:
            if (item == kNoSelection) return;
            setFftSize(instance, fftSizeForItem(item));
            break;
        case IDC_QUALITY:
            setQualityMode(instance, item);
            break;
        case IDC_EDIT_MODE:
            if (item == kNoSelection) return;
            setEditMode(instance, item);
            break;
        case IDC_MODE:
            if (item == kNoSelection) return;
            instance.autoNoiseProfile = 0;
            instance.processingMode = item;
            PostMessageA(dialog, EDITOR_MSG_MODE_CONTROLS, 0, 0);
            break;
        default:
            return;
    }
    notifyStateChange(instance);
}

void onSwitchClicked(PluginInstance& instance, int controlId) {
    const int32_t index = parameterOfCheckBox(controlId);
    if (index < 0) return;
    instance.paramValues[index] = isTicked(editorDialog(instance), controlId) ? 1.0 : 0.0;
    resetAnalysis(instance, true);
    notifyParameterEdit(instance, index);
}

void onTyped(PluginInstance& instance, int controlId) {
    HWND dialog = editorDialog(instance);
    char text[kTypedTextBytes] = {};
    GetDlgItemTextA(dialog, controlId, text, sizeof text);
    if (controlId == IDC_GRAPH_MAX) {
        instance.graphMaxDb = typedGraphMaxDb(text);
        return;
    }
    if (controlId == IDC_GRAPH_MIN) {
        instance.graphMinDb = typedGraphMinDb(text);
        return;
    }
    const int32_t index = parameterOfEdit(controlId);
    if (index < 0 || parameterKind(index) == ParameterKind::Switch) return;
    const double value = typedParameterValue(index, text);
    instance.paramValues[index] = value;
    if (HWND fader = dialogItem(dialog, parameterFaderId(index))) {
        const int32_t position = faderPositionForValue(index, value, processState.hostApi.db2Slider);
        SendMessageA(fader, kFaderSetPosition, 0, position);
        SendMessageA(fader, kFaderSetText, kFaderTextValue, reinterpret_cast<LPARAM>(text));
    }
    notifyParameterEdit(instance, index);
}

void onAutoNoiseProfile(PluginInstance& instance) {
    const bool ticked = isTicked(editorDialog(instance), IDC_AUTO_NOISE_PROFILE);
    instance.autoNoiseProfile = ticked ? 1 : 0;
    if (!ticked) return;
    const bool modeShown = instance.editMode == kEditPrecise;
    clearForNoiseLearning(instance);
    if (!modeShown) showEditMode(instance);
}

void onMeteringChange(PluginInstance& instance) {
    const int32_t item = selectedItem(editorDialog(instance), IDC_METERING);
    if (item == kNoSelection) return;
    {
        LockHold state(instance.stateLock);
        const MeteringChoices choices = meteringChoices(instance.effect.numInputs, instance.channelLayout);
        int32_t source = 0;
        if (meteringSourceForItem(choices, item, source)) instance.meteringSource = source;
    }
    notifyStateChange(instance);
}

// Notifications of the parameter controls; ignored while the editor writes
// its controls itself.
void onParameterControl(PluginInstance& instance, int controlId, int code) {
    switch (code) {
        case CBN_SELCHANGE:
            onSelectionChange(instance, controlId);
            break;
        case BN_CLICKED:
            onSwitchClicked(instance, controlId);
            break;
        case EN_CHANGE:
            onTyped(instance, controlId);
            break;
        default:
            break;
    }
}

}  // namespace

void notifyStateChange(PluginInstance& instance) {
    callHost(&instance.effect, audioMasterAutomate, -1, 0, nullptr, 0.0f);
}

void onEditorCommand(PluginInstance& instance, WPARAM wParam) {
    const int controlId = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (controlUpdateDepth == 0) onParameterControl(instance, controlId, code);
    if (controlId == IDC_RESET && code == BN_CLICKED) {
        resetGraph(instance);
        instance.tableChanged = 1;
        invalidateGraphControl(instance, false);
    } else if (controlId == IDC_AUTO_NOISE_PROFILE && code == BN_CLICKED) {
        onAutoNoiseProfile(instance);
    } else if (controlId == IDC_METERING && code == CBN_SELCHANGE) {
        onMeteringChange(instance);
    }
}

void onFaderScroll(PluginInstance& instance, WPARAM wParam, LPARAM lParam) {
    HWND dialog = editorDialog(instance);
    HWND fader = reinterpret_cast<HWND>(lParam);
    const int32_t position = int32_t(SendMessageA(fader, kFaderGetPosition, 0, 0));
    ControlUpdate update;
    int32_t index = 0;
    while (index < kParameterCount && (!fader || dialogItem(dialog, parameterFaderId(index)) != fader)) ++index;
    if (index == kParameterCount) return;

    const double value = faderValueForPosition(index, position, processState.hostApi.slider2Db);
    instance.paramValues[index] = value;
    char text[kParamTextMax + 1];
    formatParameter(index, value, text, sizeof text);
    if (const int32_t edit = parameterEditId(index)) SetDlgItemTextA(dialog, edit, text);
    SendMessageA(fader, kFaderSetText, kFaderTextValue, reinterpret_cast<LPARAM>(text));
    if (LOWORD(wParam) == SB_ENDSCROLL) {
        callHost(&instance.effect, audioMasterEndEdit, index, 0, nullptr, 0.0f);
    } else {
        callHost(&instance.effect, audioMasterAutomate, index, 0, nullptr, float(value));
    }
}

}  // namespace vexlan
