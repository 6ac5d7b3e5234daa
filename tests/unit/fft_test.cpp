#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <complex>
#include <cstring>
#include <iterator>
#include <random>
#include <vector>

#include "dsp/fft.h"
#include "dsp/fft_kernels.h"

using namespace vexlan;

namespace {

using Complex = std::complex<double>;

constexpr double kTwoPi = 6.283185307179586476925286766559;

// Relative L2 error bound of a radix-2 style FFT in float32 with twiddles
// accurate to half an ulp: log2(N) eta / (1 - log2(N) eta),
// eta = u + gamma4 (sqrt 2 + u), u the unit roundoff.
double transformErrorBound(int n) {
    const double u = std::ldexp(1.0, -24);
    const double gamma4 = 4 * u / (1 - 4 * u);
    const double eta = u + gamma4 * (std::sqrt(2.0) + u);
    const double levels = std::log2(static_cast<double>(n));
    return levels * eta / (1 - levels * eta);
}

std::vector<float> randomSignal(int n, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::vector<float> data(2 * n);
    for (float& x : data) x = value(generator);
    return data;
}

Complex at(const std::vector<float>& data, int index) { return {data[2 * index], data[2 * index + 1]}; }

// e^(-2 pi i m / N) for m = 0 .. N-1, in double precision.
struct DirectRoots {
    std::vector<double> cosines, sines;
};

DirectRoots directRoots(int n) {
    DirectRoots roots{std::vector<double>(n), std::vector<double>(n)};
    for (int m = 0; m < n; ++m) {
        roots.cosines[m] = std::cos(kTwoPi * m / n);
        roots.sines[m] = -std::sin(kTwoPi * m / n);
    }
    return roots;
}

// Direct DFT of bin k with the usual sign, X[k] = sum x[n] e^(-2 pi i n k / N),
// accumulated in double precision. Written out so that it stays quick in
// unoptimised sanitizer builds.
Complex directBin(const std::vector<float>& x, const DirectRoots& roots, int k) {
    const int n = static_cast<int>(roots.cosines.size());
    double re = 0, im = 0;
    for (int m = 0, phase = 0; m < n; ++m, phase = (phase + k) & (n - 1)) {
        const double xr = x[2 * m], xi = x[2 * m + 1];
        re += xr * roots.cosines[phase] - xi * roots.sines[phase];
        im += xr * roots.sines[phase] + xi * roots.cosines[phase];
    }
    return {re, im};
}

double norm(const std::vector<Complex>& v) {
    double sum = 0;
    for (const Complex& c : v) sum += std::norm(c);
    return std::sqrt(sum);
}

std::vector<int> allSizes() {
    std::vector<int> sizes;
    for (int n = 2; n <= kMaxTransformSize; n *= 2) sizes.push_back(n);
    return sizes;
}

class FftTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { buildFftTables(); }
};

}  // namespace

TEST_F(FftTest, OrderTablesMatchTheWorkedExamples) {
    const int32_t scramble4[] = {0, 2, 1, 3};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(scramble(i, 4), scramble4[i]) << i;
    const int32_t scramble8[] = {0, 4, 2, 6, 1, 5, 7, 3};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(scramble(i, 8), scramble8[i]) << i;
    const int32_t order4[] = {0, 3, 1, 2};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(binOrderTable(4)[k], order4[k]) << k;
    EXPECT_EQ(binOrderTable(2)[0], 0);
    EXPECT_EQ(binOrderTable(2)[1], 1);
}

TEST_F(FftTest, BinOrderTablesArePermutationsInverseToScramble) {
    for (int n : allSizes()) {
        const int32_t* order = binOrderTable(n);
        std::vector<bool> seen(n, false);
        for (int k = 0; k < n; ++k) {
            ASSERT_GE(order[k], 0);
            ASSERT_LT(order[k], n);
            ASSERT_FALSE(seen[order[k]]) << "n=" << n << " k=" << k;
            seen[order[k]] = true;
            ASSERT_EQ((n - scramble(order[k], n)) & (n - 1), k) << "n=" << n;
        }
    }
    EXPECT_EQ(binOrderTable(3), nullptr);
    EXPECT_EQ(binOrderTable(2 * kMaxTransformSize), nullptr);
}

