#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numeric>
#include <vector>

#include "dsp/analysis_capture.h"
#include "dsp/fft.h"
#include "dsp/processing_modes.h"
#include "stream_support.h"
#include "test_host.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

using namespace vexlan;
using namespace streamtest;
using testhost::Instance;

namespace {

// Table values and their means are small integers here, exact in float32.
std::vector<float> rampTable() {
    std::vector<float> table(kBinGainTableSize);
    std::iota(table.begin(), table.end(), 0.0f);
    return table;
}

double meanOfEntries(int first, int last) { return (first + last) / 2.0; }

struct BuiltFilter {
    std::vector<float> filter;  // G then T, 2N complex
    int n;

    float placed(int position) const { return filter[2 * n + 2 * position]; }
    float gain(int position) const { return filter[2 * position]; }
    float placedBin(int bin) const { return placed(binOrderTable(n)[bin]); }
};

class BinFilter : public ::testing::Test {
protected:
    void SetUp() override { testhost::resetHost(); }

    FrameSettings settingsFor(int n, double sampleRate, float quality, int mode = kModeEq) {
        setFftSize(*instance_, n);
        instance_->sampleRate = sampleRate;
        instance_->paramValues[kParamQuality] = quality;
        instance_->processingMode = mode;
        return deriveFrameSettings(*instance_);
    }

    static BuiltFilter build(const FrameSettings& settings, std::vector<float>& table) {
        BuiltFilter built{std::vector<float>(4 * settings.fftSize, -1.0f), settings.fftSize};
        const std::vector<float> silence(2 * settings.fftSize, 0.0f);
        buildBinFilter(settings, table.data(), 0, silence.data(), silence.data(), built.filter.data());
        return built;
    }

    Instance instance_;
};

}  // namespace

TEST_F(BinFilter, EachBinAveragesTheEntriesItCoversAndIsMirrored) {
    struct Case {
        int n;
        double rate;
        float quality;
        int bin, firstEntry, lastEntry;
    };
    const Case cases[] = {
        // 44100 Hz, N = 1024: step = (4096 / 513) x 22050 / 24000, about 7.3357.
        {1024, 44100.0, 0.125f, 0, 0, 0},
        {1024, 44100.0, 0.125f, 1, 1, 7},
        {1024, 44100.0, 0.125f, 512, 3749, 3755},  // bin 511 ends at entry 3748 (511 x 7.3357)
        // Legacy: step = (4096 / 512) x 22050 / 24000 = 7.35; 99 x 7.35 = 727.65.
        {1024, 44100.0, 0.0f, 100, 728, 735},
        // At 48000 Hz bin b ends at entry b x 4096 / (N/2 + 1).
        {256, 48000.0, 0.125f, 10, 9 * 4096 / 129 + 1, 10 * 4096 / 129},
    };
    std::vector<float> table = rampTable();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "N " << c.n << ", quality " << c.quality << ", bin "
                                        << c.bin);
        const BuiltFilter built = build(settingsFor(c.n, c.rate, c.quality), table);
        EXPECT_EQ(built.placedBin(c.bin), meanOfEntries(c.firstEntry, c.lastEntry));
        // The upper half mirrors bin b onto N - b, in the legacy settings onto N - 1 - b.
        const int shift = c.quality == 0.0f ? 1 : 0;
        for (int b = 1 - shift; b < c.n / 2; ++b) {
            ASSERT_EQ(built.placedBin(c.n - shift - b), built.placedBin(b)) << b;
        }
    }
    // At 96000 Hz only bins up to N/4 lie below 24000 Hz; the rest repeat the last.
    const BuiltFilter high = build(settingsFor(256, 96000.0, 0.125f), table);
    EXPECT_GT(high.placedBin(64), high.placedBin(63));
    for (int b = 65; b <= 128; ++b) ASSERT_EQ(high.placedBin(b), high.placedBin(64)) << b;
}

TEST_F(BinFilter, OldestSettingPlacesBinsAtBitReversedPositions) {
    // With the ramp, bins rise in value; each lower bin b sits at b with its
    // eight bits reversed, not where the transform leaves it.
    std::vector<float> table = rampTable();
    const BuiltFilter built = build(settingsFor(256, 44100.0, 1.0f), table);
    const auto reversed = [](int b) {
        int r = 0;
        for (int bit = 0; bit < 8; ++bit) r |= ((b >> bit) & 1) << (7 - bit);
        return r;
    };
    for (int b = 1; b < 128; ++b) ASSERT_GT(built.placed(reversed(b)), built.placed(reversed(b - 1))) << b;
}

