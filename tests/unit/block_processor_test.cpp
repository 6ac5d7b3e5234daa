#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/block_processor.h"
#include "stream_support.h"
#include "test_host.h"

using namespace vexlan;
using namespace streamtest;
using testhost::Instance;

namespace {

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

TEST_F(BlockProcessor, EveryPathIsTransparentWithAFlatTableAndDelaysByExactlyN) {
    struct Case {
        float quality;
        int channels, layout, n;
        bool reduceArtifacts;
        std::vector<int> blocks;
    };
    // The smallest, a middle and the largest N under block lengths of one
    // sample, longer than a frame, and an irregular cycle with empty blocks.
    // Then best quality (one-sided split, merged inverse), both legacy
    // settings (full split, one inverse per channel), odd counts (a channel
    // alone), half frames joined by overlap-add.
    const std::vector<int> irregular = {0, 1, 513, 2, 1023, 0, 1500, 64, 3};
    const Case cases[] = {
        {0.125f, 2, 2, kMinFftSize, false, {1}},     {0.125f, 2, 2, kMinFftSize, false, {4096}},
        {0.125f, 2, 2, kMinFftSize, false, irregular}, {0.125f, 2, 2, 2048, false, {441}},
        {0.125f, 2, 2, kMaxFftSize, false, {7}},     {0.125f, 2, 2, kMaxFftSize, false, {10000}},
        {0.125f, 2, 2, kMaxFftSize, false, irregular}, {0.0f, 2, 2, 512, false, {333}},
        {1.0f, 2, 2, 512, false, {333}},             {0.125f, 3, 2, 512, false, {333}},
        {0.0f, 3, 2, 512, false, {333}},             {0.125f, 5, 1, 512, false, {333}},
        {1.0f, 1, 2, 512, false, {333}},             {0.125f, 2, 2, 128, true, {333}},
        {0.125f, 2, 2, 2048, true, {333}},
    };
    // With half frames a flat table becomes a one-tap kernel whose weight is
    // the taper's value at its first sample. A misplaced overlap-add shows as
    // an error of the signal's own size.
    const double firstTap = 4.3639539 * (0.35875 - 0.14128);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "quality " << c.quality << ", channels " << c.channels
                                        << ", layout " << c.layout << ", N " << c.n << ", half frames "
                                        << c.reduceArtifacts << ", blocks " << c.blocks[0] << " of "
                                        << c.blocks.size());
        Instance instance;
        setParameter(instance, kParamQuality, c.quality);
        setParameter(instance, kParamReduceArtifacts, c.reduceArtifacts ? 1.0f : 0.0f);
        setChannels(*instance, c.channels, c.layout);
        prepare(instance, c.n);
        const int length = std::max(3 * c.n, 20000) + 777;
        Channels input;
        for (int ch = 0; ch < c.channels; ++ch) input.push_back(noise(length, 10 + ch));
        const Channels output = processStream(instance, input, c.blocks);
        const double gain = c.reduceArtifacts ? firstTap : 1.0;
        for (int ch = 0; ch < c.channels; ++ch) {
            for (int i = 0; i < c.n; ++i) ASSERT_EQ(output[ch][i], 0.0f) << ch << ", " << i;
            const double error = delayedError(output[ch], input[ch], c.n, 0, length - c.n, gain);
            EXPECT_LE(error, roundTripTolerance(c.n)) << "channel " << ch;
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

TEST_F(BlockProcessor, AnFftSizeChangeInsertsOrDropsTheDifference) {
    // Growing inserts to - from samples of silence where the switch falls;
    // shrinking drops from - to input samples, which shows once the old delay
    // has passed the switch. Then the delay is the new N; only the fade-in of
    // the new size's first half frame (its tails start from silence) differs.
    struct Case {
        int from, to, switchAt, blockSize;
    };
    const Case cases[] = {{512, 2048, 5000, 64}, {512, 2048, 5000, 1000}, {2048, 256, 6000, 100},
                          {2048, 256, 6000, 4000}};
    const int length = 16000;
    const Channels input = {noise(length, 20), noise(length, 21)};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " to " << c.to << ", blocks " << c.blockSize);
        const int boundary = c.switchAt / c.blockSize * c.blockSize;
        Channels before;
        Channels after;
        for (const auto& channel : input) {
            before.emplace_back(channel.begin(), channel.begin() + boundary);
            after.emplace_back(channel.begin() + boundary, channel.end());
        }
        Instance instance;
        prepare(instance, c.from);
        const Channels output = processStream(instance, before, {c.blockSize});
        setFftSize(*instance, c.to);
        const Channels rest = processStream(instance, after, {c.blockSize});

        // Growing: the old delay up to the switch, silence, the new delay.
        // Shrinking: the old delay until it has passed the switch, the new one.
        const bool grows = c.to > c.from;
        const int oldEnd = grows ? boundary : boundary + c.from;
        const int newStart = grows ? boundary + c.to - c.from : oldEnd;
        const double tolerance = roundTripTolerance(std::max(c.from, c.to));
        for (size_t ch = 0; ch < input.size(); ++ch) {
            const std::vector<float>& in = input[ch];
            std::vector<float> out = output[ch];
            out.insert(out.end(), rest[ch].begin(), rest[ch].end());
            for (int t = oldEnd; t < newStart; ++t) ASSERT_EQ(out[t], 0.0f) << t;
            // The first and one past the last sample that differ.
            int first = length;
            int last = 0;
            for (int t = c.from; t < length; ++t) {
                float expected = t < oldEnd ? in[t - c.from] : in[t - c.to];
                if (t >= oldEnd && t < newStart) expected = 0.0f;
                if (std::abs(out[t] - expected) > tolerance) {
                    first = std::min(first, t);
                    last = t + 1;
                }
            }
            EXPECT_LE(last - first, c.to / 2);
            EXPECT_GE(first, grows ? newStart : boundary);
            EXPECT_LE(last, boundary + std::max(c.from, c.to) + c.to / 2);
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
