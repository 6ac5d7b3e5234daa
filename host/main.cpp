// vexlan-host: the host stand-in's command line.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "audio_file.h"
#include "audio_levels.h"
#include "cli_options.h"
#include "demo_signal.h"
#include "editor_command.h"
#include "host_callback.h"
#include "info_command.h"
#include "cpu_report.h"
#include "process_command.h"
#include "render_command.h"
#include "terminal.h"
#include "validate_command.h"

namespace {

int runDemoSignalCommand(const host::CommandLine& line) {
    std::string error;
    if (!host::writeAudioFile(line.outputPath, host::makeDemoSignal(), error)) return host::reportError(error);
    std::printf("wrote %s: %.1f s, %u Hz, 2 channels, 16-bit; hiss alone for the first %.1f s\n",
                line.outputPath.c_str(), host::kDemoSeconds, unsigned(host::kDemoSampleRate), host::kDemoLeadInSeconds);
    return 0;
}

int runLevelsCommand(const host::CommandLine& line) {
    std::string error;
    host::AudioReader reader;
    if (!host::openAudioReader(line.inputPath, reader, error)) return host::reportError(error);
    const double rate = reader.format.sampleRate;
    const uint64_t from = std::min(reader.frames, uint64_t(line.fromSeconds * rate + 0.5));
    const uint64_t to = line.toSeconds < 0.0 ? reader.frames : std::min(reader.frames, uint64_t(line.toSeconds * rate + 0.5));
    if (!host::seekAudioFrame(reader, from, error)) return host::reportError(error);
    host::LevelMeter meter;
    const size_t channels = size_t(reader.format.channels);
    std::vector<float> block(8192 * channels);
    for (uint64_t at = from; at < to;) {
        size_t got = 0;
        if (!host::readAudioFrames(reader, block.data(), size_t(std::min<uint64_t>(8192, to - at)), got, error)) {
            return host::reportError(error);
        }
        if (got == 0) break;
        host::meterSamples(meter, block.data(), got * channels);
        at += got;
    }
    const host::LevelSummary levels = host::levelSummary(meter);
    std::printf("%s %.3f-%.3f s: peak %s, RMS %s\n", line.inputPath.c_str(), double(from) / rate, double(to) / rate,
                host::formatDb(levels.peakDb).c_str(), host::formatDb(levels.rmsDb).c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    host::CommandLine line;
    std::string error;
    if (!host::parseCommandLine(args, line, error)) return host::reportError(error);
    // A foreign host knows nothing of the extension functions or fader classes.
    if (line.foreignHost) {
        host::setForeignHost(true);
    } else {
        host::startHost();
    }
    switch (line.command) {
        case host::Command::Help:
            std::fputs(host::usageText(), stdout);
            return args.empty() ? 2 : 0;
        case host::Command::Info:
            if (line.cpuReport) return host::runCpuReport(host::pluginPathToLoad(line.pluginPath), line.settings, line.cpuRate);
            return host::runInfoCommand(host::pluginPathToLoad(line.pluginPath), line.settings);
        case host::Command::Process:
            return host::runProcessCommand(line);
        case host::Command::SaveState:
            return host::runSaveStateCommand(line);
        case host::Command::DemoSignal:
            return runDemoSignalCommand(line);
        case host::Command::Levels:
            return runLevelsCommand(line);
        case host::Command::Editor:
            return host::runEditorCommand(line);
        case host::Command::Validate:
            return host::runValidateCommand(host::pluginPathToLoad(line.pluginPath));
        case host::Command::Render:
            return host::runRenderCommand(line);
    }
    return 2;
}