// G as a kernel, by a direct inverse DFT over the bins: its largest sample
// before N/2, from N/2 on, and its largest imaginary part.
struct KernelExtent {
    double inside = 0.0;
    double outside = 0.0;
    double imaginary = 0.0;
};

KernelExtent kernelExtent(const BuiltFilter& built) {
    const int n = built.n;
    const int32_t* order = binOrderTable(n);
    KernelExtent extent;
    for (int t = 0; t < n; ++t) {
        std::complex<double> sum = 0.0;
        for (int k = 0; k < n; ++k) {
            const std::complex<double> g(built.gain(order[k]), built.filter[2 * order[k] + 1]);
            sum += g * std::polar(1.0, kTwoPi * k * t / n);
        }
        sum /= n;
        extent.imaginary = std::max(extent.imaginary, std::abs(sum.imag()));
        double& part = t < n / 2 ? extent.inside : extent.outside;
        part = std::max(part, std::abs(sum.real()));
    }
    return extent;
}

TEST_F(BinFilter, ReduceArtifactsShortensEveryModesKernelToHalfAFrame) {
    const int n = 128;
    std::vector<float> table(kBinGainTableSize);
    for (int j = 0; j < kBinGainTableSize; ++j) table[j] = float(1.0 / (1.0 + j / 300.0));
    // Levels around the thresholds, so the gate passes some bins and not others.
    const std::vector<float> a = noise(2 * n, 44, 40.0);
    const std::vector<float> b = noise(2 * n, 45, 40.0);
    std::vector<float> analysis(2 * n);  // input and output spectra
    instance_->paramValues[kParamCompressorRatio] = 1.0;  // 100:1, a gain that follows every level
    for (int mode : {kModeEq, kModeGate, kModeCompressor, kModeConvolve}) {
        for (bool reduce : {false, true}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << ", reduce artifacts " << reduce);
            instance_->paramValues[kParamReduceArtifacts] = reduce ? 1.0 : 0.0;
            const FrameSettings settings = settingsFor(n, 44100.0, 0.125f, mode);
            BuiltFilter built = build(settings, table);
            std::vector<float> spectrumA = a, spectrumB = b;
            if (mode != kModeEq) {
                runModeStage(settings, spectrumA.data(), spectrumB.data(), built.filter.data(), true,
                             {analysis.data(), n, {1.0, 1.0, true, false}, false});
            }
            const KernelExtent kernel = kernelExtent(built);
            EXPECT_GT(kernel.inside, 1e-3 / n);
            if (reduce) {
                EXPECT_LT(kernel.outside, 1e-5 * kernel.inside);
                EXPECT_LT(kernel.imaginary, 1e-5 * kernel.inside);
            } else {
                // Without it the kernel reaches past N/2: the case has work for it.
                EXPECT_GT(kernel.outside, 1e-2 * kernel.inside);
            }
        }
    }
}

namespace {

constexpr double kRate = 48000.0;
constexpr double kPi = 3.14159265358979323846;
constexpr int kN = 4096;

double bin(int k) { return binFrequency(k, kN, kRate); }

// An instance at 48000 Hz and N = 4096; each test sets the mode and the table.
class ModeSound : public ::testing::Test {
protected:
    void SetUp() override {
        testhost::resetHost();
        instance_.dispatch(effSetSampleRate, 0, 0, nullptr, float(kRate));
        setFftSize(*instance_, kN);
        instance_.dispatch(effMainsChanged, 0, 0);
    }

    void configure(int mode, float tableLevel) {
        setMode(*instance_, mode);
        setTable(*instance_, tableLevel);
    }

    // From now on the metered channels teach the noise profile.
    void learnFrom(int32_t source) {
        LockHold state(instance_->stateLock);
        instance_->autoNoiseProfile = 1;
        instance_->meteringSource = source;
    }

    // Streams the signals (one per channel) and returns the output.
    Channels play(const Channels& input) { return processStream(instance_, input, {512}); }

    // Start of a window that lies past the latency and the first frames.
    static constexpr int kSettled = 4 * kN;

    // Amplitude of bin k over the frame after kSettled.
    static double level(const std::vector<float>& channel, int k) {
        return amplitudeAt(channel, kSettled, kN, bin(k), kRate);
    }

    Instance instance_;
};

}  // namespace

