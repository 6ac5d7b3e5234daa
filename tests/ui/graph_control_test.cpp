// The graph control of the built plug-in under Wine, driven with the
// messages a user's mouse and keys produce: drags with modifier keys, the
// right-button menus and the "Set point..." dialog. What each gesture and
// command does to the curve is tested natively; these prove the wiring.
#if defined(_WIN32)

#include <algorithm>
#include <cmath>

#include "editor_fixture.h"

namespace {

// The graph area of the editor's control at 100 %: the client less 28
// pixels of dB labels on the right and 16 of frequency labels below; the
// range is the default -90..+24 dB.
double graphWidth = 0.0;
double graphHeight = 0.0;

double frequencyAt(double x) { return 60.0 * (std::exp(x / (graphWidth * 0.16683457378359495)) - 1.0); }
double gainAt(double y) { return 24.0 - y * 114.0 / graphHeight; }
int columnOf(double frequency) {
    return int(std::lround(graphWidth * std::log(1.0 + frequency / 60.0) / std::log(401.0)));
}
int rowOf(double gain) { return int(std::lround((24.0 - gain) * graphHeight / 114.0)); }

// What the test types into the "Set point..." dialog and the button it presses.
struct SetPointTyping {
    std::string frequency, gain;
    UINT button = IDOK;
};

// What a modal loop showed and what the test does inside it. A thread timer
// runs while TrackPopupMenu or DialogBoxParamA hold the thread.
struct ModalDriver {
    std::vector<WPARAM> menuKeys;  // posted once a menu is open
    SetPointTyping typing;

    bool menuSeen = false;
    int menuItems = 0;
    std::vector<UINT> checked;
    bool insertGreyed = false;

    bool dialogSeen = false;
    char shownFrequency[64] = "";
    char shownGain[64] = "";
    POINT dialogCorner{};
    int ticks = 0;
};

ModalDriver driver;

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
        GetDlgItemTextA(dialog, 1016, driver.shownFrequency, sizeof driver.shownFrequency);
        GetDlgItemTextA(dialog, 1017, driver.shownGain, sizeof driver.shownGain);
        RECT bounds;
        GetWindowRect(dialog, &bounds);
        driver.dialogCorner = {bounds.left, bounds.top};
        SetDlgItemTextA(dialog, 1016, driver.typing.frequency.c_str());
        SetDlgItemTextA(dialog, 1017, driver.typing.gain.c_str());
        PostMessageA(dialog, WM_COMMAND, driver.typing.button, 0);
        return;
    }
    // Never leave the test stuck in a loop the driver did not expect.
    if (driver.ticks > 200) {
        EndMenu();
        if (dialog) EndDialog(dialog, 0);
    }
}

// Runs `action` with `key` held down as the system sees it (GetAsyncKeyState).
template <typename Action>
void withKey(WORD key, Action action) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    SendInput(1, &input, sizeof input);
    action();
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
}

// The editor's own graph control, as the editor tests open it.
class GraphControl : public uitest::EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        control_ = item(IDC_GRAPH);
        RECT client;
        GetClientRect(control_, &client);
        ASSERT_GE(client.right, 128) << "wide enough for the labels";
        graphWidth = client.right - 28;
        graphHeight = client.bottom - 16;
    }

    vexlan::PluginInstance& g() { return instance(); }
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
        const std::vector<uitest::Call> made = calls();
        return size_t(std::count(made.begin(), made.end(), uitest::kStateChange));
    }
    // A right click with the driver's timer running through the modal loops:
    // `menuKeys` go to the menu, then `typing` to the "Set point..." dialog.
    void rightClick(int x, int y, std::vector<WPARAM> menuKeys, SetPointTyping typing = {}) {
        driver = ModalDriver{};
        driver.menuKeys = std::move(menuKeys);
        driver.typing = std::move(typing);
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, driveModalLoops);
        send(WM_RBUTTONDOWN, x, y, MK_RBUTTON);
        send(WM_RBUTTONUP, x, y);
        KillTimer(nullptr, timer);
    }

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
    send(WM_LBUTTONUP, 320, 60);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(stateNotices(), 1u);
    send(WM_MOUSEMOVE, 10, 150);
    EXPECT_NEAR(g().points[before].gain, gainAt(60), 1e-9) << "hovering edits nothing";
    send(WM_LBUTTONDBLCLK, 320, 60, MK_LBUTTON);
    EXPECT_EQ(g().points[before].gain, 0.0) << "a double click sets 0 dB";
}

