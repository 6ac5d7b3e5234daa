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

constexpr double kDbToLin = 0.11512925464970228;

double dbOf(float amplitude) { return 20.0 * std::log10(double(amplitude)); }

double entryFrequency(int k) { return k * 24000.0 / 4096.0; }

void setPoints(PluginInstance& instance, std::initializer_list<GraphPoint> points) {
    instance.pointCount = int32_t(points.size());
    std::copy(points.begin(), points.end(), instance.points);
}

class GraphModel : public ::testing::Test {
protected:
    void SetUp() override {
        testhost::resetHost();
        ASSERT_NE(instance.effect(), nullptr);
    }
    PluginInstance& graph() { return *instance; }
    testhost::Instance instance;
};

// Reference for the smooth rule between two points: the same Bezier segment
// (level ends, handles a quarter of the width in), solved for t far more
// finely than the eight bisection rounds.
double smoothTwoPointReferenceDb(double f0, double g0, double f1, double g1, double frequency) {
    const double top = std::log(24000.0);
    const double x0 = std::log(f0) / top;
    const double x3 = std::log(f1) / top;
    const double q = std::log(frequency) / top;
    if (q <= x0) return g0;
    if (q >= x3) return g1;
    const double w = x3 - x0;
    auto x = [&](double t) {
        const double u = 1.0 - t;
        return u * u * u * x0 + 3 * u * u * t * (x0 + w / 4) + 3 * u * t * t * (x3 - w / 4) + t * t * t * x3;
    };
    double lo = 0.0;
    double hi = 1.0;
    for (int i = 0; i < 60; ++i) {
        const double t = (lo + hi) / 2;
        (x(t) < q ? lo : hi) = t;
    }
    const double t = (lo + hi) / 2;
    const double u = 1.0 - t;
    return (u * u * u + 3 * u * u * t) * g0 + (3 * u * t * t + t * t * t) * g1;
}

}  // namespace

TEST(GraphAmplitude, DecibelConversionHasAFloorAt150Db) {
    EXPECT_EQ(amplitudeToDb(0.0), -150.0);
    EXPECT_EQ(amplitudeToDb(-1.0), -150.0);
    EXPECT_EQ(amplitudeToDb(std::nan("")), -150.0);
    // 2^-25 itself is about -150.5 dB and is raised to the floor.
    EXPECT_EQ(amplitudeToDb(2.9802322387695313e-8), -150.0);
    EXPECT_EQ(amplitudeToDb(2.9802322387695312e-8), -150.0);
    EXPECT_NEAR(amplitudeToDb(1e-7), -140.0, 1e-9);
    EXPECT_NEAR(amplitudeToDb(1.0), 0.0, 1e-12);
    EXPECT_NEAR(amplitudeToDb(10.0), 20.0, 1e-12);
    EXPECT_NEAR(amplitudeToDb(0.5), -6.020599913279624, 1e-12);

    EXPECT_FLOAT_EQ(dbToAmplitude(-6.020599913279624), 0.5f);
    EXPECT_FLOAT_EQ(dbToAmplitude(24.0), 15.848932f);
    EXPECT_EQ(dbToAmplitude(1e6), FLT_MAX);
    EXPECT_EQ(dbToAmplitude(-1e6), 0.0f);
}

TEST(GraphDisplayAxis, MapsZeroToTheLeftEdgeAnd24kHzToTheRight) {
    EXPECT_EQ(displayPosition(0.0), 0.0);
    EXPECT_NEAR(displayPosition(24000.0), 1.0, 1e-15);
    EXPECT_NEAR(displayPosition(60.0), std::log(2.0) / std::log(401.0), 1e-15);
    EXPECT_EQ(displayFrequency(0.0), 0.0);
    EXPECT_NEAR(displayFrequency(1.0), 24000.0, 1e-9);
    for (double x = 0.0; x <= 1.0; x += 0.0625) EXPECT_NEAR(displayPosition(displayFrequency(x)), x, 1e-14);
}

