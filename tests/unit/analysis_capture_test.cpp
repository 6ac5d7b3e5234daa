#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/analysis_capture.h"
#include "dsp/fft.h"
#include "shell/parameters.h"
#include "stream_support.h"
#include "test_host.h"

using namespace vexlan;
using namespace streamtest;
using testhost::Instance;

namespace {

constexpr int kN = 1024;
constexpr double kRate = 48000.0;
constexpr int kBin = 37;

class AnalysisCapture : public ::testing::Test {
protected:
    void SetUp() override { testhost::resetHost(); }

    static void prepare(const Instance& instance, int channels, int layout = 2) {
        instance.dispatch(effSetSampleRate, 0, 0, nullptr, float(kRate));
        setFftSize(*instance, kN);
        setChannels(*instance, channels, layout);
        instance.dispatch(effMainsChanged, 0, 0);
    }

    static void setSource(const Instance& instance, int32_t source) {
        LockHold state(instance->stateLock);
        instance->meteringSource = source;
    }

    // Bin-centred sines, one amplitude per channel, enough for several frames.
    static void playSines(const Instance& instance, const std::vector<double>& amplitudes, int length = 4 * kN) {
        Channels input;
        for (size_t c = 0; c < amplitudes.size(); ++c) {
            input.push_back(sine(length, binFrequency(kBin, kN, kRate), kRate, amplitudes[c], 0.3 * c));
        }
        processStream(instance, input, {256});
    }

    static const float* analysis(const Instance& instance) { return bufferAs<float>(instance->analysisBuffer); }
    static float outputAt(const Instance& instance, int bin) { return analysis(instance)[binOrderTable(kN)[bin]]; }
    static float inputAt(const Instance& instance, int bin) { return analysis(instance)[kN + binOrderTable(kN)[bin]]; }

    // The whole buffer, 2N floats.
    static std::vector<float> captured(const Instance& instance) {
        return std::vector<float>(analysis(instance), analysis(instance) + instance->fftSize * 2);
    }
};

}  // namespace

TEST_F(AnalysisCapture, ASineReadsItsAmplitudeBeforeAndAfterProcessingOnEveryPath) {
    // A 0.4 sine through a -6 dB EQ, and through a gate that holds it at a
    // floor of 0.1, metered on the packed path ("Best quality" EQ) and the
    // split paths (legacy transforms, dynamics modes). The legacy gate gain
    // (g, g) has the magnitude g sqrt 2. One instance throughout: a legacy
    // path fills the upper bins, which a later one-sided path must clear.
    const struct {
        const char* name;
        int32_t mode;
        float table, quality;
        double output;
    } cases[] = {
        {"EQ, legacy 2007", kModeEq, 0.5f, 0.0f, 0.2},
        {"EQ, best", kModeEq, 0.5f, 0.125f, 0.2},
        {"Gate, legacy 2007", kModeGate, 1.0f, 0.0f, 0.04 * std::sqrt(2.0)},
        {"Gate, best", kModeGate, 1.0f, 0.125f, 0.04},
    };
    Instance instance;
    prepare(instance, 2);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setMode(*instance, c.mode);
        setTable(*instance, c.table);
        setParameter(instance, kParamQuality, c.quality);
        setParameter(instance, kParamGateFloor, 0.1f);
        playSines(instance, {0.4, 0.4});
        EXPECT_NEAR(inputAt(instance, kBin), 0.4, 1e-5);
        EXPECT_NEAR(outputAt(instance, kBin), c.output, 1e-5);
        EXPECT_LT(inputAt(instance, kBin + 3), 1e-5);
        // The one-sided split of "Best quality" leaves the upper bins at zero.
        if (c.quality == 0.125f) {
            EXPECT_EQ(inputAt(instance, kN - kBin), 0.0f);
            EXPECT_EQ(outputAt(instance, kN - kBin), 0.0f);
        }
    }
}

