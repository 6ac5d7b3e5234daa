// `vexlan-host info`: the report a host gives of the built plug-in.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "host_test_support.h"
#include "info_command.h"
#include "plugin_loader.h"

#if defined(_WIN32)
#define popen _popen
#define pclose _pclose
#endif

namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// What a host sees of the plug-in loaded from `path`.
std::vector<std::string> expectedReport(const std::string& path) {
    return {
        "Plug-in: " + path,
        "Effect name: Vexlan (FFT EQ+Dynamics Processor)",
        "Vendor: Quovar",
        "Product: Vexlan (FFT EQ+Dynamics Processor)",
        "Unique id: 'Vxln' (0x56786c6e)",
        "Version: 1100",
        "Flags: 0x231",
        "Channels: 2 in, 2 out",
        "Latency: 4096 samples",
        "Programs: 1",
        "Parameters: 8",
        "Parameter 0: Show analysis = 1",
        "Parameter 1: Processing mode = 0",
        "Parameter 2: Gate Floor = -inf dB",
        "Parameter 3: Compressor Ratio = 1.00 :1",
        "Parameter 4: Output Gain = +0.0 dB",
        "Parameter 5: Analysis Floor = -90.0 dB",
        "Parameter 6: Legacy Compatibility Modes = 0",
        "Parameter 7: Adjustment Graph Offset = +0.0 dB",
        "Input pin 0: Input L, flags 0x2",
        "Input pin 1: Input R, flags 0x0",
        "Output pin 0: Output L, flags 0x2",
        "Output pin 1: Output R, flags 0x0",
        "Can do hasQuovarExtensions: 0xbeef0000",
        "Can do hasQuovarViewAsConfig: 0xbeef0000",
        "Can do hasQuovarNoScrollUI: 0xbeef0000",
        "Can do hasQuovarEmbeddedUI: 0xbeef0000",
        "Can do supportsQuovarChanConfig: 0xbeef0000",
        "Can do receiveVstEvents: 0x0",
    };
}

// The program itself prints the report, naming the plug-in as it was given;
// under Wine its lines end in CR LF, which linesOf takes off.
TEST(InfoCommand, TheProgramPrintsTheSameReport) {
    const hosttest::PluginCopy copy;
    ASSERT_FALSE(copy.path().empty());
    const std::string plugin = host::defaultPluginPath();
    const std::string folder = plugin.substr(0, plugin.find_last_of("\\/") + 1);
#if defined(_WIN32)
    // cmd /c drops the outermost pair of quotes.
    const std::string command = "\"\"" + folder + "vexlan-host.exe\" info \"" + copy.path() + "\"\"";
#else
    const std::string command = "'" + folder + "vexlan-host' info '" + copy.path() + "'";
#endif
    std::FILE* program = popen(command.c_str(), "r");
    ASSERT_NE(program, nullptr) << command;
    std::string printed;
    char buffer[512];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, program)) > 0) printed.append(buffer, count);
    EXPECT_EQ(pclose(program), 0) << command;
    EXPECT_EQ(linesOf(printed), expectedReport(copy.path()));
}

}  // namespace