TEST_F(ModeSound, ASineInOneBinComesOutAtTheLevelTheModeSets) {
    // A sine in bin 150 in each channel. `table` is the EQ gain, the threshold
    // or the noise profile; floor, ratio and offset are normalised.
    struct Case {
        const char* name;
        int32_t mode, layout;
        double table, floor, ratio, offset, halfFrames;
        double left, right, leftOut, rightOut;
    };
    const double one = 0.8 / 99.8;  // ratio 1:1
    const Case cases[] = {
        {"EQ, offset 0.5", kModeEq, 2, 1.0, 0.0, 1.0, 0.5, 0.0, 0.5, 0.5, 0.25, 0.25},
        // Gated under a threshold of 1.0, passed under 0.25; half frames keep
        // the floor's scale.
        {"gate", kModeGate, 2, 1.0, 0.0, 1.0, 1.0, 0.0, 0.5, 0.5, 0.0, 0.0},
        {"gate, offset 0.25", kModeGate, 2, 1.0, 0.0, 1.0, 0.25, 0.0, 0.5, 0.5, 0.5, 0.5},
        {"gate, half frames", kModeGate, 2, 1.0, 0.1, 1.0, 1.0, 1.0, 0.5, 0.5, 0.05, 0.05},
        // Threshold 0.1. A pair's level is the mean of its two channels;
        // channels alone each have their own.
        {"gate, loud left", kModeGate, 2, 0.1, 0.0, 1.0, 1.0, 0.0, 0.5, 0.02, 0.5, 0.02},
        {"gate, loud right", kModeGate, 2, 0.1, 0.0, 1.0, 1.0, 0.0, 0.02, 0.5, 0.02, 0.5},
        {"gate, alone", kModeGate, 1, 0.1, 0.0, 1.0, 1.0, 0.0, 0.5, 0.02, 0.5, 0.0},
        {"gate, zero threshold", kModeGate, 2, 0.0, 0.0, 1.0, 1.0, 0.0, 0.02, 0.02, 0.02, 0.02},
        // Ratio 1 passes; ratio 100 holds the level at the threshold, for a
        // pair the mean level 0.3: both channels / 3. Normalised 0 reads as
        // 0.2:1 but works as 0.5:1, the gain being level / threshold.
        {"compressor 1:1", kModeCompressor, 2, 0.1, 0.0, one, 1.0, 0.0, 0.5, 0.5, 0.5, 0.5},
        {"compressor 1:1, half frames", kModeCompressor, 2, 0.1, 0.0, one, 1.0, 1.0, 0.5, 0.5, 0.5, 0.5},
        // A zero threshold: no level over it has a finite gain, so none is changed.
        {"compressor, zero threshold", kModeCompressor, 2, 0.0, 0.0, 1.0, 1.0, 0.0, 0.5, 0.5, 0.5, 0.5},
        {"compressor", kModeCompressor, 2, 0.1, 0.0, 1.0, 1.0, 0.0, 0.5, 0.5, 0.1, 0.1},
        {"compressor, pair", kModeCompressor, 2, 0.1, 0.0, 1.0, 1.0, 0.0, 0.5, 0.1, 0.5 / 3, 0.1 / 3},
        {"compressor, swapped", kModeCompressor, 2, 0.1, 0.0, 1.0, 1.0, 0.0, 0.1, 0.5, 0.1 / 3, 0.5 / 3},
        {"compressor, alone", kModeCompressor, 1, 0.1, 0.0, 1.0, 1.0, 0.0, 0.5, 0.1, 0.1, 0.1},
        {"compressor 0.5:1", kModeCompressor, 2, 0.1, 0.0, 0.0, 1.0, 0.0, 0.5, 0.5, 2.5, 2.5},
        // |X| / N = 0.25 less a profile of 0.1, or of 0.05 at offset 0.5.
        {"subtract", kModeSubtract, 2, 0.1, 0.0, 1.0, 1.0, 0.0, 0.5, 0.5, 0.3, 0.3},
        {"subtract, offset 0.5", kModeSubtract, 2, 0.1, 0.0, 1.0, 0.5, 0.0, 0.5, 0.5, 0.4, 0.4},
        {"subtract, zero profile", kModeSubtract, 2, 0.0, 0.0, 1.0, 1.0, 0.0, 0.5, 0.5, 0.5, 0.5},
        {"subtract, flat default table", kModeSubtract, 2, 1.0, 0.0, 1.0, 1.0, 0.0, 0.5, 0.5, 0.0, 0.0},
    };
    const int length = kSettled + kN;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        configure(c.mode, float(c.table));
        setChannels(*instance_, 2, c.layout);
        setParameter(instance_, kParamGateFloor, float(c.floor));
        setParameter(instance_, kParamCompressorRatio, float(c.ratio));
        setParameter(instance_, kParamGraphOffset, float(c.offset));
        setParameter(instance_, kParamReduceArtifacts, float(c.halfFrames));
        instance_.dispatch(effMainsChanged, 0, 0);
        const std::vector<float> left = sine(length, bin(150), kRate, c.left);
        const Channels output = play({left, sine(length, bin(150), kRate, c.right, 0.4)});
        EXPECT_NEAR(level(output[0], 150), c.leftOut, 1e-5);
        EXPECT_NEAR(level(output[1], 150), c.rightOut, 1e-5);
    }
}