TEST_F(AnalysisCapture, ChoicesCombineTheChannelsAsNamed) {
    struct Case {
        int32_t source, layout, mode;
        double expected;
    };
    // Channels at 0.3, 0.2, 0.1 and 0.05, in pairs (0, 1) and (2, 3) or alone.
    // The modes that measure levels capture the input from their own
    // magnitudes; with a zero table they pass the sound unchanged.
    const Case cases[] = {
        {kMeterAverage, 2, kModeSubtract, (0.3 + 0.2 + 0.1 + 0.05) / 4},
        {kMeterSum, 2, kModeGate, 0.3 + 0.2 + 0.1 + 0.05},
        {kMeterMax, 2, kModeCompressor, 0.3 + 0.1},  // the larger of each group, summed over groups
        {kMeterMax, 2, kModeEq, 0.3 + 0.1},
        {kMeterChannelBase + 1, 2, kModeEq, 0.2},
        {kMeterChannelBase + 2, 2, kModeGate, 0.1},
        {kMeterPairBase + 2, 2, kModeCompressor, 0.1 + 0.05},
        {kMeterPairBase + 1, 2, kModeSubtract, 0.2 + 0.1},
        {kMeterChannelBase + 1, 1, kModeEq, 0.2},
        {kMeterPairBase + 1, 1, kModeGate, 0.2 + 0.1},
        {kMeterMax, 1, kModeCompressor, 0.3 + 0.2 + 0.1 + 0.05},  // alone, each channel is the larger of its group
        // Convolve reads the first channel of each pair for both (its output
        // is the product of the pair's spectra, not checked here).
        {kMeterSum, 2, kModeConvolve, 2 * (0.3 + 0.1)},
        // Never offered: between "None" and the pairs meters like "Sum", and
        // the rest names no channel.
        {kMeterNone + 1, 2, kModeGate, 0.3 + 0.2 + 0.1 + 0.05},
        {kMeterPairBase - 1, 1, kModeEq, 0.3 + 0.2 + 0.1 + 0.05},
        {-1, 2, kModeEq, 0.0},
        {kMeterChannelBase - 1, 2, kModeGate, 0.0},
        {kMeterChannelBase + kMaxChannels, 1, kModeEq, 0.0},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(testing::Message() << "source " << test.source << ", layout " << test.layout << ", mode "
                                        << test.mode);
        Instance instance;
        prepare(instance, 4, test.layout);
        setSource(instance, test.source);
        setMode(*instance, test.mode);
        if (test.mode != kModeEq) setTable(*instance, 0.0f);
        playSines(instance, {0.3, 0.2, 0.1, 0.05});
        EXPECT_NEAR(inputAt(instance, kBin), test.expected, 1e-5);
        if (test.mode != kModeConvolve) {
            EXPECT_NEAR(outputAt(instance, kBin), test.expected, 1e-5);
        }
    }
}

TEST_F(AnalysisCapture, ValuesStayWhileAnythingIsMeteredAndClearWhenNothingIs) {
    // "None" meters nothing and clears; with analysis off the last values
    // stay, as long as something is metered.
    const struct {
        const char* name;
        float showAnalysis;
        int32_t source;
        bool cleared;
    } cases[] = {
        {"none", 1.0f, kMeterNone, true},
        {"analysis off", 0.0f, kMeterChannelBase + 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Instance instance;
        prepare(instance, 2);
        playSines(instance, {0.3, 0.3});
        const std::vector<float> before = captured(instance);
        ASSERT_NE(before, std::vector<float>(2 * kN, 0.0f));
        setParameter(instance, kParamShowAnalysis, c.showAnalysis);
        setSource(instance, c.source);
        playSines(instance, {0.1, 0.1});
        EXPECT_EQ(captured(instance), c.cleared ? std::vector<float>(2 * kN, 0.0f) : before);
    }
}

TEST_F(AnalysisCapture, AnFftSizeChangeClearsUntilTheFirstFrameOfTheNewSize) {
    Instance instance;
    prepare(instance, 2);
    playSines(instance, {0.3, 0.3});
    setFftSize(*instance, 2 * kN);
    ASSERT_EQ(instance->analysisBuffer.size, int32_t(4 * kN * sizeof(float)));
    EXPECT_EQ(captured(instance), std::vector<float>(4 * kN, 0.0f));
    // The queued input is short of a frame of the new size for a while.
    Channels input = {std::vector<float>(kN / 4, 0.3f), std::vector<float>(kN / 4, 0.3f)};
    processStream(instance, input, {256});
    EXPECT_EQ(captured(instance), std::vector<float>(4 * kN, 0.0f));
    input = {std::vector<float>(4 * kN, 0.3f), std::vector<float>(4 * kN, 0.3f)};
    processStream(instance, input, {256});
    EXPECT_NEAR(analysis(instance)[2 * kN], 0.6, 1e-5);  // DC reads twice the constant
}
