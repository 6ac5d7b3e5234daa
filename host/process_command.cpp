#include "process_command.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "audio_levels.h"
#include "plugin_session.h"
#include "plugin_settings.h"
#include "state_file.h"
#include "terminal.h"

namespace host {

namespace {

using vexlan::AEffect;

// The host maker's channel-configuration request: value points at the
// channel count, option 1.0 asks for a change.
constexpr int32_t kVendorChannelConfig = 69;

intptr_t dispatch(AEffect* effect, int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                  float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

bool configureChannels(AEffect* effect, int channels, std::string& error) {
    if (effect->numInputs != channels) {
        int32_t count = channels;
        dispatch(effect, vexlan::effVendorSpecific, kVendorChannelConfig, reinterpret_cast<intptr_t>(&count), nullptr,
                 1.0f);
    }
    if (effect->numInputs != channels || effect->numOutputs != channels) {
        error = "the plug-in does not take " + std::to_string(channels) + " channels (it has " +
                std::to_string(effect->numInputs) + " inputs and " + std::to_string(effect->numOutputs) + " outputs)";
        return false;
    }
    return true;
}

}  // namespace

std::string pluginPathToLoad(const std::string& path) {
    return path.empty() ? path : std::filesystem::absolute(path).string();
}

bool processAudio(AEffect* effect, const AudioData& input, const ProcessRun& run, AudioData& output,
                  std::string& error) {
    const size_t channels = size_t(input.format.channels);
    const size_t frames = frameCount(input);
    dispatch(effect, vexlan::effSetSampleRate, 0, 0, nullptr, float(input.format.sampleRate));
    dispatch(effect, vexlan::effSetBlockSize, 0, run.blockSize);
    if (!configureChannels(effect, input.format.channels, error)) return false;
    dispatch(effect, vexlan::effMainsChanged, 0, 1);
    dispatch(effect, vexlan::effStartProcess);
    // A host reads the latency when it (re)starts the plug-in.
    const size_t latency = run.latencyCompensation ? size_t(std::max(effect->initialDelay, 0)) : 0;
    const size_t total = frames + latency;

    AudioData processed = makeAudio(input.format, total);
    // No block longer than the whole run: a huge --block on a short file
    // must not allocate for samples that never come.
    const size_t blockSize = std::min(size_t(run.blockSize), std::max<size_t>(total, 1));
    std::vector<std::vector<float>> inputBlock(channels, std::vector<float>(blockSize));
    std::vector<float*> inputs(channels);
    std::vector<float*> outputs(channels);
    for (size_t start = 0; start < total; start += blockSize) {
        const size_t length = std::min(blockSize, total - start);
        const size_t available = start < frames ? std::min(length, frames - start) : 0;
        for (size_t c = 0; c < channels; ++c) {
            // Past the end of the input the plug-in is fed silence.
            std::fill(std::copy_n(input.channels[c].begin() + std::ptrdiff_t(std::min(start, frames)), available,
                                  inputBlock[c].begin()),
                      inputBlock[c].begin() + std::ptrdiff_t(length), 0.0f);
            inputs[c] = inputBlock[c].data();
            outputs[c] = processed.channels[c].data() + start;
        }
        effect->processReplacing(effect, inputs.data(), outputs.data(), int32_t(length));
        if (run.progress) run.progress(std::min(start + length, total), total);
    }
    dispatch(effect, vexlan::effStopProcess);
    dispatch(effect, vexlan::effMainsChanged, 0, 0);

    for (std::vector<float>& channel : processed.channels) channel.erase(channel.begin(), channel.begin() + std::ptrdiff_t(latency));
    output = std::move(processed);
    return true;
}

int runProcessCommand(const CommandLine& line) {
    std::string error;
    AudioData input;
    if (!readWav(line.inputPath, input, error)) return reportError(error);
    PluginSession session;
    if (!openSession(pluginPathToLoad(line.pluginPath), session, error)) return reportError(error);
    if (!applySettings(session.effect, line.settings, double(input.format.sampleRate), error)) {
        closeSession(session);
        return reportError(error);
    }

    ProcessRun run;
    run.blockSize = line.blockSize;
    run.latencyCompensation = line.latencyCompensation;
    ProgressBar bar = startProgressBar();
    run.progress = [&bar](size_t done, size_t total) { showProgress(bar, done, total); };
    const auto started = std::chrono::steady_clock::now();
    AudioData output;
    const bool processed = processAudio(session.effect, input, run, output, error);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    finishProgressBar(bar);
    closeSession(session);
    if (!processed) return reportError(error);

    if (line.floatOutput) {
        output.format.encoding = SampleEncoding::Float;
        output.format.bitsPerSample = 32;
        output.format.validBits = 0;
    }
    if (!writeWav(line.outputPath, output, error)) return reportError(error);

    const size_t frames = frameCount(input);
    const LevelSummary before = measureLevels(input, 0, frames);
    const LevelSummary after = measureLevels(output, 0, frames);
    const double audioSeconds = double(frames) / double(input.format.sampleRate);
    std::printf("%s -> %s: in peak %s, RMS %s; out peak %s, RMS %s; %.2f s of audio in %.2f s (%.1fx real time)\n",
                line.inputPath.c_str(), line.outputPath.c_str(), formatDb(before.peakDb).c_str(),
                formatDb(before.rmsDb).c_str(), formatDb(after.peakDb).c_str(), formatDb(after.rmsDb).c_str(),
                audioSeconds, seconds, seconds > 0.0 ? audioSeconds / seconds : 0.0);
    return 0;
}

int runSaveStateCommand(const CommandLine& line) {
    std::string error;
    PluginSession session;
    if (!openSession(pluginPathToLoad(line.pluginPath), session, error)) return reportError(error);
    StateFile state;
    state.uniqueId = session.effect->uniqueID;
    bool ok = applySettings(session.effect, line.settings, 0.0, error);
    if (ok) {
        void* data = nullptr;
        const intptr_t size = dispatch(session.effect, vexlan::effGetChunk, 0, 0, &data);
        StateChunk chunk;
        if (size > 0 && data) state.chunk.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
        ok = parseStateChunk(state.chunk, chunk, error);
        if (!ok) error = "the plug-in's saved state: " + error;
    }
    closeSession(session);
    if (!ok || !writeStateFile(line.outputPath, state, error)) return reportError(error);
    std::printf("saved %zu bytes of state to %s\n", state.chunk.size(), line.outputPath.c_str());
    return 0;
}

}  // namespace host
