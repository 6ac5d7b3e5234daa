// The fader window classes: message decoding and painting. Positions,
// thumb geometry and key steps come from fader_law.
#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "fader_law.h"
#include "faders.h"

namespace host {

namespace {

struct FaderState {
    bool vertical = false;
    int position = 0;
    int defaultPosition = -1;  // -1: the dB law's 0 dB
    bool dragging = false;
    int grabOffset = 0;        // pointer minus thumb offset when the drag began
    bool keyMoving = false;    // a key moved the fader and is not yet released
    bool gestureMoved = false; // the current gesture sent a track message
    std::string valueText;
};

FaderState* stateOf(HWND window) { return reinterpret_cast<FaderState*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

bool isFader(HWND window) {
    char name[32] = {};
    if (!window || !GetClassNameA(window, name, sizeof name)) return false;
    return std::strcmp(name, kHorizontalFaderClass) == 0 || std::strcmp(name, kVerticalFaderClass) == 0;
}

FaderGeometry geometryOf(HWND window, const FaderState& state) {
    RECT client{};
    GetClientRect(window, &client);
    const int width = client.right - client.left, height = client.bottom - client.top;
    return state.vertical ? FaderGeometry{height, width, true} : FaderGeometry{width, height, false};
}

void notifyParent(HWND window, FaderState& state, int code) {
    HWND parent = GetParent(window);
    if (!parent) return;
    if (code == SB_THUMBTRACK) state.gestureMoved = true;
    SendMessageA(parent, state.vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, state.position),
                 reinterpret_cast<LPARAM>(window));
}

// Moves the fader and reports the move; nothing when it stays put.
void moveTo(HWND window, FaderState& state, int position) {
    if (position == state.position) return;
    state.position = position;
    InvalidateRect(window, nullptr, FALSE);
    notifyParent(window, state, SB_THUMBTRACK);
}

void endGesture(HWND window, FaderState& state) {
    if (state.gestureMoved) notifyParent(window, state, SB_ENDSCROLL);
    state.gestureMoved = false;
}

int pointerAlong(const FaderState& state, LPARAM lParam) {
    return state.vertical ? GET_Y_LPARAM(lParam) : GET_X_LPARAM(lParam);
}

void beginDrag(HWND window, FaderState& state, LPARAM lParam) {
    SetFocus(window);
    SetCapture(window);
    const FaderGeometry geometry = geometryOf(window, state);
    const int thumbLength = faderThumbLength(geometry);
    const int thumbOffset = faderThumbOffset(geometry, state.position);
    const int pointer = pointerAlong(state, lParam);
    state.dragging = true;
    state.gestureMoved = false;
    if (pointer >= thumbOffset && pointer < thumbOffset + thumbLength) {
        state.grabOffset = pointer - thumbOffset;
        return;
    }
    // A press beside the thumb centres the thumb under the pointer.
    state.grabOffset = thumbLength / 2;
    moveTo(window, state, faderPositionAtThumb(geometry, pointer - state.grabOffset));
}

void endDrag(HWND window, FaderState& state) {
    if (!state.dragging) return;
    state.dragging = false;
    endGesture(window, state);
}

bool keyMove(WPARAM key, FaderMove& move) {
    switch (key) {
        case VK_RIGHT:
        case VK_UP: move = FaderMove::StepUp; return true;
        case VK_LEFT:
        case VK_DOWN: move = FaderMove::StepDown; return true;
        case VK_PRIOR: move = FaderMove::PageUp; return true;
        case VK_NEXT: move = FaderMove::PageDown; return true;
        case VK_END: move = FaderMove::ToTop; return true;
        case VK_HOME: move = FaderMove::ToBottom; return true;
        default: return false;
    }
}

void paint(HWND window, const FaderState& state) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client{};
    GetClientRect(window, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    const FaderGeometry geometry = geometryOf(window, state);
    const int thumbLength = faderThumbLength(geometry);
    const int thumbOffset = faderThumbOffset(geometry, state.position);
    const int middle = geometry.thickness / 2;
    const int grooveStart = thumbLength / 2, grooveEnd = geometry.length - thumbLength / 2;
    RECT groove = state.vertical ? RECT{middle - 2, grooveStart, middle + 2, grooveEnd}
                                 : RECT{grooveStart, middle - 2, grooveEnd, middle + 2};
    DrawEdge(dc, &groove, EDGE_SUNKEN, BF_RECT);
    RECT thumb = state.vertical ? RECT{0, thumbOffset, geometry.thickness, thumbOffset + thumbLength}
                                : RECT{thumbOffset, 0, thumbOffset + thumbLength, geometry.thickness};
    FillRect(dc, &thumb, GetSysColorBrush(IsWindowEnabled(window) ? COLOR_BTNFACE : COLOR_BTNSHADOW));
    DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT);
    if (GetFocus() == window) {
        RECT focus = client;
        InflateRect(&focus, -1, -1);
        DrawFocusRect(dc, &focus);
    }
    EndPaint(window, &ps);
}

LRESULT setText(HWND window, FaderState& state, WPARAM kind, LPARAM text) {
    const char* value = reinterpret_cast<const char*>(text);
    switch (int(kind)) {
        case kFaderTextName:
        case kFaderTextNameWithUnit:
            DefWindowProcA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value ? value : ""));
            return 1;
        case kFaderTextValue:
            state.valueText = value ? value : "";
            return 1;
        default:
            return 0;
    }
}

