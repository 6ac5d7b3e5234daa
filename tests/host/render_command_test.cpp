// The graph display drawn by the real plug-in into the host's raster, and
// `vexlan-host render` writing it to a PNG.
#include <gtest/gtest.h>

#include <filesystem>

#include "demo_signal.h"
#include "file_test_support.h"
#include "host_test_support.h"
#include "plugin_loader.h"
#include "plugin_session.h"

#define STBI_ONLY_PNG
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

namespace {

using filetest::CommandResult;
using filetest::runCommand;
using hosttest::OwnedBitmap;
using hosttest::channel;
using hosttest::pixel;

struct Png {
    int width = 0, height = 0;
    std::vector<uint32_t> rgb;  // 0xRRGGBB per pixel
    uint32_t at(int x, int y) const { return rgb[size_t(y) * width + x]; }
};

Png readPng(const std::string& path) {
    Png png;
    int components = 0;
    unsigned char* data = stbi_load(path.c_str(), &png.width, &png.height, &components, 3);
    if (!data) return png;
    for (int i = 0; i < png.width * png.height; ++i) {
        png.rgb.push_back(uint32_t(data[3 * i]) << 16 | uint32_t(data[3 * i + 1]) << 8 | data[3 * i + 2]);
    }
    stbi_image_free(data);
    return png;
}

// 628 x 400 at 100 %: a 600 x 384 graph from -90 to +24 dB.
constexpr int kWidth = 628, kHeight = 400, kGraphWidth = 600, kGraphHeight = 384;

int yOfDb(double dB) { return int((dB + 90.0) * (-double(kGraphHeight) / 114.0) + kGraphHeight); }

// The PNG holds the picture the raster holds after a paint, and in it grid,
// curve and points are where they belong.
TEST(RenderCommand, WritesTheEmbeddedViewAsPng) {
    filetest::ScratchFolder folder;
    const std::string out = folder.file("graph.png");
    const CommandResult result = runCommand({"render", out, "--size", "628x400", "--set", "Show analysis=0"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("628x400 at scale 256"), std::string::npos) << result.out;
    const Png png = readPng(out);
    ASSERT_EQ(png.width, kWidth);
    ASSERT_EQ(png.height, kHeight);
    host::PluginSession session;
    std::string error;
    ASSERT_TRUE(host::openSession("", session, error)) << error;
    session.effect->setParameter(session.effect, 0, 0.0f);
    OwnedBitmap bitmap(kWidth, kHeight);
    EXPECT_EQ(host::paintEmbeddedGraph(session.effect, bitmap.get()), 1);
    host::closeSession(session);
    vexlan::VizeBitmap* b = bitmap.get();
    int differing = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) differing += png.at(x, y) != (pixel(b, x, y) & 0xFFFFFF);
    }
    EXPECT_EQ(differing, 0);
    // Frequency lines: 100 Hz (x 99) major, 600 Hz (x 241) minor; row 300 has no dB line.
    EXPECT_EQ(pixel(b, 99, 300) & 0xFFFFFF, 0x707070u);
    EXPECT_EQ(pixel(b, 241, 300) & 0xFFFFFF, 0x404040u);
    EXPECT_EQ(pixel(b, 230, 300) & 0xFFFFFF, 0u);
    // dB lines at +12 and -84 dB, the bottom line, the right edge.
    for (double dB : {12.0, -84.0}) EXPECT_EQ(pixel(b, 150, yOfDb(dB)) & 0xFFFFFF, 0x404040u) << dB;
    EXPECT_EQ(pixel(b, 150, kGraphHeight) & 0xFFFFFF, 0x404040u);
    EXPECT_EQ(pixel(b, kGraphWidth, 50) & 0xFFFFFF, 0x404040u);
    // The flat curve at 0 dB: red around y 80.8, nothing red far from it.
    const int curveY = yOfDb(0.0);
    const int x = 450;
    EXPECT_GE(channel(pixel(b, x, curveY), 16) + channel(pixel(b, x, curveY + 1), 16), 250);
    EXPECT_EQ(channel(pixel(b, x, curveY + 1), 8), 0);
    EXPECT_EQ(channel(pixel(b, x, curveY - 3), 16), 0);
    // The default points at a third and two thirds of the width: white centres.
    for (int px : {200, 400}) EXPECT_EQ(pixel(b, px, curveY) & 0xFFFFFF, 0xFFFFFFu) << px;
    // Labels in the margins: some grey text right of the graph and below it.
    int labelPixels = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int lx = kGraphWidth + 1; lx < kWidth; ++lx) labelPixels += (pixel(b, lx, y) & 0xFFFFFF) != 0;
    }
    EXPECT_GT(labelPixels, 50);
}

TEST(RenderCommand, SpectraOfRealSoundAppearBehindTheCurve) {
    filetest::ScratchFolder folder;
    const std::string audio = folder.file("demo.wav");
    filetest::writeAudio(audio, host::makeDemoSignal());
    const std::string out = folder.file("spectra.png");
    const CommandResult result =
        runCommand({"render", out, "--audio", audio, "--at", "3", "--curve", "60:6,400:-3,2500:4,9000:-8,20000:-20"});
    ASSERT_EQ(result.status, 0) << result.err;
    const Png png = readPng(out);
    ASSERT_EQ(png.width, 1000);
    // Output spectrum (yellow) and input spectrum (olive) both show.
    int yellow = 0, olive = 0;
    for (uint32_t colour : png.rgb) {
        const int r = colour >> 16, g = (colour >> 8) & 0xFF, bl = colour & 0xFF;
        yellow += r > 200 && g > 200 && bl < 120;
        olive += r > 70 && r < 110 && g > 70 && g < 110 && bl > 45 && bl < 75;
    }
    EXPECT_GT(yellow, 500);
    EXPECT_GT(olive, 200);
    // Kept beside the test programs for looking at.
    std::filesystem::copy_file(out, std::filesystem::path(host::defaultPluginPath()).parent_path() / "render-demo.png",
                               std::filesystem::copy_options::overwrite_existing);
}

TEST(RenderCommand, FailuresLeaveNoFile) {
    filetest::ScratchFolder folder;
    const std::string out = folder.file("never.png");
    const std::string audio = folder.file("demo.wav");
    filetest::writeAudio(audio, host::makeDemoSignal());
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"render", out, "--audio", folder.file("missing.wav")}, "missing.wav"},
        {{"render", out, "--audio", audio, "--at", "6.5"}, "past the end"},
        {{"render", out, "no-such-plugin.bin"}, "no-such-plugin"},
        {{"render", folder.file("no-folder/graph.png")}, "cannot write"},
    };
    for (const auto& c : cases) {
        const CommandResult result = runCommand(c.args);
        EXPECT_NE(result.status, 0) << c.message;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_TRUE(folder.entries() == std::vector<std::string>{"demo.wav"}) << c.message;
    }
}

}  // namespace