TEST_F(FftTest, BinPairTablesHoldEveryLowerBinWithItsMirrorInPositionOrder) {
    for (int n : allSizes()) {
        const int32_t* order = binOrderTable(n);
        const BinPair* pairs = binPairTable(n);
        std::vector<bool> seen(n / 2 + 1, false);
        for (int i = 0; i <= n / 2; ++i) {
            const int32_t bin = (n - scramble(pairs[i].position, n)) & (n - 1);
            ASSERT_LE(bin, n / 2) << "n=" << n << " i=" << i;
            ASSERT_FALSE(seen[bin]) << "n=" << n << " bin=" << bin;
            seen[bin] = true;
            ASSERT_EQ(pairs[i].position, order[bin]) << "n=" << n;
            ASSERT_EQ(pairs[i].mirror, order[(n - bin) & (n - 1)]) << "n=" << n << " bin=" << bin;
            if (i > 0) {
                ASSERT_GT(pairs[i].position, pairs[i - 1].position) << "n=" << n;
            }
        }
    }
    EXPECT_EQ(binPairTable(3), nullptr);
    EXPECT_EQ(binPairTable(2 * kMaxTransformSize), nullptr);
}

TEST_F(FftTest, MirrorChunksCoverEveryPositionOnceWithItsMirror) {
    for (int n : allSizes()) {
        SCOPED_TRACE(testing::Message() << "n=" << n);
        const MirrorChunkPair* chunks = mirrorChunkTable(n);
        if (n < kMirrorChunkLanes) {
            EXPECT_EQ(chunks, nullptr);
            EXPECT_EQ(mirrorChunkCount(n), 0);
            continue;
        }
        ASSERT_NE(chunks, nullptr);
        const int32_t selfMirrored = n == 8 ? 1 : 2;
        ASSERT_EQ(mirrorChunkCount(n), selfMirrored + (n / kMirrorChunkLanes - selfMirrored) / 2);
        const int32_t* order = binOrderTable(n);
        const auto binAt = [n](int32_t position) { return (n - scramble(position, n)) & (n - 1); };
        const auto mirrorOf = [&](int32_t position) { return order[(n - binAt(position)) & (n - 1)]; };

        std::vector<int> visits(n, 0);
        for (int i = 0; i < mirrorChunkCount(n); ++i) {
            const MirrorChunkPair& pair = chunks[i];
            ASSERT_EQ(pair.position % kMirrorChunkLanes, 0);
            ASSERT_EQ(pair.mirrorPosition % kMirrorChunkLanes, 0);
            if (i < selfMirrored) {
                ASSERT_EQ(pair.mirrorPosition, pair.position) << i;
            } else {
                ASSERT_LT(pair.position, pair.mirrorPosition) << i;
            }
            if (i > 0) {
                ASSERT_GT(pair.position, chunks[i - 1].position);
            }
            ASSERT_LT(pair.mirrorPosition, n);
            const std::vector<int> map(pair.mirrorLane, pair.mirrorLane + kMirrorChunkLanes);
            const std::vector<int> inPlace{0, 1, 3, 2, 6, 7, 4, 5}, crossed{4, 5, 7, 6, 0, 1, 3, 2};
            ASSERT_TRUE(map == inPlace || map == crossed) << i;
            for (int lane = 0; lane < kMirrorChunkLanes; ++lane) {
                const int32_t position = pair.position + lane;
                const int32_t mirror = pair.mirrorPosition + pair.mirrorLane[lane];
                ASSERT_EQ(mirror, mirrorOf(position)) << "position " << position;
                ASSERT_EQ(mirrorOf(pair.mirrorPosition + lane), pair.position + pair.mirrorLane[lane]) << "back";
                ASSERT_EQ((pair.lowerLanes >> lane) & 1, binAt(position) <= n / 2 ? 1 : 0) << position;
                ASSERT_EQ((pair.mirrorLowerLanes >> pair.mirrorLane[lane]) & 1, binAt(mirror) <= n / 2 ? 1 : 0);
                ++visits[position];
                if (mirror / kMirrorChunkLanes != position / kMirrorChunkLanes) ++visits[mirror];
            }
        }
        for (int position = 0; position < n; ++position) ASSERT_EQ(visits[position], 1) << "position " << position;
    }
    EXPECT_EQ(mirrorChunkTable(48), nullptr);
}

TEST_F(FftTest, BitReverseTableGivesRadix2OrderForEverySize) {
    const int32_t* reverse = bitReverseTable();
    EXPECT_EQ(reverse[0], 0);
    EXPECT_EQ(reverse[1], 16384);
    EXPECT_EQ(reverse[32767], 32767);
    EXPECT_EQ(reverse[6], 0x3000);
    const int32_t radix2Order8[] = {0, 4, 2, 6, 1, 5, 3, 7};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(reverse[i] >> 12, radix2Order8[i]) << i;
    for (int i = 0; i < kMaxTransformSize; ++i) ASSERT_EQ(reverse[reverse[i]], i) << i;
}