TEST(GraphEditModeHint, ThreeModesHaveHintsAndOthersNone) {
    EXPECT_STREQ(editModeHint(0), "Hint: shift moves segments, ctrl moves all points");
    EXPECT_STREQ(editModeHint(1), "Hint: shift draws line, ctrl moves all");
    EXPECT_STREQ(editModeHint(2), "Hint: shift moves segments, ctrl moves all points");
    EXPECT_STREQ(editModeHint(3), "");
    EXPECT_STREQ(editModeHint(-1), "");
    EXPECT_STREQ(editModeHint(INT32_MIN), "");
}

TEST_F(GraphModel, DefaultPointsSitAtOneAndTwoThirdsOfTheDisplayAxis) {
    PluginInstance& g = graph();
    g.pointCount = 0;
    resetGraphPoints(g);
    ASSERT_EQ(g.pointCount, 2);
    EXPECT_NEAR(g.points[0].frequency, 382.45187640976866, 1e-9);
    EXPECT_NEAR(g.points[1].frequency, 3202.727715642087, 1e-9);
    EXPECT_NEAR(displayPosition(g.points[0].frequency), 1.0 / 3.0, 1e-12);
    EXPECT_NEAR(displayPosition(g.points[1].frequency), 2.0 / 3.0, 1e-12);
    EXPECT_EQ(g.points[0].gain, 0.0);
    EXPECT_EQ(g.points[1].gain, 0.0);
}

TEST_F(GraphModel, ResetGraphGivesAFlatTableAndDefaultPointsInEveryMode) {
    for (int mode : {0, 1, 2}) {
        PluginInstance& g = graph();
        g.editMode = mode;
        setPoints(g, {{100, 12}, {1000, -40}, {9000, 3}});
        std::fill(std::begin(g.binGainTable), std::end(g.binGainTable), 0.25f);
        g.tableChanged = 0;
        resetGraph(g);
        EXPECT_EQ(g.pointCount, 2);
        EXPECT_NEAR(g.points[0].frequency, 382.45, 0.01);
        EXPECT_NEAR(g.points[1].frequency, 3202.73, 0.01);
        EXPECT_EQ(g.tableChanged, 1);
        EXPECT_TRUE(std::all_of(std::begin(g.binGainTable), std::end(g.binGainTable), [](float v) { return v == 1.0f; }))
            << "mode " << mode;
    }
}

TEST_F(GraphModel, WithoutPointsTheTableIsLeftAlone) {
    PluginInstance& g = graph();
    for (int mode : {0, 2}) {
        g.editMode = mode;
        g.pointCount = 0;
        std::fill(std::begin(g.binGainTable), std::end(g.binGainTable), 0.5f);
        evaluateGraph(g);
        EXPECT_TRUE(std::all_of(std::begin(g.binGainTable), std::end(g.binGainTable), [](float v) { return v == 0.5f; }));
    }
}

TEST_F(GraphModel, OnePointGivesItsClampedGainEverywhereInBothRules) {
    PluginInstance& g = graph();
    struct Case {
        double gain;
        double expectedDb;
    };
    for (int mode : {0, 2}) {
        for (Case c : {Case{-12.0, -12.0}, Case{30.0, 24.0}, Case{-200.0, -90.0}}) {
            g.editMode = mode;
            setPoints(g, {{1000.0, c.gain}});
            evaluateGraph(g);
            const float expected = float(std::exp(c.expectedDb * kDbToLin));
            for (int k = 0; k < kBinGainTableSize; ++k) {
                ASSERT_EQ(g.binGainTable[k], expected) << "mode " << mode << " gain " << c.gain << " entry " << k;
            }
        }
    }
    EXPECT_NEAR(std::exp(24.0 * kDbToLin), 15.849, 1e-3);
}

TEST_F(GraphModel, UnsortedPointsEvaluateAsSortedAndKeepTheirStorageOrder) {
    PluginInstance& g = graph();
    const GraphPoint a{200.0, -6.0}, b{2000.0, 9.0}, c{12000.0, -20.0};
    for (int mode : {0, 2}) {
        g.editMode = mode;
        setPoints(g, {a, b, c});
        evaluateGraph(g);
        const std::vector<float> sortedTable(std::begin(g.binGainTable), std::end(g.binGainTable));

        setPoints(g, {c, a, b});
        std::fill(std::begin(g.binGainTable), std::end(g.binGainTable), 0.0f);
        evaluateGraph(g);
        EXPECT_EQ(std::vector<float>(std::begin(g.binGainTable), std::end(g.binGainTable)), sortedTable);
        EXPECT_EQ(g.points[0].frequency, c.frequency);
        EXPECT_EQ(g.points[1].frequency, a.frequency);
        EXPECT_EQ(g.points[2].frequency, b.frequency);
    }
}

