#include "plugin_run.h"

#include <algorithm>
#include <vector>

namespace host {

namespace {

using vexlan::AEffect;

// The host maker's channel-configuration request: value points at the
// channel count, option 1.0 asks for a change.
constexpr int32_t kVendorChannelConfig = 69;
// Frames the source and the sink move at a time, at least one block.
constexpr size_t kTransferFrames = 8192;

intptr_t dispatch(AEffect* effect, int32_t opcode, int32_t index = 0, intptr_t value = 0, float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, index, value, nullptr, opt);
}

// The input frames whose output has not come out yet: the plug-in's
// latency plus one block, interleaved.
struct FrameDelay {
    std::vector<float> samples;
    size_t channels = 0;
    size_t capacity = 0;  // frames
    size_t readFrame = 0;
    size_t stored = 0;
};

// Copies `frames` frames between the ring at `start` and `outside`, in at
// most two spans.
template <typename Copy>
void eachSpan(const FrameDelay& delay, size_t start, size_t frames, Copy copy) {
    const size_t first = std::min(frames, delay.capacity - start);
    copy(start * delay.channels, 0, first * delay.channels);
    copy(0, first * delay.channels, (frames - first) * delay.channels);
}

void push(FrameDelay& delay, const float* samples, size_t frames) {
    eachSpan(delay, (delay.readFrame + delay.stored) % delay.capacity, frames,
             [&](size_t ring, size_t outside, size_t count) {
                 std::copy_n(samples + outside, count, delay.samples.data() + ring);
             });
    delay.stored += frames;
}

void pop(FrameDelay& delay, float* samples, size_t frames) {
    eachSpan(delay, delay.readFrame, frames, [&](size_t ring, size_t outside, size_t count) {
        std::copy_n(delay.samples.data() + ring, count, samples + outside);
    });
    delay.readFrame = (delay.readFrame + frames) % delay.capacity;
    delay.stored -= frames;
}

}  // namespace

bool resumePlugin(AEffect* effect, double sampleRate, int channels, int blockSize, std::string& error) {
    dispatch(effect, vexlan::effSetSampleRate, 0, 0, float(sampleRate));
    dispatch(effect, vexlan::effSetBlockSize, 0, blockSize);
    if (effect->numInputs != channels) {
        int32_t count = channels;
        dispatch(effect, vexlan::effVendorSpecific, kVendorChannelConfig, reinterpret_cast<intptr_t>(&count), 1.0f);
    }
    if (effect->numInputs != channels || effect->numOutputs != channels) {
        error = "the plug-in does not take " + std::to_string(channels) + " channels (it has " +
                std::to_string(effect->numInputs) + " inputs and " + std::to_string(effect->numOutputs) + " outputs)";
        return false;
    }
    dispatch(effect, vexlan::effMainsChanged, 0, 1);
    dispatch(effect, vexlan::effStartProcess);
    return true;
}

void suspendPlugin(AEffect* effect) {
    dispatch(effect, vexlan::effStopProcess);
    dispatch(effect, vexlan::effMainsChanged, 0, 0);
}

bool runPlugin(AEffect* effect, int channelCount, const PluginRun& run, const FrameSource& source,
               const FrameSink& sink, std::string& error) {
    const size_t channels = size_t(channelCount);
    const size_t block = size_t(run.blockSize);
    const size_t transfer = std::max<size_t>(1, kTransferFrames / block) * block;
    // A host reads the latency when it (re)starts the plug-in.
    const size_t latency = run.latencyCompensation ? size_t(std::max(effect->initialDelay, 0)) : 0;
    std::vector<float> interleaved(transfer * channels);
    std::vector<float> aligned(run.alignedInput ? transfer * channels : 0);
    std::vector<std::vector<float>> inputs(channels, std::vector<float>(block));
    std::vector<std::vector<float>> outputs(channels, std::vector<float>(transfer));
    std::vector<float*> inputPointers(channels);
    std::vector<float*> outputPointers(channels);
    for (size_t c = 0; c < channels; ++c) inputPointers[c] = inputs[c].data();
    FrameDelay delay;
    delay.channels = channels;
    delay.capacity = latency + transfer;
    if (run.alignedInput) delay.samples.resize(delay.capacity * channels);

    size_t toSkip = latency;
    size_t toFlush = latency;
    size_t done = 0;
    bool ended = false;
    while (true) {
        size_t got = 0;
        if (!ended) {
            if (!source(interleaved.data(), transfer, got, error)) return false;
            ended = got < transfer;
        }
        // Past the end of the input the plug-in is fed silence.
        const size_t silence = ended ? std::min(transfer - got, toFlush) : 0;
        toFlush -= silence;
        const size_t length = got + silence;
        if (length == 0) break;
        std::fill_n(interleaved.begin() + std::ptrdiff_t(got * channels), silence * channels, 0.0f);
        for (size_t start = 0; start < length; start += block) {
            const size_t count = std::min(block, length - start);
            for (size_t c = 0; c < channels; ++c) {
                const float* from = interleaved.data() + start * channels + c;
                float* to = inputs[c].data();
                for (size_t i = 0; i < count; ++i) to[i] = from[i * channels];
                outputPointers[c] = outputs[c].data() + start;
            }
            effect->processReplacing(effect, inputPointers.data(), outputPointers.data(), int32_t(count));
        }
        if (run.alignedInput) push(delay, interleaved.data(), got);

        const size_t skipped = std::min(toSkip, length);
        toSkip -= skipped;
        const size_t emitted = length - skipped;
        for (size_t c = 0; c < channels; ++c) {
            const float* from = outputs[c].data() + skipped;
            float* to = interleaved.data() + c;
            for (size_t i = 0; i < emitted; ++i) to[i * channels] = from[i];
        }
        if (run.alignedInput) pop(delay, aligned.data(), emitted);
        if (emitted > 0 && !sink(interleaved.data(), run.alignedInput ? aligned.data() : nullptr, emitted, error)) {
            return false;
        }
        done += emitted;
        if (run.progress) run.progress(done);
    }
    return true;
}

}  // namespace host
