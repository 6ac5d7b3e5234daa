// The graph control of the built plug-in under Wine, driven with the
// messages a user's mouse and keys produce: drags with modifier keys, the
// right-button menus and the "Set point..." dialog.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "host_callback.h"
#include "plugin_session.h"
#include "shell/plugin_instance.h"

namespace {

using vexlan::GraphPoint;
using vexlan::PluginInstance;

// The graph area of the editor's control at 100 %: the client less 28
// pixels of dB labels on the right and 16 of frequency labels below; the
// range is the default -90..+24 dB.
double graphWidth = 0.0;
double graphHeight = 0.0;

double frequencyAt(double x) { return 60.0 * (std::exp(x / (graphWidth * 0.16683457378359495)) - 1.0); }
double gainAt(double y) { return 24.0 - y * 114.0 / graphHeight; }
int columnOf(double frequency) { return int(std::lround(graphWidth * std::log(1.0 + frequency / 60.0) / std::log(401.0))); }
int rowOf(double gain) { return int(std::lround((24.0 - gain) * graphHeight / 114.0)); }

// What a modal loop showed and what the test does inside it. A thread timer
// runs while TrackPopupMenu or DialogBoxParamA hold the thread.
struct ModalDriver {
    std::vector<WPARAM> menuKeys;  // posted once a menu is open
    bool menuSeen = false;
    std::vector<UINT> checked;
    bool insertGreyed = false;
    int menuItems = 0;

