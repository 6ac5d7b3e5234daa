#if defined(_WIN32)

#include "editor_fixture.h"

#include <ostream>

#include "faders.h"
#include "plugin_loader.h"

namespace uitest {

namespace {

constexpr const char* kFrameClass = "VexlanUiTestFrame";

bool registerFrameClass() {
    static const bool registered = [] {
        WNDCLASSA frameClass{};
        frameClass.lpfnWndProc = DefWindowProcA;
        frameClass.hInstance = GetModuleHandleA(nullptr);
        frameClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        frameClass.lpszClassName = kFrameClass;
        return RegisterClassA(&frameClass) != 0;
    }();
    return registered;
}

}  // namespace

void EditorTest::SetUp() {
    // One extra reference keeps the library loaded from test to test, as in
    // a DAW that opens many instances: its FFT tables are built once.
    static const HMODULE keptLoaded = LoadLibraryA(host::defaultPluginPath().c_str());
    ASSERT_NE(keptLoaded, nullptr);
    host::startHost();
    ASSERT_TRUE(registerFrameClass());
    std::string error;
    ASSERT_TRUE(host::openSession("", session_, error)) << error;
    // One frame serves every test: under Wine without a window manager,
    // destroying a shown window waits two seconds for X to confirm it.
    static const HWND frame = CreateWindowExA(0, kFrameClass, "Vexlan editor test",
                                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 300, 200, nullptr,
                                              nullptr, GetModuleHandleA(nullptr), nullptr);
    frame_ = frame;
    // Under Wine a window needs an X display (xvfb-run).
    if (!frame_) GTEST_SKIP() << "no window could be created: no display";
    ShowWindow(frame_, SW_SHOWNOACTIVATE);
    // Smaller than the editor: the dialog keeps its design size.
    resizeFrame(300, 200);
    ASSERT_EQ(dispatch(vexlan::effEditOpen, 0, 0, frame_), 1);
    ASSERT_NE(dialog(), nullptr);
    forgetCalls();
}

void EditorTest::TearDown() {
    host::closeSession(session_);
    pump(0);
}

intptr_t EditorTest::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    return host::dispatch(session_, opcode, index, value, ptr, opt);
}

void EditorTest::choose(int comboId, int item) {
    SendMessageA(this->item(comboId), CB_SETCURSEL, WPARAM(item), 0);
    SendMessageA(dialog(), WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE), LPARAM(this->item(comboId)));
}

void EditorTest::setTicked(int checkBoxId, bool ticked) {
    SendMessageA(item(checkBoxId), BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageA(dialog(), WM_COMMAND, MAKEWPARAM(checkBoxId, BN_CLICKED), LPARAM(item(checkBoxId)));
}

// The edit control itself reports the change (EN_CHANGE), as when typing.
void EditorTest::type(int editId, const char* text) { SetWindowTextA(item(editId), text); }

void EditorTest::moveFader(int faderId, int code, int position) {
    HWND fader = item(faderId);
    char className[32] = {};
    GetClassNameA(fader, className, sizeof className);
    const UINT message = std::string(className) == host::kVerticalFaderClass ? WM_VSCROLL : WM_HSCROLL;
    SendMessageA(fader, host::kFaderSetPosition, 0, position);
    SendMessageA(dialog(), message, MAKEWPARAM(code, position), LPARAM(fader));
}

void EditorTest::timer(UINT_PTR id) { SendMessageA(dialog(), WM_TIMER, id, 0); }

void EditorTest::resizeFrame(int width, int height) {
    RECT outer = {0, 0, width, height};
    AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
    SetWindowPos(frame_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string EditorTest::text(int controlId) const {
    char buffer[512] = {};
    GetDlgItemTextA(dialog(), controlId, buffer, sizeof buffer);
    return buffer;
}

int EditorTest::selection(int comboId) const { return int(SendMessageA(item(comboId), CB_GETCURSEL, 0, 0)); }

std::vector<std::string> EditorTest::comboItems(int comboId) const {
    std::vector<std::string> items;
    const int count = int(SendMessageA(item(comboId), CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char buffer[128] = {};
        SendMessageA(item(comboId), CB_GETLBTEXT, WPARAM(i), LPARAM(buffer));
        items.push_back(buffer);
    }
    return items;
}

bool EditorTest::shown(int controlId) const { return (GetWindowLongA(item(controlId), GWL_STYLE) & WS_VISIBLE) != 0; }

RECT EditorTest::rectInDialog(int controlId) const {
    RECT rect{};
    GetWindowRect(item(controlId), &rect);
    MapWindowPoints(nullptr, dialog(), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

int EditorTest::faderPosition(int faderId) const {
    return int(SendMessageA(item(faderId), host::kFaderGetPosition, 0, 0));
}

void EditorTest::forgetCalls() {
    host::HostState& state = host::hostState();
    std::lock_guard<std::mutex> hold(state.mutex);
    state.calls.clear();
}

std::vector<Call> editCalls(const std::vector<host::HostCall>& calls) {
    std::vector<Call> result;
    for (const host::HostCall& call : calls) result.push_back({call.opcode, call.index, call.opt});
    return result;
}

void PrintTo(const Call& call, std::ostream* out) {
    const char* name = call.opcode == vexlan::audioMasterAutomate   ? "automate"
                       : call.opcode == vexlan::audioMasterBeginEdit ? "begin"
                       : call.opcode == vexlan::audioMasterEndEdit   ? "end"
                                                                      : "other";
    *out << name << "(" << call.index << ", " << call.opt << ")";
}

}  // namespace uitest

#endif
