// A user's edits in the editor: what each control changes in the running
// plug-in and what the host hears of it.
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

}  // namespace

TEST_F(EditorTest, TypedValuesSetTheirParameterAndFader) {
    struct Case {
        int edit;
        const char* text;
        int32_t index;
        double value;
        int fader;
        int position;  // -2: not checked
    } cases[] = {
        {IDC_GATE_EDIT, "-inf", kParamGateFloor, 0.0, IDC_GATE_FADER, host::faderPositionFromDb(-150)},
        {IDC_OUTPUT_EDIT, "-INF", kParamOutputGain, 0.0, IDC_OUTPUT_FADER, 0},
        {IDC_OUTPUT_EDIT, "-i", kParamOutputGain, 0.0, IDC_OUTPUT_FADER, 0},
        {IDC_OUTPUT_EDIT, "-6", kParamOutputGain, std::pow(10.0, -0.3), IDC_OUTPUT_FADER,
         host::faderPositionFromDb(-6.0)},
        {IDC_GATE_EDIT, "abc", kParamGateFloor, 1.0, IDC_GATE_FADER, host::faderPositionFromDb(0.0)},
        {IDC_GATE_EDIT, "", kParamGateFloor, 1.0, IDC_GATE_FADER, host::faderPositionFromDb(0.0)},
        {IDC_RATIO_EDIT, "150", kParamCompressorRatio, 1.0, IDC_RATIO_FADER, 1000},
        {IDC_RATIO_EDIT, "0", kParamCompressorRatio, 0.0, IDC_RATIO_FADER, 0},
        {IDC_RATIO_EDIT, "abc", kParamCompressorRatio, 0.0, IDC_RATIO_FADER, 0},
        {IDC_RATIO_EDIT, "-5", kParamCompressorRatio, 0.0, IDC_RATIO_FADER, 0},
        {IDC_ANALYSIS_FLOOR, "-60", kParamAnalysisFloor, 0.001, 0, -2},
    };
    for (const Case& test : cases) {
        // A value the typed text does not give, so a missed edit shows.
        instance().paramValues[test.index] = 0.25;
        forgetCalls();
        type(test.edit, test.text);
        EXPECT_NEAR(instance().paramValues[test.index], test.value, 1e-12) << test.text;
        if (test.fader) {
            EXPECT_EQ(faderPosition(test.fader), test.position) << test.text;
            EXPECT_EQ(host::faderValueText(item(test.fader)), test.text) << "the typed text goes to the fader";
        }
        const std::vector<Call> made = calls();
        ASSERT_FALSE(made.empty()) << test.text;
        EXPECT_EQ(made.back(), (Call{kAutomate, test.index, float(test.value)})) << test.text;
    }
}

TEST_F(EditorTest, TypingStartsOneGestureThatTheNextParameterOrAClickEnds) {
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
}

