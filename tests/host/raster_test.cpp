// The host's drawing functions that the plug-in's editor calls, at known
// pixels, and the glyphs the Windows font draws with; the functions it only
// looks up are left to the loading tests.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

#include "host_test_support.h"
#include "raster.h"

namespace {

using hosttest::channel;
using hosttest::OwnedBitmap;
using hosttest::pixel;
using namespace host;

constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kRed = 0xFFFF0000u;

// A pixel and what a drawing must leave there: a whole colour, or the green
// level of an antialiased edge.
struct Spot {
    int x;
    int y;
    uint32_t value;
};

// A cleared bitmap with one test's drawing on it.
struct Canvas : OwnedBitmap {
    Canvas(int width, int height, uint32_t background = kBlack) : OwnedBitmap(width, height) {
        vizeClear(get(), int(background));
    }
    uint32_t at(int x, int y) const { return pixel(get(), x, y); }
    int green(int x, int y) const { return channel(at(x, y), 8); }
    void expectColours(std::initializer_list<Spot> spots) const {
        for (const Spot& s : spots) EXPECT_EQ(at(s.x, s.y), s.value) << s.x << "," << s.y;
    }
    // Within one step, as the blend rounds.
    void expectGreens(std::initializer_list<Spot> spots) const {
        for (const Spot& s : spots) EXPECT_NEAR(green(s.x, s.y), s.value, 1) << s.x << "," << s.y;
    }
};

// The editor resizes its bitmap with the window, sets the screen's scale on
// it and, on Windows, copies it to the window through its device context.
TEST(Bitmap, RowsAreTopFirstResizeKeepsTheSharedCornerAndScaleIsShared) {
    Canvas canvas(10, 10, kRed);
    VizeBitmap* b = canvas.get();
    EXPECT_EQ(b->getRowSpan(), 10);
#if defined(_WIN32)
    EXPECT_NE(b->getDC(), nullptr) << "a DIB section the system can draw on";
#endif
    b->getBits()[2 * 10 + 3] = kWhite;
    EXPECT_EQ(canvas.at(3, 2), kWhite) << "rows are top first, span wide";
    b->resize(20, 5);
    EXPECT_EQ(b->getWidth(), 20);
    EXPECT_EQ(b->getHeight(), 5);
    canvas.expectColours({{3, 2, kWhite}, {9, 4, kRed}, {10, 0, 0u}});
    b->resize(0, 7);
    EXPECT_EQ(b->getWidth(), 0);
    EXPECT_EQ(b->getHeight(), 0);
    vizeFillRect(b, 0, 0, 5, 5, int(kRed), 1.0f, 0);

    EXPECT_EQ(b->extended(vexlan::kBitmapTextScale, nullptr), 256);
    int32_t scale = 384, invalid = 0;
    EXPECT_EQ(b->extended(vexlan::kBitmapSetScale, &scale), 1);
    EXPECT_EQ(b->extended(vexlan::kBitmapSetScale, &invalid), 0);
    EXPECT_EQ(b->extended(vexlan::kBitmapDisplayScale, nullptr), 384);
    EXPECT_EQ(b->extended(vexlan::kBitmapTextScale, nullptr), 384);
}

TEST(Blending, CopyMixesByAlphaAndAddSaturates) {
    uint32_t pixelValue = 0xFF000000u;
    blendPixel(pixelValue, 0xFF808080u, 0.5f, 0);
    EXPECT_EQ(pixelValue, 0xFF404040u);
    blendPixel(pixelValue, 0x00123456u, 1.0f, 0);
    EXPECT_EQ(pixelValue, 0x00123456u) << "full weight copies all four bytes";
    blendPixel(pixelValue, 0xFFFFFFFFu, 0.0f, 0);
    EXPECT_EQ(pixelValue, 0x00123456u);
    uint32_t sum = 0xFF404040u;
    blendPixel(sum, 0x00404040u, 1.0f, 1);
    EXPECT_EQ(sum, 0xFF808080u);
    blendPixel(sum, 0x00C0C0C0u, 1.0f, 1);
    EXPECT_EQ(sum, 0xFFFFFFFFu);
}

TEST(Lines, IntegerLinesIncludeBothEnds) {
    Canvas canvas(30, 20);
    vizeLineInt(canvas.get(), 5, 10, 15, 10, int(kRed), 1.0f, 0, false);
    for (int x = 5; x <= 15; ++x) EXPECT_EQ(canvas.at(x, 10), kRed) << x;
    canvas.expectColours({{4, 10, kBlack}, {16, 10, kBlack}, {10, 9, kBlack}, {10, 11, kBlack}});
    vizeLineInt(canvas.get(), 9, 9, 0, 0, int(kWhite), 1.0f, 0, false);
    for (int i = 0; i <= 9; ++i) EXPECT_EQ(canvas.at(i, i), kWhite) << i;
    vizeLineInt(canvas.get(), 20, 2, 20, 17, int(kWhite), 1.0f, 0, false);
    for (int y = 2; y <= 17; ++y) EXPECT_EQ(canvas.at(20, y), kWhite) << y;
    canvas.expectColours({{1, 0, kBlack}, {20, 18, kBlack}});
}

TEST(Lines, LinesLeavingTheBitmapAreClipped) {
    Canvas canvas(10, 10);
    vizeLine(canvas.get(), -100.0f, 5.0f, 100.0f, 5.0f, int(kWhite), 1.0f, 0, true);
    vizeLine(canvas.get(), 1e9f, -1e9f, -1e9f, 1e9f, int(kWhite), 1.0f, 0, true);
    vizeLine(canvas.get(), NAN, 0.0f, 5.0f, 5.0f, int(kWhite), 1.0f, 0, true);
    canvas.expectColours({{0, 5, kWhite}, {9, 5, kWhite}});
}

TEST(Lines, AntialiasedCoverageIsSymmetric) {
    Canvas canvas(40, 24);
    // Half-way between two rows: both get half.
    vizeLine(canvas.get(), 2.0f, 5.5f, 30.0f, 5.5f, int(kWhite), 1.0f, 0, true);
    EXPECT_NEAR(canvas.green(15, 5), 128, 1);
    EXPECT_EQ(canvas.green(15, 5), canvas.green(15, 6));
    canvas.expectColours({{15, 4, kBlack}, {15, 7, kBlack}});

    // A sloped line looks the same turned half round about its middle, and
    // each column's coverage adds up to one pixel.
    Canvas sloped(40, 24);
    vizeLine(sloped.get(), 3.0f, 4.0f, 33.0f, 15.0f, int(kWhite), 1.0f, 0, true);
    for (int x = 3; x <= 33; ++x) {
        int columnSum = 0;
        for (int y = 0; y < 24; ++y) {
            ASSERT_NEAR(sloped.green(x, y), sloped.green(36 - x, 19 - y), 1) << x << "," << y;
            columnSum += sloped.green(x, y);
        }
        EXPECT_NEAR(columnSum, 255, 2) << "column " << x;
    }
}

TEST(Circles, DiscsAndRingsHaveTheirRadius) {
    Canvas hard(40, 30);
    vizeFillCircle(hard.get(), 20.0f, 15.0f, 6.0f, int(kWhite), 1.0f, 0, false);
    hard.expectColours({{20, 15, kWhite}, {26, 15, kWhite}, {20, 9, kWhite}});
    // (25, 20) is a corner of the bounding square.
    hard.expectColours({{27, 15, kBlack}, {20, 8, kBlack}, {25, 20, kBlack}});
    Canvas soft(40, 30);
    vizeFillCircle(soft.get(), 20.0f, 15.0f, 6.0f, int(kWhite), 1.0f, 0, true);
    soft.expectColours({{20, 15, kWhite}, {27, 15, kBlack}});
    // A pixel centre on the edge is half covered.
    soft.expectGreens({{26, 15, 128}, {14, 15, 128}, {20, 21, 128}});
    // A ring lies on the radius, hard or antialiased.
    for (bool antialias : {false, true}) {
        SCOPED_TRACE(antialias ? "antialiased" : "hard");
        Canvas canvas(40, 30);
        vizeCircle(canvas.get(), 20.0f, 15.0f, 8.0f, int(kWhite), 1.0f, 0, antialias);
        canvas.expectColours({{28, 15, kWhite}, {12, 15, kWhite}, {20, 7, kWhite}, {20, 23, kWhite}});
        canvas.expectColours({{20, 15, kBlack}, {25, 15, kBlack}, {30, 15, kBlack}});
    }
}

TEST(Rectangles, FillBlendsInsideOnly) {
    Canvas canvas(20, 20);
    vizeFillRect(canvas.get(), 4, 5, 6, 3, int(0xFF808080u), 0.5f, 0);
    canvas.expectColours({{4, 5, 0xFF404040u}, {9, 7, 0xFF404040u}});
    canvas.expectColours({{10, 7, kBlack}, {9, 8, kBlack}, {3, 5, kBlack}, {4, 4, kBlack}});
    vizeFillRect(canvas.get(), 4, 5, 6, 3, int(0x00404040u), 1.0f, 1);
    EXPECT_EQ(canvas.at(6, 6), 0xFF808080u);
    vizeFillRect(canvas.get(), -5, -5, 7, 7, int(kRed), 1.0f, 0);
    canvas.expectColours({{1, 1, kRed}, {2, 1, kBlack}});
    vizeFillRect(canvas.get(), 2, 2, 0, 5, int(kRed), 1.0f, 0);
    EXPECT_EQ(canvas.at(2, 2), kBlack);
}

TEST(Rectangles, BorderFramesTheFillAndDrawsCornersOnce) {
    Canvas canvas(20, 20);
    vizeBorderedRect(canvas.get(), 2, 3, 5, 4, int(0xFF004000u), int(kWhite), 0.5f, 0);
    // Border at half of 255, fill at half of 64, neither over the other.
    canvas.expectGreens({{2, 3, 128}, {6, 6, 128}, {4, 3, 128}, {3, 4, 32}, {5, 5, 32}, {7, 3, 0}, {4, 7, 0}});
}

// The Windows build's font draws each character as a glyph mask.
TEST(Glyphs, MaskSetsTheWeightOfEachPixel) {
    Canvas canvas(10, 10);
    const unsigned char mask[] = {255, 0, 128, 0, 255, 0};
    EXPECT_EQ(vizeDrawGlyph(canvas.get(), mask, 3, 2, 4, 5, int(kWhite), 1.0f, 0), 3);
    canvas.expectColours({{4, 5, kWhite}, {5, 5, kBlack}, {5, 6, kWhite}, {4, 6, kBlack}});
    EXPECT_NEAR(canvas.green(6, 5), 128, 1);
}

}  // namespace
