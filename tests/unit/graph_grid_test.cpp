// Grid lines, labels and the table curve of the graph display.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "graph/graph_geometry.h"
#include "ui/graph_grid.h"

using namespace vexlan;

namespace {

std::vector<std::string> frequencyLabels(int32_t width) {
    std::vector<std::string> labels;
    forEachFrequencyGridLine(width, [&](const FrequencyGridLine& line) {
        if (!line.labelled) return;
        char text[16];
        formatFrequencyLabel(line.frequency, text, sizeof text);
        labels.push_back(text);
    });
    return labels;
}

// The lines and labels of a full-width graph are checked as drawn.
TEST(FrequencyGrid, NarrowGraphsLabelFewerLines) {
    const struct {
        int32_t width;
        std::vector<std::string> labels;
    } cases[] = {
        {420, {"50", "100", "200", "300", "500", "1.0k", "2.0k", "3.0k", "5.0k", "10.0k", "20.0k"}},
        {419, {"100", "300", "1.0k", "3.0k", "10.0k"}},
        {240, {"100", "300", "1.0k", "3.0k", "10.0k"}},
        {239, {"100", "1.0k", "10.0k"}},
    };
    for (const auto& c : cases) EXPECT_EQ(frequencyLabels(c.width), c.labels) << c.width;
    // Lines stop at the right edge: 20 kHz lands on x = 20 of a 20-pixel graph.
    size_t lines = 0;
    forEachFrequencyGridLine(20, [&](const FrequencyGridLine&) { ++lines; });
    EXPECT_EQ(lines, 25u);
}

TEST(DbGrid, StepFitsTheRangeAndLandsOnTheTop) {
    const struct {
        double minDb, maxDb, step;
    } cases[] = {
        {-90, 24, 12}, {-90, 30, 7.5}, {-3, 0, 0.75}, {-150, 0, 12}, {-20, 0, 6}, {-3, 3, 1.5}, {-90, 100, 6.25},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(dbGridStep(c.minDb, c.maxDb), c.step) << c.minDb << ".." << c.maxDb;
}

TEST(DbGrid, LinesBelowTheTopKeepTheirDistance) {
    const struct {
        double minDb, maxDb;
        int32_t height, scale;
        std::vector<double> gains;
        std::vector<int32_t> ys;
    } cases[] = {
        // 12 dB is 18 pixels here: every second line is left out.
        {-90, 24, 171, 256, {0, -24, -48, -72}, {36, 72, 108, 144}},
        // At 150 % the gap needs 30 pixels: 12 dB at 30 pixels is too close.
        {-90, 24, 285, 384, {0, -24, -48, -72}, {60, 120, 180, 240}},
    };
    for (const auto& c : cases) {
        GraphGeometry geometry = graphGeometry(1000, c.height, c.scale, c.minDb, c.maxDb);
        geometry.graphHeight = c.height;
        std::vector<double> gains;
        std::vector<int32_t> ys;
        forEachDbGridLine(geometry, [&](const DbGridLine& line) {
            gains.push_back(line.gain);
            ys.push_back(line.y);
        });
        EXPECT_EQ(gains, c.gains) << c.minDb << ".." << c.maxDb << " at " << c.height;
        EXPECT_EQ(ys, c.ys) << c.minDb << ".." << c.maxDb << " at " << c.height;
    }
}

// The offset factor is checked as drawn.
TEST(TableCurve, FlatTableIsOneLineAtItsGain) {
    const GraphGeometry geometry = graphGeometry(628, 130, 256, -90, 24);
    const struct {
        float entry;
        bool precise;
        float y;
        size_t minSegments, maxSegments;
    } cases[] = {
        {1.0f, false, 24.0f, 100, 620},    // about one segment per pixel column, no denser
        {1.0f, true, 24.0f, 2047, 2047},   // "Precise" draws every second entry
        {0.0f, true, 114.0f, 2047, 2047},  // silence lies on the bottom edge, not below
    };
    for (const auto& c : cases) {
        const std::vector<float> table(4096, c.entry);
        size_t segments = 0;
        float lastX = -1.0f;
        forEachTableCurveSegment(table.data(), 1.0, c.precise, geometry, [&](TablePoint from, TablePoint to) {
            ++segments;
            EXPECT_NEAR(from.y, c.y, 1e-3);
            EXPECT_NEAR(to.y, c.y, 1e-3);
            EXPECT_GT(to.x, from.x);
            lastX = to.x;
        });
        EXPECT_GE(segments, c.minSegments) << c.entry;
        EXPECT_LE(segments, c.maxSegments) << c.entry;
        // Entry 4094's x, or less than a pixel before it when its step was skipped.
        EXPECT_NEAR(lastX, 599.9512f, c.precise ? 1e-3 : 1.0);
    }
}

}  // namespace
