// The host's fader windows, driven with the messages a user's actions
// produce. Windows only: the native build has no windows.
#if defined(_WIN32)

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "fader_law.h"
#include "faders.h"
#include "host_callback.h"

namespace {

struct ScrollMessage {
    UINT message;
    int code;
    int position;
    HWND from;
};

std::vector<ScrollMessage> received;

LRESULT CALLBACK parentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HSCROLL || message == WM_VSCROLL) {
        received.push_back({message, LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)});
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class FaderWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host::registerFaderClasses());
        host::startHost();
        static const bool parentRegistered = [] {
            WNDCLASSA windowClass{};
            windowClass.lpfnWndProc = parentProc;
            windowClass.hInstance = GetModuleHandleA(nullptr);
            windowClass.lpszClassName = "VexlanFaderTestParent";
            return RegisterClassA(&windowClass) != 0;
        }();
        ASSERT_TRUE(parentRegistered);
        parent_ = CreateWindowExA(0, "VexlanFaderTestParent", "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
        // Under Wine a window needs an X display (xvfb-run).
        if (!parent_) GTEST_SKIP() << "no window could be created: no display";
        received.clear();
    }
    void TearDown() override {
        if (parent_) DestroyWindow(parent_);
    }

    HWND makeFader(const char* windowClass, int width, int height) {
        return CreateWindowExA(0, windowClass, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 10, width, height, parent_,
                               reinterpret_cast<HMENU>(1046), GetModuleHandleA(nullptr), nullptr);
    }

    HWND parent_ = nullptr;
};

LRESULT position(HWND fader) { return SendMessageA(fader, host::kFaderGetPosition, 0, 0); }

// What the parent heard since the last call, as (code, position) pairs; each
// message must have come from `fader` with the scroll message of its direction.
using Moves = std::vector<std::pair<int, int>>;
Moves heard(HWND fader, bool vertical = false) {
    Moves moves;
    for (const ScrollMessage& message : received) {
        EXPECT_EQ(message.message, UINT(vertical ? WM_VSCROLL : WM_HSCROLL));
        EXPECT_EQ(message.from, fader);
        moves.emplace_back(message.code, message.position);
    }
    received.clear();
    return moves;
}

// The value text a fader shows is checked through the editor in the UI tests.
TEST_F(FaderWindow, PositionAndNameAreSetThroughItsMessages) {
    HWND fader = makeFader(host::kHorizontalFaderClass, 200, 22);
    ASSERT_NE(fader, nullptr);
    EXPECT_EQ(position(fader), 0);
    SendMessageA(fader, host::kFaderSetPosition, 0, 640);
    EXPECT_EQ(position(fader), 640);
    SendMessageA(fader, host::kFaderSetPosition, 0, 5000);
    EXPECT_EQ(position(fader), 1000);
    SendMessageA(fader, host::kFaderSetPosition, 0, -3);
    EXPECT_EQ(position(fader), 0);
    EXPECT_TRUE(received.empty()) << "setting the position is not a user's move";
    SetWindowLongPtrA(fader, 0, 1);
    EXPECT_EQ(GetWindowLongPtrA(fader, 0), 1) << "window-extra value 0 belongs to the owner";
    EXPECT_EQ(SendMessageA(fader, host::kFaderSetText, host::kFaderTextNameWithUnit,
                           reinterpret_cast<LPARAM>("Output Gain (dB)")),
              1);
    char name[64] = {};
    GetWindowTextA(fader, name, sizeof name);
    EXPECT_STREQ(name, "Output Gain (dB)");
    EXPECT_EQ(SendMessageA(fader, host::kFaderSetText, 5, reinterpret_cast<LPARAM>("x")), 0);
    EXPECT_EQ(host::faderValueText(parent_), "") << "not a fader";
}

