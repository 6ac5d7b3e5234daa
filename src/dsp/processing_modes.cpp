#include "dsp/processing_modes.h"

#include <algorithm>
#include <cmath>

#include "dsp/analysis_capture.h"
#include "dsp/block_kernels.h"
#include "dsp/fft.h"
#include "shell/parameters.h"
#include "shell/plugin_instance.h"

namespace vexlan {

namespace {

// The table spans 0 to 24000 Hz whatever the sample rate.
constexpr double kTableTopHz = 24000.0;
// Each learning frame keeps 70 % of the old profile value. The rate is
// formed as 1 - 0.7 in double (0.30000000000000004), the value saved
// profiles were learnt with.
constexpr double kLearnKeep = 0.7;
constexpr double kLearnRate = 1.0 - kLearnKeep;
constexpr double kMinGraphOffset = 1e-5;
constexpr double kMinRatio = 0.5;
// Ratios above this act as a limiter.
constexpr double kLimiterRatioFrom = 99.0;
constexpr double kLimiterRatio = 1e9;
// Four-term Blackman-Harris taper of the shortened EQ kernel, with its gain.
constexpr double kTaperGain = 4.3639539;
constexpr double kTaper0 = 0.35875;
constexpr double kTaper1 = 0.48829;
constexpr double kTaper2 = 0.14128;
constexpr double kTaper3 = 0.01168;
constexpr double kPi = 3.14159265358979323846;

int32_t log2Of(int32_t n) {
    int32_t bits = 0;
    while ((int32_t(1) << (bits + 1)) <= n) ++bits;
    return bits;
}

double power(const float* spectrum, int32_t position) {
    const double re = spectrum[2 * position];
    const double im = spectrum[2 * position + 1];
    return re * re + im * im;
}

// Where bin `bin` sits in the spectra. The oldest quality setting used plain
// bit reversal, which does not match the transform's order ("weird bands").
struct BinPositions {
    const int32_t* order;
    int32_t shift;
    bool bitReversed;

