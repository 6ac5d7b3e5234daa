// The built plug-in loaded through the host stand-in, as a DAW loads it.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "host_callback.h"
#include "host_test_support.h"
#include "plugin_session.h"

namespace {

using host::HostOptions;
using host::PluginSession;
using hosttest::PluginCopy;
using namespace vexlan;

// Every name the plug-in looks up, in the order it asks.
const std::vector<std::string> kExtensionNames = {
    "SetWindowAccessibilityString", "DB2SLIDER", "SLIDER2DB", "mkvolstr", "GetTooltipWindow",
    "RemoveToolWindowFlagIfConfigured", "VIZE_CreateBitmap", "VIZE_GetPixel", "VIZE_PutPixel", "VIZE_LineInt",
    "VIZE_Line", "VIZE_ThickFLine", "VIZE_Circle", "VIZE_FillCircle", "VIZE_FillRect", "VIZE_DrawRect",
    "VIZE_BorderedRect", "VIZE_Clear", "VIZE_Blit", "VIZE_RotatedBlit", "VIZE_DrawGlyph", "VIZE_CreateFont",
    "VIZE_FillTriangle", "VIZE_Arc", "VIZE_FillTrapezoid", "VIZE_FillConvexPolygon", "VIZE_Copy",
    "VIZE_ScaledBlit", "VIZE_MeasureText", "VIZE_DrawText", "GetWindowDPIScaling", "get_config_var",
    "vac_createGroupsFromTab", "__localizeFunc", "__localizeMenu", "__localizeInitializeDialog",
    "__localizePrepareDialog",
};

const std::set<std::string> kOptionalNames = {
    "SetWindowAccessibilityString", "GetTooltipWindow", "RemoveToolWindowFlagIfConfigured",
    "VIZE_MeasureText", "VIZE_DrawText", "GetWindowDPIScaling", "get_config_var", "vac_createGroupsFromTab",
    "__localizeFunc", "__localizeMenu", "__localizeInitializeDialog", "__localizePrepareDialog",
};

// The copy's library loaded without an instance, for calling VSTPluginMain directly.
struct LoadedCopy {
    PluginCopy copy;
    host::LoadedPlugin plugin;
    LoadedCopy() {
        std::string error;
        EXPECT_FALSE(copy.path().empty()) << "the plug-in could not be copied";
        EXPECT_TRUE(host::loadPlugin(copy.path(), plugin, error)) << error;
    }
    ~LoadedCopy() { host::unloadPlugin(plugin); }
};

void closeEffect(AEffect* effect) {
    if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

class PluginLoading : public ::testing::Test {
protected:
    void TearDown() override { host::resetHost(); }
};

TEST_F(PluginLoading, EachMissingRequiredFunctionRefusesUntilTheHostIsComplete) {
    LoadedCopy loaded;
    ASSERT_TRUE(loaded.plugin.entry);
    EXPECT_EQ(loaded.plugin.entry(nullptr), nullptr) << "no callback, no instance";
    for (const std::string& name : kExtensionNames) {
        if (kOptionalNames.count(name)) continue;
        HostOptions lacking;
        lacking.withheld.insert(name);
        host::resetHost(lacking);
        EXPECT_EQ(loaded.plugin.entry(&host::hostCallback), nullptr) << "created without " << name;
    }
    // Complete means every required name: the optional ones may all be missing.
    HostOptions bare;
    bare.withheld = kOptionalNames;
    host::resetHost(bare);
    AEffect* effect = loaded.plugin.entry(&host::hostCallback);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(host::hostState().lookups, kExtensionNames) << "every name once, in order";
    closeEffect(effect);
}

// A host's own writes are not echoed back as automation; only edits the
// plug-in makes itself (in its editor) are reported.
TEST_F(PluginLoading, HostSideChangesSendNoEditCalls) {
    PluginSession session;
    std::string error;
    ASSERT_TRUE(host::openSession("", session, error)) << error;
    AEffect* effect = session.effect;
    effect->setParameter(effect, 4, 0.5f);
    effect->setParameter(effect, 3, 0.25f);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 4), 0.5f);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 3), 0.25f);
    char text[256] = {};
    host::dispatch(session, effGetParamDisplay, 4, 0, text);
    EXPECT_STREQ(text, "-6.0");
    host::dispatch(session, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    host::dispatch(session, effMainsChanged, 0, 1);
    void* chunk = nullptr;
    const intptr_t size = host::dispatch(session, effGetChunk, 0, 0, &chunk);
    ASSERT_GT(size, 0);
    const std::vector<char> saved(static_cast<char*>(chunk), static_cast<char*>(chunk) + size);
    host::dispatch(session, effSetChunk, 0, size, const_cast<char*>(saved.data()));
    EXPECT_TRUE(host::recordedCalls().empty());
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 4), 0.5f);
    host::closeSession(session);
}

}  // namespace
