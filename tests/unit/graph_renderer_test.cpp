// The graph display drawn through the dispatcher's embedded view, checked
// call by call against recording host functions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "graph/graph_geometry.h"
#include "recording_host.h"
#include "shell/dispatcher.h"
#include "shell/parameters.h"
#include "test_host.h"
#include "ui/graph_renderer.h"

using namespace vexlan;
using recording::DrawCall;
using recording::RecordingHost;
using recording::ScaledBitmap;
using recording::Shape;

namespace {

constexpr float kEmbeddedView = 16;

struct ViewRecord {
    int32_t reserved[6];
    int32_t width, height, mouseX, mouseY;
};

class GraphRendering : public ::testing::Test {
protected:
    void SetUp() override { testhost::resetHost(); }

    intptr_t paint(ScaledBitmap* target, ViewRecord* record) {
        const intptr_t value = reinterpret_cast<intptr_t>(target);
        return instance.dispatch(effVendorSpecific, kVendorEmbeddedView, value, record, 15.0f);
    }
    intptr_t paint(int32_t width, int32_t height, int32_t mouseX = -1, int32_t mouseY = -1) {
        ViewRecord record{{}, width, height, mouseX, mouseY};
        return paint(&bitmap, &record);
    }

    testhost::Instance instance;
    RecordingHost host;
    ScaledBitmap bitmap{256};
};

TEST_F(GraphRendering, PaintNeedsBothPointersAndTheBitmapsScaleSizesTheLayout) {
    ViewRecord record{{}, 600, 400, -1, -1};
    EXPECT_EQ(paint(nullptr, &record), 0);
    EXPECT_EQ(paint(&bitmap, nullptr), 0);
    EXPECT_TRUE(host.calls.empty());
    const struct {
        int32_t bitmapScale, stored, pointRadius;
    } cases[] = {{0, 256, 5}, {256, 256, 5}, {384, 384, 7}};
    for (const auto& c : cases) {
        host.calls.clear();
        bitmap.scale_ = c.bitmapScale;
        EXPECT_EQ(paint(&bitmap, &record), 1);
        const DrawCall& background = host.calls.front();
        EXPECT_EQ(background.shape, Shape::FillRect);
        EXPECT_EQ(background.colour, 0);
        EXPECT_EQ(background.x2, 600.0f);
        EXPECT_EQ(background.y2, 400.0f);
        EXPECT_EQ(instance->embeddedScale, c.stored);
        const std::vector<DrawCall> discs = host.of(Shape::FillCircle);
        ASSERT_EQ(discs.size(), 2u) << "the two default points";
        EXPECT_EQ(discs[0].x2, float(c.pointRadius));
    }
}

TEST_F(GraphRendering, FullLayoutLabelsTheGridAndTheFloor) {
    // 628 x 600: graph 600 x 584 at 100 %. The floor label never shows above -6 dB.
    instance->paramValues[kParamAnalysisFloor] = std::pow(10.0, -3.0 / 20.0);
    paint(628, 600);
    const std::vector<std::string> expected = {
        " +12", " +0", " -12", " -24", " -36", " -48", " -60", " -72", " -84", "50", "100",
        "200", "300", "500", "1.0k", "2.0k", "3.0k", "5.0k", "10.0k", "20.0k", "(-6)"};
    EXPECT_EQ(host.texts(), expected);
    const std::vector<DrawCall> texts = host.of(Shape::Text);
    EXPECT_EQ(texts[0].colour, 0x808080);
    EXPECT_EQ(texts[0].flags, 0x26);
    EXPECT_EQ(texts[0].x1, 600.0f);  // the dB labels sit in the right margin
    EXPECT_EQ(texts[9].flags, 0x29);
    EXPECT_EQ(texts[9].x1 + texts[9].x2, 2 * 61.0f);  // centred under the 50 Hz line
    EXPECT_EQ(texts[9].y1, 584.0f);
    EXPECT_EQ(texts.back().colour, 0x8C8C40);
    // Where the grid lines fall and their colours are checked in the rendered picture.
    EXPECT_EQ(host.of(Shape::LineInt).size(), 9u + 1u + 26u + 1u);
}

TEST_F(GraphRendering, CompactLayoutHasNoLabelsOrFrequencyGrid) {
    paint(127, 300);
    EXPECT_TRUE(host.texts().empty());
    for (const DrawCall& line : host.of(Shape::LineInt)) EXPECT_EQ(line.y1, line.y2) << "only dB lines";
    EXPECT_EQ(host.of(Shape::LineInt).back().x2, 127.0f);
    EXPECT_FALSE(host.of(Shape::Line).empty());
    EXPECT_EQ(host.of(Shape::FillCircle)[0].x2, 3.0f);
}

TEST_F(GraphRendering, OffsetCurveIsDrawnFirstAndLower) {
    // No spectra: every Line is a table curve. In the 600 x 584 graph the flat
    // table (0 dB) lies at y = 122.95 and half of it (-6.02 dB) at 153.79.
    instance->paramValues[kParamShowAnalysis] = 0.0;
    for (double offset : {1.0, 0.5}) {
        host.calls.clear();
        instance->paramValues[kParamGraphOffset] = offset;
        paint(628, 600);
        size_t dark = 0, red = 0;
        for (const DrawCall& line : host.of(Shape::Line)) {
            if (uint32_t(line.colour) == 0xFF800000u) {
                EXPECT_EQ(red, 0u) << "the offset curve comes first";
                EXPECT_NEAR(line.y1, 153.7897f, 1e-3);
                ++dark;
            } else {
                EXPECT_EQ(uint32_t(line.colour), 0xFFFF0000u);
                EXPECT_NEAR(line.y1, 122.9474f, 1e-3);
                ++red;
            }
        }
        EXPECT_GT(red, 0u);
        EXPECT_EQ(dark > 0, offset != 1.0) << offset;
    }
}

// Only the input half (entries N..2N-1) is loud: the spectrum drawn is the dim one, under the grid.
TEST_F(GraphRendering, InputHalfIsTheDimSpectrumDrawnUnderTheGrid) {
    float* analysis = bufferAs<float>(instance->analysisBuffer);
    const int32_t n = instance->fftSize;
    for (int32_t i = 0; i < n; ++i) analysis[n + i] = 0.01f;
    paint(628, 600);
    size_t spectrumLines = 0;
    bool gridSeen = false;
    for (const DrawCall& call : host.calls) {
        gridSeen = gridSeen || call.shape == Shape::LineInt;
        if (call.shape != Shape::Line || uint32_t(call.colour) == 0xFFFF0000u) continue;
        EXPECT_EQ(uint32_t(call.colour), 0xFF606040u);
        EXPECT_FALSE(gridSeen) << "drawn before the first grid line";
        ++spectrumLines;
    }
    EXPECT_GT(spectrumLines, 300u);
}

TEST_F(GraphRendering, PointsAreDiscsWithRingsOnlyInThePointModes) {
    paint(628, 600);
    ASSERT_EQ(host.of(Shape::Circle).size(), 2u);
    EXPECT_EQ(host.of(Shape::Circle)[0].colour, 0xFF0000);
    host.calls.clear();
    instance->editMode = kEditPrecise;
    paint(628, 600);
    EXPECT_TRUE(host.of(Shape::FillCircle).empty());
    EXPECT_TRUE(host.of(Shape::Line).empty()) << "Precise draws the table with integer lines";
}

// The box keeps to the half of the surface the mouse is not in. The window
// form follows the cursor instead; it is not checked here.
TEST_F(GraphRendering, EmbeddedReadoutKeepsAwayFromTheMouse) {
    const struct {
        int32_t mouseY;
        float boxY;
    } cases[] = {{199, 400 - 16 - 1 - 1}, {200, 0}};
    for (const auto& c : cases) {
        host.calls.clear();
        std::strcpy(instance->embeddedReadoutText, "439 Hz (A4-)");
        paint(628, 400, 100, c.mouseY);
        const std::vector<DrawCall> boxes = host.of(Shape::BorderedRect);
        ASSERT_EQ(boxes.size(), 1u) << c.mouseY;
        EXPECT_EQ(boxes[0].x1, -2.0f);
        EXPECT_EQ(boxes[0].y1, c.boxY);
        EXPECT_EQ(boxes[0].x2, 12 * 7 + 4.0f);
        EXPECT_EQ(boxes[0].alpha, 0.5f);
        EXPECT_EQ(host.texts().back(), "439 Hz (A4-)");
    }
    // The mouse outside the surface clears the read-out before painting.
    host.calls.clear();
    paint(628, 400, 628, 10);
    EXPECT_EQ(instance->embeddedReadoutText[0], '\0');
    EXPECT_TRUE(host.of(Shape::BorderedRect).empty());
}

TEST(LabelFont, MadeAtTheFirstPaintAndDeletedWithTheLastInstance) {
    testhost::resetHost();
    RecordingHost host;
    ScaledBitmap bitmap(256);
    auto first = std::make_unique<testhost::Instance>();
    auto second = std::make_unique<testhost::Instance>();
    ViewRecord record{{}, 628, 400, -1, -1};
    EXPECT_TRUE(host.fonts.empty());
    first->dispatch(effVendorSpecific, kVendorEmbeddedView, reinterpret_cast<intptr_t>(&bitmap), &record, 15.0f);
    second->dispatch(effVendorSpecific, kVendorEmbeddedView, reinterpret_cast<intptr_t>(&bitmap), &record, 15.0f);
    ASSERT_EQ(host.fonts.size(), 1u) << "one font for every instance";
    first.reset();
    EXPECT_EQ(host.fonts[0].destroyed, 0);
    second.reset();
    EXPECT_EQ(host.fonts[0].destroyed, 1);
}

}  // namespace
