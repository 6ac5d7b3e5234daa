#include "cli_options.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace host {

namespace {

struct ModeName {
    const char* name;
    ProcessingMode mode;
};

constexpr ModeName kModeNames[] = {
    {"eq", ProcessingMode::Eq},           {"gate", ProcessingMode::Gate},
    {"compressor", ProcessingMode::Compressor}, {"convolve", ProcessingMode::Convolve},
    {"subtract", ProcessingMode::Subtract},
};

bool parseInteger(const std::string& text, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return end && *end == '\0' && !std::isspace(static_cast<unsigned char>(text[0]));
}

bool isPowerOfTwo(long value) { return value > 0 && (value & (value - 1)) == 0; }

// Options that take the following argument; the switches are handled apart.
bool takesValue(const std::string& option) {
    return option == "--plugin" || option == "--state" || option == "--set" || option == "--mode" ||
           option == "--fft" || option == "--curve" || option == "--learn-noise" || option == "--noise-seconds" ||
           option == "--block" || option == "--from" || option == "--to" || option == "--close-after" ||
           option == "--out-dir" || option == "--delta" || option == "--format" || option == "--noise-from" ||
           option == "--save-state" || option == "--rate" || option == "--size" || option == "--scale" ||
           option == "--audio" || option == "--at" || option == "--record";
}

bool applySettingOption(const std::string& option, const std::string& value, PluginSettings& settings,
                        std::string& error) {
    if (option == "--state") {
        settings.statePath = value;
    } else if (option == "--set") {
        const size_t equals = value.find('=');
        if (equals == std::string::npos || equals == 0 || equals + 1 == value.size()) {
            error = "--set needs NAME=VALUE, got \"" + value + "\"";
            return false;
        }
        settings.parameters.push_back({value.substr(0, equals), value.substr(equals + 1)});
    } else if (option == "--mode") {
        ProcessingMode mode;
        if (!parseMode(value, mode)) {
            error = "unknown mode \"" + value + "\" (eq, gate, compressor, convolve or subtract)";
            return false;
        }
        settings.mode = mode;
    } else if (option == "--fft") {
        long size = 0;
        if (!parseInteger(value, size) || !isPowerOfTwo(size) || size < kMinFftSize || size > kMaxFftSize) {
            error = "--fft needs a power of two from 128 to 32768, got \"" + value + "\"";
            return false;
        }
        settings.fftSize = int(size);
    } else if (option == "--curve") {
        std::vector<CurvePoint> points;
        if (!parseCurve(value, points, error)) return false;
        settings.curve = points;
    } else if (option == "--learn-noise") {
        settings.noisePath = value;
    } else if (option == "--noise-seconds") {
        double seconds = 0.0;
        if (!parseNumber(value, seconds) || seconds <= 0.0) {
            error = "--noise-seconds needs a positive number of seconds, got \"" + value + "\"";
            return false;
        }
        settings.noiseSeconds = seconds;
    } else {
        return false;
    }
    return true;
}

bool isSettingOption(const std::string& option) {
    return option == "--state" || option == "--set" || option == "--mode" || option == "--fft" ||
           option == "--curve" || option == "--learn-noise" || option == "--noise-seconds";
}

bool parseSeconds(const std::string& option, const std::string& value, double& seconds, std::string& error) {
    if (!parseNumber(value, seconds) || seconds < 0.0) {
        error = option + " needs a time in seconds, got \"" + value + "\"";
        return false;
    }
    return true;
}

bool parseSize(const std::string& value, RenderOptions& render, std::string& error) {
    const size_t cross = value.find('x');
    long width = 0, height = 0;
    if (cross == std::string::npos || !parseInteger(value.substr(0, cross), width) ||
        !parseInteger(value.substr(cross + 1), height) || width < 1 || height < 1 || width > kMaxRenderSide ||
        height > kMaxRenderSide) {
        error = "--size needs WIDTHxHEIGHT, each from 1 to " + std::to_string(kMaxRenderSide) + " pixels, got \"" +
                value + "\"";
        return false;
    }
    render.width = int(width);
    render.height = int(height);
    return true;
}

bool applyRenderOption(const std::string& option, const std::string& value, RenderOptions& render,
                       std::string& error) {
    if (option == "--size") return parseSize(value, render, error);
    if (option == "--scale") {
        long scale = 0;
        if (!parseInteger(value, scale) || (scale != 256 && scale != 384)) {
            error = "--scale needs 256 (100 %) or 384 (150 %), got \"" + value + "\"";
            return false;
        }
        render.scale = int(scale);
    } else if (option == "--audio") {
        render.audioPath = value;
    } else {
        return parseSeconds(option, value, render.atSeconds, error);
    }
    return true;
}

// IN OUT, or with --out-dir any number of inputs.
bool takeProcessFiles(const std::vector<std::string>& positional, CommandLine& line, std::string& error) {
    const bool batch = !line.outputFolder.empty();
    if (batch ? positional.empty() : positional.size() != 2) {
        error = "usage: vexlan-host process IN OUT [options], or process IN... --out-dir DIR [options]";
        return false;
    }
    line.inputPaths.assign(positional.begin(), positional.end() - (batch ? 0 : 1));
    if (!batch) line.outputPath = positional.back();
    if (!line.saveStatePath.empty() && line.inputPaths.size() > 1 && !line.settings.noiseSections.empty()) {
        error = "--save-state with --noise-from takes one input: each input learns its own profile";
        return false;
    }
    return true;
}

}  // namespace

