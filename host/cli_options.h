// The command line of vexlan-host: commands, their arguments and the plug-in
// settings shared by `process` and `save-state`. Parsing only checks what
// can be checked without the plug-in (names are matched against it later).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace host {

enum class Command { Help, Info, Process, SaveState, DemoSignal, Levels, Editor, Validate, Render };

// Processing modes in the order of the saved state's mode field.
enum class ProcessingMode { Eq = 0, Gate = 1, Compressor = 2, Convolve = 3, Subtract = 4 };

struct CurvePoint {
    double frequency;  // Hz, 0..24000
    double gain;       // dB
};

struct ParameterAssignment {
    std::string name;   // as the plug-in reports it, matched without regard to case
    std::string value;  // real units; converted once the parameter is known
};

// A stretch of a recording in seconds; a negative end means its end.
struct NoiseSection {
    double start;
    double end;
};

struct PluginSettings {
    std::string statePath;                          // --state
    std::vector<ParameterAssignment> parameters;    // --set, in order
    std::optional<ProcessingMode> mode;             // --mode
    std::optional<int> fftSize;                     // --fft
    std::optional<std::vector<CurvePoint>> curve;   // --curve
    std::string noisePath;                          // --learn-noise
    double noiseSeconds = 0.0;                      // --noise-seconds; 0 = the whole file
    std::vector<NoiseSection> noiseSections;        // --noise-from, sections of the input itself
};

// `render`: the graph display drawn to a PNG file.
struct RenderOptions {
    int width = 1000;
    int height = 600;
    int scale = 256;        // 256 = 100 %, 384 = 150 %
    std::string audioPath;  // processed first, so the spectra show it
    double atSeconds = -1.0;  // how far into the audio; negative = its end
};

constexpr int kMaxRenderSide = 8192;

struct CommandLine {
    Command command = Command::Help;
    std::string pluginPath;  // empty: the plug-in beside the program
    std::string inputPath;                // levels
    std::vector<std::string> inputPaths;  // process
    std::string outputPath;               // process (one input), save-state, demo-signal, render
    std::string outputFolder;             // process --out-dir: every input's output goes there
    std::string deltaPath;                // process --delta: a file, or with --out-dir a folder
    std::string fileType;                 // process --format
    std::string saveStatePath;            // process --save-state
    PluginSettings settings;
    int blockSize = 512;
    bool floatOutput = false;
    bool latencyCompensation = true;
    bool cpuReport = false;   // info --cpu
    double cpuRate = 48000.0; // info --rate
    double fromSeconds = 0.0;  // levels
    double toSeconds = -1.0;   // levels; negative = to the end
    long closeAfterMilliseconds = 0;  // editor; 0 = until the user closes it
    std::string playbackPath;  // editor --audio: played through the plug-in, looping
    std::string recordPath;    // editor --record: what came out of the playback
    bool foreignHost = false;  // --foreign-host: the lookup answers no extension name
    RenderOptions render;
};

constexpr int kMinFftSize = 128;
constexpr int kMaxFftSize = 32768;
constexpr int kMaxBlockSize = 1 << 20;
constexpr int kMaxCurvePoints = 32;
constexpr double kCurveTopHz = 24000.0;

// False with a one-line `error` for anything malformed. `args` excludes the
// program name.
bool parseCommandLine(const std::vector<std::string>& args, CommandLine& line, std::string& error);

bool parseMode(const std::string& text, ProcessingMode& mode);
bool parseCurve(const std::string& text, std::vector<CurvePoint>& points, std::string& error);
// "START:END" in seconds, END after START.
bool parseNoiseSection(const std::string& text, NoiseSection& section, std::string& error);
// A whole decimal number (no trailing text); "inf" and "nan" are refused.
bool parseNumber(const std::string& text, double& value);

const char* usageText();

}  // namespace host
