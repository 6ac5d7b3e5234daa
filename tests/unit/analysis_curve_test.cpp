// Sampling, profile and smoothing of the analysis curves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "recording_host.h"
#include "dsp/fft.h"
#include "ui/analysis_curve.h"

using namespace vexlan;

namespace {

// gh 114 from -90 to +24 dB with the floor at -90: one pixel per dB, 0 dB at y = 24.
AnalysisCurve testCurve(int32_t width, int32_t bins, bool halfBins) {
    return AnalysisCurve{width, 114, bins, 2 * bins, halfBins, 1.0 / bins, -90.0, -1.0, 114.0};
}

// Bin k stored at position n - 1 - k, so a reader that skips the order table
// reads the spectrum backwards.
std::vector<int32_t> reversedOrder(int32_t n) {
    std::vector<int32_t> order(static_cast<size_t>(n));
    for (int32_t k = 0; k < n; ++k) order[size_t(k)] = n - 1 - k;
    return order;
}

std::vector<ColumnSample> sample(const AnalysisCurve& curve, const std::vector<float>& bins) {
    const std::vector<int32_t> order = reversedOrder(curve.fftSize);
    std::vector<float> stored(size_t(curve.fftSize), 0.0f);
    for (size_t k = 0; k < bins.size(); ++k) stored[size_t(order[k])] = bins[k];
    std::vector<ColumnSample> samples(size_t(curve.graphWidth) + 1);
    samples.resize(size_t(sampleAnalysisColumns(curve, stored.data(), order.data(), samples.data(),
                                                int32_t(samples.size()))));
    return samples;
}

TEST(AnalysisSampling, OneSamplePerColumnAtTheBinsLevel) {
    const AnalysisCurve curve = testCurve(200, 2048, false);
    const std::vector<ColumnSample> samples = sample(curve, std::vector<float>(2048, 1.0f));
    ASSERT_GT(samples.size(), 150u);
    EXPECT_LE(samples.size(), 201u);
    EXPECT_EQ(samples.front().x, 0);
    for (size_t i = 1; i < samples.size(); ++i) EXPECT_GT(samples[i].x, samples[i - 1].x);
    EXPECT_LE(samples.back().x, 200);
    for (const ColumnSample& s : samples) EXPECT_FLOAT_EQ(s.y, 24.0f);
}

TEST(AnalysisSampling, HalfBinsReadEveryEvenBinAtTwiceItsLevel) {
    std::vector<float> bins(2048, 0.0f);
    for (size_t k = 0; k < bins.size(); k += 2) bins[k] = 0.5f;
    for (const ColumnSample& s : sample(testCurve(200, 2048, true), bins)) EXPECT_FLOAT_EQ(s.y, 24.0f) << s.x;
    // All bins: the odd ones are silent and, averaged in, pull the crowded
    // columns down.
    const std::vector<ColumnSample> every = sample(testCurve(200, 2048, false), bins);
    EXPECT_GT(every.back().y, 60.0f);
}

TEST(AnalysisSampling, LevelsStayWithinTheGraphAndStopAtItsEdge) {
    // A sample rate twice the display range reaches the edge halfway.
    AnalysisCurve curve = testCurve(100, 1024, false);
    curve.binStep *= 2.0;
    std::vector<float> bins(1024, 0.0f);
    bins[5] = 1e6f;  // 120 dB: above the top, y stays negative
    const std::vector<ColumnSample> samples = sample(curve, bins);
    EXPECT_EQ(samples.back().x, 100);
    EXPECT_FLOAT_EQ(samples.front().y, 114.0f);  // silence lies on the floor
    EXPECT_LT(std::min_element(samples.begin(), samples.end(), [](auto a, auto b) { return a.y < b.y; })->y, 0.0f);
}

TEST(AnalysisProfile, LinesAtTheEndsAndBeziersThroughEverySample) {
    const struct {
        std::vector<ColumnSample> samples;
        std::vector<float> profile;
    } cases[] = {
        {{{0, 0}, {4, 8}, {8, 0}}, {0, 2, 4, 7, 8, 7, 4, 2, 0}},
        {{{0, 0}, {2, 2}, {4, 4}, {6, 6}}, {0, 1, 2, 3, 4, 5, 6}},
        {{{3, 5}, {4, 5}, {6, 5}, {9, 5}}, {5, 5, 5, 5, 5, 5, 5}},
    };
    for (const auto& c : cases) {
        std::vector<float> profile(c.profile.size() + 1, -1.0f);
        analysisProfile(c.samples.data(), int32_t(c.samples.size()), profile.data());
        for (size_t i = 0; i < c.profile.size(); ++i) EXPECT_NEAR(profile[i], c.profile[i], 1e-5) << i;
        EXPECT_EQ(profile.back(), -1.0f) << "wrote past span + 1 values";
    }
    // Unevenly spaced samples still pass through each sample's level.
    const std::vector<ColumnSample> uneven = {{0, 10}, {3, 30}, {10, 0}, {12, 20}};
    std::vector<float> profile(13);
    analysisProfile(uneven.data(), 4, profile.data());
    EXPECT_NEAR(profile[3], 30.0f, 1.5f);
    EXPECT_NEAR(profile[10], 0.0f, 1.5f);
}

TEST(AnalysisHistory, EachRepaintMovesSixtyPercentOfTheWay) {
    recording::RecordingHost host;
    recording::ScaledBitmap bitmap;
    const int32_t bins = 1024;
    buildFftTables();
    auto draw = [&](const std::vector<float>& stored, GrowableBuffer& history, int32_t width) {
        drawAnalysisCurve(&bitmap, 0x123, stored.data(), history, width, 114, bins, 2 * bins, false,
                          1.0 / bins, -90.0, -1.0, 114.0);
    };
    const std::vector<float> level(2 * bins, 1.0f);  // 0 dB everywhere: y = 24
    GrowableBuffer history;
    draw(level, history, 200);
    ASSERT_GT(history.size, 0);
    const int32_t span = history.size / 4;
    const float* shown = bufferAs<float>(history);
    // From the floor (114) 60 % towards 24.
    for (int32_t c = 0; c < span; ++c) ASSERT_FLOAT_EQ(shown[c], 60.0f) << c;
    const std::vector<recording::DrawCall> lines = host.of(recording::Shape::Line);
    ASSERT_EQ(lines.size(), size_t(span - 1));
    EXPECT_EQ(lines[0].colour, 0x123);
    EXPECT_TRUE(lines[0].antialias);
    EXPECT_EQ(lines[1].x1, lines[0].x2);

    draw(level, history, 200);
    EXPECT_FLOAT_EQ(shown[span / 2], float(0.6 * 24 + 0.4 * 60));

    // A new width starts again from the floor.
    draw(level, history, 100);
    EXPECT_FLOAT_EQ(bufferAs<float>(history)[3], 60.0f);

    // Silence stays on the floor and draws nothing.
    host.calls.clear();
    GrowableBuffer quiet;
    draw(std::vector<float>(2 * bins, 0.0f), quiet, 200);
    EXPECT_TRUE(host.calls.empty());
    freeBuffer(history);
    freeBuffer(quiet);
}

}  // namespace
