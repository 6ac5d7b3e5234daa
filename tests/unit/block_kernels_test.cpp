#include <gtest/gtest.h>

#include <cstring>
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

std::vector<NamedKernels> vectorKernelSets() {
    std::vector<NamedKernels> sets;
    if (const BlockKernels* sse2 = sse2BlockKernels()) sets.push_back({"SSE2", sse2});
    if (const BlockKernels* avx = avxBlockKernels()) sets.push_back({"AVX", avx});
    if (const BlockKernels* avx512 = avx512BlockKernels()) sets.push_back({"AVX-512", avx512});
    return sets;
}

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

TEST(BlockKernels, TheChosenSetIsTheWidestAvailable) {
    const BlockKernels* expected = avx512BlockKernels();
    if (!expected) expected = avxBlockKernels();
    if (!expected) expected = sse2BlockKernels();
    if (!expected) expected = &scalarBlockKernels();
    EXPECT_EQ(&blockKernels(), expected);
}

TEST(BlockKernels, VectorSetsMatchTheScalarSetBitForBit) {
    const BlockKernels& scalar = scalarBlockKernels();
    for (const NamedKernels& set : vectorKernelSets()) {
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
            scalar.deinterleave(expectedA.data(), expectedB.data(), frame.data(), count);
            k.deinterleave(actualA.data(), actualB.data(), frame.data(), count);
            EXPECT_TRUE(sameBits(expectedA, actualA) && sameBits(expectedB, actualB)) << "deinterleave";
        }
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

// The transforms a frame goes through, with the copies around them fused by
// some sets: against the plain steps of the scalar set, for every set.
TEST(BlockKernels, FramesIntoAndOutOfTheTransformMatchThePlainStepsBitForBit) {
    buildFftTables();
    const BlockKernels& scalar = scalarBlockKernels();
    std::vector<NamedKernels> sets = vectorKernelSets();
    sets.insert(sets.begin(), {"scalar", &scalar});
    for (const NamedKernels& set : sets) {
        for (int32_t n : {8, 16, 32, 64, 128, 1024, 4096, 32768}) {
            SCOPED_TRACE(testing::Message() << set.name << ", n " << n);
            const int32_t hop = n / 2;
            const std::vector<float> a = noise(n, 31);
            const std::vector<float> b = noise(n, 32, 1e-3);
            for (const float* second : {b.data(), static_cast<const float*>(nullptr)}) {
                std::vector<float> expected(2 * n), actual(2 * n, 9.0f);
                scalar.packHalves(expected.data(), a.data(), second, n);
                fftForward(expected.data(), n);
                set.kernels->forwardPackedHalves(actual.data(), a.data(), second, n);
                EXPECT_TRUE(sameBits(expected, actual)) << "forwardPackedHalves, second channel " << (second != nullptr);
            }

            // A spectrum whose inverse has unlike channels, and tails and
            // weights that make the double-precision crossfade count.
            const std::vector<float> spectrum = noise(2 * n, 33, 8.0);
            const std::vector<float> tails = noise(n, 34, 30.0);
            const std::vector<float> window = weights(hop);
            std::vector<float> frame = spectrum;
            fftInverse(frame.data(), n);
            std::vector<float> expectedA(hop), expectedB(hop), expectedTails = tails;
            scalar.crossfadeJoin(expectedA.data(), frame.data(), tails.data(), window.data(), hop);
            scalar.crossfadeJoin(expectedB.data(), frame.data() + 1, tails.data() + hop, window.data(), hop);
            scalar.deinterleave(expectedTails.data(), expectedTails.data() + hop, frame.data() + n, hop);

            std::vector<float> actualFrame = spectrum, actualA(hop, 9.0f), actualB(hop, 9.0f), actualTails = tails;
            set.kernels->inverseCrossfadePair(actualFrame.data(), n, actualA.data(), actualB.data(),
                                              actualTails.data(), actualTails.data() + hop, window.data());
            EXPECT_TRUE(sameBits(expectedA, actualA)) << "channel A";
            EXPECT_TRUE(sameBits(expectedB, actualB)) << "channel B";
            EXPECT_TRUE(sameBits(expectedTails, actualTails)) << "tails";
        }
    }
}

// Every way a group enters the analysis: stored or added, summed or the larger.
const MagnitudeCapture kCaptureWays[] = {
    {0.25, 0.5, false, false},
    {0.25, 0.5, false, true},
    {1.0, 1e-3, true, false},
    {1.0, 1e-3, true, true},
};

TEST(BlockKernels, VectorMagnitudesMatchTheScalarSetBitForBit) {
    const BlockKernels& scalar = scalarBlockKernels();
    for (const NamedKernels& set : vectorKernelSets()) {
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
}

TEST(BlockKernels, VectorPackedCaptureMatchesTheScalarSetBitForBit) {
    buildFftTables();
    const BlockKernels& scalar = scalarBlockKernels();
    for (const NamedKernels& set : vectorKernelSets()) {
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
}

TEST(BlockKernels, PackedCaptureWithGainMatchesTheScalarSetBitForBit) {
    buildFftTables();
    const BlockKernels& scalar = scalarBlockKernels();
    for (const NamedKernels& set : vectorKernelSets()) {
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
