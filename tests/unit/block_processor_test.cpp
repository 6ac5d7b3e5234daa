#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/block_processor.h"
#include "stream_support.h"
#include "test_host.h"

using namespace vexlan;
using namespace streamtest;
using testhost::Instance;

namespace {

const int kBlockSizes[] = {1, 7, 64, 441, 4096, 10000};

// Per-sample error of a forward and an inverse float32 transform of a signal
// with peak 1: each level of a transform adds about one unit roundoff, so two
// transforms give 2 log2(N) of them; the split, merge, gain and crossfade add
// a few roundoffs more, within that bound.
double roundTripTolerance(int n) { return 2.0 * std::log2(double(n)) * kFloatEpsilon; }

class BlockProcessor : public ::testing::Test {
protected:
    void SetUp() override { testhost::resetHost(); }

    // A fresh instance at the given FFT size, otherwise default: EQ, flat
    // table, "Best quality", 0 dB.
    static void prepare(const Instance& instance, int fftSize) {
        setFftSize(*instance, fftSize);
        instance.dispatch(effMainsChanged, 0, 0);
    }
};

}  // namespace

TEST_F(BlockProcessor, OutputIsTheInputDelayedByExactlyNForEverySizeAndBlockLength) {
    for (int n = kMinFftSize; n <= kMaxFftSize; n *= 2) {
        for (int blockSize : kBlockSizes) {
            SCOPED_TRACE(testing::Message() << "N " << n << ", block " << blockSize);
            Instance instance;
            prepare(instance, n);
            const int length = std::max(3 * n, 2 * blockSize) + 777;
            const Channels input = {noise(length, 1), noise(length, 2, 0.5)};
            const Channels output = processStream(instance, input, {blockSize});
            for (size_t c = 0; c < input.size(); ++c) {
                for (int i = 0; i < n; ++i) ASSERT_EQ(output[c][i], 0.0f) << "channel " << c << " sample " << i;
                EXPECT_LE(delayedError(output[c], input[c], n, 0, length - n), roundTripTolerance(n)) << "channel " << c;
            }
        }
    }
}

TEST_F(BlockProcessor, IrregularBlocksKeepTheLatency) {
    Instance instance;
    prepare(instance, 1024);
    const int length = 20000;
    const Channels input = {noise(length, 3), noise(length, 4)};
    const Channels output = processStream(instance, input, {0, 1, 513, 2, 1023, 0, 1500, 64, 3});
    for (size_t c = 0; c < input.size(); ++c) {
        for (int i = 0; i < 1024; ++i) ASSERT_EQ(output[c][i], 0.0f);
        EXPECT_LE(delayedError(output[c], input[c], 1024, 0, length - 1024), roundTripTolerance(1024));
    }
}

TEST_F(BlockProcessor, EveryQualityAndLayoutIsTransparentWithAFlatTable) {
    struct Case {
        float quality;
        int channels;
        int layout;
    };
    // Best quality (one-sided split, merged inverse), both legacy settings
    // (full split, one inverse per channel), odd counts (a channel alone).
    const Case cases[] = {{0.125f, 2, 2}, {0.0f, 2, 2}, {1.0f, 2, 2}, {0.125f, 3, 2},
                          {0.0f, 3, 2},   {0.125f, 5, 1}, {1.0f, 1, 2}};
    for (const Case& test : cases) {
        SCOPED_TRACE(testing::Message() << "quality " << test.quality << ", channels " << test.channels
                                        << ", layout " << test.layout);
        Instance instance;
        setParameter(instance, kParamQuality, test.quality);
        setChannels(*instance, test.channels, test.layout);
        prepare(instance, 512);
        const int length = 6000;
        Channels input;
        for (int c = 0; c < test.channels; ++c) input.push_back(noise(length, 10 + c));
        const Channels output = processStream(instance, input, {300});
        for (int c = 0; c < test.channels; ++c) {
            EXPECT_LE(delayedError(output[c], input[c], 512, 0, length - 512), roundTripTolerance(512)) << "channel " << c;
        }
    }
}

TEST_F(BlockProcessor, ReduceArtifactsJoinsHalfFramesByOverlapAdd) {
    // A flat table becomes a one-tap kernel whose weight is the taper's value
    // at its first sample: 4.3639539 (0.35875 - 0.14128). A misplaced
    // overlap-add shows as an error of the signal's own size.
    const double x = -kTwoPi / 4;
    const double firstTap =
        4.3639539 * (0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) - 0.01168 * std::cos(3 * x));
    for (int n : {128, 2048}) {
        SCOPED_TRACE(n);
        Instance instance;
        setParameter(instance, kParamReduceArtifacts, 1.0f);
        prepare(instance, n);
        const int length = 8 * n + 100;
        const Channels input = {noise(length, 5), noise(length, 6)};
        const Channels output = processStream(instance, input, {333});
        for (size_t c = 0; c < input.size(); ++c) {
            for (int i = 0; i < n; ++i) ASSERT_EQ(output[c][i], 0.0f);
            EXPECT_LE(delayedError(output[c], input[c], n, 0, length - n, firstTap), roundTripTolerance(n));
        }
    }
}

