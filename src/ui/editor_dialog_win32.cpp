// The editor dialog's procedure: creation, timers, layout, destruction.
#include <algorithm>

#include "../../res/resource_ids.h"
#include "shell/editor_link.h"
#include "shell/parameters.h"
#include "shell/process_state.h"
#include "ui/child_resizer.h"
#include "ui/dialog_background.h"
#include "ui/editor_dialog_win32.h"
#include "ui/window_dpi_scale.h"

namespace vexlan {

namespace {

constexpr UINT_PTR kFitTimer = 1;
constexpr UINT kFitMilliseconds = 50;
constexpr UINT_PTR kHousekeepingTimer = 2;
constexpr UINT kHousekeepingMilliseconds = 200;
// The host's localisation hook gets a context of this many slots.
constexpr int kLocalizeContextSlots = 5;

struct AnchoredControl {
    int controlId;
    AnchorFactors factors;
};

// Registration order is layout order.
constexpr AnchoredControl kAnchoredControls[] = {
    {IDC_FRAME, {0, 0, 1, 1}},          {IDC_GRAPH, {0, 0, 1, 1}},
    {IDC_GRAPH_MAX, {1, 0, 1, 0}},      {IDC_GRAPH_MIN, {1, 1, 1, 1}},
    {IDC_OUTPUT_LABEL, {1, 0, 1, 0}},   {IDC_OUTPUT_FADER, {1, 0, 1, 1}},
    {IDC_OUTPUT_EDIT, {1, 1, 1, 1}},    {IDC_FLOOR_UNIT, {0, 1, 0, 1}},
    {IDC_HINT, {0, 1, 0, 1}},           {IDC_REDUCE_ARTIFACTS, {0, 1, 0, 1}},
    {IDC_SHOW_ANALYSIS, {0, 1, 0, 1}},  {IDC_ANALYSIS_FLOOR, {0, 1, 0, 1}},
    {IDC_METERING_LABEL, {1, 0, 1, 0}}, {IDC_METERING, {1, 0, 1, 0}},
};

void resizeWithoutMoving(HWND window, int width, int height) {
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void createEditor(PluginInstance& instance, HWND dialog) {
    setAccessibleNames(dialog, true);
    instance.editorWindow = dialog;
    setUpChildResizer(instance.childResizer, dialog);
    for (const AnchoredControl& anchored : kAnchoredControls) {
        registerResizerControl(instance.childResizer, GetDlgItem(dialog, anchored.controlId), anchored.factors);
    }
    SetWindowLongPtrA(GetDlgItem(dialog, IDC_GRAPH), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&instance));
    fillCombo(dialog, IDC_MODE, kModeItems);
    fillCombo(dialog, IDC_FFT_SIZE, kFftSizeItems);
    initialiseFaders(dialog);
    fillCombo(dialog, IDC_EDIT_MODE, kEditModeItems);
    fillCombo(dialog, IDC_QUALITY, kQualityItems);
    if (instance.editorWidth > 0 && instance.editorHeight > 0) {
        resizeWithoutMoving(dialog, instance.editorWidth, instance.editorHeight);
    }
    SetTimer(dialog, kFitTimer, kFitMilliseconds, nullptr);
    SetTimer(dialog, kHousekeepingTimer, kHousekeepingMilliseconds, nullptr);
    ShowWindow(dialog, SW_SHOWNA);
    reloadEditorControls(instance);
}

void destroyEditor(PluginInstance& instance, HWND dialog) {
    setAccessibleNames(dialog, false);
    if (instance.editGestureParam >= 0) endEditGesture(instance);
    destroyHostObject(instance.graphBitmap);
    instance.graphBitmap = nullptr;
    tearDownChildResizer(instance.childResizer);
    instance.editorWindow = nullptr;
}

// A host resizes its editor window, not the plug-in's dialog: the dialog
// fills the host's client area, never smaller than its design size.
void fitToHostWindow(PluginInstance& instance, HWND dialog) {
    HWND parent = GetParent(dialog);
    if (!parent) return;
    RECT bounds{};
    GetWindowRect(dialog, &bounds);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&bounds), 2);
    RECT client{};
    GetClientRect(parent, &client);
    const ChildResizer& resizer = instance.childResizer;
    int32_t minimumWidth = 0, minimumHeight = 0;
    minimumClientSize(resizer, resizer.designScale > 0 ? windowDpiScale(dialog) : 0, minimumWidth, minimumHeight);
    const int32_t width = std::max<int32_t>(client.right - bounds.left, minimumWidth);
    const int32_t height = std::max<int32_t>(client.bottom - bounds.top, minimumHeight);
    if (bounds.right != bounds.left + width || bounds.bottom != bounds.top + height) {
        instance.editorWidth = width;
        instance.editorHeight = height;
        resizeWithoutMoving(dialog, width, height);
    }
    // The analysis display is redrawn 20 times a second.
    if (instance.paramValues[kParamShowAnalysis] >= 0.5) invalidateGraphControl(instance, false);
}

