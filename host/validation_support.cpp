// The instance and audio helpers the validation checks share.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "host_callback.h"
#include "validation.h"

namespace host {

using namespace vexlan;

CheckResult checkPassed(const std::string& detail) { return {CheckStatus::Pass, detail}; }
CheckResult checkFailed(const std::string& detail) { return {CheckStatus::Fail, detail}; }
CheckResult checkSkipped(const std::string& detail) { return {CheckStatus::Skip, detail}; }

RunningInstance::RunningInstance(const std::string& path) {
    if (!loadPlugin(path, plugin_, error)) return;
    effect = plugin_.entry(&hostCallback);
    if (!effect || effect->magic != kEffectMagic) {
        effect = nullptr;
        error = "VSTPluginMain created no instance";
        unloadPlugin(plugin_);
        return;
    }
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, kValidationRate);
    dispatch(effSetBlockSize, 0, kAnnouncedBlockSize);
}

RunningInstance::~RunningInstance() {
    close();
    unloadPlugin(plugin_);
}

intptr_t RunningInstance::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) const {
    return effect ? effect->dispatcher(effect, opcode, index, value, ptr, opt) : 0;
}

void RunningInstance::resume() {
    dispatch(effMainsChanged, 0, 1);
    dispatch(effStartProcess);
    resumed_ = true;
}

void RunningInstance::suspend() {
    dispatch(effStopProcess);
    dispatch(effMainsChanged, 0, 0);
    resumed_ = false;
}

void RunningInstance::close() {
    if (!effect) return;
    if (resumed_) suspend();
    dispatch(effClose);
    effect = nullptr;
}

std::vector<uint8_t> RunningInstance::saveState() const {
    std::vector<uint8_t> state;
    if (!effect) return state;
    if (effect->flags & effFlagsProgramChunks) {
        void* data = nullptr;
        const intptr_t size = dispatch(effGetChunk, 0, 0, &data);
        if (data && size > 0) state.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
        return state;
    }
    for (int32_t index = 0; index < effect->numParams; ++index) {
        const float value = effect->getParameter(effect, index);
        uint8_t bytes[sizeof value];
        std::memcpy(bytes, &value, sizeof value);
        state.insert(state.end(), bytes, bytes + sizeof value);
    }
    return state;
}

intptr_t RunningInstance::loadChunk(const std::vector<uint8_t>& chunk) const {
    if (!effect || !(effect->flags & effFlagsProgramChunks)) return 0;
    // An empty chunk still comes with a valid pointer, as hosts pass it.
    uint8_t empty = 0;
    void* data = chunk.empty() ? &empty : const_cast<uint8_t*>(chunk.data());
    return dispatch(effSetChunk, 0, intptr_t(chunk.size()), data);
}

AudioBlock::AudioBlock(int inputCount, int outputCount, int frames)
    : inputs(size_t(std::max(inputCount, 0)), std::vector<float>(size_t(std::max(frames, 1)), 0.0f)),
      outputs(size_t(std::max(outputCount, 1)), std::vector<float>(size_t(std::max(frames, 1)), 0.0f)) {
    fitChannels(inputCount, outputCount);
}

float noiseSample(uint32_t& seed) {
    seed = seed * 1664525u + 1013904223u;
    return float(int32_t(seed)) / 2147483648.0f;
}

void AudioBlock::fillNoise(uint32_t& seed, float amplitude) {
    for (std::vector<float>& channel : inputs) {
        for (float& sample : channel) sample = amplitude * noiseSample(seed);
    }
}

void AudioBlock::fill(float value) {
    for (std::vector<float>& channel : inputs) std::fill(channel.begin(), channel.end(), value);
}

void AudioBlock::fitChannels(int inputCount, int outputCount) {
    const size_t frames = inputs.empty() ? outputs.front().size() : inputs.front().size();
    inputs.resize(std::max(inputs.size(), size_t(std::max(inputCount, 0))), std::vector<float>(frames, 0.0f));
    outputs.resize(std::max(outputs.size(), size_t(std::max(outputCount, 0))), std::vector<float>(frames, 0.0f));
    inputPointers.clear();
    outputPointers.clear();
    for (std::vector<float>& channel : inputs) inputPointers.push_back(channel.data());
    for (std::vector<float>& channel : outputs) outputPointers.push_back(channel.data());
}

bool processFinite(AEffect* effect, AudioBlock& block, int frames) {
    // A loaded state may change the channel count; the host reads it anew.
    block.fitChannels(effect->numInputs, effect->numOutputs);
    for (std::vector<float>& channel : block.outputs) {
        std::fill(channel.begin(), channel.end(), std::numeric_limits<float>::quiet_NaN());
    }
    effect->processReplacing(effect, block.inputPointers.data(), block.outputPointers.data(), frames);
    for (int c = 0; c < effect->numOutputs; ++c) {
        const std::vector<float>& channel = block.outputs[size_t(c)];
        for (int i = 0; i < frames; ++i) {
            if (!std::isfinite(channel[size_t(i)])) return false;
        }
    }
    return true;
}

}  // namespace host
