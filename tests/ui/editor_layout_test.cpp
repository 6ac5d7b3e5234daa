// The editor follows the host's window: the 50 ms timer fits the dialog to
// the frame, the anchored layout moves the controls. And a picture of it.
#if defined(_WIN32)

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <set>

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

// The folder of the test program, inside the build folder.
std::string besideProgram(const char* name) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    folder.erase(folder.find_last_of("\\/") + 1);
    return folder + name;
}

}  // namespace

TEST_F(EditorTest, DialogFillsALargerFrameAndKeepsItsDesignSizeInASmallerOne) {
    const Size design = windowSize(dialog());
    ASSERT_GT(design.width, 300) << "the frame starts smaller than the dialog";
    timer(1);
    EXPECT_EQ(windowSize(dialog()).width, design.width);
    EXPECT_EQ(windowSize(dialog()).height, design.height);

    resizeFrame(design.width + 150, design.height + 90);
    timer(1);
    EXPECT_EQ(windowSize(dialog()).width, design.width + 150);
    EXPECT_EQ(windowSize(dialog()).height, design.height + 90);
    EXPECT_EQ(instance().editorWidth, design.width + 150);
    EXPECT_EQ(instance().editorHeight, design.height + 90);

    resizeFrame(design.width - 100, design.height + 40);
    timer(1);
    EXPECT_EQ(windowSize(dialog()).width, design.width) << "never narrower than designed";
    EXPECT_EQ(windowSize(dialog()).height, design.height + 40);

    // The next editor starts at the size the last one had.
    ASSERT_EQ(dispatch(effEditOpen, frame_), 1);
    EXPECT_EQ(windowSize(dialog()).width, design.width);
    EXPECT_EQ(windowSize(dialog()).height, design.height + 40);
}

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

TEST_F(EditorTest, ControlsFollowTheirAnchorsWhenTheFrameGrows) {
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
    const int dw = 210, dh = 130;
    resizeFrame(design.width + dw, design.height + dh);
    timer(1);
    for (size_t i = 0; i < std::size(anchors); ++i) {
        const Anchor& anchor = anchors[i];
        const RECT after = rectInDialog(anchor.id);
        EXPECT_EQ(after.left, before[i].left + anchor.left * dw) << anchor.id;
        EXPECT_EQ(after.top, before[i].top + anchor.top * dh) << anchor.id;
        EXPECT_EQ(after.right, before[i].right + anchor.right * dw) << anchor.id;
        EXPECT_EQ(after.bottom, before[i].bottom + anchor.bottom * dh) << anchor.id;
    }

    resizeFrame(design.width, design.height);
    timer(1);
    for (size_t i = 0; i < std::size(anchors); ++i) {
        const RECT after = rectInDialog(anchors[i].id);
        EXPECT_EQ(after.left, before[i].left) << anchors[i].id << " returns to its place";
        EXPECT_EQ(after.bottom, before[i].bottom) << anchors[i].id << " returns to its place";
    }
}

TEST_F(EditorTest, ScreenshotOfTheEditorAtDefaultSize) {
    timer(1);
    const Size size = windowSize(dialog());
    resizeFrame(size.width, size.height);
    RedrawWindow(frame_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pump(100);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size.width;
    info.bmiHeader.biHeight = -size.height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    HDC dialogDc = GetDC(dialog());
    BitBlt(memory, 0, 0, size.width, size.height, dialogDc, 0, 0, SRCCOPY);
    ReleaseDC(dialog(), dialogDc);
    GdiFlush();

    std::vector<unsigned char> rgb(size_t(size.width) * size.height * 3);
    std::set<uint32_t> colours;
    const uint32_t* pixels = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < size_t(size.width) * size.height; ++i) {
        rgb[3 * i] = (pixels[i] >> 16) & 0xFF;
        rgb[3 * i + 1] = (pixels[i] >> 8) & 0xFF;
        rgb[3 * i + 2] = pixels[i] & 0xFF;
        colours.insert(pixels[i] & 0xFFFFFF);
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    const std::string file = besideProgram("editor-default.png");
    EXPECT_NE(stbi_write_png(file.c_str(), size.width, size.height, 3, rgb.data(), size.width * 3), 0) << file;
    EXPECT_GT(colours.size(), 4u) << "the controls are drawn, not one flat colour";
}

#endif
