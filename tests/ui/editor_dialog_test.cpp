// The editor's life and the controls it shows: opening, closing, the dialog
// resource, the values shown, host changes reaching the controls.
#if defined(_WIN32)

#include <cmath>

#include "editor_fixture.h"
#include "host_functions.h"

using namespace vexlan;
using uitest::EditorTest;

namespace {

std::string classOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string accessibleName(HWND window) {
    host::ExtensionState& state = host::extensionState();
    std::lock_guard<std::mutex> hold(state.mutex);
    const auto found = state.accessibleNames.find(window);
    return found == state.accessibleNames.end() ? "" : found->second;
}

}  // namespace

// The host's validation checks that no window outlives effEditClose or
// effClose; here the dialog's place and its accessible names.
TEST_F(EditorTest, OpensClosesAndReopensSafely) {
    HWND first = dialog();
    EXPECT_EQ(GetParent(first), frame_);
    EXPECT_TRUE(IsWindowVisible(first));
    HWND gateEdit = item(IDC_GATE_EDIT);
    EXPECT_EQ(accessibleName(gateEdit), "Gate Floor (dB)");

    ASSERT_EQ(dispatch(effEditOpen, frame_), 1) << "opening twice replaces the dialog";
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(accessibleName(gateEdit), "") << "accessible names are withdrawn";
    EXPECT_EQ(GetWindow(frame_, GW_CHILD), dialog());
    EXPECT_EQ(GetWindow(dialog(), GW_HWNDNEXT), nullptr) << "exactly one dialog";

    EXPECT_EQ(dispatch(effEditClose), 0);
    EXPECT_EQ(instance().editorWindow, nullptr);
    EXPECT_EQ(GetWindow(frame_, GW_CHILD), nullptr);
    EXPECT_EQ(dispatch(effEditClose), 0) << "closing without an editor";
}

// Labels and check boxes only repeat the resource; these controls show the state.
TEST_F(EditorTest, DialogHoldsTheControlsOfTheResource) {
    struct Control {
        int id;
        const char* windowClass;
        const char* text;
        bool visible;
    } controls[] = {
        {IDC_GRAPH, "FFTdisp", "", true},
        {IDC_GRAPH_MAX, "Edit", "+24", true},
        {IDC_GRAPH_MIN, "Edit", "-90", true},
        {IDC_FFT_SIZE, "ComboBox", "4096", true},
        {IDC_QUALITY, "ComboBox", "Best quality", true},
        {IDC_ANALYSIS_FLOOR, "Edit", "-90.0", true},
        {IDC_EDIT_MODE, "ComboBox", "Points (smooth)", true},
        {IDC_MODE, "ComboBox", "EQ", true},
        {IDC_GATE_FADER, host::kHorizontalFaderClass, "Gate Floor (dB)", false},
        {IDC_GATE_EDIT, "Edit", "-inf", false},
        {IDC_RATIO_FADER, host::kHorizontalFaderClass, "Compressor Ratio (:1)", false},
        {IDC_RATIO_EDIT, "Edit", "1.00", false},
        {IDC_OUTPUT_FADER, host::kVerticalFaderClass, "Output Gain (dB)", true},
        {IDC_OUTPUT_EDIT, "Edit", "+0.0", true},
        {IDC_HINT, "Static", "Hint: shift moves segments, ctrl moves all points", true},
        {IDC_METERING, "ComboBox", "Average", true},
    };
    for (const Control& control : controls) {
        HWND window = item(control.id);
        ASSERT_NE(window, nullptr) << control.id;
        EXPECT_EQ(classOf(window), control.windowClass) << control.id;
        EXPECT_EQ(text(control.id), control.text) << control.id;
        EXPECT_EQ(shown(control.id), control.visible) << control.id;
    }
    EXPECT_EQ(GetWindowLongA(dialog(), GWL_EXSTYLE) & WS_EX_CONTROLPARENT, WS_EX_CONTROLPARENT);
    EXPECT_EQ(accessibleName(item(IDC_ANALYSIS_FLOOR)), "Analysis Floor (dB)");
    EXPECT_EQ(accessibleName(item(IDC_GRAPH_MAX)), "Adjustment graph maximum (dB)");
    EXPECT_EQ(accessibleName(item(IDC_GRAPH_MIN)), "Adjustment graph minimum (dB)");
}

TEST_F(EditorTest, SelectorsHoldTheirItemsAndMeteringFollowsTheChannels) {
    struct Combo {
        int id;
        std::vector<std::string> items;
    } combos[] = {
        {IDC_MODE, {"EQ", "Gate", "Compressor", "Convolve L/R", "Subtract"}},
        {IDC_FFT_SIZE, {"128", "256", "512", "1024", "2048", "4096", "8192", "16384", "32768"}},
        {IDC_EDIT_MODE, {"Points (flat)", "Precise", "Points (smooth)"}},
    };
    for (const Combo& combo : combos) EXPECT_EQ(comboItems(combo.id), combo.items) << combo.id;

    configureChannels(4, 2);
    EXPECT_TRUE(pumpUntil(500, [&] { return comboItems(IDC_METERING).size() == 10; }));
    EXPECT_EQ(comboItems(IDC_METERING),
              (std::vector<std::string>{"Average", "Sum", "Max", "None", "1", "2", "3", "4", "1+2", "3+4"}));
    configureChannels(4, 1);
    EXPECT_TRUE(pumpUntil(500, [&] { return comboItems(IDC_METERING).size() == 8; })) << "no pairs apart";
    instance().meteringSource = 146;
    sendToDialog(EDITOR_MSG_METERING);
    EXPECT_EQ(selection(IDC_METERING), 6);
}

// Wall-clock time depends on the machine's load; the 200 ms timer's ticks
// do not: the first tick after the change shows it, with the rest of the state.
TEST_F(EditorTest, HostChangesShowWithin200MillisecondsAndChangeNothing) {
    pumpUntil(1000, [&] { return housekeepingTicks > 0; });
    housekeepingTicks = 0;
    instance().paramValues[kParamQuality] = 0.6;
    instance().fftSize = 1024;
    instance().editMode = 1;
    instance().processingMode = 4;
    instance().graphMaxDb = 12.4;
    effect()->setParameter(effect(), kParamOutputGain, 0.7f);
    EXPECT_TRUE(pumpUntil(2000, [&] { return text(IDC_OUTPUT_EDIT) == "-3.1"; }));
    EXPECT_EQ(housekeepingTicks, 1) << "shown at the first tick of the 200 ms timer";
    EXPECT_EQ(faderPosition(IDC_OUTPUT_FADER), host::faderPositionFromDb(20.0 * std::log10(double(0.7f))));
    EXPECT_EQ(selection(IDC_QUALITY), 2);
    EXPECT_EQ(selection(IDC_FFT_SIZE), 3);
    EXPECT_EQ(selection(IDC_MODE), 4);
    EXPECT_EQ(text(IDC_HINT), "Hint: shift draws line, ctrl moves all");
    EXPECT_EQ(text(IDC_GRAPH_MAX), "+12");
    EXPECT_EQ(instance().paramValues[kParamOutputGain], double(0.7f)) << "values shown rounded stay as they are";

    effect()->setParameter(effect(), kParamShowAnalysis, 0.0f);
    EXPECT_TRUE(pumpUntil(400, [&] { return IsDlgButtonChecked(dialog(), IDC_SHOW_ANALYSIS) == BST_UNCHECKED; }));
    EXPECT_TRUE(calls().empty()) << "reloading the controls reports nothing to the host";
}

#endif
