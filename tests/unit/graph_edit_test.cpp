#include "graph/graph_edit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <iterator>
#include <tuple>

#include "graph/graph_geometry.h"
#include "graph/graph_model.h"
#include "graph/precise_draw.h"
#include "test_host.h"

using namespace vexlan;

namespace {

// 200 x 116 at 100 %: a 172 x 100 graph area, 1.14 dB per row.
constexpr int32_t kWidth = 200;
constexpr int32_t kHeight = 116;

float lin(double dB) { return float(std::exp(dB * 0.11512925464970228)); }

class GraphEdit : public ::testing::Test {
protected:
    void SetUp() override { testhost::resetHost(); }

    GraphGeometry geometry() const { return graphGeometry(kWidth, kHeight, 256, g.graphMinDb, g.graphMaxDb); }
    GraphPoint pointAt(int32_t x, int32_t y) const { return {frequencyAtX(geometry(), x), gainAtY(geometry(), y)}; }
    void setPoints(std::initializer_list<GraphPoint> points) {
        g.pointCount = int32_t(points.size());
        std::copy(points.begin(), points.end(), g.points);
    }

    GraphMouse mouse(int32_t x, int32_t y, ModifierKeys keys = {}) const {
        return {x, y, kWidth, kHeight, false, captured, keys};
    }
    // The window form's order: capture, the down rules, then the move rules.
    ButtonDownResult down(int32_t x, int32_t y, ModifierKeys keys = {}) {
        captured = true;
        const ButtonDownResult result = graphLeftButtonDown(g, state, mouse(x, y, keys));
        if (result == ButtonDownResult::Continue) graphMouseMove(g, state, mouse(x, y, keys), true);
        return result;
    }
    void move(int32_t x, int32_t y, ModifierKeys keys = {}) { graphMouseMove(g, state, mouse(x, y, keys), false); }
    void up(int32_t x, int32_t y) {
        graphLeftButtonUp(g, state, mouse(x, y));
        captured = false;
    }
    size_t stateNotices() const {
        return size_t(std::count_if(testhost::currentHost().calls.begin(), testhost::currentHost().calls.end(),
                                    [](const testhost::HostCall& c) { return c.opcode == audioMasterAutomate && c.index == -1; }));
    }

    testhost::Instance holder;
    PluginInstance& g = *holder;
    GraphEditState state;
    bool captured = false;
    static constexpr ModifierKeys kShift{true, false, false};
    static constexpr ModifierKeys kCtrl{false, true, false};
    static constexpr ModifierKeys kAlt{false, false, true};
};

}  // namespace

TEST(GraphGeometryTable, CompactBoundaryMarginsRadiusAndMappingEnds) {
    struct Row {
        int32_t width, height, scale;
        bool compact;
        int32_t right, bottom, graphWidth, graphHeight, radius;
    };
    const Row rows[] = {
        {127, 100, 256, true, 0, 0, 127, 100, 3},   {128, 100, 256, false, 28, 16, 100, 84, 5},
        {191, 100, 384, true, 0, 0, 191, 100, 4},   {192, 100, 384, false, 42, 24, 150, 76, 7},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.width << " px at scale " << row.scale);
        const GraphGeometry geo = graphGeometry(row.width, row.height, row.scale, -90.0, 24.0);
        EXPECT_EQ(geo.compact, row.compact);
        EXPECT_EQ(geo.rightMargin, row.right);
        EXPECT_EQ(geo.bottomMargin, row.bottom);
        EXPECT_EQ(geo.graphWidth, row.graphWidth);
        EXPECT_EQ(geo.graphHeight, row.graphHeight);
        EXPECT_EQ(geo.hitRadius, row.radius);
        EXPECT_EQ(frequencyAtX(geo, 0), 0.0);
        EXPECT_NEAR(frequencyAtX(geo, row.graphWidth), 24000.0, 1e-8);
        EXPECT_NEAR(frequencyAtX(geo, row.graphWidth / 2.0), 60.0 * (std::sqrt(401.0) - 1.0), 1e-9);
        EXPECT_DOUBLE_EQ(gainAtY(geo, 0), 24.0);
        EXPECT_DOUBLE_EQ(gainAtY(geo, row.graphHeight), -90.0);
        EXPECT_NEAR(yOfGain(geo, gainAtY(geo, 17.0)), 17.0, 1e-9);
    }
}

