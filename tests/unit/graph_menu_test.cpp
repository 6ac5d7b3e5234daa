#include "graph/graph_menu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "graph/graph_model.h"
#include "graph/quality_mode.h"
#include "graph/set_point.h"
#include "shell/parameters.h"
#include "test_host.h"

using namespace vexlan;

namespace {

class GraphMenu : public ::testing::Test {
protected:
    void SetUp() override { testhost::resetHost(); }
    std::vector<int32_t> checked() const {
        const GraphMenuMarks marks = prepareGraphMenu(g);
        std::vector<int32_t> ids(marks.checked, marks.checked + marks.checkedCount);
        std::sort(ids.begin(), ids.end());
        return ids;
    }
    std::vector<testhost::HostCall>& calls() { return testhost::currentHost().calls; }

    testhost::Instance holder;
    PluginInstance& g = *holder;
};

}  // namespace

TEST_F(GraphMenu, ChecksFollowModeSizeQualityEditModeAndSwitches) {
    struct Row {
        int32_t processingMode, fftSize;
        double quality;
        int32_t editMode;
        double showAnalysis, reduceArtifacts;
        std::vector<int32_t> checked;  // sorted
        bool insertGreyed;
    };
    const Row rows[] = {
        {4, 128, 0.0, 1, 0.5, 0.0, {40007, 40009, 40019, 40025, 40027}, true},
        {2, 32768, 1.0, 0, 0.49, 0.5, {40006, 40017, 40020, 40023, 40026}, false},
        {1, 1024, 0.0625, 2, 1.0, 1.0, {40008, 40012, 40018, 40022, 40026, 40027}, false},
        {3, 256, 0.5, 1, 0.0, 0.0, {40007, 40010, 40018, 40024}, true},
        {0, 512, 0.51, 0, 0.0, 0.0, {40006, 40011, 40020, 40021}, false},
    };
    for (const Row& row : rows) {
        g.processingMode = row.processingMode;
        g.fftSize = row.fftSize;
        g.paramValues[kParamQuality] = row.quality;
        g.editMode = row.editMode;
        g.paramValues[kParamShowAnalysis] = row.showAnalysis;
        g.paramValues[kParamReduceArtifacts] = row.reduceArtifacts;
        EXPECT_EQ(checked(), row.checked) << "size " << row.fftSize << ", quality " << row.quality;
        EXPECT_EQ(prepareGraphMenu(g).insertGreyed, row.insertGreyed);
    }
}

TEST_F(GraphMenu, SettingsCommands) {
    applyGraphMenuCommand(g, 40009, 0, 0);
    EXPECT_EQ(g.fftSize, 128);
    applyGraphMenuCommand(g, 40017, 0, 0);
    EXPECT_EQ(g.fftSize, 32768);
    EXPECT_EQ(g.effect.initialDelay, 32768);

    g.autoNoiseProfile = 1;
    applyGraphMenuCommand(g, 40025, 0, 0);
    EXPECT_EQ(g.processingMode, kModeSubtract);
    EXPECT_EQ(g.autoNoiseProfile, 0);

    applyGraphMenuCommand(g, 40006, 0, 0);
    EXPECT_EQ(g.editMode, kEditPointsLinear);
}

// Switches flip at 0.5; the quality items set their value. Either way the
// host hears the new value and the analysis restarts.
TEST_F(GraphMenu, ReportedCommandsSetTheirParameter) {
    struct Row {
        int32_t command, parameter;
        double before, after;
    };
    const Row rows[] = {
        {40027, kParamShowAnalysis, 0.0, 1.0},    {40027, kParamShowAnalysis, 1.0, 0.0},
        {40027, kParamShowAnalysis, 0.5, 1.0},    {40026, kParamReduceArtifacts, 0.51, 0.0},
        {40026, kParamReduceArtifacts, 0.0, 1.0}, {40020, kParamQuality, 0.125, 1.0},
        {40019, kParamQuality, 1.0, 0.0},         {40018, kParamQuality, 0.0, 0.125},
    };
    for (const Row& row : rows) {
        g.paramValues[row.parameter] = row.before;
        g.tableChanged = 0;
        calls().clear();
        applyGraphMenuCommand(g, row.command, 0, 0);
        EXPECT_EQ(g.paramValues[row.parameter], row.after) << row.command << " from " << row.before;
        EXPECT_EQ(g.tableChanged, 1) << row.command;
        ASSERT_FALSE(calls().empty());
        EXPECT_EQ(calls().back().opcode, audioMasterAutomate);
        EXPECT_EQ(calls().back().index, row.parameter);
        EXPECT_EQ(calls().back().value, float(row.after)) << "the host hears the new value";
    }
    calls().clear();
    g.tableChanged = 0;
    setQualityMode(g, 3);
    setQualityMode(g, -1);
    EXPECT_EQ(g.paramValues[kParamQuality], 0.125) << "other choices are ignored";
    EXPECT_EQ(g.tableChanged, 0);
    EXPECT_TRUE(calls().empty());
}