TEST_F(GraphModel, LinearRuleInterpolatesInDecibelsOverTheTableIndex) {
    PluginInstance& g = graph();
    g.editMode = kEditPointsLinear;
    // Table positions 1024 and 2048.
    setPoints(g, {{6000.0, -10.0}, {12000.0, 10.0}});
    evaluateGraph(g);
    EXPECT_FLOAT_EQ(g.binGainTable[0], float(std::exp(-10.0 * kDbToLin)));
    EXPECT_FLOAT_EQ(g.binGainTable[1023], float(std::exp(-10.0 * kDbToLin)));
    // The first entry of a segment carries exactly the left point's gain.
    EXPECT_EQ(g.binGainTable[1024], float(std::exp(-10.0 * kDbToLin)));
    EXPECT_NEAR(dbOf(g.binGainTable[1536]), 0.0, 1e-5);
    EXPECT_NEAR(dbOf(g.binGainTable[2047]), -10.0 + 20.0 * 1023.0 / 1024.0, 1e-4);
    EXPECT_FLOAT_EQ(g.binGainTable[2048], float(std::exp(10.0 * kDbToLin)));
    EXPECT_FLOAT_EQ(g.binGainTable[4095], float(std::exp(10.0 * kDbToLin)));
    // A range change takes effect at the next evaluation, on the interpolated value.
    g.graphMaxDb = 0.0;
    evaluateGraph(g);
    EXPECT_NEAR(dbOf(g.binGainTable[1536]), 0.0, 1e-5);
    EXPECT_FLOAT_EQ(g.binGainTable[1800], 1.0f);
    EXPECT_FLOAT_EQ(g.binGainTable[4095], 1.0f);
}

TEST_F(GraphModel, LinearRuleAtTheEdgesOfTheFrequencyRange) {
    PluginInstance& g = graph();
    g.editMode = kEditPointsLinear;
    setPoints(g, {{0.0, -10.0}, {24000.0, 10.0}});
    std::fill(std::begin(g.binGainTable), std::end(g.binGainTable), 0.0f);
    evaluateGraph(g);
    // No leading run: entry 0 starts the segment; the point at 24000 Hz has
    // position 4096, so the segment reaches entry 4095 and no trailing run remains.
    EXPECT_EQ(g.binGainTable[0], float(std::exp(-10.0 * kDbToLin)));
    EXPECT_NEAR(dbOf(g.binGainTable[4095]), -10.0 + 20.0 * 4095.0 / 4096.0, 1e-4);
    EXPECT_NEAR(dbOf(g.binGainTable[2048]), 0.0, 1e-4);
}

TEST_F(GraphModel, LinearRuleTwoPointsAtOneFrequencyMakeAStep) {
    PluginInstance& g = graph();
    g.editMode = kEditPointsLinear;
    // 1000 Hz is table position 170.
    setPoints(g, {{1000.0, -6.0}, {1000.0, 6.0}});
    evaluateGraph(g);
    const float low = float(std::exp(-6.0 * kDbToLin));
    const float high = float(std::exp(6.0 * kDbToLin));
    const float below = g.binGainTable[169];
    const float above = g.binGainTable[170];
    EXPECT_TRUE((below == low && above == high) || (below == high && above == low));
    for (int k = 0; k < 170; ++k) ASSERT_EQ(g.binGainTable[k], below);
    for (int k = 170; k < kBinGainTableSize; ++k) ASSERT_EQ(g.binGainTable[k], above);
}

