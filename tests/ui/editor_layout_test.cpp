// The editor follows the host's window: the 50 ms timer fits the dialog to
// the frame, the anchored layout moves the controls. And a picture of it.
#if defined(_WIN32)

#include <set>

#include "bitmap.h"
#include "editor_fixture.h"
#include "png_file.h"

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

// The folder of the test program, inside the build folder.
std::string besideProgram(const char* name) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    folder.erase(folder.find_last_of("\\/") + 1);
    return folder + name;
}

}  // namespace

// Wine 8 cannot make a thread per-monitor aware (version 2), so the DPI
// conversion itself is tested natively; here it must be off for good.
TEST_F(EditorTest, WithoutPerMonitorDpiTheLayoutIsNotConverted) {
    ASSERT_FALSE(AreDpiAwarenessContextsEqual(GetThreadDpiAwarenessContext(),
                                              DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2));
    EXPECT_EQ(instance().childResizer.designScale, 0);
    EXPECT_EQ(instance().childResizer.parent, dialog());
    const Size size = windowSize(dialog());
    EXPECT_EQ(instance().childResizer.designWidth, size.width);
    EXPECT_EQ(instance().childResizer.designHeight, size.height);
    dispatch(effEditClose);
    EXPECT_EQ(instance().childResizer.parent, nullptr);
    EXPECT_EQ(instance().childResizer.designWidth, 0);
    EXPECT_EQ(instance().childResizer.items.size, 0);
    EXPECT_EQ(instance().childResizer.designScale, 0) << "once off, it stays off";
}

// The dialog fills a larger frame and keeps its design size in a smaller
// one; its controls follow their anchors and return to their places.
TEST_F(EditorTest, DialogFillsTheFrameAndItsControlsFollowTheirAnchors) {
    struct Anchor {
        int id;
        int left, top, right, bottom;  // how many times dw or dh each edge moves
    } anchors[] = {
        {IDC_FRAME, 0, 0, 1, 1},          {IDC_GRAPH, 0, 0, 1, 1},          {IDC_GRAPH_MAX, 1, 0, 1, 0},
        {IDC_GRAPH_MIN, 1, 1, 1, 1},      {IDC_OUTPUT_LABEL, 1, 0, 1, 0},   {IDC_OUTPUT_FADER, 1, 0, 1, 1},
        {IDC_OUTPUT_EDIT, 1, 1, 1, 1},    {IDC_FLOOR_UNIT, 0, 1, 0, 1},     {IDC_HINT, 0, 1, 0, 1},
        {IDC_REDUCE_ARTIFACTS, 0, 1, 0, 1}, {IDC_SHOW_ANALYSIS, 0, 1, 0, 1}, {IDC_ANALYSIS_FLOOR, 0, 1, 0, 1},
        {IDC_METERING_LABEL, 1, 0, 1, 0}, {IDC_METERING, 1, 0, 1, 0},       {IDC_RESET, 0, 0, 0, 0},
        {IDC_MODE, 0, 0, 0, 0},           {IDC_QUALITY, 0, 0, 0, 0},        {IDC_GATE_FADER, 0, 0, 0, 0},
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

TEST_F(EditorTest, ScreenshotOfTheEditorAtDefaultSize) {
    timer(1);
    const Size size = windowSize(dialog());
    resizeFrame(size.width, size.height);
    RedrawWindow(frame_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pump(100);
    host::RasterBitmap picture(size.width, size.height);
    HDC dialogDc = GetDC(dialog());
    BitBlt(static_cast<HDC>(picture.getDC()), 0, 0, size.width, size.height, dialogDc, 0, 0, SRCCOPY);
    ReleaseDC(dialog(), dialogDc);
    GdiFlush();
    std::set<uint32_t> colours;
    const uint32_t* pixels = picture.getBits();
    for (size_t i = 0; i < size_t(size.width) * size.height; ++i) colours.insert(pixels[i] & 0xFFFFFF);
    EXPECT_GT(colours.size(), 4u) << "the controls are drawn, not one flat colour";
    const std::string file = besideProgram("editor-default.png");
    std::string error;
    EXPECT_TRUE(host::writePng(file, &picture, error)) << error;
}

#endif
