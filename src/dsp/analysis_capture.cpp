#include "dsp/analysis_capture.h"

#include <cmath>
#include <cstring>
#include <type_traits>

#include "dsp/fft.h"
#include "dsp/processing_modes.h"
#include "dsp/spectrum_magnitude.h"
#include "shell/plugin_instance.h"

namespace vexlan {

namespace {

constexpr int32_t kMeterPairEnd = kMeterPairBase + kMaxChannels;
constexpr int32_t kMeterChannelEnd = kMeterChannelBase + kMaxChannels;

template <bool Larger>
double combine(double a, double b) {
    return Larger ? (b > a ? b : a) : b + a;
}

template <bool Add>
void put(float& destination, double value) {
    destination = Add ? float(destination + value) : float(value);
}

// Runs body(larger, add) with both as compile-time constants, so the
// per-position loops carry no branches on them.
template <typename Body>
void withCombination(const GroupCapture& capture, Body&& body) {
    if (capture.weights.larger) {
        if (capture.add) {
            body(std::true_type{}, std::true_type{});
        } else {
            body(std::true_type{}, std::false_type{});
        }
    } else if (capture.add) {
        body(std::false_type{}, std::true_type{});
    } else {
        body(std::false_type{}, std::false_type{});
    }
}

template <bool Larger, bool Add>
void captureHalf(float* destination, const float* spectrumA, const float* spectrumB, int32_t n, double scaleA,
                 double scaleB) {
    for (int32_t i = 0; i < n; ++i) {
        const MagnitudePair m = magnitudesAt(spectrumA, spectrumB, i);
        put<Add>(destination[i], combine<Larger>(scaleA * m.a, scaleB * m.b));
    }
}

void captureInto(const GroupCapture& capture, float* destination, const float* spectrumA, const float* spectrumB,
                 double scale) {
    const double scaleA = capture.weights.weightA * scale;
    const double scaleB = capture.weights.weightB * scale;
    withCombination(capture, [&](auto larger, auto add) {
        captureHalf<decltype(larger)::value, decltype(add)::value>(destination, spectrumA, spectrumB, capture.fftSize,
                                                                   scaleA, scaleB);
    });
}

// Bins 0 .. N/2 of a packed spectrum: channel c's spectrum at bin k is
// Z(k) + conj Z(N-k), channel c+1's is -i (Z(k) - conj Z(N-k)).
template <bool Larger, bool Add>
void capturePackedBins(float* output, float* input, const float* packed, const float* gain, int32_t n,
                       double scaleA, double scaleB, double outputScale) {
    const BinPair* pairs = binPairTable(n);
    for (int32_t i = 0; i <= n / 2; ++i) {
        const int32_t p = pairs[i].position;
        const int32_t q = pairs[i].mirror;
        const double zpRe = packed[2 * p], zpIm = packed[2 * p + 1];
        const double zqRe = packed[2 * q], zqIm = packed[2 * q + 1];
        const MagnitudePair m = magnitudePair(zpRe + zqRe, zpIm - zqIm, zpIm + zqIm, zqRe - zpRe);
        const double value = combine<Larger>(scaleA * m.a, scaleB * m.b);
        put<Add>(input[p], value);
        put<Add>(output[p], value * outputScale * std::fabs(gain[2 * p]));
    }
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

void captureOutput(const GroupCapture& capture, const float* spectrumA, const float* spectrumB) {
    if (!capture.analysis) return;
    captureInto(capture, capture.analysis, spectrumA, spectrumB, 2.0);
}

void capturePackedSpectrum(const GroupCapture& capture, const float* packed, const float* gain, double offset) {
    if (!capture.analysis) return;
    const int32_t n = capture.fftSize;
    float* output = capture.analysis;
    float* input = capture.analysis + n;
    // Clearing both halves in one sweep is far cheaper than visiting the
    // scattered positions of the upper bins.
    if (!capture.add) std::memset(output, 0, sizeof(float) * 2 * size_t(n));
    const double scaleA = capture.weights.weightA * 2.0 / n;
    const double scaleB = capture.weights.weightB * 2.0 / n;
    // Output 2 |A G| x offset against input 2/N |A|.
    const double outputScale = n * offset;
    withCombination(capture, [&](auto larger, auto add) {
        capturePackedBins<decltype(larger)::value, decltype(add)::value>(output, input, packed, gain, n, scaleA, scaleB,
                                                                         outputScale);
    });
}

void clearAnalysis(PluginInstance& instance) {
    if (instance.analysisBuffer.data && instance.analysisBuffer.size > 0) {
        std::memset(instance.analysisBuffer.data, 0, size_t(instance.analysisBuffer.size));
    }
}

}  // namespace vexlan
