// The label font's size cache and what it hands each host font object.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "recording_host.h"
#include "ui/dpi_aware_font.h"

using namespace vexlan;
using recording::RecordingHost;
using recording::ScaledBitmap;

namespace {

FontDescription labelDescription() {
    FontDescription description{};
    description.height = 14;
    description.weight = 400;
    std::strcpy(description.faceName, "Arial");
    return description;
}

struct OwnedFont {
    dpiAwareFont* font = new dpiAwareFont(labelDescription());
    ~OwnedFont() { destroyHostObject(font); }
};

int drawAt(dpiAwareFont* font, int32_t scale) {
    ScaledBitmap bitmap(scale);
    VizeRect rect{0, 0, 100, 20};
    return font->drawText(&bitmap, "x", -1, &rect, 0x800);
}

TEST(DpiAwareFont, SizeFollowsTheBitmapsTextScaleAndTheDescription) {
    RecordingHost host;
    OwnedFont owned;
    const struct {
        int32_t scale;
        int32_t height;
        uint8_t quality;
        std::string attach;
    } cases[] = {
        {256, 14, 3, "attach(512)"},    // unscaled and small: no smoothing
        {384, 21, 0, "attach(1536)"},   // scaled: the description's own quality
        {0, 14, 3, "attach(512)"},      // a bitmap without a scale is unscaled
        {128, 7, 0, "attach(1536)"},
    };
    for (const auto& c : cases) {
        host.fonts.clear();
        destroyHostObject(owned.font);
        owned.font = new dpiAwareFont(labelDescription());
        EXPECT_EQ(drawAt(owned.font, c.scale), 16) << c.scale;
        ASSERT_EQ(host.fonts.size(), 1u) << c.scale;
        ASSERT_EQ(host.fonts[0].attached.size(), 1u);
        const FontDescription& attached = host.fonts[0].attached[0];
        EXPECT_EQ(attached.height, c.height) << c.scale;
        EXPECT_EQ(attached.quality, c.quality) << c.scale;
        EXPECT_EQ(host.fonts[0].calls.front(), c.attach) << c.scale;

        // A new description remakes the size in the same host object.
        FontDescription bigger = labelDescription();
        bigger.height = 20;
        owned.font->setDescription(bigger);
        drawAt(owned.font, c.scale);
        ASSERT_EQ(host.fonts.size(), 1u) << c.scale;
        EXPECT_EQ(host.fonts[0].attached.back().height, c.height * 20 / 14) << c.scale;
    }
}

TEST(DpiAwareFont, FourSizesStayAndAFifthReusesTheLeastRecentlyUsed) {
    RecordingHost host;
    OwnedFont owned;
    for (int32_t scale : {256, 384, 512, 640}) drawAt(owned.font, scale);
    ASSERT_EQ(host.fonts.size(), 4u);
    // Back to the first size: nothing new is attached.
    drawAt(owned.font, 256);
    EXPECT_EQ(host.fonts[0].attached.size(), 1u);
    // A fifth size takes the object least recently used (made for 384).
    drawAt(owned.font, 768);
    EXPECT_EQ(host.fonts.size(), 4u);
    ASSERT_EQ(host.fonts[1].attached.size(), 2u);
    EXPECT_EQ(host.fonts[1].attached[1].height, 42);
    for (const recording::FontLog& log : host.fonts) EXPECT_EQ(log.destroyed, 0);
    destroyHostObject(owned.font);
    owned.font = nullptr;
    for (const recording::FontLog& log : host.fonts) EXPECT_EQ(log.destroyed, 1);
}

TEST(DpiAwareFont, WithoutHostFontsNothingIsDrawnAndTheMetricIsTen) {
    RecordingHost host;
    host.refuseFonts = true;
    OwnedFont owned;
    EXPECT_EQ(drawAt(owned.font, 256), 0);
    EXPECT_EQ(owned.font->getMetric(), 10);
    host.refuseFonts = false;
    EXPECT_EQ(owned.font->getMetric(), 17);
}

}  // namespace
