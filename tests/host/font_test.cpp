// The host's font object: drawing stays in its rectangle, measuring grows
// with the text, and the settings reach the pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "font.h"
#include "host_test_support.h"
#include "raster.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

using hosttest::channel;
using hosttest::OwnedBitmap;
using namespace host;

constexpr uint32_t kBackground = 0xFF000000u;

struct FontDestroyer {
    void operator()(VizeFont* font) const { vexlan::destroyHostObject(font); }
};

std::unique_ptr<VizeFont, FontDestroyer> makeFont() {
    return std::unique_ptr<VizeFont, FontDestroyer>(vizeCreateFont());
}

struct Ink {
    int changed = 0;
    int changedOutside = 0;
    int leftmost = 1 << 30;
    int rightmost = -1;
    int brightest = 0;  // highest green value
    int greenOnly = 0;  // changed pixels without red or blue
};

Ink inkOf(VizeBitmap* bitmap, const VizeRect& rect) {
    Ink ink;
    for (int y = 0; y < bitmap->getHeight(); ++y) {
        for (int x = 0; x < bitmap->getWidth(); ++x) {
            const uint32_t value = hosttest::pixel(bitmap, x, y);
            if ((value & 0xFFFFFFu) == (kBackground & 0xFFFFFFu)) continue;
            const bool inside = x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
            ++(inside ? ink.changed : ink.changedOutside);
            ink.leftmost = std::min(ink.leftmost, x);
            ink.rightmost = std::max(ink.rightmost, x);
            ink.brightest = std::max(ink.brightest, channel(value, 8));
            ink.greenOnly += channel(value, 16) == 0 && channel(value, 0) == 0;
        }
    }
    return ink;
}

Ink drawn(VizeFont* font, const char* text, VizeRect rect, int flags, int width = 160, int height = 48) {
    OwnedBitmap bitmap(width, height);
    vizeClear(bitmap.get(), int(kBackground));
    font->drawText(bitmap.get(), text, -1, &rect, flags);
    return inkOf(bitmap.get(), rect);
}

TEST(Font, LongTextIsClippedUnlessToldOtherwise) {
    auto font = makeFont();
    font->setTextColor(0xFFFFFF);
    const char* text = "WWWWWWWWWWWWWWWWWWWW";
    const VizeRect narrow{20, 10, 50, 40};
    EXPECT_EQ(drawn(font.get(), text, narrow, kTextSingleLine).changedOutside, 0);
    EXPECT_GT(drawn(font.get(), text, narrow, kTextSingleLine | kTextNoClip).changedOutside, 0);
}

TEST(Font, MeasuringGrowsWithTheTextAndDrawsNothing) {
    auto font = makeFont();
    OwnedBitmap bitmap(100, 40);
    vizeClear(bitmap.get(), int(kBackground));
    VizeRect rect{5, 6, 5, 6};
    const int height = font->drawText(bitmap.get(), "MM", -1, &rect, kTextCalcRect | kTextNoPrefix);
    EXPECT_GT(height, 5);
    EXPECT_EQ(rect.left, 5);
    EXPECT_EQ(rect.top, 6);
    EXPECT_EQ(rect.bottom - rect.top, height);
    const int two = rect.right - rect.left;
    EXPECT_GT(two, 10);
    EXPECT_EQ(inkOf(bitmap.get(), VizeRect{0, 0, 100, 40}).changed, 0);
    VizeRect twoLines{0, 0, 0, 0};
    EXPECT_EQ(font->drawText(nullptr, "A\nB", -1, &twoLines, kTextCalcRect), 2 * height);
    int four = 0, fourHeight = 0;
    EXPECT_GT(vizeMeasureText(font.get(), "MMMM", &four, &fourHeight), 0);
    EXPECT_NEAR(four, 2 * two, 4);
}

TEST(Font, AlignmentMovesTheText) {
    auto font = makeFont();
    font->setTextColor(0xFFFFFF);
    const VizeRect rect{0, 0, 160, 48};
    const Ink left = drawn(font.get(), "-24", rect, kTextSingleLine);
    const Ink right = drawn(font.get(), "-24", rect, kTextSingleLine | kTextRight);
    const Ink centre = drawn(font.get(), "-24", rect, kTextSingleLine | kTextCenter);
    EXPECT_LT(left.rightmost, 40);
    EXPECT_GT(right.leftmost, 120);
    EXPECT_GT(centre.leftmost, left.rightmost);
    EXPECT_LT(centre.rightmost, right.leftmost);
}

TEST(Font, ColourAndBlendReachThePixels) {
    auto font = makeFont();
    font->setTextColor(0x00FF00);
    const VizeRect rect{0, 0, 100, 40};
    EXPECT_GT(drawn(font.get(), "HHH", rect, kTextSingleLine, 100, 40).greenOnly, 10);
    font->setTextColor(0xFFFFFF);
    font->setBlend(vexlan::kBlendCopy, 0.5f);
    const Ink half = drawn(font.get(), "HHH", rect, kTextSingleLine, 100, 40);
    EXPECT_GT(half.changed, 10);
    EXPECT_LE(half.brightest, 130);
}

TEST(Font, AttachedFontSetsTheSize) {
    auto small = makeFont();
    auto large = makeFont();
#if defined(_WIN32)
    HFONT smallFont = CreateFontA(-10, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    HFONT largeFont = CreateFontA(-30, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    ASSERT_TRUE(smallFont && largeFont);
    small->attachSystemFont(smallFont, kFontOwnsHandle);
    large->attachSystemFont(largeFont, kFontOwnsHandle);
#else
    const int32_t smallHeight = -10, largeHeight = -30;
    small->attachSystemFont(const_cast<int32_t*>(&smallHeight), 0);
    large->attachSystemFont(const_cast<int32_t*>(&largeHeight), 0);
#endif
    int smallWidth = 0, smallHeightPx = 0, largeWidth = 0, largeHeightPx = 0;
    vizeMeasureText(small.get(), "Analysis", &smallWidth, &smallHeightPx);
    vizeMeasureText(large.get(), "Analysis", &largeWidth, &largeHeightPx);
    EXPECT_GT(largeHeightPx, 2 * smallHeightPx);
    EXPECT_GT(largeWidth, 2 * smallWidth);
    EXPECT_GT(large->getMetric(), 2 * small->getMetric());
}

// Drawn through the function by name, which hands the text to the object.
TEST(Font, DrawsInsideItsRectangleOnly) {
    auto font = makeFont();
    ASSERT_TRUE(font);
    font->setTextColor(0xFFFFFF);
    OwnedBitmap bitmap(120, 40);
    vizeClear(bitmap.get(), int(kBackground));
    VizeRect rect{10, 8, 110, 36};
    const int flags = kTextSingleLine | kTextVCenter;
    EXPECT_GT(vizeDrawText(bitmap.get(), font.get(), "Gate -12.5 dB", &rect, flags), 0);
    const Ink ink = inkOf(bitmap.get(), rect);
    EXPECT_GT(ink.changed, 20);
    EXPECT_EQ(ink.changedOutside, 0);
    EXPECT_GE(ink.brightest, 200);
    EXPECT_EQ(font->drawText(nullptr, "no bitmap", -1, &rect, kTextSingleLine), 0);
}

}  // namespace