TEST_F(BlockProcessor, OutputGainRampsAcrossOneBlockAndJumpsAfterAReset) {
    Instance instance;
    prepare(instance, 128);
    const int block = 200;
    std::vector<float> ones(block, 1.0f);
    std::vector<float> out0(block);
    std::vector<float> out1(block);
    float* in[2] = {ones.data(), ones.data()};
    float* out[2] = {out0.data(), out1.data()};
    AEffect* effect = instance.effect();
    // Fill the delay so the blocks below carry the constant signal throughout.
    for (int i = 0; i < 4; ++i) effect->processReplacing(effect, in, out, block);
    ASSERT_NEAR(out0[0], 1.0f, 1e-6f);

    setParameter(instance, kParamOutputGain, 0.5f);
    effect->processReplacing(effect, in, out, block);
    for (int j = 0; j < block; ++j) {
        const double expected = 1.0 + (j + 1) * (0.5 - 1.0) / block;
        ASSERT_NEAR(out0[j], expected, 1e-6) << j;
        ASSERT_NEAR(out1[j], expected, 1e-6) << j;
    }
    effect->processReplacing(effect, in, out, block);
    for (int j = 0; j < block; ++j) ASSERT_NEAR(out0[j], 0.5, 1e-6) << j;

    // A reset takes the new gain at once; the delay starts over.
    setParameter(instance, kParamOutputGain, 2.0f);
    instance.dispatch(effMainsChanged, 0, 0);
    effect->processReplacing(effect, in, out, block);
    for (int j = 0; j < 128; ++j) ASSERT_EQ(out1[j], 0.0f) << j;
    for (int j = 128; j < block; ++j) ASSERT_NEAR(out1[j], 2.0, 2e-6) << j;
}

TEST_F(BlockProcessor, AnEmptyBlockTakesOverAPendingGainChange) {
    Instance instance;
    prepare(instance, 128);
    AEffect* effect = instance.effect();
    setParameter(instance, kParamOutputGain, 0.25f);
    effect->processReplacing(effect, nullptr, nullptr, 0);
    EXPECT_EQ(instance->appliedOutputGain, 0.25);
}

TEST_F(BlockProcessor, ShortBlocksBeforeTheFirstFrameAreSilent) {
    Instance instance;
    prepare(instance, 256);
    const Channels input = {noise(100, 7), noise(100, 8)};
    const Channels output = processStream(instance, input, {1, 2, 3, 50});
    for (const auto& channel : output) {
        for (float x : channel) ASSERT_EQ(x, 0.0f);
    }
    EXPECT_EQ(instance->startState, 1);
    EXPECT_EQ(instance->latencyCounter, 100);
}

namespace {

struct SizeChange {
    int from;
    int to;
};

// Streams noise at size `from`, switches to `to` between two blocks, and
// returns the output together with the sample index of the switch.
Channels streamAcrossSizeChange(const SizeChange& change, int switchAt, int length, const Channels& input,
                                int blockSize) {
    Instance instance;
    setFftSize(*instance, change.from);
    instance.dispatch(effMainsChanged, 0, 0);
    Channels before(input.size());
    Channels after(input.size());
    for (size_t c = 0; c < input.size(); ++c) {
        before[c].assign(input[c].begin(), input[c].begin() + switchAt);
        after[c].assign(input[c].begin() + switchAt, input[c].begin() + length);
    }
    Channels output = processStream(instance, before, {blockSize});
    setFftSize(*instance, change.to);
    const Channels rest = processStream(instance, after, {blockSize});
    for (size_t c = 0; c < input.size(); ++c) output[c].insert(output[c].end(), rest[c].begin(), rest[c].end());
    return output;
}

// Samples in [from, to) where output[t] differs from expected(t) beyond the
// tolerance, as the first and one past the last such index.
template <typename Expected>
std::pair<int, int> mismatchSpan(const std::vector<float>& output, int from, int to, Expected expected,
                                 double tolerance) {
    int first = to;
    int last = from - 1;
    for (int t = from; t < to; ++t) {
        if (std::abs(output[t] - expected(t)) > tolerance) {
            first = std::min(first, t);
            last = t;
        }
    }
    return {first, last + 1};
}

}  // namespace

