// What a host observes through the dispatcher and the parameter entry points.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "shell/dispatcher.h"
#include "shell/parameters.h"
#include "test_host.h"

using namespace vexlan;
using testhost::Instance;

namespace {

using Labels = std::vector<std::string>;
using Flags = std::vector<int32_t>;

std::string formatted(int32_t index, double value) {
    char text[300];
    formatParameter(index, value, text, sizeof text);
    return text;
}

class Dispatcher : public ::testing::Test {
protected:
    void SetUp() override { testhost::resetHost(); }

    // A text query into an unterminated buffer: what it answers, or the whole
    // buffer if it wrote no terminator.
    std::string textQuery(int32_t opcode, int32_t index) {
        std::string buffer(300, 'x');
        instance.dispatch(opcode, index, 0, &buffer[0]);
        return buffer.substr(0, strnlen(buffer.data(), buffer.size()));
    }

    // Every input (or output) pin's label; their flags go to `flags`.
    Labels pinLabels(int32_t opcode, Flags& flags) {
        Labels labels;
        for (int32_t pin = 0; pin < instance->effect.numInputs; ++pin) {
            VstPinProperties properties;
            std::memset(&properties, 0x55, sizeof properties);
            EXPECT_EQ(instance.dispatch(opcode, pin, 0, &properties), 1);
            EXPECT_EQ(properties.arrangementType, kSpeakerArrStereo);
            labels.emplace_back(properties.label);
            flags.push_back(properties.flags);
        }
        return labels;
    }

    // The channel request; the instance answers with its count and layout.
    void channelConfig(int32_t& count, int32_t& layout, float opt) {
        const intptr_t countAt = reinterpret_cast<intptr_t>(&count);
        EXPECT_EQ(instance.dispatch(effVendorSpecific, kVendorChannelConfig, countAt, &layout, opt), 12);
    }

    Instance instance;
};

class Parameters : public Dispatcher {};

}  // namespace

// The names and texts a host lists, and their lengths, are checked through
// the built plug-in by the host stand-in's info report and validation; here
// the answers to what it does not ask.
TEST_F(Dispatcher, TextQueriesOutsideTheParametersAnswerEmptyTexts) {
    EXPECT_EQ(textQuery(effGetParamLabel, 8), "");
    EXPECT_EQ(textQuery(effGetParamName, -1), "");
    EXPECT_EQ(textQuery(effGetParamDisplay, 12), "");
    EXPECT_EQ(textQuery(effGetProgramName, 0), "");
    EXPECT_EQ(textQuery(effGetProgramNameIndexed, 0), "");
}