TEST_F(ModeSound, ConvolveMultipliesThePairsSpectraAndSilencesAChannelAlone) {
    configure(kModeConvolve, 1.0f);
    setChannels(*instance_, 3, 2);
    const int length = kSettled + kN;
    // Two sines in the same bin: the product of their spectra is a sine of
    // amplitude a x b there. Sines in different bins have no product.
    const std::vector<float> left = mix(sine(length, bin(80), kRate, 0.5), sine(length, bin(400), kRate, 0.3));
    const std::vector<float> right = mix(sine(length, bin(80), kRate, 0.4, 0.7), sine(length, bin(900), kRate, 0.3));
    const Channels output = play({left, right, left});
    for (int c = 0; c < 2; ++c) {
        EXPECT_NEAR(level(output[c], 80), 0.5 * 0.4, 1e-4);
        EXPECT_LT(level(output[c], 400), 1e-5);
        EXPECT_LT(level(output[c], 900), 1e-5);
    }
    EXPECT_LE(delayedError(output[1], output[0], 0, kN, length), 1e-6);
    for (float x : output[2]) ASSERT_EQ(x, 0.0f);
}

TEST_F(ModeSound, ConvolveWithHalfFramesIsALinearConvolution) {
    // Every half-frame of the right channel holds one impulse of N / 2 at
    // sample d, so with half-frames zero-padded the product of the spectra is
    // the left channel delayed by d, in both outputs.
    const int length = kSettled + 2 * kN;
    const int hop = kN / 2;
    const std::vector<float> left = noise(length, 70, 0.5);
    configure(kModeConvolve, 1.0f);
    setParameter(instance_, kParamReduceArtifacts, 1.0f);
    for (int d : {0, 5, 300}) {
        SCOPED_TRACE(d);
        instance_.dispatch(effMainsChanged, 0, 0);
        std::vector<float> impulses(length, 0.0f);
        for (int i = d; i < length; i += hop) impulses[i] = float(hop);
        const Channels output = play({left, impulses});
        for (const auto& channel : output) {
            EXPECT_LE(delayedError(channel, left, kN + d, kSettled, length - kN - d), 2e-4);
        }
    }
}

TEST_F(ModeSound, LegacyDynamicsGainsTurnTheSpectrumByAnEighth) {
    // Only bin 150 passes the gate; in "Legacy 2007-2016" its upper mirror
    // takes bin 149's threshold and is gated. The kept half, (g, g) = g (1 + i),
    // gives a real part of amplitude a / 2 x sqrt 2; in "Best quality" both
    // halves pass and the sine keeps its amplitude a.
    const struct {
        float quality;
        double out;
    } cases[] = {{0.125f, 0.5}, {0.0f, 0.25 * std::sqrt(2.0)}};
    const int length = kSettled + kN;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.quality);
        configure(kModeGate, 1.0f);
        {
            LockHold state(instance_->stateLock);
            // Bin b reads entries 2b - 1 and 2b at 48000 Hz and N = 4096.
            instance_->binGainTable[299] = 0.0f;
            instance_->binGainTable[300] = 0.0f;
            instance_->tableChanged = 1;
        }
        setParameter(instance_, kParamGateFloor, 0.0f);
        setParameter(instance_, kParamQuality, c.quality);
        instance_.dispatch(effMainsChanged, 0, 0);
        const std::vector<float> signal = sine(length, bin(150), kRate, 0.5);
        const Channels output = play({signal, signal});
        EXPECT_NEAR(level(output[0], 150), c.out, 2e-4);
    }
}

