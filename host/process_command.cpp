#include "process_command.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "audio_file.h"
#include "audio_levels.h"
#include "noise_learning.h"
#include "plugin_run.h"
#include "plugin_session.h"
#include "plugin_settings.h"
#include "state_file.h"
#include "terminal.h"

namespace host {

namespace {

namespace fs = std::filesystem;
using vexlan::AEffect;

struct FileJob {
    std::string input;
    std::string output;
    std::string delta;  // empty: no delta file
};

struct FileResult {
    uint64_t frames = 0;
    uint32_t sampleRate = 0;
    LevelMeter input;
    LevelMeter output;
    LevelMeter removed;
};

bool samePath(const std::string& a, const std::string& b) {
    std::error_code ignored;
    return fs::weakly_canonical(a, ignored) == fs::weakly_canonical(b, ignored);
}

bool captureState(AEffect* effect, StateFile& state, std::string& error) {
    state.uniqueId = effect->uniqueID;
    void* data = nullptr;
    const intptr_t size = effect->dispatcher(effect, vexlan::effGetChunk, 0, 0, &data, 0.0f);
    if (size > 0 && data) state.chunk.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    StateChunk chunk;
    if (parseStateChunk(state.chunk, chunk, error)) return true;
    error = "the plug-in's saved state: " + error;
    return false;
}

bool formatFor(const CommandLine& line, const AudioFormat& input, const std::string& path, AudioFormat& format,
               std::string& error) {
    if (!outputFormatFor(input, path, line.fileType, format, error)) return false;
    if (!line.floatOutput) return true;
    if (format.type == FileType::Flac) {
        error = "--float: FLAC files hold integer samples only";
        return false;
    }
    format.encoding = SampleEncoding::Float;
    format.bitsPerSample = 32;
    return true;
}

// Everything of one file once the plug-in is loaded: settings, learning,
// the run, and the output and state files, which appear only when all went
// well.
bool processWithPlugin(const CommandLine& line, const FileJob& job, AEffect* effect, AudioReader& reader,
                       const std::function<void(size_t)>& progress, FileResult& result, std::string& error) {
    const AudioFormat& format = reader.format;
    AudioFormat outputFormat;
    AudioFormat deltaFormat;
    if (!formatFor(line, format, job.output, outputFormat, error)) return false;
    if (!job.delta.empty() && !formatFor(line, format, job.delta, deltaFormat, error)) return false;
    if (!applySettings(effect, line.settings, double(format.sampleRate), error)) return false;
    if (!line.settings.noiseSections.empty() &&
        !learnNoise(effect, job.input, line.settings.noiseSections, double(format.sampleRate), error)) {
        return false;
    }
    const bool savingState = !line.saveStatePath.empty();
    StateFile state;
    if (savingState && !captureState(effect, state, error)) return false;

    AudioWriter writer;
    AudioWriter deltaWriter;
    if (!openAudioWriter(job.output, outputFormat, reader.frames, writer, error)) return false;
    if (!job.delta.empty() && !openAudioWriter(job.delta, deltaFormat, reader.frames, deltaWriter, error)) return false;
    if (!resumePlugin(effect, format.sampleRate, format.channels, line.blockSize, error)) return false;

    const size_t channels = size_t(format.channels);
    std::vector<float> difference;
    const FrameSource source = [&](float* samples, size_t frames, size_t& got, std::string& problem) {
        if (!readAudioFrames(reader, samples, frames, got, problem)) return false;
        meterSamples(result.input, samples, got * channels);
        return true;
    };
    const FrameSink sink = [&](const float* output, const float* input, size_t frames, std::string& problem) {
        const size_t count = frames * channels;
        meterSamples(result.output, output, count);
        if (!writeAudioFrames(writer, output, frames, problem)) return false;
        if (job.delta.empty()) return true;
        difference.resize(count);
        for (size_t i = 0; i < count; ++i) difference[i] = input[i] - output[i];
        meterSamples(result.removed, difference.data(), count);
        return writeAudioFrames(deltaWriter, difference.data(), frames, problem);
    };
    PluginRun run;
    run.blockSize = line.blockSize;
    run.latencyCompensation = line.latencyCompensation;
    run.alignedInput = !job.delta.empty();
    run.progress = progress;
    const bool ran = runPlugin(effect, format.channels, run, source, sink, error);
    suspendPlugin(effect);
    if (!ran) return false;
    result.frames = result.input.count / channels;
    result.sampleRate = format.sampleRate;
    if (savingState && !writeStateFile(line.saveStatePath, state, error)) return false;
    const bool deltaWritten = job.delta.empty() || finishAudioWriter(deltaWriter, error);
    if (deltaWritten && finishAudioWriter(writer, error)) return true;
    if (deltaWritten && !job.delta.empty()) std::remove(job.delta.c_str());
    if (savingState) std::remove(line.saveStatePath.c_str());
    return false;
}

bool processFile(const CommandLine& line, const FileJob& job, const std::function<void(size_t)>& progress,
                 FileResult& result, std::string& error) {
    if (samePath(job.input, job.output) || (!job.delta.empty() && samePath(job.input, job.delta))) {
        error = "will not overwrite the input " + job.input;
        return false;
    }
    AudioReader reader;
    if (!openAudioReader(job.input, reader, error)) return false;
    PluginSession session;
    if (!openSession(pluginPathToLoad(line.pluginPath), session, error)) return false;
    const bool ok = processWithPlugin(line, job, session.effect, reader, progress, result, error);
    closeSession(session);
    return ok;
}

void printSummary(const FileJob& job, const FileResult& result, double seconds) {
    const LevelSummary before = levelSummary(result.input);
    const LevelSummary after = levelSummary(result.output);
    const double audioSeconds = double(result.frames) / double(result.sampleRate);
    std::string removed;
    if (!job.delta.empty()) {
        const LevelSummary delta = levelSummary(result.removed);
        removed = "; removed peak " + formatDb(delta.peakDb) + ", RMS " + formatDb(delta.rmsDb);
    }
    std::printf("%s -> %s: in peak %s, RMS %s; out peak %s, RMS %s%s; %.2f s of audio in %.2f s (%.1fx real time)\n",
                job.input.c_str(), job.output.c_str(), formatDb(before.peakDb).c_str(), formatDb(before.rmsDb).c_str(),
                formatDb(after.peakDb).c_str(), formatDb(after.rmsDb).c_str(), removed.c_str(), audioSeconds, seconds,
                seconds > 0.0 ? audioSeconds / seconds : 0.0);
}

// The output beside the others in `folder`, under the input's name, with
// the extension of the type --format asks for.
std::string pathIn(const std::string& folder, const std::string& input, const std::string& fileType) {
    fs::path name = fs::path(input).filename();
    FileType type;
    if (parseFileType(fileType, type)) name.replace_extension(fileTypeExtension(type));
    return (fs::path(folder) / name).string();
}

bool planJobs(const CommandLine& line, std::vector<FileJob>& jobs, std::string& error) {
    if (line.outputFolder.empty()) {
        jobs.push_back({line.inputPaths[0], line.outputPath, line.deltaPath});
        return true;
    }
    for (const std::string& folder : {line.outputFolder, line.deltaPath}) {
        if (!folder.empty() && !fs::is_directory(folder)) {
            error = "no such folder: " + folder;
            return false;
        }
    }
    for (const std::string& input : line.inputPaths) {
        FileJob job{input, pathIn(line.outputFolder, input, line.fileType), ""};
        if (!line.deltaPath.empty()) job.delta = pathIn(line.deltaPath, input, line.fileType);
        for (const FileJob& earlier : jobs) {
            if (earlier.output == job.output) {
                error = earlier.input + " and " + input + " would both be written to " + job.output;
                return false;
            }
        }
        jobs.push_back(job);
    }
    return true;
}

}  // namespace

std::string pluginPathToLoad(const std::string& path) {
    return path.empty() ? path : fs::absolute(path).string();
}

int runProcessCommand(const CommandLine& line) {
    std::string error;
    std::vector<FileJob> jobs;
    if (!planJobs(line, jobs, error)) return reportError(error);
    const bool batch = !line.outputFolder.empty();

    // One bar over every file's frames; a file that cannot be opened counts none.
    std::vector<uint64_t> lengths;
    uint64_t total = 0;
    for (const FileJob& job : jobs) {
        AudioReader reader;
        std::string ignored;
        lengths.push_back(openAudioReader(job.input, reader, ignored) ? reader.frames : 0);
        total += lengths.back();
    }
    ProgressBar bar = startProgressBar();
    uint64_t before = 0;
    size_t failed = 0;
    double audioSeconds = 0.0;
    const auto started = std::chrono::steady_clock::now();
    for (size_t i = 0; i < jobs.size(); ++i) {
        const auto fileStarted = std::chrono::steady_clock::now();
        const auto progress = [&](size_t done) { showProgress(bar, size_t(before + done), size_t(total)); };
        FileResult result;
        const bool ok = processFile(line, jobs[i], progress, result, error);
        before += lengths[i];
        finishProgressBar(bar);
        if (!ok) {
            ++failed;
            const bool named = error.find(jobs[i].input) != std::string::npos;
            reportError(batch && !named ? jobs[i].input + ": " + error : error);
            continue;
        }
        audioSeconds += double(result.frames) / double(result.sampleRate);
        printSummary(jobs[i], result,
                     std::chrono::duration<double>(std::chrono::steady_clock::now() - fileStarted).count());
    }
    if (batch) {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::printf("%zu of %zu files processed, %zu failed; %.2f s of audio in %.2f s\n", jobs.size() - failed,
                    jobs.size(), failed, audioSeconds, seconds);
    }
    return failed == 0 ? 0 : 1;
}

int runSaveStateCommand(const CommandLine& line) {
    std::string error;
    PluginSession session;
    if (!openSession(pluginPathToLoad(line.pluginPath), session, error)) return reportError(error);
    StateFile state;
    const bool ok = applySettings(session.effect, line.settings, 0.0, error) &&
                    captureState(session.effect, state, error) && writeStateFile(line.outputPath, state, error);
    closeSession(session);
    if (!ok) return reportError(error);
    std::printf("saved %zu bytes of state to %s\n", state.chunk.size(), line.outputPath.c_str());
    return 0;
}

}  // namespace host