TEST_F(GraphEdit, HitTestComparesBothWindowsInsideAndOnlyFrequencyAtTheEdges) {
    // Graph area 172 x 100: the edge columns are x <= 1 and x >= 170.
    setPoints({pointAt(50, 40), pointAt(51, 80), pointAt(0, 10), pointAt(171, 90), pointAt(50, 40)});
    struct Row {
        int32_t x, y, expected;
    };
    const Row rows[] = {
        {50, 40, 0},   {55, 40, 0},   {56, 40, -1},  {45, 40, 0},   {44, 40, -1},  {50, 45, 0},
        {50, 46, -1},  {50, 35, 0},   {50, 34, -1},  {51, 80, 1},   {1, 90, 2},    {-3, 90, 2},
        {2, 90, -1},   {170, 10, 3},  {400, 10, 3},  {169, 10, -1}, {169, 90, 3},  {120, 50, -1},
    };
    for (const Row& row : rows) {
        const GraphHit hit = hitTestPoint(g, kWidth, kHeight, row.x, row.y, false);
        EXPECT_EQ(hit.index, row.expected) << "at " << row.x << "," << row.y;
        EXPECT_DOUBLE_EQ(hit.gain, gainAtY(geometry(), row.y)) << "the gain at y is returned unlimited";
    }
    EXPECT_EQ(hitTestPoint(g, kWidth, kHeight, -3, 90, false).frequency, 0.0) << "x held at the left edge";
    EXPECT_NEAR(hitTestPoint(g, kWidth, kHeight, 400, 90, false).frequency, frequencyAtX(geometry(), 171), 1e-9);
}

TEST_F(GraphEdit, ClickOnEmptySpaceInsertsAPointAndDragsItUntilRelease) {
    resetGraphPoints(g);
    down(120, 30);
    ASSERT_EQ(g.pointCount, 3);
    EXPECT_DOUBLE_EQ(g.points[2].frequency, frequencyAtX(geometry(), 120));
    EXPECT_DOUBLE_EQ(g.points[2].gain, gainAtY(geometry(), 30));
    EXPECT_NE(g.binGainTable[int(g.points[2].frequency * 4096 / 24000)], 1.0f) << "evaluated at once";
    g.tableChanged = 0;
    move(140, 60);
    EXPECT_DOUBLE_EQ(g.points[2].frequency, frequencyAtX(geometry(), 140));
    EXPECT_DOUBLE_EQ(g.points[2].gain, gainAtY(geometry(), 60));
    EXPECT_EQ(g.tableChanged, 1);
    // Held inside the range and the graph area: the lowest row lies above the range's floor.
    move(-40, -30);
    EXPECT_EQ(g.points[2].frequency, 0.0);
    EXPECT_EQ(g.points[2].gain, 24.0);
    move(500, 300);
    EXPECT_DOUBLE_EQ(g.points[2].frequency, 24000.0);
    EXPECT_DOUBLE_EQ(g.points[2].gain, gainAtY(geometry(), 99));
    move(140, 60);
    EXPECT_EQ(stateNotices(), 0u);
    up(140, 60);
    EXPECT_EQ(stateNotices(), 1u) << "the host hears of the change at the end of the drag";
    EXPECT_EQ(state.dragging, 0);
    move(10, 10);
    EXPECT_DOUBLE_EQ(g.points[2].gain, gainAtY(geometry(), 60)) << "no capture, no edit";
    up(10, 10);
    EXPECT_EQ(stateNotices(), 1u) << "a release without the capture tells nothing";
}

TEST_F(GraphEdit, ShiftDragMovesTheSegmentUnderTheMouse) {
    // Storage order differs from frequency order on purpose.
    // Point 4 shares point 1's frequency: no neighbour of it.
    setPoints({pointAt(150, 50), pointAt(40, 50), pointAt(100, 50), pointAt(20, 50), pointAt(40, 90)});
    const double start = gainAtY(geometry(), 50);
    const double travel = gainAtY(geometry(), 30) - gainAtY(geometry(), 60);
    down(70, 60, kShift);
    EXPECT_EQ(state.selected, 1) << "the nearest point to the left";
    move(75, 30, kShift);
    EXPECT_NEAR(g.points[1].gain, start + travel, 1e-9);
    EXPECT_NEAR(g.points[2].gain, start + travel, 1e-9) << "its right neighbour";
    EXPECT_EQ(g.points[0].gain, start);
    EXPECT_EQ(g.points[3].gain, start);
    EXPECT_EQ(g.points[4].gain, gainAtY(geometry(), 90));
    EXPECT_EQ(g.points[1].frequency, pointAt(40, 50).frequency) << "frequencies stay";
    up(75, 30);

    down(10, 60, kShift);
    EXPECT_EQ(state.selected, -1) << "no point to the left";
    move(10, 30, kShift);
    EXPECT_NEAR(g.points[3].gain, start + travel, 1e-9) << "only the first point to the right";
    EXPECT_NEAR(g.points[1].gain, start + travel, 1e-9);
}

TEST_F(GraphEdit, CtrlWhileDraggingAPointMovesTheWholeGraphUntilOneReachesAnEnd) {
    setPoints({pointAt(30, 50), pointAt(100, 20), pointAt(150, 70)});
    const GraphPoint before[3] = {g.points[0], g.points[1], g.points[2]};
    down(100, 20);
    move(110, 25, kCtrl);
    const double shift = frequencyAtX(geometry(), 110) - before[1].frequency;
    const double travel = gainAtY(geometry(), 25) - before[1].gain;
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(g.points[i].frequency, before[i].frequency + shift, 1e-6) << i;
        EXPECT_NEAR(g.points[i].gain, before[i].gain + travel, 1e-9) << i;
    }
    move(171, 25, kCtrl);
    EXPECT_NEAR(g.points[2].frequency, 24000.0, 1e-9) << "the top point stops the shift of all";
    EXPECT_NEAR(g.points[1].frequency - g.points[0].frequency, before[1].frequency - before[0].frequency, 1e-6);
    move(-50, 25, kCtrl);
    EXPECT_EQ(g.points[0].frequency, 0.0) << "and the bottom point at 0 Hz";
    EXPECT_NEAR(g.points[2].frequency - g.points[1].frequency, before[2].frequency - before[1].frequency, 1e-6);
}