TEST_F(ModeSound, OnlyMeteredChannelsTeachTheNoiseProfile) {
    // Left holds a sine in bin 300, right one in bin 600. The profile rises
    // towards sqrt 2 |X| / N = a / sqrt 2 at the bins of metered channels only,
    // and only in Subtract: elsewhere the table is the user's curve.
    const struct {
        const char* name;
        int32_t mode, source;
        bool learnLeft, learnRight;
    } cases[] = {
        {"channel 1", kModeSubtract, kMeterChannelBase, true, false},
        {"channel 2", kModeSubtract, kMeterChannelBase + 1, false, true},
        {"both", kModeSubtract, kMeterSum, true, true},
        {"none", kModeSubtract, kMeterNone, false, false},
        {"gate", kModeGate, kMeterSum, false, false},
    };
    const int length = 48000;
    const Channels input = {sine(length, bin(300), kRate, 0.5), sine(length, bin(600), kRate, 0.5)};
    auto profileNear = [&](int b) {
        return *std::max_element(instance_->binGainTable + 2 * b - 4, instance_->binGainTable + 2 * b + 4);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        configure(c.mode, 0.0f);
        learnFrom(c.source);
        instance_.dispatch(effMainsChanged, 0, 0);
        play(input);
        EXPECT_NEAR(profileNear(300), c.learnLeft ? 0.5 / std::sqrt(2.0) : 0.0, 0.01);
        EXPECT_NEAR(profileNear(600), c.learnRight ? 0.5 / std::sqrt(2.0) : 0.0, 0.01);
        // A quieter passage lowers nothing.
        const float learnt = profileNear(300);
        play({sine(length, bin(300), kRate, 0.1), sine(length, bin(600), kRate, 0.1)});
        EXPECT_GE(profileNear(300), learnt);
    }
}

TEST_F(ModeSound, AChangeBetweenFramesFadesFromTheOldFrameToTheNew) {
    // A constant 1 under a 0 dB EQ; the table drops to 0 after a frame. The
    // hop that joins the two frames goes from the old frame (1) to the new (0)
    // along 1 - w, w the rising half of a Blackman window.
    const int hop = kN / 2;
    const std::vector<float> ones(8 * hop, 1.0f);
    configure(kModeEq, 1.0f);
    Channels before = processStream(instance_, {ones, ones}, {hop});
    setTable(*instance_, 0.0f);
    Channels after = processStream(instance_, {ones, ones}, {hop});
    for (size_t c = 0; c < 2; ++c) {
        std::vector<float> out = before[c];
        out.insert(out.end(), after[c].begin(), after[c].end());
        const auto firstBelow = std::find_if(out.begin() + kN, out.end(), [](float x) { return x < 0.999f; });
        ASSERT_NE(firstBelow, out.end());
        const int start = int(firstBelow - out.begin()) / hop * hop;
        for (int i = 0; i < hop; ++i) {
            const double x = i * kPi / hop;
            const double w = 0.42 - 0.5 * std::cos(x) + 0.08 * std::cos(2 * x);
            ASSERT_NEAR(out[size_t(start + i)], 1.0 - w, 5e-7) << i;
        }
        EXPECT_EQ(out[size_t(start + hop)], 0.0f);
    }
}

#if defined(__SSE2__) || defined(_M_X64)
TEST_F(ModeSound, DenormalsFlushDuringTheCallAndTheModeComesBack) {
    // Half of an input of 1e-39 is below the float range's normal numbers:
    // with flush-to-zero set for the call, nothing of it reaches the output.
    // Short frames: without the flush, denormal arithmetic is very slow.
    const std::vector<float> tiny(1024, 1e-39f);
    configure(kModeEq, 1.0f);
    setFftSize(*instance_, 128);
    const unsigned original = _mm_getcsr();
    constexpr unsigned kStatusFlags = 0x3F;
    for (unsigned callerMode : {original & ~0x8000u, original | 0x8800u}) {
        instance_.dispatch(effMainsChanged, 0, 0);
        _mm_setcsr(callerMode);
        const Channels output = play({tiny, tiny});
        const unsigned afterwards = _mm_getcsr();
        _mm_setcsr(original);
        EXPECT_EQ(afterwards & ~kStatusFlags, callerMode & ~kStatusFlags);
        for (const auto& channel : output) {
            EXPECT_TRUE(std::all_of(channel.begin(), channel.end(), [](float x) { return x == 0.0f; }));
        }
    }
}
#endif