    int32_t operator()(int32_t bin) const { return bitReversed ? order[bin] >> shift : order[bin]; }
};

BinPositions binPositions(const FrameSettings& settings) {
    if (settings.oldest) return {bitReverseTable(), 15 - settings.log2Size, true};
    return {binOrderTable(settings.fftSize), 0, false};
}

void setReal(float* spectrum, int32_t position, float value) {
    spectrum[2 * position] = value;
    spectrum[2 * position + 1] = 0.0f;
}

// Measured noise magnitude of one bin: sqrt(2) |X| / N of the louder channel.
double learntMagnitude(const FrameSettings& settings, int learnFlags, const float* spectrumA,
                       const float* spectrumB, int32_t position) {
    const double powerA = (learnFlags & kLearnFromA) ? power(spectrumA, position) : 0.0;
    const double powerB = (learnFlags & kLearnFromB) ? power(spectrumB, position) : 0.0;
    return std::sqrt(2.0 * std::max(powerA, powerB)) * settings.gainScale;
}

// Turns T into the spectrum of a real kernel at most N/2 samples long, so
// that zero-padded half frames convolve without wrap-around.
void shortenEqKernel(const FrameSettings& settings, float* gain) {
    const int32_t n = settings.fftSize;
    const float scale = float(settings.gainScale * settings.gainScale);
    fftInverse(gain, n);
    for (int32_t i = 0; i < settings.hopSize; ++i) {
        double taper = 1.0;
        if (!settings.oldest) {
            const double x = -kPi / 2 + i * 2 * kPi / n;
            taper = kTaperGain * (kTaper0 - kTaper1 * std::cos(x) + kTaper2 * std::cos(2 * x) - kTaper3 * std::cos(3 * x));
        }
        setReal(gain, i, float(gain[2 * i] * scale * taper));
    }
    std::fill(gain + 2 * settings.hopSize, gain + 2 * n, 0.0f);
    fftForward(gain, n);
}

// Reduce artifacts in the dynamic modes: the per-frame gain becomes a kernel
// of at most N/2 samples (no taper here).
void shortenFrameKernel(const FrameSettings& settings, float* gain) {
    const int32_t n = settings.fftSize;
    const float scale = float(settings.gainScale);
    fftInverse(gain, n);
    for (int32_t i = 0; i < settings.hopSize; ++i) setReal(gain, i, gain[2 * i] * scale);
    std::fill(gain + 2 * settings.hopSize, gain + 2 * n, 0.0f);
    fftForward(gain, n);
}

// Magnitudes are taken a run at a time into a stack block, where the vector
// square roots can work on several positions at once; the input capture
// reads them there too, instead of taking them again. Then use(start, run,
// magnitudes) works on the run, |A| and |B| interleaved.
constexpr int32_t kMagnitudeRun = 256;

template <typename Use>
void forEachMagnitudeRun(const float* spectrumA, const float* spectrumB, int32_t n, const GroupCapture& capture,
                         Use&& use) {
    double magnitudes[2 * kMagnitudeRun];
    for (int32_t start = 0; start < n; start += kMagnitudeRun) {
        const int32_t run = std::min(kMagnitudeRun, n - start);
        blockKernels().spectrumMagnitudes(magnitudes, spectrumA + 2 * start, spectrumB + 2 * start, run);
        captureInputMagnitudes(capture, magnitudes, start, run);
        use(start, run, magnitudes);
    }
}

bool fillDynamicsGain(const FrameSettings& settings, const float* spectrumA, const float* spectrumB, float* filter,
                      bool pair, const GroupCapture& capture) {
    const int32_t n = settings.fftSize;
    const float* table = filter + 2 * n;
    const double magnitudeScale = 2.0 / n;
    const bool gate = settings.mode == kModeGate;
    bool realGain = true;
    forEachMagnitudeRun(spectrumA, spectrumB, n, capture, [&](int32_t start, int32_t run, const double* magnitudes) {
        for (int32_t j = 0; j < run; ++j) {
            const int32_t i = start + j;
            const double levelA = magnitudes[2 * j] * magnitudeScale;
            const double level = pair ? (levelA + magnitudes[2 * j + 1] * magnitudeScale) * 0.5 : levelA;
            const double threshold = table[2 * i] * settings.graphOffset;
            double g = settings.gainScale;
            if (gate) {
                if (level < threshold) g = settings.gainScale * settings.gateFloor;
            } else if (level >= threshold && threshold > 0.0) {
                // A zero threshold counts as "below": level / 0 has no finite gain.
                g = std::exp(std::log(level / threshold) * settings.exponent) * settings.gainScale;
            }
            const float stored = float(g);
            filter[2 * i] = stored;
            // The legacy settings stored the gain in both parts, a 45 degree turn.
            filter[2 * i + 1] = settings.legacy ? stored : 0.0f;
            if (filter[2 * i + 1] != 0.0f) realGain = false;
        }
    });
    return realGain;
}

bool fillConvolveGain(const FrameSettings& settings, const float* spectrumA, float* spectrumB, float* filter) {
    const int32_t n = settings.fftSize;
    const float* table = filter + 2 * n;
    const double shape = 2.0 / n * settings.gainScale * settings.graphOffset;
    bool realGain = true;
    for (int32_t i = 0; i < n; ++i) {
        const double k = table[2 * i] * shape;
        filter[2 * i] = float(spectrumB[2 * i] * k);
        filter[2 * i + 1] = float(spectrumB[2 * i + 1] * k);
        if (filter[2 * i + 1] != 0.0f) realGain = false;
        spectrumB[2 * i] = spectrumA[2 * i];
        spectrumB[2 * i + 1] = spectrumA[2 * i + 1];
    }
    return realGain;
}

// Lowers |X| by the noise magnitude, keeping the phase. Scaling X by
// new/old magnitude equals rebuilding it from its angle, without the
// trigonometry; a zero bin stays zero.
void subtractFromSpectrum(float* spectrum, int32_t position, double magnitudeBefore, double noise, double gainScale) {
    if (magnitudeBefore == 0.0) return;
    double magnitudeAfter = magnitudeBefore * gainScale;
    if (noise > 0.0) magnitudeAfter = std::max(0.0, magnitudeAfter - noise);
    const double factor = magnitudeAfter / magnitudeBefore;
    spectrum[2 * position] = float(spectrum[2 * position] * factor);
    spectrum[2 * position + 1] = float(spectrum[2 * position + 1] * factor);
}

void subtractProfile(const FrameSettings& settings, float* spectrumA, float* spectrumB, const float* filter,
                     const GroupCapture& capture) {
    const int32_t n = settings.fftSize;
    // Each run is changed only after its magnitudes were taken.
    forEachMagnitudeRun(spectrumA, spectrumB, n, capture, [&](int32_t start, int32_t run, const double* magnitudes) {
        for (int32_t j = 0; j < run; ++j) {
            const int32_t i = start + j;
            const double noise = filter[2 * i] * settings.graphOffset;
            subtractFromSpectrum(spectrumA, i, magnitudes[2 * j], noise, settings.gainScale);
            subtractFromSpectrum(spectrumB, i, magnitudes[2 * j + 1], noise, settings.gainScale);
        }
    });
}

}  // namespace

FrameSettings deriveFrameSettings(const PluginInstance& instance) {
    const double* values = instance.paramValues;
    FrameSettings settings{};
    settings.fftSize = instance.fftSize;
    settings.hopSize = instance.fftSize / 2;
    settings.log2Size = log2Of(instance.fftSize);
    settings.mode = instance.processingMode;
    settings.analysisOn = values[kParamShowAnalysis] >= 0.5;
    settings.reduceArtifacts = settings.mode != kModeSubtract && values[kParamReduceArtifacts] >= 0.5;
    settings.oldest = values[kParamQuality] > 0.5;
    settings.legacy = settings.oldest || values[kParamQuality] < 0.0625;
    settings.sampleRate = instance.sampleRate;
    settings.gainScale = 1.0 / instance.fftSize;
    settings.graphOffset = std::max(values[kParamGraphOffset], kMinGraphOffset);
    settings.gateFloor = values[kParamGateFloor];
    double ratio = std::max(toReal(kParamCompressorRatio, values[kParamCompressorRatio]), kMinRatio);
    if (ratio > kLimiterRatioFrom) ratio = kLimiterRatio;
    settings.exponent = 1.0 / ratio - 1.0;
    return settings;
}

void buildBinFilter(const FrameSettings& settings, float* table, int learnFlags, const float* spectrumA,
                    const float* spectrumB, float* filter) {
    const int32_t n = settings.fftSize;
    const int32_t hop = settings.hopSize;
    // The legacy settings mirrored bin b onto N - 1 - b, one bin off.
    const int32_t legacyShift = settings.legacy ? 1 : 0;
    const int32_t bins = hop - legacyShift + 1;
    const double rateRatio = kTableTopHz / (settings.sampleRate * 0.5);
    const double cut = std::trunc((settings.legacy ? 0.0 : 0.5) + hop * rateRatio);
    const int32_t count = int32_t(std::min<double>(hop, cut)) - legacyShift + 1;
    const double step = (double(kBinGainTableSize) / bins) / rateRatio;
    const BinPositions position = binPositions(settings);
    float* placed = filter + 2 * n;

    auto place = [&](int32_t bin, double value) {
        setReal(placed, position(bin), float(value));
        const int32_t mirror = n - legacyShift - bin;
        if (mirror < n) setReal(placed, position(mirror), float(value));
    };

    double value = 1.0;
    int32_t previous = 0;
    int32_t bin = 0;
    for (; bin < count; ++bin) {
        const double entry = std::max(bin * step, 0.0);
        if (!(entry < kBinGainTableSize)) break;
        const int32_t j = int32_t(entry);
        const double before = table[j];
        value = before;
        if (learnFlags != 0) {
            const double measured = learntMagnitude(settings, learnFlags, spectrumA, spectrumB, position(bin));
            if (measured > value) {
                value = kLearnRate * measured + kLearnKeep * value;
                table[j] = float(value);
            }
        }
        // Bins wider than one table entry take the mean of the entries they cover.
        if (previous + 1 < j) {
            double sum = value;
            for (int32_t skipped = previous + 1; skipped < j; ++skipped) {
                if (learnFlags != 0 && table[skipped] < before) {
                    table[skipped] = float(kLearnRate * table[skipped] + kLearnKeep * before);
                }
                sum += table[skipped];
            }
            value = sum / (j - previous);
        }
        previous = j;
        place(bin, value);
    }
    // Bins above 24000 Hz take the last value.
    for (; bin < bins; ++bin) place(bin, value);

    float* gain = filter;
    if (settings.mode == kModeEq) {
        if (settings.reduceArtifacts) {
            std::copy(placed, placed + 2 * n, gain);
            shortenEqKernel(settings, gain);
        } else {
            const float scale = float(settings.gainScale);
            for (int32_t i = 0; i < 2 * n; ++i) gain[i] = placed[i] * scale;
        }
    } else if (settings.mode == kModeSubtract) {
        std::copy(placed, placed + 2 * n, gain);
    }
}

bool runModeStage(const FrameSettings& settings, float* spectrumA, float* spectrumB, float* filter, bool pair,
                  const GroupCapture& capture) {
    bool realGain = true;
    switch (settings.mode) {
        case kModeGate:
        case kModeCompressor:
            realGain = fillDynamicsGain(settings, spectrumA, spectrumB, filter, pair, capture);
            break;
        case kModeConvolve:
            captureInput(capture, spectrumA, spectrumB, true);
            realGain = fillConvolveGain(settings, spectrumA, spectrumB, filter);
            break;
        case kModeSubtract:
            subtractProfile(settings, spectrumA, spectrumB, filter, capture);
            return false;
        default:
            // EQ: G was made when the filter was built.
            captureInput(capture, spectrumA, spectrumB, false);
            return !settings.reduceArtifacts;
    }
    if (!settings.reduceArtifacts) return realGain;
    shortenFrameKernel(settings, filter);
    return false;
}

void applyGain(const float* filter, float* spectrumA, float* spectrumB, int32_t n, bool realGain) {
    if (realGain) {
        for (int32_t i = 0; i < n; ++i) {
            const float g = filter[2 * i];
            spectrumA[2 * i] *= g;
            spectrumA[2 * i + 1] *= g;
            spectrumB[2 * i] *= g;
            spectrumB[2 * i + 1] *= g;
        }
        return;
    }
    for (int32_t i = 0; i < n; ++i) {
        const float gr = filter[2 * i];
        const float gi = filter[2 * i + 1];
        const float ar = spectrumA[2 * i];
        const float ai = spectrumA[2 * i + 1];
        const float br = spectrumB[2 * i];
        const float bi = spectrumB[2 * i + 1];
        spectrumA[2 * i] = ar * gr - ai * gi;
        spectrumA[2 * i + 1] = ar * gi + ai * gr;
        spectrumB[2 * i] = br * gr - bi * gi;
        spectrumB[2 * i + 1] = br * gi + bi * gr;
    }
}

}  // namespace vexlan