    bool dialogSeen = false;
    std::string shownFrequency;
    std::string shownGain;
    POINT dialogCorner{};
    std::string typedFrequency;
    std::string typedGain;
    UINT dialogButton = IDOK;
    int ticks = 0;
};

ModalDriver driver;

std::string itemText(HWND dialog, int item) {
    char text[64] = "";
    GetDlgItemTextA(dialog, item, text, sizeof text);
    return text;
}

void CALLBACK driveModalLoops(HWND, UINT, UINT_PTR, DWORD) {
    ++driver.ticks;
    HWND menuWindow = FindWindowA("#32768", nullptr);
    if (menuWindow && IsWindowVisible(menuWindow) && !driver.menuSeen) {
        HMENU menu = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
        driver.menuSeen = true;
        driver.menuItems = GetMenuItemCount(menu);
        for (UINT id = 40001; id <= 40027; ++id) {
            const UINT state = GetMenuState(menu, id, MF_BYCOMMAND);
            if (state == UINT(-1)) continue;
            if (state & MF_CHECKED) driver.checked.push_back(id);
            if (id == 40004) driver.insertGreyed = (state & MF_GRAYED) != 0;
        }
        for (WPARAM key : driver.menuKeys) PostMessageA(menuWindow, WM_KEYDOWN, key, 0);
        return;
    }
    HWND dialog = FindWindowA("#32770", "Set point...");
    if (dialog && !driver.dialogSeen) {
        driver.dialogSeen = true;
        driver.shownFrequency = itemText(dialog, 1016);
        driver.shownGain = itemText(dialog, 1017);
        RECT bounds;
        GetWindowRect(dialog, &bounds);
        driver.dialogCorner = {bounds.left, bounds.top};
        SetDlgItemTextA(dialog, 1016, driver.typedFrequency.c_str());
        SetDlgItemTextA(dialog, 1017, driver.typedGain.c_str());
        PostMessageA(dialog, WM_COMMAND, driver.dialogButton, 0);
        return;
    }
    // Never leave the test stuck in a loop the driver did not expect.
    if (driver.ticks > 200) {
        EndMenu();
        if (dialog) EndDialog(dialog, 0);
    }
}

void pressKey(WORD key, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

// Holds modifier keys down as the system sees them (GetAsyncKeyState).
class HeldKeys {
public:
    explicit HeldKeys(std::vector<WORD> keys) : keys_(std::move(keys)) {
        for (WORD key : keys_) pressKey(key, true);
    }
    ~HeldKeys() {
        for (WORD key : keys_) pressKey(key, false);
        MSG message;
        while (PeekMessageA(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
        }
    }
    HeldKeys(const HeldKeys&) = delete;
    HeldKeys& operator=(const HeldKeys&) = delete;

private:
    std::vector<WORD> keys_;
};

class GraphControl : public ::testing::Test {
protected:
    void SetUp() override {
        // The editor's faders are windows of the host's classes.
        host::startHost();
        std::string error;
        ASSERT_TRUE(host::openSession("", session_, error)) << error;
        instance_ = static_cast<PluginInstance*>(session_.effect->object);
        static const bool parentRegistered = [] {
            WNDCLASSA windowClass{};
            windowClass.lpfnWndProc = DefWindowProcA;
            windowClass.hInstance = GetModuleHandleA(nullptr);
            windowClass.lpszClassName = "VexlanGraphTestParent";
            return RegisterClassA(&windowClass) != 0;
        }();
        ASSERT_TRUE(parentRegistered);
        parent_ = CreateWindowExA(0, "VexlanGraphTestParent", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 300, 200,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        if (!parent_) GTEST_SKIP() << "no window could be created: no display";
        ASSERT_EQ(host::dispatch(session_, vexlan::effEditOpen, 0, 0, parent_), 1);
        editor_ = static_cast<HWND>(instance_->editorWindow);
        control_ = GetDlgItem(editor_, 1045);
        ASSERT_NE(control_, nullptr) << "the editor holds the graph control";
        RECT client;
        GetClientRect(control_, &client);
        ASSERT_GE(client.right, 128) << "wide enough for the labels";
        graphWidth = client.right - 28;
        graphHeight = client.bottom - 16;
        driver = ModalDriver{};
    }
    void TearDown() override {
        host::dispatch(session_, vexlan::effEditClose);
        if (parent_) DestroyWindow(parent_);
        host::closeSession(session_);
    }

    PluginInstance& g() { return *instance_; }
    LRESULT send(UINT message, int x, int y, WPARAM keys = 0) {
        return SendMessageA(control_, message, keys, MAKELPARAM(x, y));
    }
    void drag(int x0, int y0, int x1, int y1, WPARAM keys = 0) {
        send(WM_LBUTTONDOWN, x0, y0, MK_LBUTTON | keys);
        send(WM_MOUSEMOVE, (x0 + x1) / 2, (y0 + y1) / 2, MK_LBUTTON | keys);
        send(WM_MOUSEMOVE, x1, y1, MK_LBUTTON | keys);
        send(WM_LBUTTONUP, x1, y1, keys);
    }
    size_t stateNotices() const {
        size_t count = 0;
        for (const host::HostCall& call : host::recordedCalls()) {
            if (call.opcode == vexlan::audioMasterAutomate && call.index == -1) ++count;
        }
        return count;
    }
    // A right click with the driver's timer running through the modal loops.
    void rightClick(int x, int y) {
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, driveModalLoops);
        send(WM_RBUTTONDOWN, x, y, MK_RBUTTON);
        send(WM_RBUTTONUP, x, y);
        KillTimer(nullptr, timer);
    }
    static bool keyDown(int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; }

    host::PluginSession session_;
    PluginInstance* instance_ = nullptr;
    HWND parent_ = nullptr;
    HWND editor_ = nullptr;
    HWND control_ = nullptr;
};

}  // namespace

TEST_F(GraphControl, ClickInsertsDragsAndTellsTheHostOnRelease) {
    send(WM_MOUSEMOVE, 200, 100);
    EXPECT_NE(std::string(g().readoutText).find("(current is +0.00 dB)"), std::string::npos) << g().readoutText;
    const int before = g().pointCount;
    send(WM_LBUTTONDOWN, 300, 50, MK_LBUTTON);
    EXPECT_EQ(GetCapture(), control_);
    ASSERT_EQ(g().pointCount, before + 1);
    send(WM_MOUSEMOVE, 320, 60, MK_LBUTTON);
    EXPECT_NEAR(g().points[before].frequency, frequencyAt(320), 1e-6);
    EXPECT_NEAR(g().points[before].gain, gainAt(60), 1e-9);
    EXPECT_EQ(std::string(g().readoutText).find("current"), std::string::npos) << "no current level while dragging";
    EXPECT_EQ(stateNotices(), 0u);
    send(WM_LBUTTONUP, 320, 60);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(stateNotices(), 1u);
    send(WM_MOUSEMOVE, 10, 150);
    EXPECT_NEAR(g().points[before].gain, gainAt(60), 1e-9) << "hovering edits nothing";
}

TEST_F(GraphControl, ModifierDragsReadTheKeyState) {
    // Default points: 382 Hz and 3203 Hz at 0 dB, a third and two thirds across.
    const double start = g().points[0].gain;
    {
        HeldKeys shift({VK_SHIFT});
        ASSERT_TRUE(keyDown(VK_SHIFT)) << "the system sees the injected key";
        const int between = (columnOf(g().points[0].frequency) + columnOf(g().points[1].frequency)) / 2;
        drag(between, 120, between, 100, MK_SHIFT);
    }
    const double travel = gainAt(100) - gainAt(120);
    EXPECT_NEAR(g().points[0].gain, start + travel, 1e-9) << "the segment's left point";
    EXPECT_NEAR(g().points[1].gain, start + travel, 1e-9) << "and its right neighbour";

    const double frequencies[2] = {g().points[0].frequency, g().points[1].frequency};
    {
        HeldKeys ctrl({VK_CONTROL});
        drag(60, 150, 330, 170, MK_CONTROL);
    }
    for (int i = 0; i < 2; ++i) {
        EXPECT_NEAR(g().points[i].gain, start + travel + gainAt(170) - gainAt(150), 1e-9) << i;
        EXPECT_EQ(g().points[i].frequency, frequencies[i]) << i;
    }
    EXPECT_EQ(g().pointCount, 2) << "modifier drags on empty space insert nothing";

    const int x = columnOf(g().points[0].frequency);
    const int y = rowOf(g().points[0].gain);
    {
        HeldKeys alt({VK_MENU});
        send(WM_LBUTTONDOWN, x, y, MK_LBUTTON);
        send(WM_LBUTTONUP, x, y);
    }
    ASSERT_EQ(g().pointCount, 1) << "alt-click removes the point";
    EXPECT_EQ(g().points[0].frequency, frequencies[1]);
    EXPECT_EQ(stateNotices(), 3u) << "one notice per release";
}

TEST_F(GraphControl, DoubleClickAndPreciseDrawing) {
    g().points[1].gain = -30.0;
    const int x = columnOf(g().points[1].frequency);
    send(WM_LBUTTONDOWN, x, rowOf(-30.0), MK_LBUTTON);
    send(WM_LBUTTONUP, x, rowOf(-30.0));
    send(WM_LBUTTONDBLCLK, x, rowOf(-30.0), MK_LBUTTON);
    send(WM_LBUTTONUP, x, rowOf(-30.0));
    EXPECT_EQ(g().points[1].gain, 0.0);

    g().editMode = vexlan::kEditPrecise;
    for (float& entry : g().binGainTable) entry = 1.0f;
    drag(100, 92, 200, 92);
    const float drawn = float(std::exp(gainAt(92) * 0.11512925464970228));
    const int inside = int((frequencyAt(150) * 4096.0 / 24000.0));
    EXPECT_NEAR(g().binGainTable[inside], drawn, 1e-6);
    EXPECT_EQ(g().binGainTable[0], 1.0f);
    EXPECT_EQ(g().binGainTable[4095], 1.0f);
    EXPECT_EQ(g().pointCount, 2);
}

TEST_F(GraphControl, GraphMenuShowsTheStateAndInsertsAtTheClick) {
    driver.menuKeys = {VK_ESCAPE};
    rightClick(300, 120);
    ASSERT_TRUE(driver.menuSeen);
    EXPECT_EQ(driver.menuItems, 8) << "CtxMenu2";
    EXPECT_FALSE(driver.insertGreyed);
    EXPECT_EQ(driver.checked, (std::vector<UINT>{40008, 40014, 40018, 40021, 40027}));
    EXPECT_EQ(g().pointCount, 2) << "a dismissed menu does nothing";

    driver = ModalDriver{};
    driver.menuKeys = {VK_DOWN, VK_RETURN};
    rightClick(300, 120);
    ASSERT_EQ(g().pointCount, 3);
    EXPECT_NEAR(g().points[2].frequency, frequencyAt(300), 1e-6);
    EXPECT_NEAR(g().points[2].gain, gainAt(120), 1e-9);

    g().editMode = vexlan::kEditPrecise;
    g().paramValues[0] = 0.0;
    g().paramValues[6] = 1.0;
    driver = ModalDriver{};
    driver.menuKeys = {VK_ESCAPE};
    rightClick(columnOf(g().points[2].frequency), 120);
    EXPECT_TRUE(driver.insertGreyed) << "no points to insert in Precise";
    EXPECT_EQ(driver.menuItems, 8) << "the graph menu even on a point";
    EXPECT_EQ(driver.checked, (std::vector<UINT>{40007, 40014, 40020, 40021}));
}

TEST_F(GraphControl, PointMenuSetsZeroDecibels) {
    g().points[0].gain = -20.0;
    driver.menuKeys = {VK_DOWN, VK_DOWN, VK_RETURN};
    rightClick(columnOf(g().points[0].frequency), rowOf(-20.0));
    ASSERT_TRUE(driver.menuSeen);
    EXPECT_EQ(driver.menuItems, 4) << "CtxMenu";
    EXPECT_EQ(g().points[0].gain, 0.0);
    EXPECT_EQ(g().pointCount, 2);
}

TEST_F(GraphControl, SetPointDialogShowsThePointAndLimitsTypedValues) {
    struct Row {
        const char* frequency;
        const char* gain;
        UINT button;
        double storedFrequency, storedGain;
    };
    const Row rows[] = {
        {"-5", "100", IDOK, 0.0, 24.0},
        {"30000", "-12.5", IDOK, 24000.0, -12.5},
        {"1000", "-200", IDOK, 1000.0, -90.0},
        {"5", "5", IDCANCEL, 1000.0, -90.0},
    };
    for (const Row& row : rows) {
        const GraphPoint point = g().points[0];
        const int x = columnOf(point.frequency) < 2 ? 1 : columnOf(point.frequency);
        const int y = rowOf(point.gain);
        driver = ModalDriver{};
        driver.menuKeys = {VK_DOWN, VK_RETURN};
        driver.typedFrequency = row.frequency;
        driver.typedGain = row.gain;
        driver.dialogButton = row.button;
        rightClick(x, y);
        ASSERT_TRUE(driver.dialogSeen) << row.frequency;
        char expected[64];
        std::snprintf(expected, sizeof expected, "%0.2f", point.frequency);
        EXPECT_EQ(driver.shownFrequency, expected);
        std::snprintf(expected, sizeof expected, "%0.2f", point.gain);
        EXPECT_EQ(driver.shownGain, expected);
        POINT click{x, y};
        ClientToScreen(control_, &click);
        EXPECT_EQ(driver.dialogCorner.x, click.x);
        EXPECT_EQ(driver.dialogCorner.y, click.y);
        EXPECT_EQ(g().points[0].frequency, row.storedFrequency) << row.frequency;
        EXPECT_EQ(g().points[0].gain, row.storedGain) << row.gain;
    }
}

TEST_F(GraphControl, EditModeFromTheMenuReloadsTheEditor) {
    // Down to "Edit mode" (the separator is skipped), into it, then "Precise".
    driver.menuKeys = {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN};
    rightClick(40, 200);
    ASSERT_TRUE(driver.menuSeen);
    EXPECT_EQ(g().editMode, vexlan::kEditPrecise);
    EXPECT_EQ(SendDlgItemMessageA(editor_, 1021, CB_GETCURSEL, 0, 0), 1) << "the editor reloaded its controls";
    char hint[128] = "";
    GetDlgItemTextA(editor_, 1028, hint, sizeof hint);
    EXPECT_STREQ(hint, "Hint: shift draws line, ctrl moves all");
}
