#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dsp/block_kernels.h"
#include "dsp/fft.h"
#include "dsp/fft_kernels.h"
#include "stream_support.h"

using namespace vexlan;
using streamtest::noise;

namespace {

// Every output buffer of a run of the loops, as bytes, under the call that
// filled it.
struct Outputs {
    std::vector<std::string> names;
    std::vector<std::vector<char>> bytes;

    template <typename T>
    void keep(const std::string& name, const std::vector<T>& values) {
        names.push_back(name);
        bytes.emplace_back(values.size() * sizeof(T));
        if (!values.empty()) std::memcpy(bytes.back().data(), values.data(), bytes.back().size());
    }
};

// Every way a group enters the analysis: stored or added, summed or the larger.
const MagnitudeCapture kCaptureWays[] = {
    {0.25, 0.5, false, false},
    {0.25, 0.5, false, true},
    {1.0, 1e-3, true, false},
    {1.0, 1e-3, true, true},
};

std::string describe(const MagnitudeCapture& how) {
    return ", weights " + std::to_string(how.scaleA) + " and " + std::to_string(how.scaleB) +
           ", larger " + std::to_string(how.larger) + ", add " + std::to_string(how.add);
}

// The per-sample loops on lengths around the vector widths, where the scalar
// tails take over.
void runSampleLoops(const BlockKernels& k, Outputs& out) {
    for (int32_t count : {0, 1, 3, 4, 5, 7, 8, 9, 15, 16, 17, 64, 67, 1000}) {
        const std::string at = ", count " + std::to_string(count);
        const std::vector<float> a = noise(count, 1);
        const std::vector<float> b = noise(count, 2, 1e-3);
        // Exactly 2 count floats for even reads, one more ahead for odd ones.
        const std::vector<float> frame = noise(2 * count, 3, 40.0);
        const std::vector<float> oddBase = noise(2 * count + 1, 4, 40.0);
        const std::vector<float> tailA = noise(count, 5, 30.0);
        const std::vector<float> tailB = noise(count, 6, 0.01);
        // Weights in [0, 1) and signals of unlike size, so the double-precision
        // crossfade rounds differently from a float one.
        std::vector<float> window = noise(count, 77, 0.5);
        for (float& w : window) w += 0.5f;

        std::vector<float> packed(2 * count), outA(count), outB(count);
        k.packHalves(packed.data(), a.data(), b.data(), count);
        out.keep("packHalves" + at, packed);
        k.packHalves(packed.data(), a.data(), nullptr, count);
        out.keep("packHalves, one channel" + at, packed);
        std::vector<float> spectrum = frame;
        k.multiplyByRealGain(spectrum.data(), oddBase.data(), count, 2.0f);
        out.keep("multiplyByRealGain" + at, spectrum);
        for (const float* source : {frame.data(), oddBase.data() + 1}) {
            k.crossfadeJoin(outA.data(), source, tailA.data(), window.data(), count);
            out.keep("crossfadeJoin" + at, outA);
            k.overlapAddJoin(outA.data(), source, tailA.data(), count);
            out.keep("overlapAddJoin" + at, outA);
            k.takeEveryOther(outA.data(), source, count);
            out.keep("takeEveryOther" + at, outA);
        }
        k.overlapAddJoinPair(outA.data(), outB.data(), frame.data(), tailA.data(), tailB.data(),
                             count);
        out.keep("overlapAddJoinPair A" + at, outA);
        out.keep("overlapAddJoinPair B" + at, outB);
        k.crossfadeJoinPair(outA.data(), outB.data(), frame.data(), tailA.data(), tailB.data(),
                            window.data(), count);
        out.keep("crossfadeJoinPair A" + at, outA);
        out.keep("crossfadeJoinPair B" + at, outB);
        k.deinterleave(outA.data(), outB.data(), frame.data(), count);
        out.keep("deinterleave A" + at, outA);
        out.keep("deinterleave B" + at, outB);

        // Unlike scales, so the two channels' terms round differently.
        const std::vector<float> spectrumA = noise(2 * count, 11, 300.0);
        const std::vector<float> spectrumB = noise(2 * count, 12, 0.02);
        std::vector<double> magnitudes(2 * count);
        k.spectrumMagnitudes(magnitudes.data(), spectrumA.data(), spectrumB.data(), count);
        out.keep("spectrumMagnitudes" + at, magnitudes);
        for (const MagnitudeCapture& how : kCaptureWays) {
            std::vector<float> values = noise(count, 13, 2.0);
            k.captureMagnitudes(values.data(), spectrumA.data(), spectrumB.data(), count, how);
            out.keep("captureMagnitudes" + at + describe(how), values);
        }
    }
}

// The loops over the pairs of packed spectra.
void runPackedLoops(const BlockKernels& k, Outputs& out) {
    for (int32_t n = 2; n <= kMaxTransformSize; n *= 2) {
        const std::string at = ", n " + std::to_string(n);
        const BinPair* pairs = binPairTable(n);
        const std::vector<float> packed = noise(2 * n, 21, 50.0);
        // Gains of both signs: only their size counts.
        const std::vector<float> gain = noise(2 * n, 22, 3.0);
        // Whole tables, and runs that start and end off the vector width.
        for (int32_t first : {0, 1, 3}) {
            const int32_t count = n / 2 + 1 - first;
            if (count <= 0) continue;
            for (const MagnitudeCapture& how : kCaptureWays) {
                std::vector<float> values = noise(2 * n, 23, 2.0);
                k.capturePackedPairs(values.data(), values.data() + n, packed.data(), gain.data(),
                                     pairs + first, count, how, 0.75 * n);
                const std::string from = ", from pair " + std::to_string(first);
                out.keep("capturePackedPairs" + at + from + describe(how), values);
            }
        }
        // A packed EQ gain: equal at the two positions of every pair, with
        // imaginary parts the product must ignore.
        std::vector<float> equalGain = noise(2 * n, 25, 3.0);
        for (int32_t i = 0; i <= n / 2; ++i) equalGain[2 * pairs[i].mirror] = equalGain[2 * pairs[i].position];
        // Unlike weights, and stereo "Average" without offset: one weight of
        // 1/n for both channels, with the output scale n.
        std::vector<std::pair<MagnitudeCapture, double>> ways;
        for (const MagnitudeCapture& how : kCaptureWays) ways.push_back({how, 0.75 * n});
        for (bool larger : {false, true}) {
            for (bool add : {false, true}) {
                ways.push_back({{1.0 / n, 1.0 / n, larger, add}, double(n)});
            }
        }
        for (const auto& [how, outputScale] : ways) {
            std::vector<float> values = noise(2 * n, 26, 2.0);
            std::vector<float> spectrum = noise(2 * n, 24, 50.0);
            k.captureAndApplyPackedGain(values.data(), values.data() + n, spectrum.data(),
                                        equalGain.data(), n, how, outputScale, 2.0f);
            out.keep("captureAndApplyPackedGain" + at + describe(how), values);
            out.keep("captureAndApplyPackedGain, product" + at + describe(how), spectrum);
        }
    }
}

// The transforms, which have vector sets of their own, on every size that
// reaches the vector code.
void runTransforms(void (*forward)(float*, int), void (*inverse)(float*, int), Outputs& out) {
    for (int32_t n = 8; n <= kMaxTransformSize; n *= 2) {
        std::vector<float> data = noise(2 * n, 800 + n);
        forward(data.data(), n);
        out.keep("forward, n " + std::to_string(n), data);
        inverse(data.data(), n);
        out.keep("inverse, n " + std::to_string(n), data);
    }
}

struct NamedKernels {
    const char* name;
    const BlockKernels* kernels;
    // The set's transforms; built and run wherever its loops are, and null
    // for a set that has none.
    void (*forward)(float*, int);
    void (*inverse)(float*, int);
};

NamedKernels sse2Set() {
#ifdef VEXLAN_FFT_SSE2
    return {"SSE2", sse2BlockKernels(), fftkernel::forwardRecursive<Sse2FftOps>,
            fftkernel::inverseRecursive<Sse2FftOps>};
#else
    return {"SSE2", sse2BlockKernels(), nullptr, nullptr};
#endif
}

NamedKernels avxSet() {
#ifdef VEXLAN_FFT_AVX
    if (avxBlockKernels()) return {"AVX", avxBlockKernels(), fftForwardAvx, fftInverseAvx};
#endif
    return {"AVX", avxBlockKernels(), nullptr, nullptr};
}

// One vector set per test instance; a set the processor cannot run is
// reported as skipped under its name, so a run without it does not pass for
// full coverage.
class VectorKernels : public ::testing::TestWithParam<NamedKernels> {
protected:
    void SetUp() override {
        if (!GetParam().kernels) {
            GTEST_SKIP() << GetParam().name << " kernels cannot run on this machine";
        }
        buildFftTables();
    }
};

}  // namespace

TEST_P(VectorKernels, EveryLoopAndTransformGivesTheScalarSetsBits) {
    Outputs expected, actual;
    runSampleLoops(scalarBlockKernels(), expected);
    runPackedLoops(scalarBlockKernels(), expected);
    runSampleLoops(*GetParam().kernels, actual);
    runPackedLoops(*GetParam().kernels, actual);
    if (GetParam().forward) {
        runTransforms(fftkernel::forwardRecursive<ScalarFftOps>, fftkernel::inverseRecursive<ScalarFftOps>, expected);
        runTransforms(GetParam().forward, GetParam().inverse, actual);
    }
    ASSERT_EQ(actual.names, expected.names);
    for (size_t i = 0; i < expected.bytes.size(); ++i) {
        EXPECT_TRUE(actual.bytes[i] == expected.bytes[i]) << expected.names[i];
    }
}

INSTANTIATE_TEST_SUITE_P(Sets, VectorKernels,
                         ::testing::Values(sse2Set(), avxSet(),
                                           NamedKernels{"AVX512", avx512BlockKernels(), nullptr, nullptr}),
                         [](const ::testing::TestParamInfo<NamedKernels>& info) {
                             return std::string(info.param.name);
                         });
