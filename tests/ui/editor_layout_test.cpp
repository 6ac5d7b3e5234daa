// The editor follows the host's window: the 50 ms timer fits the dialog to
// the frame, the anchored layout moves the controls.
#if defined(_WIN32)

#include "editor_fixture.h"

using namespace vexlan;
using uitest::EditorTest;

namespace {

struct Size {
    int width;
    int height;
};

Size windowSize(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace

// The dialog fills a larger frame and keeps its design size in a smaller
// one; its controls follow their anchors and return to their places. One
// control per kind of anchor: the rule itself is tested natively.
TEST_F(EditorTest, DialogFillsTheFrameAndItsControlsFollowTheirAnchors) {
    struct Anchor {
        int id;
        int left, top, right, bottom;  // how many times dw or dh each edge moves
    } anchors[] = {
        {IDC_GRAPH, 0, 0, 1, 1},        {IDC_METERING, 1, 0, 1, 0}, {IDC_OUTPUT_EDIT, 1, 1, 1, 1},
        {IDC_OUTPUT_FADER, 1, 0, 1, 1}, {IDC_HINT, 0, 1, 0, 1},     {IDC_MODE, 0, 0, 0, 0},
    };
    std::vector<RECT> before;
    for (const Anchor& anchor : anchors) before.push_back(rectInDialog(anchor.id));
    const Size design = windowSize(dialog());
    ASSERT_GT(design.width, 300) << "the frame starts smaller than the dialog";
    struct Case {
        int frameWidth, frameHeight;  // beyond the design size
        int dw, dh;                   // what the dialog grows by
    } cases[] = {{-100, -100, 0, 0}, {210, 130, 210, 130}, {0, 0, 0, 0}, {-100, 40, 0, 40}};
    for (const Case& test : cases) {
        SCOPED_TRACE(testing::Message() << "frame " << test.frameWidth << " x " << test.frameHeight);
        resizeFrame(design.width + test.frameWidth, design.height + test.frameHeight);
        timer(1);
        EXPECT_EQ(windowSize(dialog()).width, design.width + test.dw);
        EXPECT_EQ(windowSize(dialog()).height, design.height + test.dh);
        for (size_t i = 0; i < std::size(anchors); ++i) {
            const Anchor& anchor = anchors[i];
            const RECT after = rectInDialog(anchor.id);
            EXPECT_EQ(after.left, before[i].left + anchor.left * test.dw) << anchor.id;
            EXPECT_EQ(after.top, before[i].top + anchor.top * test.dh) << anchor.id;
            EXPECT_EQ(after.right, before[i].right + anchor.right * test.dw) << anchor.id;
            EXPECT_EQ(after.bottom, before[i].bottom + anchor.bottom * test.dh) << anchor.id;
        }
    }
    EXPECT_EQ(instance().editorWidth, design.width);
    EXPECT_EQ(instance().editorHeight, design.height + 40);
    ASSERT_EQ(dispatch(effEditOpen, frame_), 1);
    EXPECT_EQ(windowSize(dialog()).width, design.width) << "the next editor starts at the last size";
    EXPECT_EQ(windowSize(dialog()).height, design.height + 40);
}

#endif