TEST_F(GraphModel, NoStoredFrequencyReachesOutsideTheTable) {
    PluginInstance& g = graph();
    // Evaluate once so both scratch buffers exist, then watch the fields
    // that follow the table in the instance.
    g.editMode = kEditPointsSmooth;
    evaluateGraph(g);
    const GrowableBuffer scratchBefore = g.graphScratch[0];
    const int32_t modeBefore = g.processingMode;

    g.editMode = kEditPointsLinear;
    for (double top : {24005.859375, 30000.0, 1e9, double(INFINITY)}) {
        setPoints(g, {{100.0, -20.0}, {top, 20.0}});
        evaluateGraph(g);
        EXPECT_EQ(g.graphScratch[0].data, scratchBefore.data) << top;
        EXPECT_EQ(g.graphScratch[0].allocated, scratchBefore.allocated) << top;
        EXPECT_EQ(g.graphScratch[0].size, scratchBefore.size) << top;
        EXPECT_EQ(g.graphScratch[0].granularity, scratchBefore.granularity) << top;
        EXPECT_EQ(g.processingMode, modeBefore);
        // The segment is cut at the last entry instead of running past it.
        EXPECT_LT(dbOf(g.binGainTable[4095]), 20.0) << top;
        EXPECT_GT(dbOf(g.binGainTable[4095]), -20.0) << top;
    }
    // Frequencies below 0 Hz and NaN write nothing of their own.
    for (double bottom : {-50.0, -1e12, -double(INFINITY), std::nan("")}) {
        setPoints(g, {{bottom, 12.0}, {6000.0, -12.0}});
        evaluateGraph(g);
        EXPECT_EQ(g.binGainTable[0], float(std::exp(12.0 * kDbToLin))) << bottom;
        EXPECT_EQ(g.binGainTable[4095], float(std::exp(-12.0 * kDbToLin))) << bottom;
    }
    // Non-finite values give finite gains in both rules.
    const double nan = std::nan("");
    const double inf = INFINITY;
    for (int mode : {0, 2}) {
        g.editMode = mode;
        setPoints(g, {{nan, 3.0}, {1e30, -3.0}, {-1e30, 0.0}, {inf, 1.0}, {500.0, 2.0}});
        evaluateGraph(g);
        for (float v : g.binGainTable) ASSERT_TRUE(std::isfinite(v)) << "mode " << mode;
        setPoints(g, {{100.0, -6.0}, {inf, 6.0}, {2000.0, nan}, {-inf, inf}});
        evaluateGraph(g);
        for (float v : g.binGainTable) ASSERT_TRUE(std::isfinite(v)) << "mode " << mode;
    }
}

TEST_F(GraphModel, AnyEditModeValueButTwoUsesTheLinearRule) {
    PluginInstance& g = graph();
    setPoints(g, {{300.0, -30.0}, {8000.0, 6.0}});
    g.editMode = kEditPointsLinear;
    evaluateGraph(g);
    const std::vector<float> linear(std::begin(g.binGainTable), std::end(g.binGainTable));
    for (int32_t mode : {1, 3, -1, 1000}) {
        g.editMode = mode;
        std::fill(std::begin(g.binGainTable), std::end(g.binGainTable), 0.0f);
        evaluateGraph(g);
        EXPECT_EQ(std::vector<float>(std::begin(g.binGainTable), std::end(g.binGainTable)), linear) << mode;
    }
}

TEST_F(GraphModel, SmoothRuleMakesAnSCurveBetweenTwoPoints) {
    PluginInstance& g = graph();
    g.editMode = kEditPointsSmooth;
    setPoints(g, {{100.0, -12.0}, {10000.0, 12.0}});
    evaluateGraph(g);
    // Level beyond the points.
    for (int k = 0; k < kBinGainTableSize; ++k) {
        const double f = entryFrequency(k);
        if (f <= 100.0) {
            ASSERT_FLOAT_EQ(g.binGainTable[k], float(std::exp(-12.0 * kDbToLin))) << k;
        }
        if (f >= 10000.0) {
            ASSERT_FLOAT_EQ(g.binGainTable[k], float(std::exp(12.0 * kDbToLin))) << k;
        }
    }
    // Rising, following the Bezier S-curve, symmetric about the middle in
    // log frequency, where it crosses 0 dB.
    double previous = -12.0;
    for (int k = 18; k < 1707; ++k) {
        const double db = dbOf(g.binGainTable[k]);
        ASSERT_GE(db, previous - 1e-4) << k;
        ASSERT_NEAR(db, smoothTwoPointReferenceDb(100.0, -12.0, 10000.0, 12.0, entryFrequency(k)), 0.02) << k;
        previous = db;
    }
    const int middle = int(1000.0 * 4096.0 / 24000.0);
    EXPECT_NEAR(dbOf(g.binGainTable[middle]), 0.0, 0.2);
    // Level ends: the first steps away from each point are small.
    EXPECT_LT(dbOf(g.binGainTable[18]) + 12.0, 0.05);
    EXPECT_LT(12.0 - dbOf(g.binGainTable[1706]), 0.05);
}

