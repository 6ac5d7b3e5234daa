#include "editor_command.h"

#include "playback.h"
#include "plugin_session.h"
#include "plugin_settings.h"
#include "process_command.h"
#include "terminal.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace host {

#if defined(_WIN32)

namespace {

constexpr const char* kFrameClass = "VexlanHostEditorFrame";
constexpr UINT_PTR kIdleTimer = 1;
constexpr UINT_PTR kCloseTimer = 2;
constexpr UINT kIdleMilliseconds = 50;

struct FrameState {
    const PluginSession* session = nullptr;
};

LRESULT CALLBACK frameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<FrameState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
        case WM_TIMER:
            if (wParam == kCloseTimer) {
                PostMessageA(window, WM_CLOSE, 0, 0);
            } else if (state) {
                dispatch(*state->session, vexlan::effEditIdle);
            }
            return 0;
        case WM_CLOSE:
            // The editor goes before its parent window, as in a DAW.
            if (state) dispatch(*state->session, vexlan::effEditClose);
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

// Sizes the frame around the editor's dialog, the frame's first child.
void fitFrameToEditor(HWND frame) {
    HWND editor = GetWindow(frame, GW_CHILD);
    if (!editor) return;
    RECT bounds;
    GetWindowRect(editor, &bounds);
    RECT outer = {0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top};
    AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
    SetWindowPos(frame, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER);
}

}  // namespace

int runEditorCommand(const CommandLine& line) {
    PluginSession session;
    std::string error;
    if (!openSession(pluginPathToLoad(line.pluginPath), session, error)) return reportError(error);
    if (!applySettings(session.effect, line.settings, 0.0, error)) {
        closeSession(session);
        return reportError(error);
    }

    WNDCLASSA frameClass{};
    frameClass.lpfnWndProc = frameProc;
    frameClass.hInstance = GetModuleHandleA(nullptr);
    frameClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    frameClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    frameClass.lpszClassName = kFrameClass;
    RegisterClassA(&frameClass);

    char title[64] = {};
    dispatch(session, vexlan::effGetEffectName, 0, 0, title);
    FrameState state{&session};
    HWND frame = CreateWindowA(kFrameClass, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 800, 500,
                               nullptr, nullptr, frameClass.hInstance, nullptr);
    if (!frame) {
        closeSession(session);
        return reportError("cannot create a window for the editor");
    }
    if (dispatch(session, vexlan::effEditOpen, 0, 0, frame) == 0) {
        DestroyWindow(frame);
        closeSession(session);
        return reportError("the plug-in opened no editor window");
    }
    Playback playback;
    if (!line.playbackPath.empty() && !startPlayback(session.effect, line.playbackPath, line.recordPath, playback, error)) {
        DestroyWindow(frame);
        closeSession(session);
        return reportError(error);
    }
    SetWindowLongPtrA(frame, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    fitFrameToEditor(frame);
    ShowWindow(frame, SW_SHOW);
    SetTimer(frame, kIdleTimer, kIdleMilliseconds, nullptr);
    if (line.closeAfterMilliseconds > 0) SetTimer(frame, kCloseTimer, UINT(line.closeAfterMilliseconds), nullptr);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    const bool played = stopPlayback(playback, error);
    closeSession(session);
    return played ? 0 : reportError(error);
}

#else

int runEditorCommand(const CommandLine&) {
    return reportError("the editor needs a window system: run the Windows build (vexlan-host.exe) under Wine");
}

#endif

}  // namespace host