TEST_F(FaderWindow, KeysAndClicksMoveAndEndTheGesture) {
    HWND fader = makeFader(host::kHorizontalFaderClass, 200, 22);
    ASSERT_NE(fader, nullptr);
    SendMessageA(fader, host::kFaderSetPosition, 0, 500);
    SendMessageA(fader, WM_KEYDOWN, VK_RIGHT, 0);
    SendMessageA(fader, WM_KEYDOWN, VK_RIGHT, 0);
    SendMessageA(fader, WM_KEYUP, VK_RIGHT, 0);
    EXPECT_EQ(heard(fader), (Moves{{SB_THUMBTRACK, 510}, {SB_THUMBTRACK, 520}, {SB_ENDSCROLL, 520}}));
    EXPECT_EQ(position(fader), 520);
    // A key at the end does not move.
    SendMessageA(fader, WM_KEYDOWN, VK_HOME, 0);
    SendMessageA(fader, WM_KEYDOWN, VK_LEFT, 0);
    SendMessageA(fader, WM_KEYUP, VK_LEFT, 0);
    EXPECT_EQ(heard(fader), (Moves{{SB_THUMBTRACK, 0}, {SB_ENDSCROLL, 0}}));

    // Vertical faders rise upwards and report as vertical scrolls.
    HWND vertical = makeFader(host::kVerticalFaderClass, 22, 180);
    ASSERT_NE(vertical, nullptr);
    SendMessageA(vertical, WM_KEYDOWN, VK_UP, 0);
    SendMessageA(vertical, WM_KEYUP, VK_UP, 0);
    EXPECT_EQ(heard(vertical, true), (Moves{{SB_THUMBTRACK, 10}, {SB_ENDSCROLL, 10}}));
    // A click near the top takes the thumb (and the position) up.
    SendMessageA(vertical, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(11, 3));
    SendMessageA(vertical, WM_LBUTTONUP, 0, MAKELPARAM(11, 3));
    EXPECT_EQ(heard(vertical, true), (Moves{{SB_THUMBTRACK, 1000}, {SB_ENDSCROLL, 1000}}));
}

TEST_F(FaderWindow, DragWheelAndDoubleClickMoveIt) {
    HWND fader = makeFader(host::kHorizontalFaderClass, 200, 22);
    ASSERT_NE(fader, nullptr);
    // Grab the thumb at position 0 (pixels 0..10) and drag it along.
    SendMessageA(fader, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 10));
    EXPECT_TRUE(received.empty()) << "grabbing the thumb does not move it";
    SendMessageA(fader, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(100, 10));
    SendMessageA(fader, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(400, 10));
    SendMessageA(fader, WM_LBUTTONUP, 0, MAKELPARAM(400, 10));
    // Grabbed 5 pixels into the thumb: at 100 the thumb starts at 95.
    const int at95 = host::faderPositionAtThumb(host::FaderGeometry{200, 22, false}, 95);
    EXPECT_EQ(heard(fader), (Moves{{SB_THUMBTRACK, at95}, {SB_THUMBTRACK, 1000}, {SB_ENDSCROLL, 1000}}));
    SendMessageA(fader, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    EXPECT_TRUE(received.empty()) << "no drag after the release";

    // The wheel and a double click move in one gesture each.
    SendMessageA(fader, host::kFaderSetPosition, 0, 300);
    SendMessageA(fader, WM_MOUSEWHEEL, MAKEWPARAM(0, 2 * WHEEL_DELTA), 0);
    EXPECT_EQ(heard(fader), (Moves{{SB_THUMBTRACK, 320}, {SB_ENDSCROLL, 320}}));
    // A dB fader's default is 0 dB.
    const int unity = host::faderPositionFromDb(0.0);
    SendMessageA(fader, host::kFaderSetDefault, 0, -1);
    SendMessageA(fader, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(50, 10));
    EXPECT_EQ(heard(fader), (Moves{{SB_THUMBTRACK, unity}, {SB_ENDSCROLL, unity}}));
    SendMessageA(fader, host::kFaderSetDefault, 0, 160);
    SendMessageA(fader, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(50, 10));
    EXPECT_EQ(position(fader), 160);
}

}  // namespace

#endif