TEST_F(FftTest, ForwardMatchesDirectDftUpTo4096) {
    for (int n = 2; n <= 4096; n *= 2) {
        const std::vector<float> x = randomSignal(n, 100 + n);
        std::vector<float> y = x;
        fftForward(y.data(), n);
        const int32_t* order = binOrderTable(n);
        const DirectRoots roots = directRoots(n);
        std::vector<Complex> reference(n), error(n);
        for (int k = 0; k < n; ++k) {
            reference[k] = directBin(x, roots, k);
            error[k] = at(y, order[k]) - reference[k];
        }
        EXPECT_LE(norm(error), transformErrorBound(n) * norm(reference)) << "n=" << n;
    }
}

TEST_F(FftTest, InverseMatchesDirectDftUpTo4096) {
    for (int n = 2; n <= 4096; n *= 2) {
        const std::vector<float> spectrum = randomSignal(n, 200 + n);
        std::vector<float> x = spectrum;
        fftInverse(x.data(), n);
        // Reorder to natural bin order; then x[m] = sum_k Y[k] e^(+2 pi i m k / N),
        // which is the conjugate of the direct DFT of the conjugated spectrum.
        const int32_t* order = binOrderTable(n);
        std::vector<float> conjugated(2 * n);
        for (int k = 0; k < n; ++k) {
            conjugated[2 * k] = spectrum[2 * order[k]];
            conjugated[2 * k + 1] = -spectrum[2 * order[k] + 1];
        }
        const DirectRoots roots = directRoots(n);
        std::vector<Complex> reference(n), error(n);
        for (int m = 0; m < n; ++m) {
            reference[m] = std::conj(directBin(conjugated, roots, m));
            error[m] = at(x, m) - reference[m];
        }
        EXPECT_LE(norm(error), transformErrorBound(n) * norm(reference)) << "n=" << n;
    }
}

TEST_F(FftTest, LargeSizesMatchDirectDftAtSampledBins) {
    for (int n : {8192, 16384, 32768}) {
        const std::vector<float> x = randomSignal(n, 300 + n);
        std::vector<float> y = x;
        fftForward(y.data(), n);
        std::vector<Complex> all(n);
        for (int i = 0; i < n; ++i) all[i] = at(y, i);
        // Any single bin's error is at most the whole error vector's norm.
        const double bound = transformErrorBound(n) * norm(all);
        const DirectRoots roots = directRoots(n);
        std::mt19937 generator(n);
        std::vector<int> bins = {0, 1, 3, n / 2 - 1, n / 2, n / 2 + 1, n - 1};
        for (int i = 0; i < 16; ++i) bins.push_back(static_cast<int>(generator() % n));
        for (int k : bins) {
            const Complex reference = directBin(x, roots, k);
            EXPECT_LE(std::abs(at(y, binOrderTable(n)[k]) - reference), bound) << "n=" << n << " k=" << k;
        }
    }
}

TEST_F(FftTest, RoundTripGivesNTimesInputForEverySizeAndStaysInPlace) {
    // An odd guard length also leaves the data off any vector alignment.
    constexpr int kGuardFloats = 17;
    constexpr float kGuard = 12345.0f;
    for (int n : allSizes()) {
        const std::vector<float> x = randomSignal(n, 400 + n);
        std::vector<float> y(kGuardFloats + 2 * n + kGuardFloats, kGuard);
        std::copy(x.begin(), x.end(), y.begin() + kGuardFloats);
        float* data = y.data() + kGuardFloats;
        fftForward(data, n);
        fftInverse(data, n);
        std::vector<Complex> expected(n), error(n);
        for (int m = 0; m < n; ++m) {
            expected[m] = static_cast<double>(n) * Complex(x[2 * m], x[2 * m + 1]);
            error[m] = Complex(data[2 * m], data[2 * m + 1]) - expected[m];
        }
        EXPECT_LE(norm(error), 2 * transformErrorBound(n) * norm(expected)) << "n=" << n;
        for (int i = 0; i < kGuardFloats; ++i) {
            ASSERT_EQ(y[i], kGuard) << "n=" << n;
            ASSERT_EQ(y[kGuardFloats + 2 * n + i], kGuard) << "n=" << n;
        }
    }
}