// Dismissing, inserting at the click and setting 0 dB are driven through the
// graph window; here what they leave in the table, removal and the limits.
TEST_F(GraphMenu, PointCommandsInsertRemoveAndReset) {
    resetGraphPoints(g);
    applyGraphMenuCommand(g, 40004, 1000.0, -6.0);
    ASSERT_EQ(g.pointCount, 3);
    EXPECT_NEAR(g.binGainTable[int(1000.0 * 4096 / 24000)], dbToAmplitude(-6.0), 1e-3);

    g.tableChanged = 0;
    std::fill(std::begin(g.binGainTable), std::end(g.binGainTable), 0.5f);
    applyPointMenuCommand(g, 0, 40002);
    ASSERT_EQ(g.pointCount, 2);
    EXPECT_EQ(g.points[1].frequency, 1000.0) << "the order of the rest is kept";
    EXPECT_EQ(g.tableChanged, 1);
    EXPECT_NEAR(g.binGainTable[0], dbToAmplitude(-6.0), 1e-6) << "re-evaluated without the removed point";
    for (int32_t index : {-1, 2}) applyPointMenuCommand(g, index, 40002);
    EXPECT_EQ(g.pointCount, 2) << "an index outside the points is ignored";

    for (int i = g.pointCount; i < kMaxGraphPoints; ++i) applyGraphMenuCommand(g, 40004, 100.0 * i, 0.0);
    ASSERT_EQ(g.pointCount, kMaxGraphPoints);
    applyGraphMenuCommand(g, 40004, 50.0, 3.0);
    EXPECT_EQ(g.pointCount, kMaxGraphPoints) << "a full graph takes no more";

    // Reset: two points at 0 dB, a third and two thirds across, and a flat table.
    g.tableChanged = 0;
    std::fill(std::begin(g.binGainTable), std::end(g.binGainTable), 0.5f);
    applyGraphMenuCommand(g, 40005, 0, 0);
    ASSERT_EQ(g.pointCount, 2);
    EXPECT_NEAR(g.points[0].frequency, 382.45187640976866, 1e-9);
    EXPECT_NEAR(g.points[1].frequency, 3202.727715642087, 1e-9);
    EXPECT_EQ(g.points[1].gain, 0.0);
    EXPECT_EQ(g.tableChanged, 1);
    EXPECT_TRUE(
        std::all_of(std::begin(g.binGainTable), std::end(g.binGainTable), [](float v) { return v == 1.0f; }));
}

TEST_F(GraphMenu, SetPointLimits) {
    resetGraphPoints(g);
    g.graphMaxDb = 12.0;
    g.graphMinDb = -60.0;
    struct Row {
        const char* frequency;
        const char* gain;
        double storedFrequency, storedGain;
    };
    const Row rows[] = {
        {"-5", "-3", 0.0, -3.0},          {"30000", "100", 24000.0, 12.0}, {"1234.5", "-200", 1234.5, -60.0},
        {"abc", "x", 0.0, 0.0},           {"nan", "nan", 0.0, 0.0},        {"24000", "12", 24000.0, 12.0},
        {"440Hz", " -7.25dB", 440.0, -7.25},
    };
    for (const Row& row : rows) {
        SetPointDialog values{};
        readSetPointTexts(values, row.frequency, row.gain);
        applySetPoint(g, 1, values);
        EXPECT_EQ(g.points[1].frequency, row.storedFrequency) << row.frequency;
        EXPECT_EQ(g.points[1].gain, row.storedGain) << row.gain;
    }
    EXPECT_NEAR(g.binGainTable[4095], dbToAmplitude(-7.25), 1e-6) << "evaluated";
    char text[32];  // the dialog shows what it formats; here the sign of a rounded zero
    formatSetPointValue(-0.004, text, sizeof text);
    EXPECT_STREQ(text, "-0.00");
}
