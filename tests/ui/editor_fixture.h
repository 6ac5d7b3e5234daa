// The real vexlan.dll loaded through the host stand-in, its editor opened
// inside a frame window as a DAW opens it, and the messages a user's actions
// produce. Windows only: the native build has no editor window.
#pragma once

#if defined(_WIN32)

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <tuple>
#include <vector>

#include "../../res/resource_ids.h"
#include "fader_law.h"
#include "faders.h"
#include "host_callback.h"
#include "plugin_loader.h"
#include "plugin_session.h"
#include "shell/editor_link.h"
#include "shell/parameters.h"
#include "shell/plugin_instance.h"

namespace uitest {

// A host call as the plug-in made it: opcode, index and value.
using Call = std::tuple<int32_t, int32_t, float>;
const Call kStateChange{vexlan::audioMasterAutomate, -1, 0.0f};

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        // One extra reference keeps the library loaded from test to test, as in
        // a DAW that opens many instances: its FFT tables are built once.
        static const HMODULE keptLoaded = LoadLibraryA(host::defaultPluginPath().c_str());
        ASSERT_NE(keptLoaded, nullptr);
        host::startHost();
        static const bool registered = [] {
            WNDCLASSA frameClass{};
            frameClass.lpfnWndProc = DefWindowProcA;
            frameClass.hInstance = GetModuleHandleA(nullptr);
            frameClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            frameClass.lpszClassName = "VexlanUiTestFrame";
            return RegisterClassA(&frameClass) != 0;
        }();
        ASSERT_TRUE(registered);
        std::string error;
        ASSERT_TRUE(host::openSession("", session_, error)) << error;
        // One frame serves every test: under Wine without a window manager,
        // destroying a shown window waits two seconds for X to confirm it.
        static const HWND frame = CreateWindowExA(0, "VexlanUiTestFrame", "Vexlan editor test",
                                                  WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 300, 200,
                                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        frame_ = frame;
        // Under Wine a window needs an X display (xvfb-run).
        if (!frame_) GTEST_SKIP() << "no window could be created: no display";
        ShowWindow(frame_, SW_SHOWNOACTIVATE);
        // Smaller than the editor: the dialog keeps its design size.
        resizeFrame(300, 200);
        ASSERT_EQ(dispatch(vexlan::effEditOpen, frame_), 1);
        ASSERT_NE(dialog(), nullptr);
        forgetCalls();
    }
    void TearDown() override { host::closeSession(session_); }

    // The instance behind the AEffect: the test shares its headers and compiler.
    vexlan::PluginInstance& instance() const {
        return *static_cast<vexlan::PluginInstance*>(session_.effect->object);
    }
    vexlan::AEffect* effect() const { return session_.effect; }
    intptr_t dispatch(int32_t opcode, void* ptr = nullptr) {
        return host::dispatch(session_, opcode, 0, 0, ptr);
    }
    HWND dialog() const { return static_cast<HWND>(instance().editorWindow); }
    HWND item(int id) const { return GetDlgItem(dialog(), id); }

    // What a user's action makes the controls send to the dialog.
    void choose(int comboId, int index) {
        SendMessageA(item(comboId), CB_SETCURSEL, WPARAM(index), 0);
        SendMessageA(dialog(), WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE), LPARAM(item(comboId)));
    }
    void setTicked(int checkBoxId, bool ticked) {
        SendMessageA(item(checkBoxId), BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
        SendMessageA(dialog(), WM_COMMAND, MAKEWPARAM(checkBoxId, BN_CLICKED), LPARAM(item(checkBoxId)));
    }
    // EN_CHANGE: the edit control itself reports the change, as when typing.
    void type(int editId, const char* text) { SetWindowTextA(item(editId), text); }
    void moveFader(int faderId, int code, int position) {
        HWND fader = item(faderId);
        char className[32] = {};
        GetClassNameA(fader, className, sizeof className);
        const UINT message = std::string(className) == host::kVerticalFaderClass ? WM_VSCROLL : WM_HSCROLL;
        SendMessageA(fader, host::kFaderSetPosition, 0, position);
        SendMessageA(dialog(), message, MAKEWPARAM(code, position), LPARAM(fader));
    }
    void timer(UINT_PTR id) { SendMessageA(dialog(), WM_TIMER, id, 0); }
    void sendToDialog(UINT message) { SendMessageA(dialog(), message, 0, 0); }
    // The host's channel configuration: `count` inputs, `layout` 1 or 2.
    void configureChannels(int32_t count, int32_t layout) {
        const intptr_t countAddress = reinterpret_cast<intptr_t>(&count);
        host::dispatch(session_, vexlan::effVendorSpecific, 69, countAddress, &layout, 1.0f);
    }
    // Runs the message loop for `milliseconds`, or until `done` holds,
    // counting the editor's 200 ms housekeeping ticks it dispatches.
    template <typename Condition>
    bool pumpUntil(DWORD milliseconds, Condition done) {
        const DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start >= milliseconds) return false;
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                const bool housekeeping = message.message == WM_TIMER && message.wParam == 2;
                if (housekeeping && message.hwnd && message.hwnd == dialog()) ++housekeepingTicks;
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
            Sleep(1);
        }
        return true;
    }
    // Resizes the frame so that its client area is width x height.
    void resizeFrame(int width, int height) {
        RECT outer = {0, 0, width, height};
        AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
        SetWindowPos(frame_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    std::string text(int id) const {
        char buffer[512] = {};
        GetDlgItemTextA(dialog(), id, buffer, sizeof buffer);
        return buffer;
    }
    int selection(int comboId) const { return int(SendMessageA(item(comboId), CB_GETCURSEL, 0, 0)); }
    std::vector<std::string> comboItems(int comboId) const {
        std::vector<std::string> items;
        const int count = int(SendMessageA(item(comboId), CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char buffer[128] = {};
            SendMessageA(item(comboId), CB_GETLBTEXT, WPARAM(i), LPARAM(buffer));
            items.push_back(buffer);
        }
        return items;
    }
    bool shown(int id) const { return (GetWindowLongA(item(id), GWL_STYLE) & WS_VISIBLE) != 0; }
    RECT rectInDialog(int id) const {
        RECT rect{};
        GetWindowRect(item(id), &rect);
        MapWindowPoints(nullptr, dialog(), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
    int faderPosition(int faderId) const {
        return int(SendMessageA(item(faderId), host::kFaderGetPosition, 0, 0));
    }

    std::vector<Call> calls() const {
        std::vector<Call> made;
        for (const host::HostCall& call : host::recordedCalls()) {
            made.emplace_back(call.opcode, call.index, call.opt);
        }
        return made;
    }
    void forgetCalls() {
        host::HostState& state = host::hostState();
        std::lock_guard<std::mutex> hold(state.mutex);
        state.calls.clear();
    }

    int housekeepingTicks = 0;
    host::PluginSession session_;
    HWND frame_ = nullptr;
};

}  // namespace uitest

#endif
