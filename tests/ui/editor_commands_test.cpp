// A user's edits in the editor: what each control changes in the running
// plug-in and what the host hears of it. How texts, items and fader
// positions become values is tested natively; here one case per control
// proves the wiring.
#if defined(_WIN32)

#include <algorithm>
#include <cmath>
#include <iterator>

#include "editor_fixture.h"

using namespace vexlan;
using uitest::Call;
using uitest::EditorTest;
using uitest::kStateChange;

namespace {

constexpr int32_t kBegin = audioMasterBeginEdit;
constexpr int32_t kAutomate = audioMasterAutomate;
constexpr int32_t kEnd = audioMasterEndEdit;

float amplitudeOfDb(double dB) { return float(std::pow(10.0, dB / 20.0)); }

// The part of the state a selector sets.
double selectedState(const PluginInstance& g, int combo) {
    if (combo == IDC_FFT_SIZE) return g.fftSize;
    if (combo == IDC_QUALITY) return g.paramValues[kParamQuality];
    if (combo == IDC_EDIT_MODE) return g.editMode;
    if (combo == IDC_MODE) return g.processingMode;
    return g.meteringSource;
}

}  // namespace

TEST_F(EditorTest, TypingStartsOneGestureThatTheNextParameterAClickOrLostFocusEnds) {
    type(IDC_OUTPUT_EDIT, "-1");
    type(IDC_OUTPUT_EDIT, "-12");
    type(IDC_GATE_EDIT, "-70");
    EXPECT_EQ(instance().editGestureParam, kParamGateFloor);
    SendMessageA(dialog(), WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
    const std::vector<Call> expected = {
        {kBegin, kParamOutputGain, 0.0f},
        {kAutomate, kParamOutputGain, amplitudeOfDb(-1)},
        {kAutomate, kParamOutputGain, amplitudeOfDb(-12)},
        {kEnd, kParamOutputGain, 0.0f},
        {kBegin, kParamGateFloor, 0.0f},
        {kAutomate, kParamGateFloor, amplitudeOfDb(-70)},
        {kEnd, kParamGateFloor, 0.0f},
    };
    EXPECT_EQ(calls(), expected);
    EXPECT_EQ(instance().editGestureParam, -1);
    EXPECT_EQ(instance().editGestureFocus, nullptr);

    type(IDC_RATIO_EDIT, "10");
    forgetCalls();
    timer(2);
    EXPECT_TRUE(calls().empty()) << "the focus is where the gesture began";
    // A static text never holds the focus.
    instance().editGestureFocus = item(IDC_HINT);
    timer(2);
    EXPECT_EQ(calls(), (std::vector<Call>{{kEnd, kParamCompressorRatio, 0.0f}}));
    EXPECT_EQ(instance().editGestureParam, -1);
}

// Each edit box's own limit: the other one's would store 0 and -3. The top
// stays at or above 0 dB, the bottom between -150 and -3 dB.
TEST_F(EditorTest, GraphRangeEditsAreOnlyStored) {
    type(IDC_GRAPH_MAX, "30");
    type(IDC_GRAPH_MIN, "-1");
    EXPECT_EQ(instance().graphMaxDb, 30.0);
    EXPECT_EQ(instance().graphMinDb, -3.0);
    type(IDC_GRAPH_MAX, "-5");
    type(IDC_GRAPH_MIN, "-200");
    EXPECT_EQ(instance().graphMaxDb, 0.0);
    EXPECT_EQ(instance().graphMinDb, -150.0);
    EXPECT_TRUE(calls().empty());
}

TEST_F(EditorTest, SelectorsChangeTheStateAndTellTheHost) {
    configureChannels(4, 2);
    sendToDialog(EDITOR_MSG_METERING);
    struct Case {
        int combo, item;
        double state;
        std::vector<Call> heard;
    } cases[] = {
        {IDC_FFT_SIZE, 0, 128, {kStateChange}},
        {IDC_FFT_SIZE, -1, 128, {}},
        {IDC_QUALITY, 2, 1.0, {{kBegin, kParamQuality, 0}, {kAutomate, kParamQuality, 1}, kStateChange}},
        {IDC_QUALITY, -1, 1.0, {kStateChange}},
        {IDC_EDIT_MODE, 0, 0, {kStateChange}},
        {IDC_MODE, 2, 2, {kStateChange}},
        // Item 9 is the pair 3+4, there only with four inputs.
        {IDC_METERING, 9, 18, {kStateChange}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(testing::Message() << "selector " << test.combo << ", item " << test.item);
        forgetCalls();
        choose(test.combo, test.item);
        EXPECT_EQ(selectedState(instance(), test.combo), test.state);
        EXPECT_EQ(calls(), test.heard);
    }
}

// The dialog test shows the EQ mode's controls; here a mode with a fader of
// its own and one without.
TEST_F(EditorTest, ModeSelectorShowsTheModesControls) {
    instance().autoNoiseProfile = 1;
    choose(IDC_MODE, kModeSubtract);
    EXPECT_EQ(instance().autoNoiseProfile, 0) << "a new mode stops the learning";
    EXPECT_TRUE(pumpUntil(500, [&] { return shown(IDC_AUTO_NOISE_PROFILE); }));
    EXPECT_FALSE(shown(IDC_REDUCE_ARTIFACTS));
    choose(IDC_MODE, kModeCompressor);
    EXPECT_TRUE(pumpUntil(500, [&] { return shown(IDC_RATIO_FADER); }));
    for (int id : {IDC_RATIO_LABEL, IDC_RATIO_UNIT, IDC_RATIO_EDIT, IDC_REDUCE_ARTIFACTS}) EXPECT_TRUE(shown(id)) << id;
    for (int id : {IDC_GATE_FADER, IDC_GATE_EDIT, IDC_AUTO_NOISE_PROFILE}) EXPECT_FALSE(shown(id)) << id;
}

TEST_F(EditorTest, SwitchesResetTheAnalysisAndReportTheEdit) {
    float* analysis = static_cast<float*>(instance().analysisBuffer.data);
    analysis[7] = 3.0f;
    instance().paramValues[kParamOutputGain] = 1e-7;
    setTicked(IDC_SHOW_ANALYSIS, false);
    EXPECT_EQ(instance().paramValues[kParamShowAnalysis], 0.0);
    EXPECT_EQ(static_cast<float*>(instance().analysisBuffer.data)[7], 0.0f);
    EXPECT_EQ(instance().paramValues[kParamOutputGain], 0.0) << "a tiny gain becomes exact 0";
    setTicked(IDC_REDUCE_ARTIFACTS, true);
    EXPECT_EQ(instance().paramValues[kParamReduceArtifacts], 1.0);
    const std::vector<Call> expected = {
        {kBegin, kParamShowAnalysis, 0.0f},    {kAutomate, kParamShowAnalysis, 0.0f},
        {kEnd, kParamShowAnalysis, 0.0f},      {kBegin, kParamReduceArtifacts, 0.0f},
        {kAutomate, kParamReduceArtifacts, 1.0f},
    };
    EXPECT_EQ(calls(), expected);
}

// Each parameter's fader and edit box, both ways: which control belongs to
// which parameter is checked here only. The decibel faders follow the host's
// law, the ratio fader its own curve; the laws are tested natively.
TEST_F(EditorTest, FadersAndEditBoxesSetTheirParameter) {
    const auto hostLaw = [](int position) { return amplitudeOfDb(host::faderDbFromPosition(position)); };
    struct Case {
        int32_t index;
        int fader, edit;  // fader 0: the edit box has none
        int moved;
        double movedValue;
        const char* shown;
        const char* typed;
        double typedValue;
        int typedPosition;
    } cases[] = {
        {kParamOutputGain, IDC_OUTPUT_FADER, IDC_OUTPUT_EDIT, 700, hostLaw(700), "-8.0",
         "-6", std::pow(10.0, -0.3), host::faderPositionFromDb(-6.0)},
        {kParamGateFloor, IDC_GATE_FADER, IDC_GATE_EDIT, 500, hostLaw(500), "-33.0", "-inf", 0.0, 0},
        {kParamCompressorRatio, IDC_RATIO_FADER, IDC_RATIO_EDIT, 500, 0.015625, "1.76", "150", 1.0, 1000},
        {kParamAnalysisFloor, 0, IDC_ANALYSIS_FLOOR, 0, 0.0, "", "-60", 0.001, 0},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.typed);
        forgetCalls();
        if (test.fader) {
            moveFader(test.fader, SB_THUMBTRACK, test.moved);
            EXPECT_EQ(instance().paramValues[test.index], test.movedValue);
            EXPECT_EQ(text(test.edit), test.shown);
            EXPECT_EQ(host::faderValueText(item(test.fader)), test.shown);
            moveFader(test.fader, SB_ENDSCROLL, test.moved);
            const std::vector<Call> moved = {{kAutomate, test.index, float(test.movedValue)},
                                             {kEnd, test.index, 0.0f}};
            EXPECT_EQ(calls(), moved) << "writing the edit box reports nothing";
        }
        type(test.edit, test.typed);
        EXPECT_NEAR(instance().paramValues[test.index], test.typedValue, 1e-12);
        if (test.fader) {
            EXPECT_EQ(faderPosition(test.fader), test.typedPosition);
            EXPECT_EQ(host::faderValueText(item(test.fader)), test.typed) << "the text goes to the fader";
        }
        ASSERT_FALSE(calls().empty());
        EXPECT_EQ(calls().back(), (Call{kAutomate, test.index, float(test.typedValue)}));
    }
    forgetCalls();
    SendMessageA(dialog(), WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 10), LPARAM(item(IDC_MODE)));
    EXPECT_TRUE(calls().empty()) << "a scroll from a window that is no fader";
}

TEST_F(EditorTest, ResetAndAutomaticNoiseProfile) {
    std::fill(std::begin(instance().binGainTable), std::end(instance().binGainTable), 0.5f);
    instance().pointCount = 5;
    SendMessageA(dialog(), WM_COMMAND, MAKEWPARAM(IDC_RESET, BN_CLICKED), LPARAM(item(IDC_RESET)));
    EXPECT_EQ(instance().binGainTable[0], 1.0f);
    EXPECT_EQ(instance().pointCount, 2);

    // What learning does to the table is tested natively through the dispatcher.
    setTicked(IDC_AUTO_NOISE_PROFILE, true);
    EXPECT_EQ(instance().autoNoiseProfile, 1);
    EXPECT_EQ(selection(IDC_EDIT_MODE), 1) << "the editor shows the edit mode it chose";
    setTicked(IDC_AUTO_NOISE_PROFILE, false);
    EXPECT_EQ(instance().autoNoiseProfile, 0);
}

#endif