bool parseNumber(const std::string& text, double& value) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && std::isfinite(value);
}

bool parseMode(const std::string& text, ProcessingMode& mode) {
    for (const ModeName& entry : kModeNames) {
        if (text == entry.name) {
            mode = entry.mode;
            return true;
        }
    }
    return false;
}

bool parseCurve(const std::string& text, std::vector<CurvePoint>& points, std::string& error) {
    points.clear();
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        const std::string item = text.substr(start, comma - start);
        const size_t colon = item.find(':');
        CurvePoint point{};
        if (colon == std::string::npos || !parseNumber(item.substr(0, colon), point.frequency) ||
            !parseNumber(item.substr(colon + 1), point.gain)) {
            error = "--curve needs HZ:DB points separated by commas, got \"" + item + "\"";
            return false;
        }
        if (point.frequency < 0.0 || point.frequency > kCurveTopHz) {
            error = "curve point frequency " + item.substr(0, colon) + " Hz is outside 0 to 24000 Hz";
            return false;
        }
        points.push_back(point);
        start = comma + 1;
    }
    if (points.size() > size_t(kMaxCurvePoints)) {
        error = "--curve takes at most 32 points, got " + std::to_string(points.size());
        return false;
    }
    return true;
}

bool parseNoiseSection(const std::string& text, NoiseSection& section, std::string& error) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos || !parseNumber(text.substr(0, colon), section.start) ||
        !parseNumber(text.substr(colon + 1), section.end) || section.start < 0.0 || section.end <= section.start) {
        error = "--noise-from needs START:END in seconds, END after START, got \"" + text + "\"";
        return false;
    }
    return true;
}