TEST_F(FftTest, ImpulseAndComplexExponential) {
    for (int n : allSizes()) {
        std::vector<float> impulse(2 * n, 0.0f);
        impulse[0] = 1.0f;
        fftForward(impulse.data(), n);
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(impulse[2 * i], 1.0f) << "n=" << n << " i=" << i;
            ASSERT_EQ(impulse[2 * i + 1], 0.0f) << "n=" << n << " i=" << i;
        }
        if (n < 4) continue;
        std::vector<float> tone(2 * n);
        for (int m = 0; m < n; ++m) {
            const double phase = kTwoPi * ((3 * m) % n) / n;
            tone[2 * m] = static_cast<float>(std::cos(phase));
            tone[2 * m + 1] = static_cast<float>(std::sin(phase));
        }
        fftForward(tone.data(), n);
        // No position can be off by more than the whole error vector's L2 norm:
        // the transform's error on a signal of norm sqrt(N), plus the input's
        // rounding (at most sqrt(2) u per sample) carried through, each
        // growing to N times relative.
        const double tolerance = (transformErrorBound(n) + std::sqrt(2.0) * std::ldexp(1.0, -24)) * n;
        const int position = binOrderTable(n)[3];
        for (int i = 0; i < n; ++i) {
            const Complex expected = i == position ? Complex(n, 0) : Complex(0, 0);
            ASSERT_LE(std::abs(at(tone, i) - expected), tolerance) << "n=" << n << " i=" << i;
        }
    }
}

TEST_F(FftTest, UnsupportedSizesLeaveDataUnchanged) {
    std::vector<float> data = randomSignal(2 * kMaxTransformSize, 7);
    const std::vector<float> original = data;
    std::vector<float> second = randomSignal(2 * kMaxTransformSize, 8);
    const std::vector<float> secondOriginal = second;
    for (int n : {-4, 0, 1, 3, 6, 12, 100, 1000, 32767, 2 * kMaxTransformSize}) {
        fftForward(data.data(), n);
        fftInverse(data.data(), n);
        splitPairSpectrum(data.data(), second.data(), n, false);
        splitPairSpectrum(data.data(), second.data(), n, true);
        mergePairSpectrum(data.data(), second.data(), n);
        ASSERT_EQ(std::memcmp(data.data(), original.data(), data.size() * sizeof(float)), 0) << "n=" << n;
        ASSERT_EQ(std::memcmp(second.data(), secondOriginal.data(), second.size() * sizeof(float)), 0) << "n=" << n;
    }
}

namespace {

struct RealPair {
    std::vector<float> a, b, packed;
};

// Two real signals and the forward transform of 0.5 a + i 0.5 b.
RealPair makeRealPair(int n, unsigned seed) {
    RealPair pair;
    const std::vector<float> noise = randomSignal(n, seed);
    pair.a.assign(noise.begin(), noise.begin() + n);
    pair.b.assign(noise.begin() + n, noise.end());
    pair.packed.resize(2 * n);
    for (int m = 0; m < n; ++m) {
        pair.packed[2 * m] = 0.5f * pair.a[m];
        pair.packed[2 * m + 1] = 0.5f * pair.b[m];
    }
    fftForward(pair.packed.data(), n);
    return pair;
}

std::vector<float> asComplex(const std::vector<float>& real) {
    std::vector<float> data(2 * real.size(), 0.0f);
    for (size_t m = 0; m < real.size(); ++m) data[2 * m] = real[m];
    return data;
}

}  // namespace

TEST_F(FftTest, SplitGivesTheSpectraOfBothRealSignals) {
    for (int n : allSizes()) {
        const RealPair pair = makeRealPair(n, 500 + n);
        std::vector<float> spectrumA = pair.packed, spectrumB(2 * n, -9.0f);
        splitPairSpectrum(spectrumA.data(), spectrumB.data(), n, false);
        std::vector<float> expectedA = asComplex(pair.a), expectedB = asComplex(pair.b);
        fftForward(expectedA.data(), n);
        fftForward(expectedB.data(), n);
        std::vector<Complex> errors, reference;
        for (int i = 0; i < n; ++i) {
            errors.push_back(at(spectrumA, i) - at(expectedA, i));
            errors.push_back(at(spectrumB, i) - at(expectedB, i));
            reference.push_back(at(expectedA, i));
            reference.push_back(at(expectedB, i));
        }
        // Both sides carry one transform's error; the split adds one rounding.
        EXPECT_LE(norm(errors), (2 * transformErrorBound(n) + std::ldexp(1.0, -23)) * norm(reference)) << "n=" << n;
        const int32_t* order = binOrderTable(n);
        EXPECT_EQ(spectrumA[2 * order[0] + 1], 0.0f);
        EXPECT_EQ(spectrumB[2 * order[0] + 1], 0.0f);
        EXPECT_EQ(spectrumA[2 * order[n / 2] + 1], 0.0f);
        EXPECT_EQ(spectrumB[2 * order[n / 2] + 1], 0.0f);
    }
}