// Without its key each drag would insert a point on empty space.
TEST_F(GraphControl, ModifierDragsReadTheKeyState) {
    // Default points: 382 Hz and 3203 Hz at 0 dB, a third and two thirds across.
    const int between = (columnOf(g().points[0].frequency) + columnOf(g().points[1].frequency)) / 2;
    withKey(VK_SHIFT, [&] { drag(between, 120, between, 100, MK_SHIFT); });
    const double segment = gainAt(100) - gainAt(120);
    EXPECT_NEAR(g().points[0].gain, segment, 1e-9) << "the segment's left point";
    EXPECT_NEAR(g().points[1].gain, segment, 1e-9) << "and its right neighbour";

    withKey(VK_CONTROL, [&] { drag(60, 150, 330, 170, MK_CONTROL); });
    const double all = segment + gainAt(170) - gainAt(150);
    EXPECT_NEAR(g().points[0].gain, all, 1e-9);
    EXPECT_NEAR(g().points[1].gain, all, 1e-9);
    EXPECT_EQ(g().pointCount, 2) << "modifier drags on empty space insert nothing";
    EXPECT_EQ(stateNotices(), 2u) << "one notice per release";
}

TEST_F(GraphControl, GraphMenuShowsTheStateInsertsAtTheClickAndSetsTheEditMode) {
    rightClick(300, 120, {VK_ESCAPE});
    ASSERT_TRUE(driver.menuSeen);
    EXPECT_EQ(driver.menuItems, 8) << "CtxMenu2";
    EXPECT_FALSE(driver.insertGreyed);
    EXPECT_EQ(driver.checked, (std::vector<UINT>{40008, 40014, 40018, 40021, 40027}));
    EXPECT_EQ(g().pointCount, 2) << "a dismissed menu does nothing";

    rightClick(300, 120, {VK_DOWN, VK_RETURN});
    ASSERT_EQ(g().pointCount, 3);
    EXPECT_NEAR(g().points[2].frequency, frequencyAt(300), 1e-6);
    EXPECT_NEAR(g().points[2].gain, gainAt(120), 1e-9);

    // Down to "Edit mode" (the separator is skipped), into it, then "Precise".
    rightClick(40, 200, {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN});
    EXPECT_EQ(g().editMode, vexlan::kEditPrecise);
    EXPECT_EQ(selection(IDC_EDIT_MODE), 1) << "the editor reloaded its controls";

    // The marks themselves are tested natively.
    rightClick(columnOf(g().points[2].frequency), 120, {VK_ESCAPE});
    EXPECT_TRUE(driver.insertGreyed) << "no points to insert in Precise";
    EXPECT_EQ(driver.menuItems, 8) << "the graph menu even on a point";
}

// The limits of typed values are tested natively: one accepted and one
// cancelled dialog prove the wiring.
TEST_F(GraphControl, SetPointDialogShowsThePointAndStoresTypedValues) {
    g().points[0].gain = -20.0;
    const int x = columnOf(g().points[0].frequency);
    rightClick(x, rowOf(-20.0), {VK_DOWN, VK_DOWN, VK_RETURN});
    EXPECT_EQ(driver.menuItems, 4) << "CtxMenu";
    EXPECT_EQ(g().points[0].gain, 0.0) << "Set to 0db";

    const int y = rowOf(0.0);
    rightClick(x, y, {VK_DOWN, VK_RETURN}, {"1000", "-12.5"});
    ASSERT_TRUE(driver.dialogSeen);
    EXPECT_STREQ(driver.shownFrequency, "382.45");
    EXPECT_STREQ(driver.shownGain, "0.00");
    POINT click{x, y};
    ClientToScreen(control_, &click);
    EXPECT_EQ(driver.dialogCorner.x, click.x);
    EXPECT_EQ(driver.dialogCorner.y, click.y);
    EXPECT_EQ(g().points[0].frequency, 1000.0);
    EXPECT_EQ(g().points[0].gain, -12.5);

    rightClick(columnOf(1000.0), rowOf(-12.5), {VK_DOWN, VK_RETURN}, {"5", "5", IDCANCEL});
    ASSERT_TRUE(driver.dialogSeen);
    EXPECT_EQ(g().points[0].frequency, 1000.0) << "a cancelled dialog stores nothing";
}

TEST_F(GraphControl, PaintDrawsTheBitmapIntoTheWindow) {
    UpdateWindow(control_);
    vexlan::VizeBitmap* bitmap = g().graphBitmap;
    ASSERT_NE(bitmap, nullptr) << "made at the first paint";
    RECT client;
    GetClientRect(control_, &client);
    EXPECT_EQ(bitmap->getWidth(), client.right);
    EXPECT_EQ(bitmap->getHeight(), client.bottom);
    HDC window = GetDC(control_);
    // A drawn (not black) pixel inside the small host window, so the screen shows it.
    const uint32_t* bits = bitmap->getBits();
    POINT drawn{-1, -1};
    for (int i = 0; i < 200 * 60 && drawn.x < 0; ++i) {
        if (bits[i / 200 * bitmap->getRowSpan() + i % 200] & 0xFFFFFF) drawn = {i % 200, i / 200};
    }
    ASSERT_GE(drawn.x, 0) << "the renderer drew a grid line or a label";
    const uint32_t argb = bits[drawn.y * bitmap->getRowSpan() + drawn.x];
    EXPECT_EQ(GetPixel(window, drawn.x, drawn.y), RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF));
    ReleaseDC(control_, window);
}

#endif
