#include "graph/graph_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <initializer_list>
#include <iterator>
#include <vector>

#include "graph/display_axis.h"
#include "graph/edit_mode_hint.h"
#include "test_host.h"

using namespace vexlan;

namespace {

float lin(double dB) { return float(std::exp(dB * 0.11512925464970228)); }
double dbOf(float amplitude) { return 20.0 * std::log10(double(amplitude)); }
std::vector<float> tableOf(const PluginInstance& g) { return {std::begin(g.binGainTable), std::end(g.binGainTable)}; }

void setPoints(PluginInstance& g, std::initializer_list<GraphPoint> points) {
    g.pointCount = int32_t(points.size());
    std::copy(points.begin(), points.end(), g.points);
}

class GraphModel : public ::testing::Test {
protected:
    void SetUp() override { testhost::resetHost(); }
    testhost::Instance holder;
    PluginInstance& g = *holder;
};

}  // namespace

TEST(GraphConversions, DecibelsDisplayAxisAndHints) {
    for (double silent : {0.0, -1.0, std::nan(""), 2.9802322387695313e-8}) EXPECT_EQ(amplitudeToDb(silent), -150.0);
    EXPECT_NEAR(amplitudeToDb(1e-7), -140.0, 1e-9);
    EXPECT_EQ(dbToAmplitude(1e6), FLT_MAX);

    EXPECT_EQ(displayPosition(0.0), 0.0);
    EXPECT_NEAR(displayPosition(24000.0), 1.0, 1e-15);
    for (double x = 0.0; x <= 1.0; x += 0.125) EXPECT_NEAR(displayPosition(displayFrequency(x)), x, 1e-14);

    // The hints' wording is checked where the editor shows them.
    for (int32_t invalid : {3, -1, INT32_MIN}) EXPECT_STREQ(editModeHint(invalid), "");
}

TEST_F(GraphModel, OnePointGivesItsClampedGainEverywhereAndNoPointsChangeNothing) {
    for (int mode : {0, 2}) {
        g.editMode = mode;
        for (double gain : {-12.0, 30.0, -200.0}) {
            setPoints(g, {{1000.0, gain}});
            evaluateGraph(g);
            EXPECT_EQ(tableOf(g), std::vector<float>(kBinGainTableSize, lin(std::clamp(gain, -90.0, 24.0))));
        }
        g.pointCount = 0;
        evaluateGraph(g);
        EXPECT_EQ(g.binGainTable[7], lin(-90.0));
    }
}

TEST_F(GraphModel, UnsortedPointsEvaluateAsSortedAndStayInStorageOrder) {
    const GraphPoint a{200.0, -6.0}, b{2000.0, 9.0}, c{12000.0, -20.0};
    for (int mode : {0, 2}) {
        g.editMode = mode;
        setPoints(g, {a, b, c});
        evaluateGraph(g);
        const std::vector<float> sorted = tableOf(g);
        setPoints(g, {c, a, b});
        evaluateGraph(g);
        EXPECT_EQ(tableOf(g), sorted);
        EXPECT_EQ(g.points[0].frequency, c.frequency);
    }
}

TEST_F(GraphModel, LinearRuleIsLinearInDecibelsAndReachesBothEnds) {
    g.editMode = kEditPointsLinear;
    setPoints(g, {{6000.0, -10.0}, {12000.0, 10.0}});  // positions 1024 and 2048
    evaluateGraph(g);
    EXPECT_EQ(g.binGainTable[1023], lin(-10.0));
    EXPECT_EQ(g.binGainTable[1024], lin(-10.0));  // a segment starts at the left gain
    EXPECT_NEAR(dbOf(g.binGainTable[1536]), 0.0, 1e-5);
    EXPECT_EQ(g.binGainTable[2048], lin(10.0));
    g.graphMaxDb = 0.0;  // the clamp applies to interpolated values
    evaluateGraph(g);
    EXPECT_EQ(g.binGainTable[1800], 1.0f);

    // A point at 0 Hz leaves no leading run; one at 24000 Hz has position
    // 4096, so its segment ends at entry 4095 and no trailing run is left.
    g.graphMaxDb = 24.0;
    setPoints(g, {{0.0, -10.0}, {24000.0, 10.0}});
    evaluateGraph(g);
    EXPECT_EQ(g.binGainTable[0], lin(-10.0));
    EXPECT_NEAR(dbOf(g.binGainTable[4095]), -10.0 + 20.0 * 4095.0 / 4096.0, 1e-4);
}

TEST_F(GraphModel, LinearRuleTwoPointsAtOneFrequencyMakeAStep) {
    g.editMode = kEditPointsLinear;
    setPoints(g, {{1000.0, -6.0}, {1000.0, 6.0}});  // position 170
    evaluateGraph(g);
    const float below = g.binGainTable[0];
    const float above = g.binGainTable[4095];
    EXPECT_TRUE((below == lin(-6.0) && above == lin(6.0)) || (below == lin(6.0) && above == lin(-6.0)));
    for (int k = 0; k < kBinGainTableSize; ++k) ASSERT_EQ(g.binGainTable[k], k < 170 ? below : above) << k;
}

