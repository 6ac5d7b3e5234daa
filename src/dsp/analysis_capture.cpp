#include "dsp/analysis_capture.h"

#include <cstring>

#include "dsp/block_kernels.h"
#include "dsp/processing_modes.h"
#include "shell/plugin_instance.h"

namespace vexlan {

namespace {

constexpr int32_t kMeterPairEnd = kMeterPairBase + kMaxChannels;
constexpr int32_t kMeterChannelEnd = kMeterChannelBase + kMaxChannels;

MagnitudeCapture scaledBy(const GroupCapture& capture, double scale) {
    return {capture.weights.weightA * scale, capture.weights.weightB * scale, capture.weights.larger, capture.add};
}

void captureInto(const GroupCapture& capture, float* destination, const float* spectrumA, const float* spectrumB,
                 double scale) {
    blockKernels().captureMagnitudes(destination, spectrumA, spectrumB, capture.fftSize, scaledBy(capture, scale));
}

}  // namespace

MeteringWeights meteringWeights(int32_t source, int32_t channel, int32_t channelCount) {
    const int32_t c = channel;
    switch (source) {
        case kMeterAverage: {
            const double share = 1.0 / channelCount;
            return {share, share, true, false};
        }
        case kMeterSum:
            return {1.0, 1.0, true, false};
        case kMeterMax:
            return {1.0, 1.0, true, true};
        case kMeterNone:
            return {0.0, 0.0, false, false};
        default:
            break;
    }
    if (source >= kMeterPairBase && source < kMeterPairEnd) {
        const int32_t k = source - kMeterPairBase;
        const bool metered = k == c || k == c - 1 || k == c + 1;
        const bool takesA = c == k || c == k + 1;
        const bool takesB = c + 1 == k || c + 1 == k + 1;
        return {takesA ? 1.0 : 0.0, takesB ? 1.0 : 0.0, metered, false};
    }
    if (source >= kMeterChannelBase && source < kMeterChannelEnd) {
        const int32_t k = source - kMeterChannelBase;
        return {k == c ? 1.0 : 0.0, k == c + 1 ? 1.0 : 0.0, k == c || k == c + 1, false};
    }
    // The values between "None" and the first pair are never offered; they
    // meter every channel like "Sum". Anything else names no channel.
    if (source > kMeterNone && source < kMeterPairBase) return {1.0, 1.0, true, false};
    return {0.0, 0.0, false, false};
}

GroupCapture groupCapture(PluginInstance& instance, const FrameSettings& settings, const MeteringWeights& weights,
                          bool firstOfPass) {
    const int32_t n = settings.fftSize;
    const bool sized = instance.analysisBuffer.size == int32_t(2 * n * sizeof(float));
    float* analysis = settings.analysisOn && weights.metered && sized ? bufferAs<float>(instance.analysisBuffer) : nullptr;
    return {analysis, n, weights, !firstOfPass};
}

void captureInput(const GroupCapture& capture, const float* spectrumA, const float* spectrumB, bool channelAOnly) {
    if (!capture.analysis) return;
    const int32_t n = capture.fftSize;
    captureInto(capture, capture.analysis + n, spectrumA, channelAOnly ? spectrumA : spectrumB, 2.0 / n);
}

void captureInputMagnitudes(const GroupCapture& capture, const double* magnitudes, int32_t start, int32_t count) {
    if (!capture.analysis) return;
    const int32_t n = capture.fftSize;
    captureFromMagnitudes(capture.analysis + n + start, magnitudes, count, scaledBy(capture, 2.0 / n));
}

void captureOutput(const GroupCapture& capture, const float* spectrumA, const float* spectrumB) {
    if (!capture.analysis) return;
    captureInto(capture, capture.analysis, spectrumA, spectrumB, 2.0);
}

void captureAndApplyPackedGain(const GroupCapture& capture, float* packed, const float* gain, float factor,
                               double offset) {
    const int32_t n = capture.fftSize;
    if (!capture.analysis) {
        blockKernels().multiplyByRealGain(packed, gain, n, factor);
        return;
    }
    const MagnitudeCapture how = scaledBy(capture, 2.0 / n);
    // Output 2 |A G| x offset against input 2/N |A|.
    blockKernels().captureAndApplyPackedGain(capture.analysis, capture.analysis + n, packed, gain, n, how,
                                             n * offset, factor);
}

void clearAnalysis(PluginInstance& instance) {
    if (instance.analysisBuffer.data && instance.analysisBuffer.size > 0) {
        std::memset(instance.analysisBuffer.data, 0, size_t(instance.analysisBuffer.size));
    }
}

}  // namespace vexlan
