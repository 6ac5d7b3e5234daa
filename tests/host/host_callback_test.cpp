// The host callback and the extension functions that are not drawing.
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

template <typename Fn>
Fn lookUpAs(const char* name) {
    return reinterpret_cast<Fn>(lookUp(name));
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

TEST_F(HostCallback, RecordsEditCallsInTheOrderTheyCame) {
    callHost(audioMasterBeginEdit, 4);
    callHost(audioMasterAutomate, 4, 0, nullptr, 0.5f);
    callHost(audioMasterAutomate, 4, 0, nullptr, 0.75f);
    callHost(audioMasterEndEdit, 4);
    callHost(audioMasterVersion);
    callHost(audioMasterAutomate, -1, 7, nullptr, 0.0f);
    const std::vector<host::HostCall> calls = host::recordedCalls();
    ASSERT_EQ(calls.size(), 5u);
    const int32_t opcodes[] = {audioMasterBeginEdit, audioMasterAutomate, audioMasterAutomate, audioMasterEndEdit,
                               audioMasterAutomate};
    const int32_t indices[] = {4, 4, 4, 4, -1};
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].opcode, opcodes[i]) << "call " << i;
        EXPECT_EQ(calls[i].index, indices[i]) << "call " << i;
    }
    EXPECT_FLOAT_EQ(calls[1].opt, 0.5f);
    EXPECT_FLOAT_EQ(calls[2].opt, 0.75f);
    EXPECT_EQ(calls[4].value, 7);
    host::resetHost();
    EXPECT_TRUE(host::recordedCalls().empty());
}

TEST_F(HostCallback, LookupAnswersKnownNamesUnlessWithheld) {
    EXPECT_EQ(lookUp("DB2SLIDER"), reinterpret_cast<intptr_t>(&host::db2Slider));
    EXPECT_EQ(lookUp("SLIDER2DB"), reinterpret_cast<intptr_t>(&host::slider2Db));
    EXPECT_EQ(lookUp("mkvolstr"), reinterpret_cast<intptr_t>(&host::mkVolStr));
    // Two names whose functions share a type, so a swap would compile.
    EXPECT_EQ(lookUp("VIZE_Circle"), reinterpret_cast<intptr_t>(&host::vizeCircle));
    EXPECT_EQ(lookUp("VIZE_FillCircle"), reinterpret_cast<intptr_t>(&host::vizeFillCircle));
    EXPECT_NE(lookUp("VIZE_CreateBitmap"), 0);
    EXPECT_NE(lookUp("__localizePrepareDialog"), 0);
    EXPECT_EQ(lookUp("NoSuchFunction"), 0);
    EXPECT_EQ(lookUp("db2slider"), 0) << "names are case-sensitive";
    char name[] = "DB2SLIDER";
    EXPECT_EQ(callHost(kHostLookupOpcode, 0, 0, name), 0) << "wrong index";
    EXPECT_EQ(callHost(kHostLookupOpcode, kHostLookupIndex, 0, nullptr), 0);
    host::HostOptions options;
    options.withheld = {"DB2SLIDER", "__localizeFunc"};
    host::resetHost(options);
    EXPECT_EQ(lookUp("DB2SLIDER"), 0);
    EXPECT_EQ(lookUp("__localizeFunc"), 0);
    EXPECT_NE(lookUp("SLIDER2DB"), 0);
    const std::vector<std::string> expected = {"DB2SLIDER", "__localizeFunc", "SLIDER2DB"};
    EXPECT_EQ(host::hostState().lookups, expected);
}

TEST_F(HostCallback, ConfigVarHandsOutTheOctaveOffset) {
    host::HostOptions options;
    options.midiOctaveOffset = -1;
    host::resetHost(options);
    auto getConfigVar = lookUpAs<GetConfigVarFn>("get_config_var");
    ASSERT_TRUE(getConfigVar);
    int size = 0;
    const void* value = getConfigVar("midioctoffs", &size);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(size, 4);
    EXPECT_EQ(*static_cast<const int32_t*>(value), -1);
    size = 0;
    EXPECT_EQ(getConfigVar("someothervar", &size), nullptr);
    EXPECT_EQ(size, 0);
}

TEST_F(HostCallback, LocalisationLeavesEverythingAsItWas) {
    auto localizeFunc = lookUpAs<LocalizeFuncFn>("__localizeFunc");
    auto prepareDialog = lookUpAs<LocalizePrepareDialogFn>("__localizePrepareDialog");
    ASSERT_TRUE(localizeFunc && prepareDialog);
    const char* text = "Set point...";
    EXPECT_EQ(localizeFunc(text, "tarnik_", 0), text);
    void* context[5] = {};
    int dialogProc = 0;
    EXPECT_EQ(prepareDialog("tarnik_", nullptr, 101, &dialogProc, 0, context, 5), nullptr);
}

TEST_F(HostCallback, WindowHelpersRememberWhatTheyAreGiven) {
    auto setName = lookUpAs<SetWindowAccessibilityStringFn>("SetWindowAccessibilityString");
    auto createGroups = lookUpAs<VacCreateGroupsFromTabFn>("vac_createGroupsFromTab");
    auto dpiScaling = lookUpAs<GetWindowDpiScalingFn>("GetWindowDPIScaling");
    auto tooltip = lookUpAs<GetTooltipWindowFn>("GetTooltipWindow");
    ASSERT_TRUE(setName && createGroups && dpiScaling && tooltip);
    int control = 0;
    setName(&control, "Output Gain (dB)", 0);
    EXPECT_EQ(host::extensionState().accessibleNames.at(&control), "Output Gain (dB)");
    setName(&control, nullptr, 0);
    EXPECT_EQ(host::extensionState().accessibleNames.count(&control), 0u);
    int tab = 0;
    int groups[] = {1002, 1011, 1013};
    EXPECT_TRUE(createGroups(&tab, groups, 3));
    EXPECT_EQ(host::extensionState().tabGroups.at(&tab), std::vector<int>({1002, 1011, 1013}));
    EXPECT_FALSE(createGroups(nullptr, groups, 3));
    EXPECT_FALSE(createGroups(&tab, groups, 0));
    EXPECT_EQ(dpiScaling(nullptr), 256);
    EXPECT_EQ(tooltip(&control), nullptr);
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