TEST_F(EditorTest, HousekeepingEndsAGestureWhoseFocusHasGone) {
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

TEST_F(EditorTest, GraphRangeEditsAreLimited) {
    struct Case {
        int edit;
        const char* text;
        double max, min;
    } cases[] = {
        {IDC_GRAPH_MAX, "-5", 0.0, -90.0},  {IDC_GRAPH_MAX, "30", 30.0, -90.0}, {IDC_GRAPH_MIN, "10", 30.0, -3.0},
        {IDC_GRAPH_MIN, "-200", 30.0, -150.0}, {IDC_GRAPH_MIN, "-60", 30.0, -60.0},
    };
    for (const Case& test : cases) {
        type(test.edit, test.text);
        EXPECT_EQ(instance().graphMaxDb, test.max) << test.text;
        EXPECT_EQ(instance().graphMinDb, test.min) << test.text;
    }
    EXPECT_TRUE(calls().empty()) << "the range is only stored";
}

TEST_F(EditorTest, SelectorsChangeTheStateAndTellTheHost) {
    choose(IDC_FFT_SIZE, 0);
    EXPECT_EQ(instance().fftSize, 128);
    EXPECT_EQ(effect()->initialDelay, 128);
    EXPECT_EQ(instance().analysisBuffer.size, 128 * 8);
    choose(IDC_FFT_SIZE, 8);
    EXPECT_EQ(instance().fftSize, 32768);
    EXPECT_EQ(calls(), (std::vector<Call>{kStateChange, kStateChange}));

    struct Quality {
        int item;
        double value;
    } qualities[] = {{2, 1.0}, {1, 0.0}, {0, 0.125}, {-1, 0.125}};
    for (const Quality& test : qualities) {
        forgetCalls();
        instance().tableChanged = 0;
        choose(IDC_QUALITY, test.item);
        EXPECT_EQ(instance().paramValues[kParamQuality], test.value) << test.item;
        const std::vector<Call> made = calls();
        ASSERT_FALSE(made.empty());
        EXPECT_EQ(made.back(), kStateChange) << "then the host hears of the state change";
        if (test.item >= 0) {
            EXPECT_EQ(instance().tableChanged, 1);
            EXPECT_NE(std::find(made.begin(), made.end(), Call{kAutomate, kParamQuality, float(test.value)}),
                      made.end());
        } else {
            EXPECT_EQ(made.size(), 1u) << "no selection changes nothing but is reported";
        }
    }

    choose(IDC_EDIT_MODE, 0);
    EXPECT_EQ(instance().editMode, 0);
    choose(IDC_EDIT_MODE, -1);
    EXPECT_EQ(instance().editMode, 0) << "no selection";
}

TEST_F(EditorTest, ModeSelectorShowsTheModesControls) {
    struct Case {
        int item;
        std::vector<int> shownControls;
        std::vector<int> hiddenControls;
    } cases[] = {
        {4, {IDC_AUTO_NOISE_PROFILE}, {IDC_REDUCE_ARTIFACTS, IDC_GATE_FADER, IDC_RATIO_FADER}},
        {1,
         {IDC_REDUCE_ARTIFACTS, IDC_GATE_LABEL, IDC_GATE_UNIT, IDC_GATE_EDIT, IDC_GATE_FADER},
         {IDC_AUTO_NOISE_PROFILE, IDC_RATIO_FADER, IDC_RATIO_EDIT}},
        {2,
         {IDC_REDUCE_ARTIFACTS, IDC_RATIO_LABEL, IDC_RATIO_UNIT, IDC_RATIO_EDIT, IDC_RATIO_FADER},
         {IDC_GATE_FADER, IDC_GATE_LABEL, IDC_AUTO_NOISE_PROFILE}},
        {0, {IDC_REDUCE_ARTIFACTS}, {IDC_GATE_FADER, IDC_RATIO_FADER, IDC_AUTO_NOISE_PROFILE}},
    };
    for (const Case& test : cases) {
        instance().autoNoiseProfile = 1;
        choose(IDC_MODE, test.item);
        EXPECT_EQ(instance().processingMode, test.item);
        EXPECT_EQ(instance().autoNoiseProfile, 0);
        pump();
        for (int id : test.shownControls) EXPECT_TRUE(shown(id)) << test.item << ": " << id;
        for (int id : test.hiddenControls) EXPECT_FALSE(shown(id)) << test.item << ": " << id;
    }
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

TEST_F(EditorTest, FaderMovesAreAutomatedAndEndOnEndScroll) {
    struct Move {
        int code;
        int position;
        const char* shown;
    } moves[] = {{SB_THUMBTRACK, 700, "-8.0"},
                 {SB_THUMBTRACK, 640, "-14.2"},
                 {SB_THUMBTRACK, 0, "-inf"},
                 {SB_ENDSCROLL, 0, "-inf"}};
    std::vector<Call> expected;
    for (const Move& move : moves) {
        moveFader(IDC_OUTPUT_FADER, move.code, move.position);
        const double value = double(amplitudeOfDb(host::faderDbFromPosition(move.position)));
        EXPECT_EQ(instance().paramValues[kParamOutputGain], value) << move.position;
        EXPECT_EQ(text(IDC_OUTPUT_EDIT), move.shown) << move.position;
        EXPECT_EQ(host::faderValueText(item(IDC_OUTPUT_FADER)), move.shown) << move.position;
        expected.push_back(move.code == SB_ENDSCROLL ? Call{kEnd, kParamOutputGain, 0.0f}
                                                     : Call{kAutomate, kParamOutputGain, float(value)});
    }
    EXPECT_EQ(calls(), expected) << "writing the edit box reports nothing";

    forgetCalls();
    moveFader(IDC_RATIO_FADER, SB_THUMBTRACK, 500);
    EXPECT_DOUBLE_EQ(instance().paramValues[kParamCompressorRatio], 0.015625);
    EXPECT_EQ(text(IDC_RATIO_EDIT), "1.76");
    moveFader(IDC_GATE_FADER, SB_ENDSCROLL, 500);
    EXPECT_EQ(calls(), (std::vector<Call>{{kAutomate, kParamCompressorRatio, 0.015625f},
                                                             {kEnd, kParamGateFloor, 0.0f}}));

    forgetCalls();
    SendMessageA(dialog(), WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 10), LPARAM(item(IDC_MODE)));
    EXPECT_TRUE(calls().empty()) << "a scroll from a window that is no fader";
}

TEST_F(EditorTest, MeteringSelectorStoresTheSource) {
    configureChannels(4, 2);
    sendToDialog(EDITOR_MSG_METERING);
    forgetCalls();
    struct Case {
        int item;
        int32_t source;
    } cases[] = {{9, 18}, {5, 145}, {2, 2}, {8, 16}, {-1, 16}};
    for (const Case& test : cases) {
        choose(IDC_METERING, test.item);
        EXPECT_EQ(instance().meteringSource, test.source) << test.item;
    }
    EXPECT_EQ(calls().size(), 4u) << "one state change per selection";
    instance().meteringSource = 18;
    sendToDialog(EDITOR_MSG_METERING);
    EXPECT_EQ(selection(IDC_METERING), 9);
}

TEST_F(EditorTest, ResetAndAutomaticNoiseProfile) {
    std::fill(std::begin(instance().binGainTable), std::end(instance().binGainTable), 0.5f);
    instance().tableChanged = 0;
    SendMessageA(dialog(), WM_COMMAND, MAKEWPARAM(IDC_RESET, BN_CLICKED), LPARAM(item(IDC_RESET)));
    EXPECT_EQ(instance().binGainTable[0], 1.0f);
    EXPECT_EQ(instance().binGainTable[4095], 1.0f);
    EXPECT_EQ(instance().tableChanged, 1);
    EXPECT_EQ(instance().pointCount, 2);

    ASSERT_EQ(instance().editMode, 2);
    instance().tableChanged = 0;
    setTicked(IDC_AUTO_NOISE_PROFILE, true);
    EXPECT_EQ(instance().autoNoiseProfile, 1);
    EXPECT_EQ(instance().editMode, 1);
    EXPECT_EQ(selection(IDC_EDIT_MODE), 1);
    EXPECT_EQ(text(IDC_HINT), "Hint: shift draws line, ctrl moves all");
    EXPECT_TRUE(std::all_of(std::begin(instance().binGainTable), std::end(instance().binGainTable),
                            [](float gain) { return gain == 0.0f; }));
    EXPECT_EQ(instance().tableChanged, 1);
    setTicked(IDC_AUTO_NOISE_PROFILE, false);
    EXPECT_EQ(instance().autoNoiseProfile, 0);
}

#endif
