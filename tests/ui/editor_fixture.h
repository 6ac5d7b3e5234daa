// The real vexlan.dll loaded through the host stand-in, its editor opened
// inside a frame window as a DAW opens it, and the messages a user's actions
// produce. Windows only: the native build has no editor window.
#pragma once

#if defined(_WIN32)

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "host_callback.h"
#include "plugin_session.h"
#include "shell/plugin_instance.h"

namespace uitest {

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The instance behind the AEffect: the test shares its headers and compiler.
    vexlan::PluginInstance& instance() const { return *static_cast<vexlan::PluginInstance*>(session_.effect->object); }
    vexlan::AEffect* effect() const { return session_.effect; }
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);
    HWND dialog() const { return static_cast<HWND>(instance().editorWindow); }
    HWND item(int controlId) const { return GetDlgItem(dialog(), controlId); }

    // What a user's action makes the controls send to the dialog.
    void choose(int comboId, int item);                 // CBN_SELCHANGE
    void setTicked(int checkBoxId, bool ticked);        // BN_CLICKED
    void type(int editId, const char* text);            // EN_CHANGE
    void moveFader(int faderId, int code, int position);  // WM_HSCROLL / WM_VSCROLL
    void timer(UINT_PTR id);                             // WM_TIMER
    // Runs the message loop for `milliseconds`, or until `done` holds,
    // counting the editor's 200 ms housekeeping ticks it dispatches.
    template <typename Condition>
    bool pumpUntil(DWORD milliseconds, Condition done);
    void pump(DWORD milliseconds = 20) {
        pumpUntil(milliseconds, [] { return false; });
    }
    // Resizes the frame so that its client area is width x height.
    void resizeFrame(int width, int height);

    std::string text(int controlId) const;
    int selection(int comboId) const;
    std::vector<std::string> comboItems(int comboId) const;
    bool shown(int controlId) const;
    RECT rectInDialog(int controlId) const;
    int faderPosition(int faderId) const;

    std::vector<host::HostCall> calls() const { return host::recordedCalls(); }
    void forgetCalls();

    int housekeepingTicks = 0;
    host::PluginSession session_;
    HWND frame_ = nullptr;
};

template <typename Condition>
bool EditorTest::pumpUntil(DWORD milliseconds, Condition done) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= milliseconds) return false;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.hwnd && message.hwnd == dialog() && message.message == WM_TIMER && message.wParam == 2) {
                ++housekeepingTicks;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(1);
    }
    return true;
}

// Host calls as the plug-in made them, for comparing with a table.
struct Call {
    int32_t opcode;
    int32_t index;
    float opt;
    bool operator==(const Call& other) const {
        return opcode == other.opcode && index == other.index && opt == other.opt;
    }
};
std::vector<Call> editCalls(const std::vector<host::HostCall>& calls);
void PrintTo(const Call& call, std::ostream* out);

}  // namespace uitest

#endif
