#include <gtest/gtest.h>

#include <array>

#include "ui/child_resizer.h"

using namespace vexlan;

namespace {

std::array<int32_t, 4> edges(const LayoutRect& r) { return {r.left, r.top, r.right, r.bottom}; }

ChildResizer designedAt(int32_t scale, int32_t width, int32_t height) {
    return {scale, nullptr, width, height, {}, nullptr};
}

}  // namespace

TEST(ChildLayout, EdgesFollowTheParentByTheirFactors) {
    const LayoutRect control{10, 20, 110, 70};
    struct Case {
        const char* name;
        AnchorFactors factors;
        int32_t dw, dh;
        LayoutRect expected;
    } cases[] = {
        {"keeps its distance to the bottom-right corner", {1, 1, 1, 1}, 30, -10, {40, 10, 140, 60}},
        {"a half moves half, truncated", {0, 0, 0.5f, 0.5f}, 31, -31, {10, 20, 125, 55}},
        {"a factor above 1 moves the whole difference", {0, 0, 2, 0}, 30, 0, {10, 20, 140, 70}},
        {"a negative factor does not move", {-1, -1, 1, 1}, 30, 30, {10, 20, 140, 100}},
        {"a stretched control never gets a negative size", {0, 0, 1, 1}, -500, -500, {10, 20, 10, 20}},
    };
    for (const Case& test : cases) {
        const LayoutRect actual = anchoredRect(control, test.factors, test.dw, test.dh);
        EXPECT_EQ(edges(actual), edges(test.expected)) << test.name;
    }
}

TEST(ChildLayout, LayoutIsComputedAtTheDesignDpi) {
    const ResizerItem stretchedRight{nullptr, {10, 10, 110, 30}, {0, 0, 1, 0}};
    const ResizerItem bottomRight{nullptr, {300, 200, 380, 220}, {1, 1, 1, 1}};
    struct Case {
        const char* name;
        int32_t designScale, currentScale;
        const ResizerItem& item;
        LayoutRect client;
        LayoutRect expected;
    } cases[] = {
        // 660 pixels at 150 % are 440 at the design DPI: 40 wider than designed.
        {"150 % converts both ways", 256, 384, stretchedRight, {0, 0, 660, 450}, {15, 15, 225, 45}},
        {"same scale, no conversion", 256, 256, stretchedRight, {0, 0, 440, 300}, {10, 10, 150, 30}},
        {"unknown current scale, no conversion", 256, 0, stretchedRight, {0, 0, 660, 300}, {10, 10, 370, 30}},
        {"conversion off for good", 0, 384, stretchedRight, {0, 0, 660, 300}, {10, 10, 370, 30}},
        {"corner control at 125 %, truncated", 256, 320, bottomRight, {0, 0, 501, 376}, {375, 250, 475, 275}},
    };
    for (const Case& test : cases) {
        const ChildResizer resizer = designedAt(test.designScale, 400, 300);
        const LayoutRect actual = itemLayoutRect(resizer, test.item, test.client, test.currentScale);
        EXPECT_EQ(edges(actual), edges(test.expected)) << test.name;
    }
}