TEST_F(Dispatcher, TextQueriesWithoutInstanceOrPointer) {
    EXPECT_EQ(instance.dispatch(effGetEffectName, 0, 0, nullptr), 0);
    EXPECT_EQ(instance.dispatch(effGetParamDisplay, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatcher(nullptr, effIdentify, 0, 0, nullptr, 0), 0x4E764566);
    EXPECT_EQ(dispatcher(nullptr, effGetPlugCategory, 0, 0, nullptr, 0), 1);
    EXPECT_EQ(dispatcher(nullptr, effGetTailSize, 0, 0, nullptr, 0), 2);
    EXPECT_EQ(dispatcher(nullptr, effMainsChanged, 0, 0, nullptr, 0), 0);
    char name[64];
    dispatcher(nullptr, effGetEffectName, 0, 0, name, 0);
    EXPECT_STREQ(name, "Vexlan (FFT EQ+Dynamics Processor)");
}

// Every capability the plug-in claims is in the info report's test; here the
// near misses, which must not match.
TEST_F(Dispatcher, CapabilityStringsMatchExactly) {
    char yes[] = "hasQuovarEmbeddedUI";
    EXPECT_EQ(instance.dispatch(effCanDo, 0, 0, yes), intptr_t(0xBEEF0000u));
    for (const char* no : {"receiveVstEvents", "hasquovarembeddedui", "hasQuovarEmbeddedUI ", ""}) {
        EXPECT_EQ(instance.dispatch(effCanDo, 0, 0, const_cast<char*>(no)), 0) << no;
    }
    EXPECT_EQ(instance.dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST_F(Dispatcher, SmallAnswers) {
    EXPECT_EQ(instance.dispatch(effCanBeAutomated, 7), 1);
    EXPECT_EQ(instance.dispatch(effCanBeAutomated, 8), 0);
    EXPECT_EQ(instance.dispatch(effCanBeAutomated, -1), 0);
    EXPECT_EQ(instance.dispatch(effEditOpen), 0) << "there is no editor window in this build";
}

TEST_F(Dispatcher, PinLabelsFollowTheChannelCountAndLayout) {
    const int32_t stereo = kVstPinIsStereo;
    const struct {
        int32_t count;
        int32_t layout;  // 2: pairs, 1: single channels, 0: as after a state load
        Labels inputs;   // the outputs' are the same, named "Output"
        Flags flags;
    } cases[] = {
        {2, 2, {"Input L", "Input R"}, {stereo, 0}},
        {1, 2, {"Input"}, {stereo}},
        {3, 2, {"Input 1 L", "Input 1 R", "Input 2"}, {stereo, 0, stereo}},
        {1, 1, {"Input"}, {0}},
        {2, 1, {"Input 1", "Input 2"}, {0, 0}},
        {2, 0, {"Input 1", "Input 2"}, {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " channels, layout " << c.layout);
        setChannelCount(*instance, c.count);
        instance->channelLayout = c.layout;
        Flags inputFlags, outputFlags;
        EXPECT_EQ(pinLabels(effGetInputProperties, inputFlags), c.inputs);
        EXPECT_EQ(inputFlags, c.flags);
        Labels outputs = c.inputs;
        for (std::string& label : outputs) label.replace(0, 5, "Output");
        EXPECT_EQ(pinLabels(effGetOutputProperties, outputFlags), outputs);
        EXPECT_EQ(outputFlags, c.flags);
    }
    setChannelCount(*instance, 128);
    instance->channelLayout = 2;
    Flags flags;
    const Labels labels = pinLabels(effGetOutputProperties, flags);
    ASSERT_EQ(labels.size(), 128u);
    EXPECT_EQ(labels[127], "Output 64 R");
    VstPinProperties properties;
    EXPECT_EQ(instance.dispatch(effGetInputProperties, 128, 0, &properties), 0);
    EXPECT_EQ(instance.dispatch(effGetInputProperties, -1, 0, &properties), 0);
    EXPECT_EQ(instance.dispatch(effGetInputProperties, 0, 0, nullptr), 0);
}

TEST_F(Dispatcher, ChannelConfiguration) {
    int32_t count = 200;
    int32_t layout = 7;
    channelConfig(count, layout, 1.0f);
    EXPECT_EQ(count, 2) << "an impossible count is refused and the current one reported";
    EXPECT_EQ(layout, 2);
    count = 6;
    layout = 1;
    channelConfig(count, layout, 0.0f);
    EXPECT_EQ(count, 2) << "without option 1.0 nothing changes";
    EXPECT_EQ(instance->effect.numInputs, 2);
    count = 6;
    layout = 1;
    channelConfig(count, layout, 1.0f);
    EXPECT_EQ(instance->effect.numInputs, 6);
    EXPECT_EQ(instance->effect.numOutputs, 6);
    EXPECT_EQ(instance->channelLayout, 1);

    // Either pointer may be missing.
    EXPECT_EQ(instance.dispatch(effVendorSpecific, kVendorChannelConfig, 0, nullptr, 1.0f), 12);
    instance->channelLayout = 0;
    layout = 0;
    instance.dispatch(effVendorSpecific, kVendorChannelConfig, 0, &layout, 0.0f);
    EXPECT_EQ(layout, 2) << "layout 0 reads as pairs";
}

// The host stand-in reads every parameter's range and formats values through
// these requests; here what they refuse.
TEST_F(Dispatcher, ValueRequestsRefuseBadIndicesAndMissingBuffers) {
    double range[2] = {-1, -1};
    EXPECT_EQ(instance.dispatch(effVendorSpecific, kVendorParameterRange, 8, range), 0);
    EXPECT_EQ(instance.dispatch(effVendorSpecific, kVendorParameterRange, 4, nullptr), 0);
    char text[300] = "stale";
    EXPECT_EQ(instance.dispatch(effVendorSpecific, kVendorFormatValue, 9, text, 0.5f), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(instance.dispatch(effVendorSpecific, kVendorFormatValue, 4, nullptr, 0.5f), 0);
    EXPECT_EQ(instance.dispatch(effVendorSpecific, 12345, 0, text, 0.0f), 0);
}

// Starting, painting and stopping the view are the host stand-in's render
// command; here the other codes and how the option becomes a code.
TEST_F(Dispatcher, EmbeddedViewCodes) {
    EXPECT_EQ(instance.dispatch(effVendorSpecific, kVendorEmbeddedView, 0, nullptr, 0.0f), 1);
    int32_t record[16] = {};
    EXPECT_EQ(instance.dispatch(effVendorSpecific, kVendorEmbeddedView, 0, record, 36.0f), 1);
    EXPECT_EQ(record[0], 131072);
    EXPECT_EQ(record[1], 65536);
    EXPECT_EQ(record[6], 30);
    EXPECT_EQ(record[2], 0);
    EXPECT_EQ(instance.dispatch(effVendorSpecific, kVendorEmbeddedView, 0, record, 99.0f), 0);
    // Truncated toward zero; beyond int32 or NaN is no request at all.
    instance->embeddedViewActive = 0;
    EXPECT_EQ(instance.dispatch(effVendorSpecific, kVendorEmbeddedView, 0, nullptr, 1.9f), 1);
    EXPECT_EQ(instance->embeddedViewActive, 1);
    for (float option : {std::nanf(""), 4294967297.0f, -4294967296.0f, 2147483648.0f, INFINITY}) {
        EXPECT_EQ(instance.dispatch(effVendorSpecific, kVendorEmbeddedView, 0, record, option), 0) << option;
    }
    EXPECT_EQ(instance.dispatch(effVendorSpecific, kVendorEmbeddedView, 0, nullptr, -0.9f), 1) << "code 0";
}

TEST_F(Dispatcher, SuspendAndStopEmptyTheQueues) {
    const float samples[64] = {};
    appendToQueue(instance->inputQueues[0], samples, sizeof samples);
    appendToQueue(instance->outputQueues[1], samples, sizeof samples);
    instance->startState = 0;
    instance->latencyCounter = 77;
    instance.dispatch(effMainsChanged, 0, 0);
    EXPECT_EQ(queuedBytes(instance->inputQueues[0]), 0);
    EXPECT_EQ(queuedBytes(instance->outputQueues[1]), 0);
    EXPECT_EQ(instance->startState, 1);
    EXPECT_EQ(instance->latencyCounter, 0);
    appendToQueue(instance->inputQueues[0], samples, sizeof samples);
    instance.dispatch(effStopProcess, 0, 0);
    EXPECT_EQ(queuedBytes(instance->inputQueues[0]), 0);
}

TEST_F(Dispatcher, SampleRateChangeClearsTheAnalysis) {
    bufferAs<float>(instance->analysisBuffer)[10] = 3.0f;
    instance->tableChanged = 0;
    instance.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(instance->sampleRate, 48000.0);
    EXPECT_EQ(instance->tableChanged, 1);
    EXPECT_EQ(bufferAs<float>(instance->analysisBuffer)[10], 0.0f);
}

TEST_F(Parameters, TinyGateFloorAndOutputGainBecomeExactZero) {
    AEffect* effect = instance.effect();
    effect->setParameter(effect, 2, 1e-7f);
    EXPECT_EQ(instance->paramValues[2], 0.0);
    EXPECT_EQ(textQuery(effGetParamDisplay, 2), "-inf");
    effect->setParameter(effect, 2, 1e-6f);
    EXPECT_EQ(textQuery(effGetParamDisplay, 2), "-inf");
    effect->setParameter(effect, 2, 1.1e-6f);
    EXPECT_GT(instance->paramValues[2], 0.0);
    EXPECT_EQ(textQuery(effGetParamDisplay, 2), "-119.2");
    effect->setParameter(effect, 4, 1e-7f);
    EXPECT_EQ(instance->paramValues[4], 0.0);
    // Other decibel parameters keep tiny values.
    effect->setParameter(effect, 5, 1e-7f);
    EXPECT_EQ(instance->paramValues[5], double(1e-7f));
}

// The defaults' texts are in the host stand-in's info report; here the ends
// of each kind of range.
TEST_F(Parameters, DisplayTextsAtTheEndsOfTheRanges) {
    EXPECT_EQ(formatted(7, 0.0), "-100.0") << "the graph offset stops at -100 dB";
    EXPECT_EQ(formatted(5, 2.9802322387695313e-8), "-150.0");
    EXPECT_EQ(formatted(4, 2.0), "+6.0");
    EXPECT_EQ(formatted(4, 0.5), "-6.0");
    EXPECT_EQ(formatted(3, 0.008016), "1.00");
    EXPECT_EQ(formatted(3, 1.0), "100.00");
    EXPECT_EQ(formatted(0, 0.49), "0");
    EXPECT_EQ(formatted(0, 0.5), "1");
    EXPECT_EQ(formatted(8, 1.0), "");
    EXPECT_EQ(formatted(-1, 1.0), "");
}

TEST_F(Parameters, SetAndGetHonourTheIndexRange) {
    AEffect* effect = instance.effect();
    effect->setParameter(effect, 4, 2.0f);
    EXPECT_EQ(effect->getParameter(effect, 4), 2.0f) << "no range check on the way in";
    EXPECT_EQ(textQuery(effGetParamDisplay, 4), "+6.0");
    EXPECT_EQ(effect->getParameter(effect, 8), 0.0f);
    EXPECT_EQ(effect->getParameter(effect, -1), 0.0f);
    const double before = instance->paramValues[0];
    instance->tableChanged = 0;
    effect->setParameter(effect, -1, 0.3f);
    effect->setParameter(effect, 8, 0.3f);
    EXPECT_EQ(instance->paramValues[0], before);
    EXPECT_EQ(instance->tableChanged, 0);
}

TEST_F(Parameters, EverySetRaisesTheRebuildAndRefreshFlags) {
    AEffect* effect = instance.effect();
    for (int32_t i = 0; i < kParameterCount; ++i) {
        instance->tableChanged = 0;
        instance->editorRefreshPending = 0;
        instance->effect.initialDelay = 0;
        effect->setParameter(effect, i, effect->getParameter(effect, i));
        EXPECT_EQ(instance->tableChanged, 1) << i;
        EXPECT_EQ(instance->editorRefreshPending, 1) << i;
        EXPECT_EQ(instance->effect.initialDelay, instance->fftSize) << i;
    }
}

// The order of begin, automate and end calls is checked through the editor's
// controls; here what a suspend does to an open gesture.
TEST_F(Parameters, SuspendClosesNoGestureButForgetsIt) {
    notifyParameterEdit(*instance, 2);
    instance.dispatch(effMainsChanged, 0, 0);
    EXPECT_EQ(instance->editGestureParam, -1);
    testhost::currentHost().calls.clear();
    notifyParameterEdit(*instance, 2);
    ASSERT_FALSE(testhost::currentHost().calls.empty());
    EXPECT_EQ(testhost::currentHost().calls[0].opcode, audioMasterBeginEdit)
        << "after a reset the next edit opens a new gesture";
}
