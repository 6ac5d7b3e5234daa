// The host's font object: drawing stays in its rectangle, measuring grows
// with the text, and the settings reach the pixels.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "file_test_support.h"
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

int measuredWidth(VizeFont* font, const char* text) {
    int width = 0, height = 0;
    EXPECT_GT(vizeMeasureText(font, text, &width, &height), 0) << text;
    return width;
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
    const int one = measuredWidth(font.get(), "M");
    const int two = measuredWidth(font.get(), "MM");
    const int four = measuredWidth(font.get(), "MMMM");
    EXPECT_GT(one, 0);
    EXPECT_GT(two, one);
    EXPECT_GT(four, two);
    EXPECT_NEAR(four, 4 * one, 4);
    OwnedBitmap bitmap(100, 40);
    vizeClear(bitmap.get(), int(kBackground));
    VizeRect rect{5, 6, 5, 6};
    const int height = font->drawText(bitmap.get(), "1.0k", -1, &rect, kTextCalcRect | kTextNoPrefix);
    EXPECT_GT(height, 5);
    EXPECT_EQ(rect.left, 5);
    EXPECT_EQ(rect.top, 6);
    EXPECT_EQ(rect.bottom - rect.top, height);
    EXPECT_GT(rect.right - rect.left, 10);
    EXPECT_EQ(inkOf(bitmap.get(), VizeRect{0, 0, 100, 40}).changed, 0);
    VizeRect twoLines{0, 0, 0, 0};
    EXPECT_EQ(font->drawText(nullptr, "A\nB", -1, &twoLines, kTextCalcRect), 2 * height);
    VizeRect partial{0, 0, 0, 0};
    font->drawText(nullptr, "MMMM", 2, &partial, kTextCalcRect | kTextSingleLine);
    EXPECT_EQ(partial.right, two) << "a length limits the text";
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
    EXPECT_EQ(font->setTextColor(0x00FF00), 0);
    EXPECT_EQ(font->getTextColor(), 0x00FF00);
    const VizeRect rect{0, 0, 100, 40};
    EXPECT_GT(drawn(font.get(), "HHH", rect, kTextSingleLine, 100, 40).greenOnly, 10);
    font->setTextColor(0xFFFFFF);
    font->setBlend(vexlan::kBlendCopy, 0.5f);
    const Ink half = drawn(font.get(), "HHH", rect, kTextSingleLine, 100, 40);
    EXPECT_GT(half.changed, 10);
    EXPECT_LE(half.brightest, 130);
}

TEST(Font, AttributesKeepWhatTheyAreGiven) {
    auto font = makeFont();
    // Each keeps its own value: a shared one would answer 6 on the next first call.
    for (auto set : {&VizeFont::setAttributeA, &VizeFont::setAttributeB, &VizeFont::setAttributeC,
                     &VizeFont::setAttributeD}) {
        EXPECT_EQ((font.get()->*set)(5), 0);
        EXPECT_EQ((font.get()->*set)(6), 5);
    }
    EXPECT_GT(font->getMetric(), 5);
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
    EXPECT_EQ(large->getHandle(), largeFont);
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

TEST(Font, PrefixesFollowDrawTextRules) {
    auto font = makeFont();
    VizeRect plain{0, 0, 0, 0}, doubled{0, 0, 0, 0}, raw{0, 0, 0, 0};
    font->drawText(nullptr, "A&B", -1, &plain, kTextCalcRect | kTextSingleLine);
    font->drawText(nullptr, "AB", -1, &doubled, kTextCalcRect | kTextSingleLine);
    font->drawText(nullptr, "A&B", -1, &raw, kTextCalcRect | kTextSingleLine | kTextNoPrefix);
    EXPECT_EQ(plain.right, doubled.right) << "a lone '&' marks a mnemonic and is not shown";
    EXPECT_GT(raw.right, plain.right);
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
    EXPECT_EQ(vizeDrawText(bitmap.get(), nullptr, "x", &rect, 0), 0);
    int width = -1;
    EXPECT_EQ(vizeMeasureText(nullptr, "x", &width, nullptr), 0);
    EXPECT_EQ(width, -1);
    EXPECT_EQ(font->drawText(nullptr, "no bitmap", -1, &rect, kTextSingleLine), 0);
}

#if !defined(_WIN32)
// Without a usable face file text is simply missing; a damaged file must not
// take the process down.
TEST(Font, OnlyAWholeFaceFileIsUsed) {
    filetest::ScratchFolder folder;
    const std::string face = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    std::ifstream source(face, std::ios::binary);
    const std::string whole((std::istreambuf_iterator<char>(source)), std::istreambuf_iterator<char>());
    ASSERT_GT(whole.size(), 4096u) << "the face the host draws with is installed";
    struct Case {
        const char* name;
        std::string bytes;
        bool usable;
    };
    const Case cases[] = {
        {"whole.ttf", whole, true},
        {"empty.ttf", "", false},
        {"header.ttf", whole.substr(0, 12), false},
        {"directory.ttf", whole.substr(0, 300), false},
        {"cut.ttf", whole.substr(0, whole.size() / 2), false},
        {"text.ttf", std::string(4096, 'x'), false},
    };
    for (const Case& test : cases) {
        const std::string path = folder.file(test.name);
        std::ofstream(path, std::ios::binary) << test.bytes;
        EXPECT_EQ(fontFaceUsable(path.c_str()), test.usable) << test.name;
    }
    EXPECT_FALSE(fontFaceUsable(folder.file("absent.ttf").c_str()));
}
#endif

}  // namespace
