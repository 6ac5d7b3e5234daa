// The host callback: its answers, its record of edits and its function lookup.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_callback.h"
#include "host_functions.h"
#include "raster.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

using namespace vexlan;

intptr_t callHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f) {
    return host::hostCallback(nullptr, opcode, index, value, ptr, opt);
}

intptr_t lookUp(const char* name) {
    return callHost(kHostLookupOpcode, kHostLookupIndex, 0, const_cast<char*>(name));
}

class HostCallback : public ::testing::Test {
protected:
    void SetUp() override { host::resetHost(); }
    void TearDown() override { host::resetHost(); }
};

TEST_F(HostCallback, AnswersVersionAndOnlyItsOwnCapability) {
    EXPECT_EQ(callHost(audioMasterVersion), 2400);
    char query[] = "quovarLoadStateContext";
    char other[] = "sendVstEvents";
    EXPECT_EQ(callHost(audioMasterCanDo, 0, 0, query), 0);
    host::HostOptions options;
    options.loadStateContextAnswer = 1;
    host::resetHost(options);
    EXPECT_EQ(callHost(audioMasterCanDo, 0, 0, query), 1);
    EXPECT_EQ(callHost(audioMasterCanDo, 0, 0, other), 0);
    EXPECT_EQ(callHost(audioMasterCanDo), 0);
}

// The plug-in loading tests rely on this record to show that a host's own
// writes are not echoed back as edits.
TEST_F(HostCallback, RecordsEditCallsInTheOrderTheyCame) {
    callHost(audioMasterBeginEdit, 4);
    callHost(audioMasterAutomate, 4, 0, nullptr, 0.75f);
    callHost(audioMasterEndEdit, 4);
    callHost(audioMasterVersion);
    callHost(audioMasterAutomate, -1, 7, nullptr, 0.0f);
    const std::vector<host::HostCall> calls = host::recordedCalls();
    ASSERT_EQ(calls.size(), 4u);
    const int32_t opcodes[] = {audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit, audioMasterAutomate};
    const int32_t indices[] = {4, 4, 4, -1};
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].opcode, opcodes[i]) << "call " << i;
        EXPECT_EQ(calls[i].index, indices[i]) << "call " << i;
    }
    EXPECT_FLOAT_EQ(calls[1].opt, 0.75f);
    EXPECT_EQ(calls[3].value, 7);
    host::resetHost();
    EXPECT_TRUE(host::recordedCalls().empty());
}

// Which names a host withholds, and in what order the plug-in asks, is shown
// by the plug-in loading tests; here the answers themselves.
TEST_F(HostCallback, LookupAnswersKnownNamesExactly) {
    // Two names whose functions share a type, so a swap would compile.
    EXPECT_EQ(lookUp("VIZE_Circle"), reinterpret_cast<intptr_t>(&host::vizeCircle));
    EXPECT_EQ(lookUp("VIZE_FillCircle"), reinterpret_cast<intptr_t>(&host::vizeFillCircle));
    EXPECT_EQ(lookUp("NoSuchFunction"), 0);
    EXPECT_EQ(lookUp("db2slider"), 0) << "names are case-sensitive";
    char name[] = "DB2SLIDER";
    EXPECT_EQ(callHost(kHostLookupOpcode, 0, 0, name), 0) << "wrong index";
    EXPECT_EQ(callHost(kHostLookupOpcode, kHostLookupIndex, 0, nullptr), 0);
}

#if defined(_WIN32)
TEST_F(HostCallback, ToolWindowStyleGoesOnlyWhenConfigured) {
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    // Under Wine a window needs an X display (xvfb-run).
    if (!window) GTEST_SKIP() << "no window could be created: no display";
    host::removeToolWindowFlagIfConfigured(window, -1);
    EXPECT_TRUE(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    host::HostOptions options;
    options.removeToolWindowFlag = true;
    host::resetHost(options);
    host::removeToolWindowFlagIfConfigured(window, -1);
    EXPECT_FALSE(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    // A window on a 96 DPI screen is at 100 %.
    EXPECT_EQ(host::getWindowDpiScaling(window), 256);
    DestroyWindow(window);
}
#endif

}  // namespace