bool parseCommandLine(const std::vector<std::string>& args, CommandLine& line, std::string& error) {
    line = CommandLine{};
    if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
        line.command = Command::Help;
        return true;
    }
    const std::string& name = args[0];
    size_t positionalCount = 0;
    if (name == "info") {
        line.command = Command::Info;
    } else if (name == "process") {
        line.command = Command::Process;
        positionalCount = 2;
    } else if (name == "save-state") {
        line.command = Command::SaveState;
        positionalCount = 2;
    } else if (name == "demo-signal") {
        line.command = Command::DemoSignal;
        positionalCount = 1;
    } else if (name == "levels") {
        line.command = Command::Levels;
        positionalCount = 1;
    } else if (name == "editor") {
        line.command = Command::Editor;
    } else if (name == "validate") {
        line.command = Command::Validate;
    } else if (name == "render") {
        line.command = Command::Render;
    } else {
        error = "unknown command \"" + name + "\" (try: vexlan-host help)";
        return false;
    }

    std::vector<std::string> positional;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            positional.push_back(arg);
            continue;
        }
        const bool processing = line.command == Command::Process;
        if (arg == "--foreign-host" && line.command != Command::DemoSignal && line.command != Command::Levels) {
            line.foreignHost = true;
            continue;
        }
        if (arg == "--float" && processing) {
            line.floatOutput = true;
            continue;
        }
        if (arg == "--no-latency-compensation" && processing) {
            line.latencyCompensation = false;
            continue;
        }
        if (arg == "--cpu" && line.command == Command::Info) {
            line.cpuReport = true;
            continue;
        }
        if (!takesValue(arg)) {
            error = "unknown option " + arg + " for " + name;
            return false;
        }
        if (i + 1 >= args.size()) {
            error = arg + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        const bool rendering = line.command == Command::Render;
        const bool withSettings = processing || line.command == Command::SaveState ||
                                  line.command == Command::Editor || line.command == Command::Info || rendering;
        if (isSettingOption(arg) && withSettings) {
            if (!applySettingOption(arg, value, line.settings, error)) return false;
        } else if (arg == "--plugin" && processing) {
            line.pluginPath = value;
        } else if (arg == "--block" && processing) {
            long size = 0;
            if (!parseInteger(value, size) || size < 1 || size > kMaxBlockSize) {
                error = "--block needs a block size from 1 to " + std::to_string(kMaxBlockSize) + " samples, got \"" +
                        value + "\"";
                return false;
            }
            line.blockSize = int(size);
        } else if (arg == "--out-dir" && processing) {
            line.outputFolder = value;
        } else if (arg == "--delta" && processing) {
            line.deltaPath = value;
        } else if (arg == "--format" && processing) {
            line.fileType = value;
        } else if (arg == "--save-state" && processing) {
            line.saveStatePath = value;
        } else if (arg == "--noise-from" && processing) {
            NoiseSection section{};
            if (!parseNoiseSection(value, section, error)) return false;
            line.settings.noiseSections.push_back(section);
        } else if (arg == "--rate" && line.command == Command::Info) {
            long rate = 0;
            if (!parseInteger(value, rate) || rate < 1000 || rate > 768000) {
                error = "--rate needs a sample rate from 1000 to 768000 Hz, got \"" + value + "\"";
                return false;
            }
            line.cpuRate = double(rate);
        } else if (arg == "--close-after" && line.command == Command::Editor) {
            if (!parseInteger(value, line.closeAfterMilliseconds) || line.closeAfterMilliseconds < 1) {
                error = "--close-after needs a time in milliseconds, got \"" + value + "\"";
                return false;
            }
        } else if (arg == "--audio" && line.command == Command::Editor) {
            line.playbackPath = value;
        } else if (arg == "--record" && line.command == Command::Editor) {
            line.recordPath = value;
        } else if (rendering && (arg == "--size" || arg == "--scale" || arg == "--audio" || arg == "--at")) {
            if (!applyRenderOption(arg, value, line.render, error)) return false;
        } else if (arg == "--from" && line.command == Command::Levels) {
            if (!parseSeconds(arg, value, line.fromSeconds, error)) return false;
        } else if (arg == "--to" && line.command == Command::Levels) {
            if (!parseSeconds(arg, value, line.toSeconds, error)) return false;
        } else {
            error = "unknown option " + arg + " for " + name;
            return false;
        }
    }

    if (line.settings.noiseSeconds > 0.0 && line.settings.noisePath.empty()) {
        error = "--noise-seconds needs --learn-noise";
        return false;
    }
    if (!line.settings.noiseSections.empty() && !line.settings.noisePath.empty()) {
        error = "--noise-from takes sections of the input itself; it does not go with --learn-noise";
        return false;
    }
    if (!line.recordPath.empty() && line.playbackPath.empty()) {
        error = "--record needs --audio";
        return false;
    }
    if (line.command == Command::Info || line.command == Command::Editor || line.command == Command::Validate) {
        if (positional.size() > 1) {
            error = name + " takes at most one plug-in path";
            return false;
        }
        if (!positional.empty()) line.pluginPath = positional[0];
        return true;
    }
    if (line.command == Command::Render) {
        if (positional.empty() || positional.size() > 2) {
            error = "usage: vexlan-host render OUT.png [PLUGIN] [options]";
            return false;
        }
        if (line.render.atSeconds >= 0.0 && line.render.audioPath.empty()) {
            error = "--at needs --audio";
            return false;
        }
        line.outputPath = positional[0];
        if (positional.size() == 2) line.pluginPath = positional[1];
        return true;
    }
    if (line.command == Command::SaveState) {
        // save-state PLUGIN FILE: the plug-in is named, as a DAW's project names it.
        if (positional.size() != 2) {
            error = "usage: vexlan-host save-state PLUGIN FILE [settings]";
            return false;
        }
        line.pluginPath = positional[0];
        line.outputPath = positional[1];
        return true;
    }
    if (line.command == Command::Process) return takeProcessFiles(positional, line, error);
    if (positional.size() != positionalCount) {
        if (line.command == Command::DemoSignal) error = "usage: vexlan-host demo-signal OUT.wav";
        if (line.command == Command::Levels) error = "usage: vexlan-host levels FILE.wav [--from S] [--to S]";
        return false;
    }
    if (line.command == Command::DemoSignal) {
        line.outputPath = positional[0];
    } else {
        line.inputPath = positional[0];
        if (line.toSeconds >= 0.0 && line.toSeconds <= line.fromSeconds) {
            error = "--to must come after --from";
            return false;
        }
    }
    return true;
}

