// vexlan-host: the host stand-in's command line.
#include <cstdio>
#include <string>
#include <vector>

#include "audio_levels.h"
#include "cli_options.h"
#include "demo_signal.h"
#include "editor_command.h"
#include "host_callback.h"
#include "info_command.h"
#include "process_command.h"
#include "render_command.h"
#include "terminal.h"
#include "wav_file.h"

namespace {

int runDemoSignalCommand(const host::CommandLine& line) {
    std::string error;
    if (!host::writeWav(line.outputPath, host::makeDemoSignal(), error)) return host::reportError(error);
    std::printf("wrote %s: %.1f s, %u Hz, 2 channels, 16-bit; hiss alone for the first %.1f s\n",
                line.outputPath.c_str(), host::kDemoSeconds, unsigned(host::kDemoSampleRate), host::kDemoLeadInSeconds);
    return 0;
}

int runLevelsCommand(const host::CommandLine& line) {
    std::string error;
    host::AudioData audio;
    if (!host::readWav(line.inputPath, audio, error)) return host::reportError(error);
    const double rate = audio.format.sampleRate;
    const size_t frames = host::frameCount(audio);
    const size_t from = std::min(frames, size_t(line.fromSeconds * rate + 0.5));
    const size_t to = line.toSeconds < 0.0 ? frames : std::min(frames, size_t(line.toSeconds * rate + 0.5));
    const host::LevelSummary levels = host::measureLevels(audio, from, to);
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
    host::startHost();
    switch (line.command) {
        case host::Command::Help:
            std::fputs(host::usageText(), stdout);
            return args.empty() ? 2 : 0;
        case host::Command::Info:
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
        case host::Command::Render:
            return host::runRenderCommand(line);
    }
    return 2;
}