// A gesture the user has left (focus elsewhere) is closed; a host
// parameter change since the last look reloads the controls.
void housekeeping(PluginInstance& instance, HWND dialog) {
    if (instance.editGestureParam >= 0 && focusWindow() != instance.editGestureFocus) endEditGesture(instance);
    if (instance.editorRefreshPending) {
        instance.editorRefreshPending = 0;
        SendMessageA(dialog, EDITOR_MSG_RELOAD, 0, 0);
    }
}

INT_PTR handleEditorMessage(PluginInstance& instance, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            createEditor(instance, dialog);
            break;
        case WM_DESTROY:
            destroyEditor(instance, dialog);
            break;
        case WM_SIZE:
            layOutChildren(instance.childResizer);
            break;
        case WM_PAINT:
            paintDialogBackground(dialog);
            break;
        case WM_ERASEBKGND:
            return 1;
        case WM_TIMER:
            if (wParam == kFitTimer) fitToHostWindow(instance, dialog);
            if (wParam == kHousekeepingTimer) housekeeping(instance, dialog);
            break;
        case WM_HSCROLL:
        case WM_VSCROLL:
            onFaderScroll(instance, wParam, lParam);
            break;
        case WM_LBUTTONDOWN:
            if (instance.editGestureParam >= 0) endEditGesture(instance);
            break;
        case WM_COMMAND:
            onEditorCommand(instance, wParam);
            break;
        case EDITOR_MSG_RELOAD:
            reloadEditorControls(instance);
            break;
        case EDITOR_MSG_MODE_CONTROLS:
            updateModeControls(instance);
            break;
        case EDITOR_MSG_METERING:
            fillMeteringCombo(instance);
            break;
        default:
            break;
    }
    return 0;
}

INT_PTR CALLBACK editorDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
    auto* instance = reinterpret_cast<PluginInstance*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    return instance ? handleEditorMessage(*instance, dialog, message, wParam, lParam) : 0;
}

}  // namespace

void endEditGesture(PluginInstance& instance) {
    callHost(&instance.effect, audioMasterEndEdit, instance.editGestureParam, 0, nullptr, 0.0f);
    instance.editGestureFocus = nullptr;
    instance.editGestureParam = -1;
}

bool openEditorWindow(PluginInstance& instance, WindowHandle parent) {
    destroyEditorWindow(instance);
    DLGPROC procedure = editorDialogProc;
    LPARAM parameter = reinterpret_cast<LPARAM>(&instance);
    // The hook reads the context while the dialog initialises, which happens
    // inside the creation call below.
    void* context[kLocalizeContextSlots] = {};
    if (const LocalizePrepareDialogFn prepare = processState.hostApi.localizePrepareDialog) {
        void* replacement = prepare("tarnik_", processState.moduleHandle, IDD_EDITOR,
                                    reinterpret_cast<void*>(editorDialogProc), intptr_t(&instance), context,
                                    kLocalizeContextSlots);
        if (replacement) {
            procedure = reinterpret_cast<DLGPROC>(replacement);
            parameter = reinterpret_cast<LPARAM>(context);
        }
    }
    HWND dialog = CreateDialogParamA(static_cast<HINSTANCE>(processState.moduleHandle),
                                     MAKEINTRESOURCEA(IDD_EDITOR), static_cast<HWND>(parent), procedure,
                                     parameter);
    return dialog != nullptr;
}

}  // namespace vexlan