const char* usageText() {
    return "usage:\n"
           "  vexlan-host info [PLUGIN] [settings] [--cpu [--rate HZ]]\n"
           "  vexlan-host process IN OUT [--plugin PATH] [settings] [--block N] [--float] [--format TYPE]\n"
           "                      [--delta DELTA] [--noise-from START:END]... [--save-state FILE]\n"
           "                      [--no-latency-compensation]\n"
           "  vexlan-host process IN... --out-dir DIR [same options; --delta names a folder]\n"
           "  vexlan-host save-state PLUGIN FILE [settings]\n"
           "  vexlan-host demo-signal OUT.wav\n"
           "  vexlan-host levels FILE.wav [--from SECONDS] [--to SECONDS]\n"
           "  vexlan-host editor [PLUGIN] [settings] [--close-after MILLISECONDS]   (Windows build)\n"
           "                     [--audio IN.wav [--record OUT.wav]]   plays IN through the plug-in, looping\n"
           "  vexlan-host validate [PLUGIN]   a DAW's torture list; exit status 1 on any failure\n"
           "  vexlan-host render OUT.png [PLUGIN] [settings] [--size WxH] [--scale 256|384]\n"
           "                     [--audio IN.wav] [--at SECONDS]\n"
           "every command that loads a plug-in takes --foreign-host: a host that answers no\n"
           "extension name, as any other DAW\n"
           "settings:\n"
           "  --state FILE            start from a saved state\n"
           "  --set NAME=VALUE        a parameter by name, in dB, ratio or 0/1 (repeatable)\n"
           "  --mode MODE             eq, gate, compressor, convolve or subtract\n"
           "  --fft N                 FFT size, a power of two from 128 to 32768\n"
           "  --curve \"HZ:DB,...\"     the adjustment graph's points (at most 32)\n"
           "  --learn-noise FILE      subtract mode with a noise profile the plug-in learns from FILE\n"
           "  --noise-seconds S       measure only the first S seconds of that file\n"
           "process:\n"
           "  --noise-from START:END  subtract mode, the noise profile learnt from these seconds of\n"
           "                          the input (repeatable: the sections are learnt as one stream)\n"
           "  --save-state FILE       keep the state after learning, profile included\n"
           "  --delta DELTA           also write the input minus the output: what was removed\n"
           "  --format TYPE           wav, rf64, w64, flac, aiff or ogg (natively; WAV on Windows);\n"
           "                          otherwise the output's extension, otherwise the input's type\n"
           "info:\n"
           "  --cpu                   latency and CPU time per second of stereo audio, per FFT size\n"
           "  --rate HZ               the sample rate for that table (default 48000)\n";
}

}  // namespace host
