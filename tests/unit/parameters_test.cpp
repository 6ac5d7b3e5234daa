#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/dispatcher.h"
#include "shell/parameters.h"
#include "test_host.h"

using namespace vexlan;
using testhost::Instance;

namespace {

std::string display(const Instance& instance, int32_t index) {
    char text[300] = {};
    instance.dispatch(effGetParamDisplay, index, 0, text);
    return text;
}

std::string formatted(int32_t index, double value) {
    char text[300];
    formatParameter(index, value, text, sizeof text);
    return text;
}

class Parameters : public ::testing::Test {
protected:
    void SetUp() override { testhost::resetHost(); }
    Instance instance;
};

}  // namespace

TEST_F(Parameters, TinyGateFloorAndOutputGainBecomeExactZero) {
    AEffect* effect = instance.effect();
    effect->setParameter(effect, 2, 1e-7f);
    EXPECT_EQ(instance->paramValues[2], 0.0);
    EXPECT_EQ(display(instance, 2), "-inf");
    effect->setParameter(effect, 2, 1e-6f);
    EXPECT_EQ(display(instance, 2), "-inf");
    effect->setParameter(effect, 2, 1.1e-6f);
    EXPECT_GT(instance->paramValues[2], 0.0);
    EXPECT_EQ(display(instance, 2), "-119.2");
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
    EXPECT_EQ(display(instance, 4), "+6.0");
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

TEST_F(Parameters, EditGesturesReachTheHostInOrder) {
    auto& calls = testhost::currentHost().calls;
    AEffect* effect = instance.effect();
    effect->setParameter(effect, 3, 0.25f);
    notifyParameterEdit(*instance, 3);  // opens a gesture
    notifyParameterEdit(*instance, 3);  // same parameter: automate only
    notifyParameterEdit(*instance, 4);  // closes 3, opens 4
    notifyParameterEdit(*instance, -1); // closes 4, reports a state change
    const std::vector<testhost::HostCall> expected = {
        {audioMasterBeginEdit, 3, 0.0f}, {audioMasterAutomate, 3, 0.25f},
        {audioMasterAutomate, 3, 0.25f}, {audioMasterEndEdit, 3, 0.0f},
        {audioMasterBeginEdit, 4, 0.0f}, {audioMasterAutomate, 4, 1.0f},
        {audioMasterEndEdit, 4, 0.0f},   {audioMasterAutomate, -1, 0.0f},
    };
    ASSERT_EQ(calls.size(), expected.size());
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].opcode, expected[i].opcode) << i;
        EXPECT_EQ(calls[i].index, expected[i].index) << i;
        EXPECT_EQ(calls[i].value, expected[i].value) << i;
    }
    EXPECT_EQ(instance->editGestureParam, -1);

    // A second state change does not close anything again.
    calls.clear();
    notifyParameterEdit(*instance, -1);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].opcode, audioMasterAutomate);
}

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