TEST_F(GraphModel, NoStoredFrequencyWritesOutsideTheTable) {
    g.editMode = kEditPointsSmooth;
    evaluateGraph(g);  // sizes the scratch that follows the table in the instance
    const GrowableBuffer scratch = g.graphScratch[0];
    g.editMode = kEditPointsLinear;
    for (double top : {24005.859375, 30000.0, 1e9, double(INFINITY)}) {
        setPoints(g, {{100.0, -20.0}, {top, 20.0}});
        evaluateGraph(g);
        EXPECT_EQ(g.graphScratch[0].data, scratch.data) << top;
        EXPECT_EQ(g.graphScratch[0].size, scratch.size) << top;
        EXPECT_LT(dbOf(g.binGainTable[4095]), 20.0) << top;  // the segment is cut at the last entry
    }
    const double nan = std::nan("");
    const double inf = INFINITY;
    for (int mode : {0, 2}) {
        g.editMode = mode;
        setPoints(g, {{-50.0, 12.0}, {6000.0, -12.0}});  // below 0 Hz writes nothing of its own
        evaluateGraph(g);
        EXPECT_EQ(g.binGainTable[0], lin(12.0));
        setPoints(g, {{nan, 3.0}, {100.0, -6.0}, {inf, 6.0}, {2000.0, nan}, {-inf, inf}});
        evaluateGraph(g);
        for (float v : g.binGainTable) ASSERT_TRUE(std::isfinite(v)) << "mode " << mode;
    }
}

TEST_F(GraphModel, SmoothRuleMakesAnSCurveWithLevelEnds) {
    g.editMode = kEditPointsSmooth;
    setPoints(g, {{100.0, -12.0}, {10000.0, 12.0}});
    evaluateGraph(g);
    // The two-point segment (level ends, handles a quarter of the width in),
    // solved for t far more finely than eight bisection rounds.
    const struct {
        int entry;
        double dB;
    } along[] = {{20, -11.8645}, {30, -10.6422}, {50, -8.0696}, {100, -3.6787}, {170, -0.0272},
                 {300, 3.8776}, {600, 8.2386}, {1000, 10.7623}, {1500, 11.9084}, {1700, 11.9999}};
    for (const auto& at : along) EXPECT_NEAR(dbOf(g.binGainTable[at.entry]), at.dB, 0.02) << at.entry;
    EXPECT_NEAR(dbOf(g.binGainTable[17]), -12.0, 1e-5) << "level up to the first point (99.6 Hz)";
    EXPECT_NEAR(dbOf(g.binGainTable[1707]), 12.0, 1e-5) << "and from the last (10002 Hz)";

    // Handles follow the neighbours' chord, so the curve may overshoot the clamped gains.
    g.graphMaxDb = 6.0;
    setPoints(g, {{100.0, -40.0}, {1000.0, 20.0}, {1300.0, 6.0}, {12000.0, -40.0}});
    evaluateGraph(g);
    EXPECT_GT(dbOf(*std::max_element(std::begin(g.binGainTable), std::end(g.binGainTable))), 6.0);
}

TEST_F(GraphModel, LeavingPreciseWithFewPointsReadsEightFromTheTable) {
    g.editMode = kEditPrecise;
    for (int k = 0; k < kBinGainTableSize; ++k) g.binGainTable[k] = float(k + 1) / 4096.0f;
    g.binGainTable[0] = 0.0f;
    setEditMode(g, kEditPointsLinear);
    ASSERT_EQ(g.pointCount, 8);
    const double frequencies[] = {0, 81.26, 272.59, 723.04, 1783.58, 4280.50, 10159.22, 24000};
    const int entries[] = {0, 13, 46, 123, 304, 730, 1733, 4095};
    EXPECT_EQ(g.points[0].gain, -150.0);  // an entry of 0
    for (int i = 0; i < 8; ++i) {
        EXPECT_NEAR(g.points[i].frequency, frequencies[i], 0.005) << i;
        if (i > 0) {
            EXPECT_NEAR(g.points[i].gain, 20.0 * std::log10((entries[i] + 1) / 4096.0), 1e-5) << i;
        }
    }
}

TEST_F(GraphModel, OtherModeChangesConvertNothing) {
    g.editMode = kEditPointsSmooth;
    setPoints(g, {{100, -12}, {10000, 12}});
    evaluateGraph(g);
    const float smooth = g.binGainTable[500];
    setEditMode(g, kEditPointsLinear);  // re-evaluates, keeps the points
    EXPECT_EQ(g.pointCount, 2);
    EXPECT_NE(g.binGainTable[500], smooth);

    for (int k = 0; k < kBinGainTableSize; ++k) g.binGainTable[k] = float(k);
    g.tableChanged = 0;
    setEditMode(g, kEditPrecise);  // the table stays as it is
    for (int32_t invalid : {3, -1, INT32_MAX}) setEditMode(g, invalid);
    EXPECT_EQ(g.editMode, kEditPrecise);
    EXPECT_EQ(g.pointCount, 2);
    EXPECT_EQ(g.tableChanged, 0);
    for (int k = 0; k < kBinGainTableSize; ++k) ASSERT_EQ(g.binGainTable[k], float(k));
}
