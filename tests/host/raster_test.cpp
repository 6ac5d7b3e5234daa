// The host's drawing library at known pixels.
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
constexpr double kPi = 3.14159265358979323846;

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

TEST(Bitmap, HasTheRequestedShapeAndAnEmptyStart) {
    OwnedBitmap bitmap(40, 30);
    ASSERT_NE(bitmap.get(), nullptr);
    EXPECT_EQ(bitmap.get()->getWidth(), 40);
    EXPECT_EQ(bitmap.get()->getHeight(), 30);
    EXPECT_EQ(bitmap.get()->getRowSpan(), 40);
    ASSERT_NE(bitmap.get()->getBits(), nullptr);
    EXPECT_EQ(pixel(bitmap.get(), 39, 29), 0u);
#if defined(_WIN32)
    EXPECT_NE(bitmap.get()->getDC(), nullptr) << "a DIB section the system can draw on";
#else
    EXPECT_EQ(bitmap.get()->getDC(), nullptr);
#endif
    bitmap.get()->getBits()[2 * 40 + 3] = 0x12345678u;
    EXPECT_EQ(pixel(bitmap.get(), 3, 2), 0x12345678u) << "rows are top first, span wide";
}

TEST(Bitmap, ResizeKeepsTheSharedCornerAndClearsTheRest) {
    Canvas canvas(10, 10, kRed);
    canvas.get()->resize(20, 5);
    EXPECT_EQ(canvas.get()->getWidth(), 20);
    EXPECT_EQ(canvas.get()->getHeight(), 5);
    canvas.expectColours({{9, 4, kRed}, {10, 0, 0u}});
    canvas.get()->resize(0, 7);
    EXPECT_EQ(canvas.get()->getWidth(), 0);
    EXPECT_EQ(canvas.get()->getHeight(), 0);
    vizeFillRect(canvas.get(), 0, 0, 5, 5, int(kRed), 1.0f, 0);
}