TEST_F(GraphModel, SmoothRuleCarriesTheSlopeThroughAMiddlePoint) {
    PluginInstance& g = graph();
    g.editMode = kEditPointsSmooth;
    // Equal steps in log frequency and in dB: the handles at the middle point
    // follow that slope, so the curve keeps climbing through it instead of
    // levelling off as it does at the outer points.
    setPoints(g, {{100.0, -20.0}, {1000.0, 0.0}, {10000.0, 20.0}});
    evaluateGraph(g);
    const int justBelow = int(900.0 * 4096.0 / 24000.0);
    const int justAbove = int(1120.0 * 4096.0 / 24000.0);
    const double slopePerDecade = (dbOf(g.binGainTable[justAbove]) - dbOf(g.binGainTable[justBelow])) /
                                  std::log10(entryFrequency(justAbove) / entryFrequency(justBelow));
    EXPECT_GT(slopePerDecade, 15.0);
    EXPECT_LT(slopePerDecade, 30.0);
}

TEST_F(GraphModel, SmoothRuleClampsThePointsButNotTheCurve) {
    PluginInstance& g = graph();
    g.editMode = kEditPointsSmooth;
    g.graphMaxDb = 6.0;
    // The middle point's handles lean along the chord of its neighbours, so
    // the curve rises above the clamped +6 dB on one side of it.
    setPoints(g, {{100.0, -40.0}, {1000.0, 20.0}, {1300.0, 6.0}, {12000.0, -40.0}});
    evaluateGraph(g);
    const double peak = dbOf(*std::max_element(std::begin(g.binGainTable), std::end(g.binGainTable)));
    EXPECT_GT(peak, 6.0);
}

TEST_F(GraphModel, SmoothEvaluationReusesItsScratch) {
    PluginInstance& g = graph();
    g.editMode = kEditPointsSmooth;
    setPoints(g, {{100, 1}, {200, 2}, {400, 3}, {800, 4}, {1600, 5}, {3200, 6}});
    evaluateGraph(g);
    const void* positions = g.graphScratch[0].data;
    const void* gains = g.graphScratch[1].data;
    ASSERT_NE(positions, nullptr);
    ASSERT_NE(gains, nullptr);
    for (int count = 6; count >= 1; --count) {
        g.pointCount = count;
        evaluateGraph(g);
        EXPECT_EQ(g.graphScratch[0].data, positions);
        EXPECT_EQ(g.graphScratch[1].data, gains);
        EXPECT_EQ(g.graphScratch[0].size, count * 8);
    }
}

TEST_F(GraphModel, RemovePointKeepsTheOrderAndReevaluates) {
    PluginInstance& g = graph();
    g.editMode = kEditPointsLinear;
    setPoints(g, {{5000, -10}, {100, 0}, {12000, 5}, {700, 3}});
    g.tableChanged = 0;
    removePoint(g, 1);
    ASSERT_EQ(g.pointCount, 3);
    EXPECT_EQ(g.points[0].frequency, 5000);
    EXPECT_EQ(g.points[1].frequency, 12000);
    EXPECT_EQ(g.points[2].frequency, 700);
    EXPECT_EQ(g.tableChanged, 1);
    EXPECT_FLOAT_EQ(g.binGainTable[0], float(std::exp(3 * kDbToLin)));

    removePoint(g, 2);
    ASSERT_EQ(g.pointCount, 2);
    EXPECT_FLOAT_EQ(g.binGainTable[0], float(std::exp(-10 * kDbToLin)));

    for (int32_t index : {-1, 2, 32, INT32_MAX}) {
        removePoint(g, index);
        EXPECT_EQ(g.pointCount, 2) << index;
    }
}

