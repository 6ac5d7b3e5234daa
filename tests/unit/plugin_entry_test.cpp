#include <gtest/gtest.h>

#include "shell/dispatcher.h"
#include "shell/process_state.h"
#include "test_host.h"

using namespace vexlan;
using testhost::Instance;

namespace {

class PluginEntry : public ::testing::Test {
protected:
    void SetUp() override { testhost::resetHost(); }
};

}  // namespace

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
    EXPECT_EQ(effect.object, &*instance);
    EXPECT_EQ(effect.processDoubleReplacing, nullptr);
}