TEST_F(FftTest, SplitThenMergeGivesTwiceThePackedTransform) {
    for (int n : allSizes()) {
        const RealPair pair = makeRealPair(n, 600 + n);
        std::vector<float> z = pair.packed, b(2 * n);
        splitPairSpectrum(z.data(), b.data(), n, false);
        mergePairSpectrum(z.data(), b.data(), n);
        const int32_t* order = binOrderTable(n);
        for (int k = 0; k < n; ++k) {
            // Bin k is rebuilt from its own and its mirror bin: three roundings
            // of sums of both per component.
            const int p = order[k], q = order[(n - k) & (n - 1)];
            const Complex expected = 2.0 * at(pair.packed, p);
            const double tolerance = 5 * std::ldexp(1.0, -24) * (std::abs(at(pair.packed, p)) + std::abs(at(pair.packed, q)));
            ASSERT_LE(std::abs(at(z, p) - expected), tolerance) << "n=" << n << " k=" << k;
        }
    }
}

TEST_F(FftTest, OneSidedSplitZeroesUpperBinsAndMergeStillGivesRealSignals) {
    for (int n : allSizes()) {
        const RealPair pair = makeRealPair(n, 700 + n);
        std::vector<float> z = pair.packed, b(2 * n, -9.0f);
        splitPairSpectrum(z.data(), b.data(), n, true);
        const int32_t* order = binOrderTable(n);
        for (int k = n / 2 + 1; k < n; ++k) {
            const int p = 2 * order[k];
            ASSERT_EQ(z[p], 0.0f);
            ASSERT_EQ(z[p + 1], 0.0f);
            ASSERT_EQ(b[p], 0.0f);
            ASSERT_EQ(b[p + 1], 0.0f);
        }
        mergePairSpectrum(z.data(), b.data(), n);
        fftInverse(z.data(), n);
        std::vector<Complex> expected(n), error(n);
        for (int m = 0; m < n; ++m) {
            expected[m] = static_cast<double>(n) * Complex(pair.a[m], pair.b[m]);
            error[m] = at(z, m) - expected[m];
        }
        EXPECT_LE(norm(error), (2 * transformErrorBound(n) + std::ldexp(1.0, -22)) * norm(expected)) << "n=" << n;
    }
}

namespace {

bool sameBits(const float* a, const float* b, size_t count) { return std::memcmp(a, b, count * sizeof(float)) == 0; }

}  // namespace

// The scalar instantiation is the reference; the SSE2 instantiation and
// whatever path fftForward/fftInverse pick on this processor (AVX where
// usable) must reproduce its bits.
TEST_F(FftTest, EveryKernelPathGivesTheScalarPathsBits) {
    for (int n = 8; n <= kMaxTransformSize; n *= 2) {
        const std::vector<float> x = randomSignal(n, 800 + n);
        std::vector<float> scalar = x, dispatched = x;
        fftkernel::forwardRecursive<ScalarFftOps>(scalar.data(), n);
        fftForward(dispatched.data(), n);
        ASSERT_TRUE(sameBits(dispatched.data(), scalar.data(), scalar.size())) << "forward n=" << n;
#ifdef VEXLAN_FFT_SSE2
        std::vector<float> sse2 = x;
        fftkernel::forwardRecursive<Sse2FftOps>(sse2.data(), n);
        ASSERT_TRUE(sameBits(sse2.data(), scalar.data(), scalar.size())) << "forward n=" << n;
        fftkernel::inverseRecursive<Sse2FftOps>(sse2.data(), n);
#endif
        fftkernel::inverseRecursive<ScalarFftOps>(scalar.data(), n);
        fftInverse(dispatched.data(), n);
        ASSERT_TRUE(sameBits(dispatched.data(), scalar.data(), scalar.size())) << "inverse n=" << n;
#ifdef VEXLAN_FFT_SSE2
        ASSERT_TRUE(sameBits(sse2.data(), scalar.data(), scalar.size())) << "inverse n=" << n;
#endif
    }
#ifdef VEXLAN_FFT_AVX
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx")) GTEST_SKIP() << "AVX transforms cannot run on this machine";
#endif
}