TEST_F(GraphModel, LeavingPreciseWithFewPointsMakesEight) {
    PluginInstance& g = graph();
    g.editMode = kEditPrecise;
    g.pointCount = 3;
    for (int k = 0; k < kBinGainTableSize; ++k) g.binGainTable[k] = float(k + 1) / 4096.0f;
    // An entry of 0 reads as -150 dB.
    g.binGainTable[0] = 0.0f;
    setEditMode(g, kEditPointsLinear);

    ASSERT_EQ(g.pointCount, 8);
    EXPECT_EQ(g.editMode, kEditPointsLinear);
    const double frequencies[] = {0, 81.26, 272.59, 723.04, 1783.58, 4280.50, 10159.22, 24000};
    const int entries[] = {0, 13, 46, 123, 304, 730, 1733, 4095};
    EXPECT_EQ(g.points[0].gain, -150.0);
    for (int i = 0; i < 8; ++i) {
        EXPECT_NEAR(g.points[i].frequency, frequencies[i], 0.005) << i;
        if (i > 0) {
            EXPECT_NEAR(g.points[i].gain, 20.0 * std::log10((entries[i] + 1) / 4096.0), 1e-5) << i;
        }
    }
}

TEST_F(GraphModel, LeavingPreciseWithTwelvePointsKeepsTwelveEvenlySpacedOnTheDisplayAxis) {
    PluginInstance& g = graph();
    g.editMode = kEditPrecise;
    g.pointCount = 12;
    std::fill(std::begin(g.binGainTable), std::end(g.binGainTable), 0.5f);
    setEditMode(g, kEditPointsSmooth);

    ASSERT_EQ(g.pointCount, 12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_NEAR(displayPosition(g.points[i].frequency), i / 11.0, 1e-12) << i;
        EXPECT_NEAR(g.points[i].gain, -6.0206, 1e-4) << i;
    }
    EXPECT_EQ(g.points[0].frequency, 0.0);
    EXPECT_NEAR(g.points[11].frequency, 24000.0, 1e-9);
    // Re-evaluated from the new points.
    for (float v : g.binGainTable) ASSERT_NEAR(v, 0.5f, 1e-6f);
}

TEST_F(GraphModel, EnteringPreciseKeepsTheTableAndThePoints) {
    PluginInstance& g = graph();
    g.editMode = kEditPointsSmooth;
    setPoints(g, {{100, 3}, {900, -3}});
    for (int k = 0; k < kBinGainTableSize; ++k) g.binGainTable[k] = float(k);
    g.tableChanged = 0;
    setEditMode(g, kEditPrecise);
    EXPECT_EQ(g.editMode, kEditPrecise);
    EXPECT_EQ(g.pointCount, 2);
    EXPECT_EQ(g.points[1].frequency, 900);
    EXPECT_EQ(g.tableChanged, 0);
    for (int k = 0; k < kBinGainTableSize; ++k) ASSERT_EQ(g.binGainTable[k], float(k));
}

TEST_F(GraphModel, SwitchingBetweenPointsModesReevaluatesWithoutConverting) {
    PluginInstance& g = graph();
    g.editMode = kEditPointsSmooth;
    setPoints(g, {{100, -12}, {10000, 12}});
    evaluateGraph(g);
    const float smoothMiddle = g.binGainTable[500];
    g.tableChanged = 0;
    setEditMode(g, kEditPointsLinear);
    EXPECT_EQ(g.pointCount, 2);
    EXPECT_EQ(g.tableChanged, 1);
    EXPECT_NE(g.binGainTable[500], smoothMiddle);
}

TEST_F(GraphModel, AnEditModeOutsideTheThreeIsRefused) {
    PluginInstance& g = graph();
    g.editMode = kEditPrecise;
    for (int k = 0; k < kBinGainTableSize; ++k) g.binGainTable[k] = 0.75f;
    for (int32_t mode : {3, -1, INT32_MAX}) {
        setEditMode(g, mode);
        EXPECT_EQ(g.editMode, kEditPrecise);
        EXPECT_EQ(g.pointCount, 2);
        EXPECT_EQ(g.binGainTable[100], 0.75f);
    }
}