TEST_F(GraphEdit, AltClickRemovesAPointAndAFullGraphRefusesInsertion) {
    setPoints({pointAt(30, 50), pointAt(100, 20), pointAt(150, 70)});
    EXPECT_EQ(down(100, 20, kAlt), ButtonDownResult::RemovedPoint);
    ASSERT_EQ(g.pointCount, 2);
    EXPECT_EQ(g.points[1].frequency, pointAt(150, 70).frequency) << "the order of the rest is kept";
    EXPECT_EQ(state.dragging, 0);
    up(100, 20);

    g.pointCount = kMaxGraphPoints;
    for (int i = 0; i < kMaxGraphPoints; ++i) g.points[i] = pointAt(2 * i + 2, 90);
    down(130, 10);
    EXPECT_EQ(g.pointCount, kMaxGraphPoints);
    move(140, 20);
    EXPECT_EQ(g.points[kMaxGraphPoints - 1].gain, gainAtY(geometry(), 90));
}

// A double click on a point is driven through the window and the embedded view.
TEST_F(GraphEdit, DoubleClickOnEmptySpaceSetsTheNewPointToZeroDecibels) {
    setPoints({pointAt(60, 20)});
    // The first click of the pair already inserted a point.
    down(120, 80);
    up(120, 80);
    graphDoubleClick(g, mouse(120, 80));
    ASSERT_EQ(g.pointCount, 2);
    EXPECT_EQ(g.points[1].gain, 0.0);
    std::fill(std::begin(g.binGainTable), std::end(g.binGainTable), 0.5f);
    g.editMode = kEditPrecise;
    graphDoubleClick(g, mouse(120, 80));
    EXPECT_EQ(g.binGainTable[0], 0.5f) << "no point edits in Precise";
}

TEST_F(GraphEdit, PreciseFreehandLineAndScale) {
    g.editMode = kEditPrecise;
    std::fill(std::begin(g.binGainTable), std::end(g.binGainTable), 1.0f);
    const int32_t width = geometry().graphWidth;
    auto column = [width](int k) { return entryColumn(k, width); };

    // Freehand: a click alone draws nothing; a move draws the swept columns.
    down(60, 10);
    EXPECT_EQ(std::count(std::begin(g.binGainTable), std::end(g.binGainTable), 1.0f), 4096);
    move(80, 10);
    up(80, 10);
    const float drawn = lin(gainAtY(geometry(), 10));
    for (int k = 0; k < 4096; k += 7) {
        const bool swept = column(k) > 60 && column(k) <= 80;
        EXPECT_EQ(g.binGainTable[k], swept ? drawn : 1.0f) << k;
    }
    EXPECT_EQ(g.pointCount, 2) << "the points stay dormant";

    // Line, drawn right to left from (150, 0) to (100, 100).
    down(150, 0, kShift);
    move(120, 50, kShift);
    move(100, 99, kShift);
    up(100, 99);
    const double top = gainAtY(geometry(), 0);
    const double bottom = gainAtY(geometry(), 99);
    for (int k = 0; k < 4096; ++k) {
        if (column(k) < 100 || column(k) >= 150) continue;
        const double t = (column(k) - 150) / -50.0;
        EXPECT_NEAR(g.binGainTable[k], lin((1 - t) * top + t * bottom), 1e-5 * lin(top)) << k;
    }

    // Scale: the whole table follows the vertical travel in dB.
    const float sample = g.binGainTable[3000];
    down(30, 60, kCtrl);
    EXPECT_EQ(g.binGainTable[3000], sample) << "the button-down itself scales nothing";
    move(31, 40, kCtrl);
    const double travel = gainAtY(geometry(), 40) - gainAtY(geometry(), 60);
    EXPECT_NEAR(g.binGainTable[3000], sample * std::exp(travel * 0.11512925464970228), 1e-6);
    EXPECT_NEAR(g.binGainTable[0], std::exp(travel * 0.11512925464970228), 1e-6);
}

TEST(PreciseDraw, EntryColumnsFollowTheDisplayAxis) {
    const std::tuple<int32_t, int32_t, int32_t> rows[] = {{0, 1000, 0}, {1, 1000, 15}, {75, 1000, 353}, {2048, 1000, 884}, {4095, 1000, 999}, {4095, 172, 171}};
    for (auto [entry, width, column] : rows) {
        EXPECT_EQ(entryColumn(entry, width), column) << entry;
    }
}
