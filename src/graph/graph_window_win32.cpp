#include "graph/graph_window_win32.h"

#include "graph/graph_control.h"
#include "graph/graph_edit.h"
#include "graph/graph_platform.h"
#include "graph/graph_readout.h"
#include "shell/plugin_instance.h"

namespace vexlan {

namespace {

GraphMouse windowMouse(HWND window, LPARAM lParam) {
    RECT client;
    GetClientRect(window, &client);
    GraphMouse mouse;
    mouse.x = positionX(lParam);
    mouse.y = positionY(lParam);
    mouse.width = client.right;
    mouse.height = client.bottom;
    mouse.keys = currentModifierKeys();
    mouse.captured = GetCapture() == window;
    return mouse;
}

void showReadout(PluginInstance& instance, HWND window, const GraphMouse& mouse) {
    KillTimer(window, kReadoutTimerId);
    const ReadoutUpdate update = updateReadout(instance, mouse);
    if (update.armTimer) SetTimer(window, kReadoutTimerId, kReadoutTimerMs, nullptr);
    if (update.repaint) InvalidateRect(window, nullptr, FALSE);
}

void hideReadout(PluginInstance& instance, HWND window) {
    clearReadout(instance, false);
    KillTimer(window, kReadoutTimerId);
    InvalidateRect(window, nullptr, FALSE);
}

// The read-out stays while the cursor is over the control, wherever the
// mouse messages went.
void readoutTimer(PluginInstance& instance, HWND window) {
    POINT cursor;
    RECT bounds;
    GetCursorPos(&cursor);
    GetWindowRect(window, &bounds);
    if (!PtInRect(&bounds, cursor)) hideReadout(instance, window);
}

LRESULT graphWindowProc(PluginInstance& instance, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    GraphEditState& state = graphEditState;
    switch (message) {
        case WM_DESTROY:
            state.dragging = 0;
            return 0;
        case WM_TIMER:
            if (wParam == kReadoutTimerId) readoutTimer(instance, window);
            return 0;
        case WM_MOUSEMOVE: {
            const GraphMouse mouse = windowMouse(window, lParam);
            graphMouseMove(instance, state, mouse, false);
            showReadout(instance, window, mouse);
            return 0;
        }
        case WM_LBUTTONDOWN: {
            GraphMouse mouse = windowMouse(window, lParam);
            SetCapture(window);
            if (graphLeftButtonDown(instance, state, mouse) == ButtonDownResult::RemovedPoint) {
                return DefWindowProcA(window, message, wParam, lParam);
            }
            mouse.captured = GetCapture() == window;
            graphMouseMove(instance, state, mouse, true);
            showReadout(instance, window, mouse);
            return 0;
        }
        case WM_LBUTTONUP:
            graphLeftButtonUp(instance, state, windowMouse(window, lParam));
            ReleaseCapture();
            return 0;
        case WM_LBUTTONDBLCLK:
            graphDoubleClick(instance, windowMouse(window, lParam));
            return DefWindowProcA(window, message, wParam, lParam);
        case WM_RBUTTONDOWN:
            hideReadout(instance, window);
            openGraphMenus(instance, window, windowMouse(window, lParam));
            return 0;
        case WM_RBUTTONUP:
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

LRESULT CALLBACK graphClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* instance = reinterpret_cast<PluginInstance*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!instance) return DefWindowProcA(window, message, wParam, lParam);
    return graphWindowProc(*instance, window, message, wParam, lParam);
}

}  // namespace vexlan