TEST(Bitmap, ScaleCallsStoreAndAnswerTheScale) {
    OwnedBitmap bitmap(8, 8);
    VizeBitmap* b = bitmap.get();
    EXPECT_EQ(b->extended(vexlan::kBitmapDisplayScale, nullptr), 256);
    EXPECT_EQ(b->extended(vexlan::kBitmapTextScale, nullptr), 256);
    int32_t scale = 384;
    EXPECT_EQ(b->extended(vexlan::kBitmapSetScale, &scale), 1);
    EXPECT_EQ(b->extended(vexlan::kBitmapDisplayScale, nullptr), 384);
    EXPECT_EQ(b->extended(vexlan::kBitmapTextScale, nullptr), 384);
    int32_t invalid = 0;
    EXPECT_EQ(b->extended(vexlan::kBitmapSetScale, &invalid), 0);
    EXPECT_EQ(b->extended(vexlan::kBitmapSetScale, nullptr), 0);
    EXPECT_EQ(b->extended(vexlan::kBitmapDisplayScale, nullptr), 384);
    EXPECT_EQ(b->extended(0x1234, &scale), 0);
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

TEST(Pixels, PutAndGetStayInsideTheBitmap) {
    Canvas canvas(5, 5);
    vizePutPixel(canvas.get(), 2, 3, int(kRed), 1.0f, 0);
    EXPECT_EQ(canvas.at(2, 3), kRed);
    vizePutPixel(canvas.get(), -1, 3, int(kRed), 1.0f, 0);
    vizePutPixel(canvas.get(), 5, 0, int(kRed), 1.0f, 0);
    EXPECT_EQ(vizeGetPixel(canvas.get(), 5, 0), 0);
    EXPECT_EQ(vizeGetPixel(nullptr, 0, 0), 0);
    int changed = 0;
    for (uint32_t value : hosttest::pixels(canvas.get())) changed += value != kBlack;
    EXPECT_EQ(changed, 1);
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

TEST(Lines, ThickLinesCoverTheirWidth) {
    Canvas canvas(40, 20);
    vizeThickFLine(canvas.get(), 5.0, 10.0, 30.0, 10.0, int(kWhite), 1.0f, 0, 3);
    canvas.expectColours({{15, 9, kWhite}, {15, 10, kWhite}, {15, 11, kWhite}});
    canvas.expectColours({{15, 7, kBlack}, {15, 13, kBlack}, {3, 10, kBlack}, {32, 10, kBlack}});
}

TEST(Circles, FilledDiscHasItsRadius) {
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
}

TEST(Circles, RingLiesOnTheRadius) {
    for (bool antialias : {false, true}) {
        SCOPED_TRACE(antialias ? "antialiased" : "hard");
        Canvas canvas(40, 30);
        vizeCircle(canvas.get(), 20.0f, 15.0f, 8.0f, int(kWhite), 1.0f, 0, antialias);
        canvas.expectColours({{28, 15, kWhite}, {12, 15, kWhite}, {20, 7, kWhite}, {20, 23, kWhite}});
        canvas.expectColours({{20, 15, kBlack}, {25, 15, kBlack}, {30, 15, kBlack}});
    }
}

TEST(Circles, ArcRunsClockwiseFromTheTop) {
    Canvas canvas(40, 40);
    vizeArc(canvas.get(), 20.0f, 20.0f, 10.0f, 0.0f, float(kPi / 2), int(kWhite), 1.0f, 0, false);
    // Top, right and between them; then bottom, left and upper left.
    canvas.expectColours({{20, 10, kWhite}, {30, 20, kWhite}, {27, 13, kWhite}});
    canvas.expectColours({{20, 30, kBlack}, {10, 20, kBlack}, {13, 13, kBlack}});
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

TEST(Rectangles, OutlinesAndBorders) {
    Canvas canvas(20, 20);
    vizeDrawRect(canvas.get(), 2, 3, 5, 4, int(kWhite), 0.5f, 0);
    // Corners are drawn once.
    canvas.expectGreens({{2, 3, 128}, {6, 6, 128}, {4, 3, 128}});
    canvas.expectColours({{4, 4, kBlack}, {7, 3, kBlack}});
    vizeBorderedRect(canvas.get(), 10, 10, 6, 5, int(0xFF0000FFu), int(0xFF00FF00u), 1.0f, 0);
    canvas.expectColours({{10, 10, 0xFF00FF00u}, {15, 14, 0xFF00FF00u}, {12, 12, 0xFF0000FFu}});
    EXPECT_EQ(canvas.at(16, 12), kBlack);
}

TEST(Polygons, TrianglesSharingAnEdgeFillEachPixelOnce) {
    Canvas canvas(20, 20);
    vizeFillTriangle(canvas.get(), 2, 2, 12, 2, 2, 12, int(kWhite), 0.5f, 0);
    vizeFillTriangle(canvas.get(), 12, 2, 12, 12, 2, 12, int(kWhite), 0.5f, 0);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 2 && x < 12 && y >= 2 && y < 12;
            ASSERT_EQ(canvas.green(x, y), inside ? 128 : 0) << x << "," << y;
        }
    }
}

TEST(Polygons, PixelCentresDecideTheEdge) {
    Canvas canvas(20, 20);
    vizeFillTriangle(canvas.get(), 0, 0, 10, 0, 0, 10, int(kWhite), 1.0f, 0);
    canvas.expectColours({{0, 0, kWhite}, {8, 0, kWhite}, {4, 4, kWhite}});
    // The centre of (9, 0), (9.5, 0.5), lies on the slanted edge.
    canvas.expectColours({{9, 0, kBlack}, {0, 9, kBlack}, {5, 5, kBlack}});
}

TEST(Polygons, TrapezoidAndPolygonMatchTheRectangleTheyDescribe) {
    Canvas rect(20, 20), trapezoid(20, 20), polygon(20, 20);
    vizeFillRect(rect.get(), 3, 4, 8, 6, int(kRed), 1.0f, 0);
    vizeFillTrapezoid(trapezoid.get(), 3, 11, 4, 3, 11, 10, int(kRed), 1.0f, 0);
    const int corners[] = {3, 4, 3, 10, 11, 10, 11, 4};
    vizeFillConvexPolygon(polygon.get(), corners, 4, int(kRed), 1.0f, 0);
    EXPECT_EQ(hosttest::pixels(trapezoid.get()), hosttest::pixels(rect.get()));
    EXPECT_EQ(hosttest::pixels(polygon.get()), hosttest::pixels(rect.get()));
    Canvas narrowing(20, 20);
    vizeFillTrapezoid(narrowing.get(), 0, 10, 0, 4, 6, 10, int(kWhite), 1.0f, 0);
    narrowing.expectColours({{0, 0, kWhite}, {9, 0, kWhite}, {0, 9, kBlack}, {5, 9, kWhite}});
}

TEST(Transfers, BlitCopiesAndClips) {
    Canvas source(4, 4, kRed);
    vizePutPixel(source.get(), 0, 0, int(kWhite), 1.0f, 0);
    Canvas target(10, 10);
    vizeBlit(target.get(), source.get(), 5, 6, 4, 4, 0, 0, 1.0f, 0);
    target.expectColours({{5, 6, kWhite}, {8, 9, kRed}, {4, 6, kBlack}});
    vizeBlit(target.get(), source.get(), -1, -1, 4, 4, 0, 0, 1.0f, 0);
    EXPECT_EQ(target.at(0, 0), kRed) << "source (1, 1)";
    vizeBlit(target.get(), source.get(), 8, 8, 4, 4, 0, 0, 0.5f, 0);
    EXPECT_EQ(target.at(8, 8), 0xFFFF8080u) << "white over red at half";
}

TEST(Transfers, BlitWithinOneBitmapReadsBeforeWriting) {
    Canvas canvas(8, 1);
    for (int x = 0; x < 8; ++x) vizePutPixel(canvas.get(), x, 0, int(0xFF000000u | uint32_t(x)), 1.0f, 0);
    vizeBlit(canvas.get(), canvas.get(), 1, 0, 7, 1, 0, 0, 1.0f, 0);
    for (int x = 1; x < 8; ++x) EXPECT_EQ(canvas.at(x, 0), 0xFF000000u | uint32_t(x - 1)) << x;
}

TEST(Transfers, ScaledBlitAveragesAndStretches) {
    Canvas source(4, 1);
    vizeFillRect(source.get(), 0, 0, 2, 1, int(kWhite), 1.0f, 0);
    Canvas half(2, 1);
    vizeScaledBlit(half.get(), source.get(), 0, 0, 2, 1, 0.0f, 0.0f, 4.0f, 1.0f, 1.0f, 0);
    half.expectColours({{0, 0, kWhite}, {1, 0, kBlack}});
    Canvas same(4, 1);
    vizeScaledBlit(same.get(), source.get(), 0, 0, 4, 1, 0.0f, 0.0f, 4.0f, 1.0f, 1.0f, 0);
    EXPECT_EQ(hosttest::pixels(same.get()), hosttest::pixels(source.get()));
    Canvas wide(8, 1);
    vizeScaledBlit(wide.get(), source.get(), 0, 0, 8, 1, 0.0f, 0.0f, 4.0f, 1.0f, 1.0f, 0);
    wide.expectColours({{0, 0, kWhite}, {7, 0, kBlack}});
    // Between the last white and the first black.
    wide.expectGreens({{3, 0, 191}, {4, 0, 64}});
}

TEST(Transfers, RotatedBlitTurnsClockwise) {
    Canvas source(4, 4);
    vizePutPixel(source.get(), 0, 0, int(kRed), 1.0f, 0);
    Canvas target(4, 4);
    vizeRotatedBlit(target.get(), source.get(), 0, 0, 4, 4, 0.0f, 0.0f, 4.0f, 4.0f, kPi / 2, 1.0f, 0);
    target.expectColours({{3, 0, kRed}, {0, 0, kBlack}});
    Canvas unturned(4, 4);
    vizeRotatedBlit(unturned.get(), source.get(), 0, 0, 4, 4, 0.0f, 0.0f, 4.0f, 4.0f, 0.0, 1.0f, 0);
    EXPECT_EQ(hosttest::pixels(unturned.get()), hosttest::pixels(source.get()));
}

TEST(Transfers, CopyTakesSizePixelsAndScale) {
    Canvas source(6, 3, kRed);
    int32_t scale = 512;
    source.get()->extended(vexlan::kBitmapSetScale, &scale);
    Canvas target(2, 2);
    vizeCopy(target.get(), source.get());
    EXPECT_EQ(target.get()->getWidth(), 6);
    EXPECT_EQ(target.get()->getHeight(), 3);
    EXPECT_EQ(hosttest::pixels(target.get()), hosttest::pixels(source.get()));
    EXPECT_EQ(target.get()->extended(vexlan::kBitmapTextScale, nullptr), 512);
}

TEST(Glyphs, MaskSetsTheWeightOfEachPixel) {
    Canvas canvas(10, 10);
    const unsigned char mask[] = {255, 0, 128, 0, 255, 0};
    EXPECT_EQ(vizeDrawGlyph(canvas.get(), mask, 3, 2, 4, 5, int(kWhite), 1.0f, 0), 3);
    canvas.expectColours({{4, 5, kWhite}, {5, 5, kBlack}, {5, 6, kWhite}, {4, 6, kBlack}});
    EXPECT_NEAR(canvas.green(6, 5), 128, 1);
    EXPECT_EQ(vizeDrawGlyph(canvas.get(), nullptr, 3, 2, 0, 0, int(kWhite), 1.0f, 0), 0);
}

}  // namespace
