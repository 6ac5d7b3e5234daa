#include <gtest/gtest.h>

#include <cstring>

#include "shell/dispatcher.h"
#include "shell/process_state.h"
#include "test_host.h"

#if defined(_WIN32)
#include <windows.h>
#endif

using namespace vexlan;
using testhost::Instance;

namespace {

class PluginEntry : public ::testing::Test {
protected:
    void SetUp() override { testhost::resetHost(); }
    void TearDown() override { testhost::resetHost(); }
};

bool graphClassRegistered() {
#if defined(_WIN32)
    WNDCLASSA windowClass;
    const bool registered =
        GetClassInfoA(static_cast<HINSTANCE>(processState.moduleHandle), "FFTdisp", &windowClass) != 0;
    EXPECT_EQ(registered, processState.windowClassRegistered);
#endif
    return processState.windowClassRegistered;
}

}  // namespace

TEST_F(PluginEntry, NullCallbackGivesNoInstance) { EXPECT_EQ(VSTPluginMain(nullptr), nullptr); }

// Hosts lacking a required function are refused in ForeignHost's table (and
// for every name through the built plug-in in the host stand-in's tests).
TEST_F(PluginEntry, OptionalFunctionsMayBeMissingAndAreFetchedOncePerProcess) {
    testhost::forgetHostFunctions();
    testhost::currentHost().withheld = {"VIZE_DrawText", "VIZE_MeasureText", "GetWindowDPIScaling",
                                        "__localizePrepareDialog", "get_config_var"};
    Instance instance;
    EXPECT_NE(instance.effect(), nullptr);
    EXPECT_EQ(testhost::currentHost().lookups.size(), size_t(kHostFunctionCount));
    EXPECT_EQ(processState.hostApi.drawText, nullptr);
    EXPECT_NE(processState.hostApi.db2Slider, nullptr);
    testhost::currentHost().lookups.clear();
    Instance second;
    EXPECT_NE(second.effect(), nullptr);
    EXPECT_TRUE(testhost::currentHost().lookups.empty()) << "the functions are fetched once per process";
}

TEST_F(PluginEntry, OctaveOffsetFollowsTheHostConfiguration) {
    testhost::forgetHostFunctions();
    testhost::currentHost().octaveOffset = -1;
    Instance instance;
    ASSERT_NE(instance.effect(), nullptr);
    EXPECT_EQ(noteOctaveOffset(), -1);
    testhost::currentHost().octaveOffset = 2;
    EXPECT_EQ(noteOctaveOffset(), 2) << "a change in the host's preferences shows at the next read";
    testhost::forgetHostFunctions();
}

TEST_F(PluginEntry, FreshInstanceReportsDefaults) {
    Instance instance;
    ASSERT_NE(instance.effect(), nullptr);
    const AEffect& effect = *instance.effect();
    EXPECT_EQ(effect.magic, kEffectMagic);
    EXPECT_EQ(effect.numInputs, 2);
    EXPECT_EQ(effect.numOutputs, 2);
    EXPECT_EQ(effect.numParams, 8);
    EXPECT_EQ(effect.numPrograms, 1);
    EXPECT_EQ(effect.initialDelay, 4096);
    EXPECT_EQ(effect.flags, 0x231);
    EXPECT_EQ(effect.version, 1100);
    EXPECT_EQ(effect.uniqueID, fourCharCode('V', 'x', 'l', 'n'));
    EXPECT_EQ(effect.ioRatio, 1.0f);
    EXPECT_EQ(effect.object, &*instance);
    EXPECT_EQ(effect.processDoubleReplacing, nullptr);
    EXPECT_NE(effect.processReplacing, nullptr);
    const PluginInstance& self = *instance;
    EXPECT_EQ(self.fftSize, 4096);
    EXPECT_EQ(self.sampleRate, 44100.0);
    EXPECT_EQ(self.analysisBuffer.size, 4096 * 8);
    EXPECT_EQ(self.paramValues[2], 0.0) << "the default gate floor is below 1e-6, so exactly 0";
    EXPECT_EQ(self.appliedOutputGain, 1.0);
    EXPECT_EQ(self.startState, 1);
    EXPECT_EQ(self.editGestureParam, -1);
    EXPECT_EQ(self.tableChanged, 1);
    EXPECT_EQ(self.filterMode, -1);
    EXPECT_EQ(self.editMode, 2);
    EXPECT_EQ(self.channelLayout, 2);
    for (float gain : self.binGainTable) ASSERT_EQ(gain, 1.0f);
}

TEST_F(PluginEntry, InstancesAreIndependent) {
    Instance first;
    Instance second;
    ASSERT_NE(first.effect(), second.effect());
    first.effect()->setParameter(first.effect(), 4, 0.5f);
    EXPECT_EQ(second.effect()->getParameter(second.effect(), 4), 1.0f);
}

TEST_F(PluginEntry, LastCloseUnregistersTheGraphWindowClass) {
    ASSERT_EQ(processState.instanceCount, 0) << "no instance may outlive its test";
#if defined(_WIN32)
    // Linked into a test program, the plug-in's code gets no DLL attach call.
    processState.moduleHandle = GetModuleHandleA(nullptr);
#endif
    AEffect* first = VSTPluginMain(testhost::hostCallback);
    AEffect* second = VSTPluginMain(testhost::hostCallback);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(processState.instanceCount, 2);
    EXPECT_TRUE(graphClassRegistered());
    first->dispatcher(first, effClose, 0, 0, nullptr, 0);
    EXPECT_EQ(processState.instanceCount, 1);
    EXPECT_TRUE(graphClassRegistered()) << "another instance is still open";
    second->dispatcher(second, effClose, 0, 0, nullptr, 0);
    EXPECT_EQ(processState.instanceCount, 0);
    EXPECT_FALSE(graphClassRegistered());
}

#if defined(_WIN32)
TEST_F(PluginEntry, ARefusedWindowClassIsNeitherRecordedNorUnregistered) {
    ASSERT_EQ(processState.instanceCount, 0) << "no instance may outlive its test";
    const HINSTANCE module = GetModuleHandleA(nullptr);
    processState.moduleHandle = module;
    // A class of that name already exists, so the plug-in's registration fails.
    WNDCLASSA occupant{};
    occupant.lpfnWndProc = DefWindowProcA;
    occupant.hInstance = module;
    occupant.lpszClassName = "FFTdisp";
    ASSERT_NE(RegisterClassA(&occupant), 0);
    AEffect* effect = VSTPluginMain(testhost::hostCallback);
    ASSERT_TRUE(effect);
    EXPECT_FALSE(processState.windowClassRegistered);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0);
    WNDCLASSA found;
    EXPECT_NE(GetClassInfoA(module, "FFTdisp", &found), 0) << "the plug-in removed a class it does not own";
    UnregisterClassA("FFTdisp", module);
}
#endif

TEST_F(PluginEntry, EntryPointsIgnoreARecordWithoutInstance) {
    Instance instance;
    AEffect orphan = *instance.effect();
    orphan.object = nullptr;
    EXPECT_EQ(orphan.dispatcher(&orphan, effSetChunk, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(orphan.dispatcher(&orphan, effCanBeAutomated, 0, 0, nullptr, 0), 0);
    orphan.setParameter(&orphan, 0, 0.0f);
    EXPECT_EQ(orphan.getParameter(&orphan, 0), 0.0f);
    float left[4] = {1, 1, 1, 1};
    float* channels[2] = {left, left};
    orphan.processReplacing(&orphan, channels, channels, 4);
    EXPECT_EQ(left[0], 1.0f) << "nothing was processed";
}