TEST_F(BlockProcessor, GrowingTheFftSizeInsertsTheDifferenceAsSilence) {
    const SizeChange change{512, 2048};
    const int switchAt = 5000;
    const int length = 16000;
    const Channels input = {noise(length, 20), noise(length, 21)};
    for (int blockSize : {64, 1000}) {
        SCOPED_TRACE(blockSize);
        const int boundary = switchAt / blockSize * blockSize;
        const Channels output = streamAcrossSizeChange(change, boundary, length, input, blockSize);
        const double tolerance = roundTripTolerance(change.to);
        for (size_t c = 0; c < input.size(); ++c) {
            const std::vector<float>& in = input[c];
            const std::vector<float>& out = output[c];
            EXPECT_LE(delayedError(out, in, change.from, 0, boundary - change.from), tolerance);
            const int silenceEnd = boundary + change.to - change.from;
            for (int t = boundary; t < silenceEnd; ++t) ASSERT_EQ(out[t], 0.0f) << t;
            // From there on the delay is the new N. The new size's tails start
            // from silence, so its first half frame fades in.
            const auto span = mismatchSpan(out, silenceEnd, length, [&](int t) { return in[t - change.to]; },
                                           tolerance);
            EXPECT_LE(span.second - span.first, change.to / 2);
            EXPECT_LE(span.second, boundary + change.to + change.to / 2);
        }
    }
}

TEST_F(BlockProcessor, ShrinkingTheFftSizeDropsTheDifferenceFromTheInput) {
    const SizeChange change{2048, 256};
    const int dropped = change.from - change.to;
    const int switchAt = 6000;
    const int length = 16000;
    const Channels input = {noise(length, 22), noise(length, 23)};
    for (int blockSize : {100, 4000}) {
        SCOPED_TRACE(blockSize);
        const int boundary = switchAt / blockSize * blockSize;
        const Channels output = streamAcrossSizeChange(change, boundary, length, input, blockSize);
        const double tolerance = roundTripTolerance(change.from);
        for (size_t c = 0; c < input.size(); ++c) {
            const std::vector<float>& in = input[c];
            const std::vector<float>& out = output[c];
            // Input [boundary, boundary + dropped) never comes out: input sample
            // boundary - 1 leaves at boundary - 1 + N1, and boundary + dropped
            // right after it, with the new delay N2.
            const int join = boundary + dropped + change.to;
            auto expected = [&](int t) { return t < join ? in[t - change.from] : in[t - change.to]; };
            const auto span = mismatchSpan(out, change.from, length, expected, tolerance);
            // Only the fade-in of the new size's first half frame may differ.
            EXPECT_LE(span.second - span.first, change.to / 2);
            EXPECT_GE(span.first, boundary);
            EXPECT_LE(span.second, join + change.to / 2);
        }
    }
}

TEST_F(BlockProcessor, ChannelCountChangeKeepsEveryChannelAligned) {
    Instance instance;
    prepare(instance, 256);
    const int length = 3000;
    const Channels stereo = {noise(length, 30), noise(length, 31)};
    processStream(instance, stereo, {100});
    setChannels(*instance, 3, 2);
    const Channels three = {noise(length, 32), noise(length, 33), noise(length, 34)};
    const Channels output = processStream(instance, three, {100});
    // After the change every channel carries its own input delayed by N; the
    // new channel starts from silence that is aligned with channel 0.
    for (int c = 0; c < 3; ++c) {
        EXPECT_LE(delayedError(output[c], three[c], 256, 256, length - 256), roundTripTolerance(256)) << c;
    }
}

TEST_F(BlockProcessor, CrossfadeIsTheRisingHalfOfABlackmanWindow) {
    // Frames that differ at the join (here a new FFT size's silent tails) are
    // blended by this curve; identical frames hide it, so read it directly.
    for (int n : {128, 4096}) {
        Instance instance;
        prepare(instance, n);
        processStream(instance, {noise(2 * n, 1), noise(2 * n, 2)}, {n});
        ASSERT_EQ(instance->crossfadeWindow.size, int32_t(n / 2 * sizeof(float)));
        const float* window = bufferAs<float>(instance->crossfadeWindow);
        for (int i = 0; i < n / 2; ++i) {
            const double blackman = 0.42 - 0.5 * std::cos(kTwoPi * i / n) + 0.08 * std::cos(2 * kTwoPi * i / n);
            ASSERT_NEAR(window[i], blackman, 1e-7) << i;
        }
    }
}