LRESULT CALLBACK faderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        FaderState* created = new (std::nothrow) FaderState();
        if (!created) return FALSE;
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        created->vertical = create->lpszClass && !IS_INTRESOURCE(create->lpszClass) &&
                            std::strcmp(create->lpszClass, kVerticalFaderClass) == 0;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        return DefWindowProcA(window, message, wParam, lParam);
    }
    FaderState* state = stateOf(window);
    if (!state) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
        case WM_NCDESTROY:
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            delete state;
            return DefWindowProcA(window, message, wParam, lParam);
        case kFaderGetPosition:
            return state->position;
        case kFaderSetDefault:
            state->defaultPosition = lParam < 0 ? -1 : int(std::min<LPARAM>(lParam, kFaderMaxPosition));
            return 0;
        case kFaderSetPosition:
            state->position = int(std::max<LPARAM>(0, std::min<LPARAM>(lParam, kFaderMaxPosition)));
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        case kFaderSetText:
            return setText(window, *state, wParam, lParam);
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            paint(window, *state);
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_ENABLE:
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        case WM_LBUTTONDOWN:
            beginDrag(window, *state, lParam);
            return 0;
        case WM_MOUSEMOVE:
            if (state->dragging) {
                const FaderGeometry geometry = geometryOf(window, *state);
                moveTo(window, *state,
                       faderPositionAtThumb(geometry, pointerAlong(*state, lParam) - state->grabOffset));
            }
            return 0;
        case WM_LBUTTONUP:
            // Ending the drag first keeps WM_CAPTURECHANGED from ending it twice.
            endDrag(window, *state);
            if (GetCapture() == window) ReleaseCapture();
            return 0;
        case WM_CAPTURECHANGED:
            endDrag(window, *state);
            return 0;
        case WM_LBUTTONDBLCLK: {
            const int home = state->defaultPosition >= 0 ? state->defaultPosition : faderPositionFromDb(0.0);
            state->gestureMoved = false;
            moveTo(window, *state, home);
            endGesture(window, *state);
            return 0;
        }
        case WM_MOUSEWHEEL: {
            const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
            if (delta == 0) return 0;
            const bool fine = (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) != 0;
            const int notches = std::max(1, std::abs(delta) / WHEEL_DELTA);
            int position = state->position;
            for (int i = 0; i < notches; ++i) {
                position = movedFaderPosition(position, delta > 0 ? FaderMove::StepUp : FaderMove::StepDown, fine);
            }
            state->gestureMoved = false;
            moveTo(window, *state, position);
            endGesture(window, *state);
            return 0;
        }
        case WM_KEYDOWN: {
            FaderMove move;
            if (!keyMove(wParam, move)) break;
            if (!state->keyMoving) state->gestureMoved = false;
            state->keyMoving = true;
            moveTo(window, *state, movedFaderPosition(state->position, move, GetKeyState(VK_CONTROL) < 0));
            return 0;
        }
        case WM_KEYUP: {
            FaderMove move;
            if (!keyMove(wParam, move) || !state->keyMoving) break;
            state->keyMoving = false;
            endGesture(window, *state);
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool registerClass(const char* name, HINSTANCE module, UINT scope) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = scope | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = faderProc;
    // Window-extra value 0 is the owner's to use; the fader keeps its own
    // state in GWLP_USERDATA.
    windowClass.cbWndExtra = sizeof(LONG_PTR);
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = name;
    return RegisterClassExA(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

bool registerFaderClasses() {
    // Global, so dialogs of a plug-in's module find the host's class.
    static const bool registered = registerClass(kHorizontalFaderClass, GetModuleHandleA(nullptr), CS_GLOBALCLASS) &&
                                   registerClass(kVerticalFaderClass, GetModuleHandleA(nullptr), CS_GLOBALCLASS);
    return registered;
}

bool registerFaderClassesIn(void* module) {
    HINSTANCE instance = static_cast<HINSTANCE>(module);
    if (registerClass(kHorizontalFaderClass, instance, 0) && registerClass(kVerticalFaderClass, instance, 0)) {
        return true;
    }
    unregisterFaderClassesIn(module);
    return false;
}

void unregisterFaderClassesIn(void* module) {
    UnregisterClassA(kHorizontalFaderClass, static_cast<HINSTANCE>(module));
    UnregisterClassA(kVerticalFaderClass, static_cast<HINSTANCE>(module));
}

std::string faderValueText(void* fader) {
    HWND window = static_cast<HWND>(fader);
    if (!isFader(window)) return {};
    const FaderState* state = stateOf(window);
    return state ? state->valueText : std::string();
}

}  // namespace host
