#include "dsp/block_processor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) || defined(_M_X64) || defined(__SSE__)
#include <xmmintrin.h>
#define VEXLAN_HAS_SSE_CONTROL 1
#endif

#include "dsp/analysis_capture.h"
#include "dsp/block_kernels.h"
#include "dsp/fft.h"
#include "dsp/processing_modes.h"
#include "shell/parameters.h"
#include "shell/plugin_instance.h"

namespace vexlan {

namespace {

constexpr int32_t kSampleBytes = int32_t(sizeof(float));
constexpr int32_t kComplexBytes = 2 * kSampleBytes;
// Flush-to-zero and the underflow mask: denormals would cost far more than
// the precision they carry.
constexpr unsigned kFlushToZeroBits = 0x8800;

// Sets flush-to-zero for one processing call; the caller's word comes back
// only if it had to be changed.
class FlushToZeroScope {
public:
    FlushToZeroScope() {
#if defined(VEXLAN_HAS_SSE_CONTROL)
        saved_ = _mm_getcsr();
        changed_ = (saved_ & kFlushToZeroBits) != kFlushToZeroBits;
        if (changed_) _mm_setcsr(saved_ | kFlushToZeroBits);
#endif
    }
    ~FlushToZeroScope() {
#if defined(VEXLAN_HAS_SSE_CONTROL)
        if (changed_) _mm_setcsr(saved_);
#endif
    }
    FlushToZeroScope(const FlushToZeroScope&) = delete;
    FlushToZeroScope& operator=(const FlushToZeroScope&) = delete;

private:
    unsigned saved_ = 0;
    bool changed_ = false;
};

int32_t queuedSamples(const ChannelQueue& queue) { return queuedBytes(queue) / kSampleBytes; }

float* queueFront(const ChannelQueue& queue) {
    return reinterpret_cast<float*>(static_cast<char*>(queue.buffer.data) + queue.readPosition);
}

void compactIfHalfConsumed(ChannelQueue& queue) {
    if (queue.readPosition > queue.buffer.size / 2) compactQueue(queue);
}

// Puts `count` zero samples in front of the queued ones.
void insertLeadingZeros(ChannelQueue& queue, int32_t count) {
    const int32_t queued = queuedBytes(queue);
    const int32_t bytes = count * kSampleBytes;
    if (!appendToQueue(queue, nullptr, bytes)) return;
    char* front = reinterpret_cast<char*>(queueFront(queue));
    std::memmove(front + bytes, front, size_t(queued));
    std::memset(front, 0, size_t(bytes));
}

// Grows the queue by `count` samples by the append rule and returns where
// they go, or null when it cannot grow. The join writes every one of them,
// so they are not cleared first.
float* reserveOutput(ChannelQueue& queue, int32_t count) {
    if (queue.readPosition >= queue.buffer.size) clearQueue(queue);
    const int32_t used = queue.buffer.size;
    resizeBuffer(queue.buffer, used + count * kSampleBytes, false);
    if (queue.buffer.size != used + count * kSampleBytes) return nullptr;
    return reinterpret_cast<float*>(static_cast<char*>(queue.buffer.data) + used);
}

bool sizeBuffer(GrowableBuffer& buffer, int32_t bytes) {
    resizeBuffer(buffer, bytes, false);
    return buffer.size == bytes;
}

// The rising half of a Blackman window of period N: w and 1 - w of the same
// sample sum to one, so a crossfade of two identical frames is transparent.
bool prepareCrossfadeWindow(GrowableBuffer& window, int32_t hop) {
    const int32_t bytes = hop * kSampleBytes;
    if (window.size == bytes) return true;
    if (!sizeBuffer(window, bytes)) return false;
    float* w = bufferAs<float>(window);
    const double pi = 3.14159265358979323846;
    for (int32_t i = 0; i < hop; ++i) {
        const double x = i * pi / hop;
        w[i] = float(0.42 - 0.5 * std::cos(x) + 0.08 * std::cos(2 * x));
    }
    return true;
}

// Tails of a fresh FFT size start from silence.
bool prepareTails(GrowableBuffer& tails, int32_t n) {
    const int32_t bytes = n * kSampleBytes;
    if (tails.size == bytes) return true;
    if (!sizeBuffer(tails, bytes)) return false;
    std::memset(tails.data, 0, size_t(bytes));
    return true;
}

// Packs one frame (or, with reduce artifacts, a zero-padded half frame) of
// one or two channels into the real and imaginary parts and transforms it.
// The 0.5 is undone by the split.
void transformFrame(float* packed, const ChannelQueue& first, const ChannelQueue* second, int32_t n, int32_t length) {
    const BlockKernels& kernels = blockKernels();
    // A channel whose queue could not grow holds fewer samples; it reads silence.
    const bool complete = queuedSamples(first) >= length && (!second || queuedSamples(*second) >= length);
    if (complete && length == n) {
        forwardPackedHalves(kernels, packed, queueFront(first), second ? queueFront(*second) : nullptr, n);
        return;
    }
    if (complete) {
        kernels.packHalves(packed, queueFront(first), second ? queueFront(*second) : nullptr, length);
    } else {
        std::fill(packed, packed + 2 * length, 0.0f);
    }
    std::fill(packed + 2 * length, packed + 2 * n, 0.0f);
    fftForward(packed, n);
}

// Crossfades this frame's first half with the previous frame's second half,
// which covers the same input, writes the result to `out` (when not null) and
// keeps this frame's second half. `frame` is read every other float. Only
// the legacy settings without reduce artifacts come here, so never an
// overlap-add.
void joinHalf(const float* frame, float* tail, const float* window, float* out, int32_t hop) {
    const BlockKernels& kernels = blockKernels();
    if (out) kernels.crossfadeJoin(out, frame, tail, window, hop);
    kernels.takeEveryOther(tail, frame + 2 * hop, hop);
}

// The same for a merged frame (channel c in the real, c+1 in the imaginary
// parts), transformed back here and read once for both channels.
void transformBackAndJoin(float* frame, float* tails, const float* window, float* outA, float* outB, int32_t n,
                          bool overlapAdd) {
    const BlockKernels& kernels = blockKernels();
    const int32_t hop = n / 2;
    float* tailB = tails + hop;
    if (outA && outB && !overlapAdd) {
        inverseCrossfadePair(kernels, frame, n, outA, outB, tails, tailB, window);
        return;
    }
    fftInverse(frame, n);
    if (outA && outB) {
        kernels.overlapAddJoinPair(outA, outB, frame, tails, tailB, hop);
    } else {
        for (int channel = 0; channel < 2; ++channel) {
            float* out = channel == 0 ? outA : outB;
            if (!out) continue;
            if (overlapAdd) {
                kernels.overlapAddJoin(out, frame + channel, tails + channel * hop, hop);
            } else {
                kernels.crossfadeJoin(out, frame + channel, tails + channel * hop, window, hop);
            }
        }
    }
    kernels.deinterleave(tails, tailB, frame + 2 * hop, hop);
}

struct FramePass {
    PluginInstance& instance;
    const FrameSettings& settings;
    int32_t channels;
    bool anyMetered;
};

// The filter is rebuilt on the first frame after any change, and on every
// frame while the noise profile is learnt.
void rebuildFilterIfNeeded(PluginInstance& instance, const FrameSettings& settings, const MeteringWeights& weights,
                           const float* spectrumA, const float* spectrumB, float* filter) {
    const bool learning = settings.mode == kModeSubtract && instance.autoNoiseProfile != 0 && weights.metered;
    if (instance.tableChanged == 0 && instance.filterReduceArtifacts == int32_t(settings.reduceArtifacts) &&
        instance.filterMode == settings.mode && !learning) {
        return;
    }
    instance.tableChanged = 0;
    instance.filterMode = settings.mode;
    instance.filterReduceArtifacts = settings.reduceArtifacts;
    int learnFlags = 0;
    if (learning) {
        if (weights.weightA > 0.0) learnFlags |= kLearnFromA;
        if (weights.weightB > 0.0) learnFlags |= kLearnFromB;
    }
    buildBinFilter(settings, instance.binGainTable, learnFlags, spectrumA, spectrumB, filter);
}

// EQ in "Best quality" without reduce artifacts: G is real and equal at
// bins k and N - k, so splitting the packed spectrum, scaling both channels
// by G and merging them again gives 2 G times the packed spectrum. The frame
// is scaled in place instead, saving the split and the merge.
void processPackedEq(FramePass& pass, float* packed, int32_t c) {
    PluginInstance& instance = pass.instance;
    const FrameSettings& settings = pass.settings;
    const int32_t n = settings.fftSize;
    float* filter = bufferAs<float>(instance.filterBuffer);
    const MeteringWeights weights = meteringWeights(instance.meteringSource, c, pass.channels);
    rebuildFilterIfNeeded(instance, settings, weights, packed, packed, filter);
    const GroupCapture capture = groupCapture(instance, settings, weights, !pass.anyMetered);
    if (weights.metered) pass.anyMetered = true;
    captureAndApplyPackedGain(capture, packed, filter, 2.0f, settings.graphOffset);
    if (settings.graphOffset != 1.0) {
        for (int32_t i = 0; i < 2 * n; ++i) packed[i] = float(packed[i] * settings.graphOffset);
    }
}

// Every other case: split into two spectra, let the mode work on them, and
// merge them again or, in the legacy settings, transform them back one by
// one. Returns whether the spectra were merged.
bool processSplit(FramePass& pass, float* spectrumA, float* spectrumB, int32_t c, bool pair) {
    PluginInstance& instance = pass.instance;
    const FrameSettings& settings = pass.settings;
    const int32_t n = settings.fftSize;
    splitPairSpectrum(spectrumA, spectrumB, n, !settings.legacy && !settings.reduceArtifacts);

    float* filter = bufferAs<float>(instance.filterBuffer);
    const MeteringWeights weights = meteringWeights(instance.meteringSource, c, pass.channels);
    rebuildFilterIfNeeded(instance, settings, weights, spectrumA, spectrumB, filter);

    const GroupCapture capture = groupCapture(instance, settings, weights, !pass.anyMetered);
    if (weights.metered) pass.anyMetered = true;
    const bool realGain = runModeStage(settings, spectrumA, spectrumB, filter, pair, capture);
    if (settings.mode != kModeSubtract) applyGain(filter, spectrumA, spectrumB, n, realGain);
    if (settings.mode == kModeEq && settings.graphOffset != 1.0) {
        for (int32_t i = 0; i < 4 * n; ++i) spectrumA[i] = float(spectrumA[i] * settings.graphOffset);
    }
    captureOutput(capture, spectrumA, spectrumB);

    if (settings.legacy && !settings.reduceArtifacts) {
        // The legacy settings transformed each channel back on its own.
        fftInverse(spectrumA, n);
        fftInverse(spectrumB, n);
        return false;
    }
    mergePairSpectrum(spectrumA, spectrumB, n);
    return true;
}

void processGroup(FramePass& pass, int32_t c, bool pair) {
    PluginInstance& instance = pass.instance;
    const FrameSettings& settings = pass.settings;
    const int32_t n = settings.fftSize;
    const int32_t hop = settings.hopSize;
    ChannelQueue& queueA = instance.inputQueues[c];
    ChannelQueue* queueB = pair ? &instance.inputQueues[c + 1] : nullptr;

    const bool tailsReady = prepareTails(instance.channelBuffers[c], n);
    const bool buffersReady = sizeBuffer(instance.spectrumBuffer, 2 * n * kComplexBytes) &&
                              sizeBuffer(instance.filterBuffer, 2 * n * kComplexBytes) &&
                              prepareCrossfadeWindow(instance.crossfadeWindow, hop);
    float* spectrumA = bufferAs<float>(instance.spectrumBuffer);
    float* spectrumB = spectrumA + 2 * n;
    if (tailsReady && buffersReady) {
        transformFrame(spectrumA, queueA, queueB, n, settings.reduceArtifacts ? hop : n);
    }
    consumeFromQueue(queueA, hop * kSampleBytes);
    if (queueB) consumeFromQueue(*queueB, hop * kSampleBytes);
    if (!tailsReady || !buffersReady) return;

    bool merged = true;
    if (settings.mode == kModeEq && !settings.legacy && !settings.reduceArtifacts) {
        processPackedEq(pass, spectrumA, c);
    } else {
        merged = processSplit(pass, spectrumA, spectrumB, c, pair);
    }

    const bool emit = instance.startState != 2;
    float* tails = bufferAs<float>(instance.channelBuffers[c]);
    const float* window = bufferAs<float>(instance.crossfadeWindow);
    float* outA = emit ? reserveOutput(instance.outputQueues[c], hop) : nullptr;
    float* outB = emit && pair ? reserveOutput(instance.outputQueues[c + 1], hop) : nullptr;
    if (merged) {
        transformBackAndJoin(spectrumA, tails, window, outA, outB, n, settings.reduceArtifacts);
    } else {
        joinHalf(spectrumA, tails, window, outA, hop);
        joinHalf(spectrumB, tails + hop, window, outB, hop);
    }
}

void runFramePass(PluginInstance& instance, const FrameSettings& settings, int32_t channels) {
    FramePass pass{instance, settings, channels, false};
    const int32_t step = instance.channelLayout == 1 ? 1 : 2;
    for (int32_t c = 0; c < channels; c += step) processGroup(pass, c, step == 2 && c + 1 < channels);
    if (instance.startState == 2) instance.startState = 0;
    if (!pass.anyMetered) clearAnalysis(instance);
}

// Moves the delay towards initialDelay; returns how many samples may be
// delivered from the output queues.
int32_t deliverableSamples(PluginInstance& instance, int32_t frames) {
    const int32_t target = instance.effect.initialDelay;
    if (instance.latencyCounter >= target) return frames;
    const int32_t deficit = target - instance.latencyCounter;
    if (frames >= deficit) {
        instance.latencyCounter = target;
        return frames - deficit;
    }
    instance.latencyCounter += frames;
    return 0;
}

// Right-aligns the delivered samples in the block, silence in front.
void takeOutput(PluginInstance& instance, float** outputs, int32_t channels, int32_t frames, int32_t deliver) {
    if (frames == 0) return;
    const int32_t take = std::max(0, std::min(deliver, queuedSamples(instance.outputQueues[0])));
    const int32_t silent = frames - take;
    for (int32_t c = 0; c < channels; ++c) {
        float* out = outputs[c];
        ChannelQueue& queue = instance.outputQueues[c];
        // A channel whose queue could not grow holds fewer samples than channel 0.
        const int32_t available = std::min(take, queuedSamples(queue));
        std::memset(out, 0, size_t(silent) * sizeof(float));
        if (available > 0) std::memcpy(out + silent, queueFront(queue), size_t(available) * sizeof(float));
        std::memset(out + silent + available, 0, size_t(take - available) * sizeof(float));
        if (take >= 1) {
            consumeFromQueue(queue, take * kSampleBytes);
            compactIfHalfConsumed(queue);
        }
    }
}

void applyOutputGain(PluginInstance& instance, float** outputs, int32_t channels, int32_t frames) {
    const double target = instance.paramValues[kParamOutputGain];
    const double current = instance.appliedOutputGain;
    if (target == current) {
        if (target == 1.0 || frames == 0) return;
        for (int32_t c = 0; c < channels; ++c) {
            float* out = outputs[c];
            for (int32_t j = 0; j < frames; ++j) out[j] = float(out[j] * target);
        }
        return;
    }
    if (frames > 0) {
        const double step = (target - current) / frames;
        for (int32_t c = 0; c < channels; ++c) {
            float* out = outputs[c];
            for (int32_t j = 0; j < frames; ++j) out[j] = float(out[j] * (current + (j + 1) * step));
        }
    }
    instance.appliedOutputGain = target;
}

}  // namespace

void processBlock(PluginInstance& instance, float** inputs, float** outputs, int32_t frames) {
    FlushToZeroScope flushToZero;
    LockHold state(instance.stateLock);
    frames = std::max(frames, 0);
    const int32_t channels = instance.effect.numInputs;

    int32_t skip = 0;
    if (instance.latencyCounter > instance.effect.initialDelay) {
        skip = std::min(frames, instance.latencyCounter - instance.effect.initialDelay);
        instance.latencyCounter -= skip;
    }
    if (skip < frames) {
        for (int32_t c = 0; c < channels; ++c) {
            appendToQueue(instance.inputQueues[c], inputs[c] + skip, (frames - skip) * kSampleBytes);
        }
    }

    const FrameSettings settings = deriveFrameSettings(instance);
    const int32_t n = settings.fftSize;
    const int32_t hop = settings.hopSize;
    if (instance.startState == 1 && queuedSamples(instance.inputQueues[0]) >= hop) {
        instance.startState = 2;
        for (int32_t c = 0; c < channels; ++c) insertLeadingZeros(instance.inputQueues[c], hop);
    }
    while (queuedSamples(instance.inputQueues[0]) >= n) runFramePass(instance, settings, channels);
    for (int32_t c = 0; c < channels; ++c) compactIfHalfConsumed(instance.inputQueues[c]);

    const int32_t deliver = deliverableSamples(instance, frames);
    takeOutput(instance, outputs, channels, frames, deliver);
    applyOutputGain(instance, outputs, channels, frames);
}

}  // namespace vexlan
