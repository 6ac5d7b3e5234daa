#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "dsp/block_kernels.h"
#include "dsp/fft.h"
#include "stream_support.h"

using namespace vexlan;
using streamtest::noise;

namespace {

// Lengths around the vector widths, where the scalar tails take over.
const int32_t kCounts[] = {0, 1, 3, 4, 5, 7, 8, 9, 15, 16, 17, 64, 67, 1000};

struct NamedKernels {
    const char* name;
    const BlockKernels* kernels;
};

// One vector set per test instance; a set the processor cannot run is
// reported as skipped under its name, so a run without it does not pass for
// full coverage.
class VectorKernels : public ::testing::TestWithParam<NamedKernels> {
protected:
    void SetUp() override {
        if (!GetParam().kernels) GTEST_SKIP() << GetParam().name << " kernels cannot run on this machine";
    }
};


template <typename T>
bool sameBits(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

// Window weights in [0, 1) and signals of unlike size, so the double-precision
// crossfade rounds differently from a float one.
std::vector<float> weights(int32_t count) {
    std::vector<float> w = noise(count, 77, 0.5);
    for (float& x : w) x += 0.5f;
    return w;
}

}  // namespace

TEST_P(VectorKernels, VectorSetsMatchTheScalarSetBitForBit) {
    const BlockKernels& scalar = scalarBlockKernels();
    const NamedKernels& set = GetParam();
    const BlockKernels& k = *set.kernels;
    for (int32_t count : kCounts) {
        SCOPED_TRACE(testing::Message() << set.name << ", count " << count);
        const std::vector<float> a = noise(count, 1);
        const std::vector<float> b = noise(count, 2, 1e-3);
        // Exactly 2 count floats for even reads, one more ahead for odd ones.
        const std::vector<float> frame = noise(2 * count, 3, 40.0);
        std::vector<float> oddBase = noise(2 * count + 1, 4, 40.0);
        const float* oddFrame = oddBase.data() + 1;
        const std::vector<float> tailA = noise(count, 5, 30.0);
        const std::vector<float> tailB = noise(count, 6, 0.01);
        const std::vector<float> window = weights(count);

        std::vector<float> expected(2 * count), actual(2 * count);
        scalar.packHalves(expected.data(), a.data(), b.data(), count);
        k.packHalves(actual.data(), a.data(), b.data(), count);
        EXPECT_TRUE(sameBits(expected, actual)) << "packHalves";
        scalar.packHalves(expected.data(), a.data(), nullptr, count);
        k.packHalves(actual.data(), a.data(), nullptr, count);
        EXPECT_TRUE(sameBits(expected, actual)) << "packHalves, one channel";

        expected = frame;
        actual = frame;
        scalar.multiplyByRealGain(expected.data(), oddBase.data(), count, 2.0f);
        k.multiplyByRealGain(actual.data(), oddBase.data(), count, 2.0f);
        EXPECT_TRUE(sameBits(expected, actual)) << "multiplyByRealGain";

        std::vector<float> expectedA(count), expectedB(count), actualA(count), actualB(count);
        for (const float* source : {frame.data(), oddFrame}) {
            scalar.crossfadeJoin(expectedA.data(), source, tailA.data(), window.data(), count);
            k.crossfadeJoin(actualA.data(), source, tailA.data(), window.data(), count);
            EXPECT_TRUE(sameBits(expectedA, actualA)) << "crossfadeJoin";
            scalar.overlapAddJoin(expectedA.data(), source, tailA.data(), count);
            k.overlapAddJoin(actualA.data(), source, tailA.data(), count);
            EXPECT_TRUE(sameBits(expectedA, actualA)) << "overlapAddJoin";
            scalar.takeEveryOther(expectedA.data(), source, count);
            k.takeEveryOther(actualA.data(), source, count);
            EXPECT_TRUE(sameBits(expectedA, actualA)) << "takeEveryOther";
        }

        scalar.overlapAddJoinPair(expectedA.data(), expectedB.data(), frame.data(), tailA.data(), tailB.data(),
                                  count);
        k.overlapAddJoinPair(actualA.data(), actualB.data(), frame.data(), tailA.data(), tailB.data(), count);
        EXPECT_TRUE(sameBits(expectedA, actualA) && sameBits(expectedB, actualB)) << "overlapAddJoinPair";
        scalar.crossfadeJoinPair(expectedA.data(), expectedB.data(), frame.data(), tailA.data(), tailB.data(),
                                 window.data(), count);
        k.crossfadeJoinPair(actualA.data(), actualB.data(), frame.data(), tailA.data(), tailB.data(), window.data(),
                            count);
        EXPECT_TRUE(sameBits(expectedA, actualA) && sameBits(expectedB, actualB)) << "crossfadeJoinPair";
        scalar.deinterleave(expectedA.data(), expectedB.data(), frame.data(), count);
        k.deinterleave(actualA.data(), actualB.data(), frame.data(), count);
        EXPECT_TRUE(sameBits(expectedA, actualA) && sameBits(expectedB, actualB)) << "deinterleave";
    }
}

// A packed EQ gain: equal at the two positions of every pair, of both signs
// (only its size counts), with imaginary parts the product must ignore.
std::vector<float> pairwiseEqualGain(int32_t n, uint32_t seed) {
    std::vector<float> gain = noise(2 * n, seed, 3.0);
    const BinPair* pairs = binPairTable(n);
    for (int32_t i = 0; i <= n / 2; ++i) gain[2 * pairs[i].mirror] = gain[2 * pairs[i].position];
    return gain;
}

// Every way a group enters the analysis: stored or added, summed or the larger.
const MagnitudeCapture kCaptureWays[] = {
    {0.25, 0.5, false, false},
    {0.25, 0.5, false, true},
    {1.0, 1e-3, true, false},
    {1.0, 1e-3, true, true},
};

TEST_P(VectorKernels, VectorMagnitudesMatchTheScalarSetBitForBit) {
    const BlockKernels& scalar = scalarBlockKernels();
    const NamedKernels& set = GetParam();
    const BlockKernels& k = *set.kernels;
    for (int32_t count : kCounts) {
        SCOPED_TRACE(testing::Message() << set.name << ", count " << count);
        // Unlike scales, so the two channels' terms round differently.
        const std::vector<float> a = noise(2 * count, 11, 300.0);
        const std::vector<float> b = noise(2 * count, 12, 0.02);
        std::vector<double> expected(2 * count), actual(2 * count);
        scalar.spectrumMagnitudes(expected.data(), a.data(), b.data(), count);
        k.spectrumMagnitudes(actual.data(), a.data(), b.data(), count);
        EXPECT_TRUE(sameBits(expected, actual)) << "spectrumMagnitudes";
        for (const MagnitudeCapture& how : kCaptureWays) {
            const std::vector<float> before = noise(count, 13, 2.0);
            std::vector<float> expectedValues = before, actualValues = before;
            scalar.captureMagnitudes(expectedValues.data(), a.data(), b.data(), count, how);
            k.captureMagnitudes(actualValues.data(), a.data(), b.data(), count, how);
            EXPECT_TRUE(sameBits(expectedValues, actualValues))
                << "captureMagnitudes, larger " << how.larger << ", add " << how.add;
        }
    }
}

TEST_P(VectorKernels, VectorPackedCaptureMatchesTheScalarSetBitForBit) {
    buildFftTables();
    const BlockKernels& scalar = scalarBlockKernels();
    const NamedKernels& set = GetParam();
    const BlockKernels& k = *set.kernels;
    for (int32_t n : {2, 4, 8, 16, 32, 64, 1024}) {
        const BinPair* pairs = binPairTable(n);
        const std::vector<float> packed = noise(2 * n, 21, 50.0);
        // Gains of both signs: only their size counts.
        const std::vector<float> gain = noise(2 * n, 22, 3.0);
        // Whole tables, and runs that start and end off the vector width.
        for (int32_t first : {0, 1, 3}) {
            const int32_t count = n / 2 + 1 - first;
            if (count <= 0) continue;
            for (const MagnitudeCapture& how : kCaptureWays) {
                SCOPED_TRACE(testing::Message() << set.name << ", n " << n << ", from pair " << first
                                                << ", larger " << how.larger << ", add " << how.add);
                const std::vector<float> before = noise(2 * n, 23, 2.0);
                std::vector<float> expected = before, actual = before;
                scalar.capturePackedPairs(expected.data(), expected.data() + n, packed.data(), gain.data(),
                                          pairs + first, count, how, 0.75 * n);
                k.capturePackedPairs(actual.data(), actual.data() + n, packed.data(), gain.data(), pairs + first,
                                     count, how, 0.75 * n);
                EXPECT_TRUE(sameBits(expected, actual));
            }
        }
    }
}

TEST_P(VectorKernels, PackedCaptureWithGainMatchesTheScalarSetBitForBit) {
    buildFftTables();
    const BlockKernels& scalar = scalarBlockKernels();
    const NamedKernels& set = GetParam();
    const BlockKernels& k = *set.kernels;
    for (int32_t n : {2, 4, 8, 16, 32, 64, 128, 1024, 4096}) {
        const std::vector<float> packed = noise(2 * n, 24, 50.0);
        const std::vector<float> gain = pairwiseEqualGain(n, 25);
        // Unlike weights, and stereo "Average" without offset: one weight
        // of 1/n for both channels, with the output scale n.
        std::vector<std::pair<MagnitudeCapture, double>> ways;
        for (const MagnitudeCapture& how : kCaptureWays) ways.push_back({how, 0.75 * n});
        for (bool larger : {false, true}) {
            for (bool add : {false, true}) ways.push_back({{1.0 / n, 1.0 / n, larger, add}, double(n)});
        }
        for (const auto& [how, outputScale] : ways) {
            SCOPED_TRACE(testing::Message() << set.name << ", n " << n << ", weights " << how.scaleA << " and "
                                            << how.scaleB << ", larger " << how.larger << ", add " << how.add);
            const std::vector<float> before = noise(2 * n, 26, 2.0);
            std::vector<float> expected = before, actual = before;
            std::vector<float> expectedSpectrum = packed, actualSpectrum = packed;
            scalar.captureAndApplyPackedGain(expected.data(), expected.data() + n, expectedSpectrum.data(),
                                             gain.data(), n, how, outputScale, 2.0f);
            k.captureAndApplyPackedGain(actual.data(), actual.data() + n, actualSpectrum.data(), gain.data(), n,
                                        how, outputScale, 2.0f);
            EXPECT_TRUE(sameBits(expected, actual));
            EXPECT_TRUE(sameBits(expectedSpectrum, actualSpectrum));
        }
    }
}

TEST(BlockKernels, PackedCaptureWithGainReadsThePairsBeforeTheProduct) {
    buildFftTables();
    const int32_t n = 64;
    const BinPair* pairs = binPairTable(n);
    const std::vector<float> packed = noise(2 * n, 27, 10.0);
    const std::vector<float> gain = pairwiseEqualGain(n, 28);
    const MagnitudeCapture store{0.5, 0.25, false, false};
    const MagnitudeCapture add{0.5, 0.25, false, true};
    // What the pair walk gives on the unchanged spectrum; it leaves the uppers alone.
    std::vector<float> walked(2 * n, 7.0f), walkedAdd(2 * n, 7.0f);
    scalarBlockKernels().capturePackedPairs(walked.data(), walked.data() + n, packed.data(), gain.data(), pairs,
                                            n / 2 + 1, store, 3.0);
    scalarBlockKernels().capturePackedPairs(walkedAdd.data(), walkedAdd.data() + n, packed.data(), gain.data(),
                                            pairs, n / 2 + 1, add, 3.0);
    std::vector<bool> lower(n, false);
    for (int i = 0; i <= n / 2; ++i) lower[pairs[i].position] = true;

    std::vector<float> stored(2 * n, 7.0f), added(2 * n, 7.0f);
    std::vector<float> spectrum = packed;
    blockKernels().captureAndApplyPackedGain(stored.data(), stored.data() + n, spectrum.data(), gain.data(), n, store,
                                             3.0, 2.0f);
    spectrum = packed;
    blockKernels().captureAndApplyPackedGain(added.data(), added.data() + n, spectrum.data(), gain.data(), n, add,
                                             3.0, 2.0f);
    for (int32_t i = 0; i < 2 * n; ++i) {
        const bool isLower = lower[i % n];
        EXPECT_EQ(stored[i], isLower ? walked[i] : 0.0f) << i;
        EXPECT_EQ(added[i], walkedAdd[i]) << i;
    }
    for (int32_t i = 0; i < n; ++i) {
        const float g = 2.0f * gain[2 * i];
        EXPECT_EQ(spectrum[2 * i], packed[2 * i] * g) << i;
        EXPECT_EQ(spectrum[2 * i + 1], packed[2 * i + 1] * g) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Sets, VectorKernels,
                         ::testing::Values(NamedKernels{"SSE2", sse2BlockKernels()}, NamedKernels{"AVX", avxBlockKernels()},
                                           NamedKernels{"AVX512", avx512BlockKernels()}),
                         [](const ::testing::TestParamInfo<NamedKernels>& info) { return std::string(info.param.name); });
