// Parsing of the vexlan-host command line.
#include <gtest/gtest.h>

#include "cli_options.h"

namespace {

using host::CommandLine;
using host::ProcessingMode;

CommandLine parsed(const std::vector<std::string>& args) {
    CommandLine line;
    std::string error;
    EXPECT_TRUE(host::parseCommandLine(args, line, error)) << error;
    return line;
}

void expectRefused(const std::vector<std::string>& args, const std::string& reason) {
    CommandLine line;
    std::string error;
    EXPECT_FALSE(host::parseCommandLine(args, line, error)) << "accepted " << testing::PrintToString(args);
    EXPECT_NE(error.find(reason), std::string::npos) << testing::PrintToString(args) << ": " << error;
}

// Most options are also run end to end by the process command's tests; here
// the ones those leave out, and positions taken in any order among options.
TEST(CommandLine, ProcessTakesEverySettingInOrder) {
    const CommandLine line = parsed({"process", "in.wav", "--set", "Output Gain=-3", "out.wav", "--plugin", "p.so",
                                     "--set", "gate floor=-inf", "--mode", "gate", "--curve", "100:-6,1000.5:3",
                                     "--block", "77", "--float", "--no-latency-compensation", "--learn-noise",
                                     "noise.wav", "--noise-seconds", "1.5", "--format", "flac"});
    EXPECT_EQ(line.command, host::Command::Process);
    EXPECT_EQ(line.inputPaths, std::vector<std::string>{"in.wav"});
    EXPECT_EQ(line.outputPath, "out.wav");
    EXPECT_EQ(line.pluginPath, "p.so");
    EXPECT_EQ(line.blockSize, 77);
    EXPECT_TRUE(line.floatOutput);
    EXPECT_FALSE(line.latencyCompensation);
    EXPECT_EQ(line.fileType, "flac");
    const host::PluginSettings& settings = line.settings;
    ASSERT_EQ(settings.parameters.size(), 2u);
    EXPECT_EQ(settings.parameters[1].name, "gate floor");
    EXPECT_EQ(settings.parameters[1].value, "-inf");
    EXPECT_EQ(settings.mode, ProcessingMode::Gate);
    ASSERT_TRUE(settings.curve.has_value());
    ASSERT_EQ(settings.curve->size(), 2u);
    EXPECT_DOUBLE_EQ((*settings.curve)[1].frequency, 1000.5);
    EXPECT_DOUBLE_EQ((*settings.curve)[1].gain, 3.0);
    EXPECT_EQ(settings.noisePath, "noise.wav");
    EXPECT_DOUBLE_EQ(settings.noiseSeconds, 1.5);
}

TEST(CommandLine, DefaultsAndTheOtherCommands) {
    CommandLine line = parsed({"process", "a.wav", "b.wav"});
    EXPECT_EQ(line.blockSize, 512);
    EXPECT_FALSE(line.foreignHost);
    EXPECT_FALSE(line.settings.mode || line.settings.fftSize || line.settings.curve);

    line = parsed({"save-state", "vexlan.so", "s.vxs", "--mode", "subtract"});
    EXPECT_EQ(line.command, host::Command::SaveState);
    EXPECT_EQ(line.settings.mode, ProcessingMode::Subtract);

    line = parsed({"info", "x.dll", "--cpu", "--rate", "44100"});
    EXPECT_EQ(line.command, host::Command::Info);
    EXPECT_EQ(line.pluginPath, "x.dll");
    EXPECT_TRUE(line.cpuReport);
    EXPECT_DOUBLE_EQ(line.cpuRate, 44100.0);

    line = parsed({"editor", "p.dll", "--mode", "gate", "--close-after", "250", "--audio", "in.wav", "--record",
                   "out.wav"});
    EXPECT_EQ(line.command, host::Command::Editor);
    EXPECT_EQ(line.pluginPath, "p.dll");
    EXPECT_EQ(line.settings.mode, ProcessingMode::Gate);
    EXPECT_EQ(line.closeAfterMilliseconds, 250);
    EXPECT_EQ(line.playbackPath, "in.wav");
    EXPECT_EQ(line.recordPath, "out.wav");

    EXPECT_TRUE(parsed({"validate", "--foreign-host"}).foreignHost);
    EXPECT_EQ(parsed({}).command, host::Command::Help);
    EXPECT_EQ(parsed({"--help"}).command, host::Command::Help);
}

TEST(CommandLine, EveryModeNameAndNoOther) {
    const std::pair<const char*, ProcessingMode> names[] = {{"eq", ProcessingMode::Eq},
                                                            {"gate", ProcessingMode::Gate},
                                                            {"compressor", ProcessingMode::Compressor},
                                                            {"convolve", ProcessingMode::Convolve},
                                                            {"subtract", ProcessingMode::Subtract}};
    for (const auto& [name, mode] : names) {
        ProcessingMode parsed;
        ASSERT_TRUE(host::parseMode(name, parsed)) << name;
        EXPECT_EQ(parsed, mode) << name;
    }
    ProcessingMode parsed;
    EXPECT_FALSE(host::parseMode("EQ", parsed));
}

TEST(CommandLine, FftSizesArePowersOfTwoFrom128To32768) {
    for (int size : {128, 1024, 32768}) {
        EXPECT_EQ(parsed({"process", "a", "b", "--fft", std::to_string(size)}).settings.fftSize, size);
    }
    for (const char* bad : {"64", "65536", "1000", "4096x", ""}) {
        expectRefused({"process", "a", "b", "--fft", bad}, "power of two");
    }
}

TEST(CommandLine, CurvesAreHzDbPairsWithin24kHzAndAtMost32) {
    std::vector<host::CurvePoint> points;
    std::string error;
    ASSERT_TRUE(host::parseCurve("0:-90,24000:24", points, error)) << error;
    ASSERT_EQ(points.size(), 2u);
    EXPECT_DOUBLE_EQ(points[1].frequency, 24000.0);
    EXPECT_DOUBLE_EQ(points[0].gain, -90.0);

    std::string many;
    for (int i = 0; i < 32; ++i) many += (i ? "," : "") + std::to_string(i * 100) + ":0";
    EXPECT_TRUE(host::parseCurve(many, points, error)) << error;
    EXPECT_EQ(points.size(), 32u);
    EXPECT_FALSE(host::parseCurve(many + ",5000:1", points, error));
    EXPECT_NE(error.find("at most 32"), std::string::npos);

    for (const char* bad : {"", "100", "100:", ":3", "100:x", "100:3,", "1e3:2:1", "100;3"}) {
        EXPECT_FALSE(host::parseCurve(bad, points, error)) << bad;
        EXPECT_NE(error.find("HZ:DB"), std::string::npos) << bad << ": " << error;
    }
    for (const char* outside : {"24001:0", "-1:0"}) {
        EXPECT_FALSE(host::parseCurve(outside, points, error)) << outside;
        EXPECT_NE(error.find("outside 0 to 24000 Hz"), std::string::npos) << error;
    }
}

TEST(CommandLine, RenderTakesAnOutputAPluginAndItsOptions) {
    const CommandLine line = parsed({"render", "g.png", "p.so", "--size", "320x200", "--scale", "384", "--audio",
                                     "a.wav", "--at", "1.5", "--mode", "gate"});
    EXPECT_EQ(line.command, host::Command::Render);
    EXPECT_EQ(line.outputPath, "g.png");
    EXPECT_EQ(line.pluginPath, "p.so");
    EXPECT_EQ(line.render.width, 320);
    EXPECT_EQ(line.render.height, 200);
    EXPECT_EQ(line.render.scale, 384);
    EXPECT_EQ(line.render.audioPath, "a.wav");
    EXPECT_DOUBLE_EQ(line.render.atSeconds, 1.5);
    EXPECT_EQ(line.settings.mode, ProcessingMode::Gate);
}

TEST(CommandLine, MalformedCommandLinesAreRefusedWithAReason) {
    const struct {
        std::vector<std::string> args;
        const char* reason;
    } cases[] = {
        {{"mix", "a"}, "unknown command"},
        {{"process", "a"}, "usage"},
        {{"process", "--out-dir", "o"}, "usage"},
        {{"process", "a", "b", "--wet"}, "unknown option --wet"},
        {{"process", "a", "b", "--set"}, "needs a value"},
        {{"process", "a", "b", "--set", "Output Gain"}, "NAME=VALUE"},
        {{"process", "a", "b", "--set", "=3"}, "NAME=VALUE"},
        {{"process", "a", "b", "--block", "0"}, "--block"},
        {{"process", "a", "b", "--block", "2000000"}, "--block"},
        {{"process", "a", "b", "--block", "12.5"}, "--block"},
        {{"process", "a", "b", "--noise-seconds", "0"}, "positive"},
        {{"process", "a", "b", "--noise-seconds", "2"}, "needs --learn-noise"},
        {{"process", "a", "b", "--noise-from", "0:1", "--learn-noise", "n.wav"}, "does not go"},
        {{"process", "a", "--noise-from", "0:1", "b", "--out-dir", "o", "--save-state", "s"}, "takes one input"},
        // Processing options do not belong to the other commands.
        {{"save-state", "p", "s", "--float"}, "unknown option"},
        {{"save-state", "p", "s", "--block", "64"}, "unknown option"},
        {{"save-state", "p"}, "usage"},
        {{"demo-signal", "d.wav", "--mode", "eq"}, "unknown option"},
        {{"levels", "f.wav", "--from", "2", "--to", "1"}, "--to"},
        {{"levels", "f.wav", "--foreign-host"}, "unknown option"},
        {{"info", "a", "b"}, "at most one"},
        {{"editor", "--close-after", "0"}, "--close-after"},
        {{"editor", "--record", "out.wav"}, "--record needs --audio"},
        {{"process", "a", "b", "--record", "out.wav"}, "unknown option"},
        {{"render"}, "usage"},
        {{"render", "a.png", "p.so", "extra"}, "usage"},
        {{"render", "a.png", "--size", "640"}, "--size"},
        {{"render", "a.png", "--size", "9000x10"}, "--size"},
        {{"render", "a.png", "--scale", "300"}, "--scale"},
        {{"render", "a.png", "--audio", "a.wav", "--at", "-1"}, "--at"},
        {{"render", "a.png", "--at", "2"}, "--at needs --audio"},
    };
    for (const auto& test : cases) expectRefused(test.args, test.reason);
    for (const char* bad : {"1", "1:1", "-1:2", "a:b"}) {
        expectRefused({"process", "a", "b", "--noise-from", bad}, "START:END");
    }
}

TEST(CommandLine, NumbersMustBeWholeAndFinite) {
    double value = 0.0;
    for (const char* bad : {"", " 1", "1 ", "1dB", "inf", "nan", "-", "0x"}) {
        EXPECT_FALSE(host::parseNumber(bad, value)) << bad;
    }
}

}  // namespace
