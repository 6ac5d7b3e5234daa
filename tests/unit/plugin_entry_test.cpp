// The entry point: which extension functions an instance uses, by how much of
// the lookup the host answers, what a new instance starts from, and the
// window classes the process keeps while instances are open.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "host_functions.h"
#include "shell/dispatcher.h"
#include "shell/process_state.h"
#include "test_host.h"

#if defined(_WIN32)
#include <windows.h>
#endif

using namespace vexlan;
using testhost::Instance;

namespace {

std::set<std::string> namesWhere(bool (*keep)(const HostFunctionName&)) {
    std::set<std::string> names;
    for (const HostFunctionName& entry : kHostFunctionNames) {
        if (keep(entry)) names.insert(entry.name);
    }
    return names;
}

const std::set<std::string> kAllNames = namesWhere([](const HostFunctionName&) { return true; });
const std::set<std::string> kRequiredNames = namesWhere([](const HostFunctionName& e) { return e.required; });

void* apiEntry(int index) {
    void* entry = nullptr;
    std::memcpy(&entry, reinterpret_cast<const char*>(&processState.hostApi) + index * sizeof(void*), sizeof entry);
    return entry;
}

#if defined(_WIN32)
bool classRegistered(const char* name) {
    WNDCLASSA windowClass;
    return GetClassInfoA(static_cast<HINSTANCE>(processState.moduleHandle), name, &windowClass) != 0;
}
#endif

// By the plug-in's record and, on Windows, by the system's.
bool graphClassRegistered() {
#if defined(_WIN32)
    EXPECT_EQ(classRegistered("FFTdisp"), processState.windowClassRegistered);
#endif
    return processState.windowClassRegistered;
}

// Every test starts as a freshly loaded library would, with no instance open.
class PluginEntry : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(processState.instanceCount, 0) << "no instance may outlive its test";
        testhost::resetHost();
        testhost::forgetHostFunctions();
#if defined(_WIN32)
        // Linked into a test program, the plug-in's code gets no DLL attach call.
        processState.moduleHandle = GetModuleHandleA(nullptr);
#endif
    }
    void TearDown() override {
        testhost::resetHost();
        testhost::forgetHostFunctions();
    }
};

class ForeignHost : public PluginEntry {};

}  // namespace

TEST_F(PluginEntry, NullCallbackGivesNoInstance) { EXPECT_EQ(VSTPluginMain(nullptr), nullptr); }

// That every name is asked for once, in order, is checked through the built
// plug-in by the host stand-in's tests; here that a second instance asks none.
TEST_F(PluginEntry, HostFunctionsAreFetchedOncePerProcess) {
    Instance first;
    ASSERT_NE(first.effect(), nullptr);
    testhost::currentHost().lookups.clear();
    Instance second;
    EXPECT_NE(second.effect(), nullptr);
    EXPECT_TRUE(testhost::currentHost().lookups.empty());
}

TEST_F(PluginEntry, OctaveOffsetFollowsTheHostConfiguration) {
    testhost::currentHost().octaveOffset = -1;
    Instance instance;
    ASSERT_NE(instance.effect(), nullptr);
    EXPECT_EQ(noteOctaveOffset(), -1);
    testhost::currentHost().octaveOffset = 2;
    EXPECT_EQ(noteOctaveOffset(), 2) << "a change in the host's preferences shows at the next read";
}

// What a host reads of a new instance (names, id, version, flags, channels,
// latency, parameters) is in the host stand-in's info report; here the rest.
TEST_F(PluginEntry, FreshInstanceStartsFromAFlatTable) {
    Instance instance;
    ASSERT_NE(instance.effect(), nullptr);
    EXPECT_EQ(instance.effect()->processDoubleReplacing, nullptr);
    const PluginInstance& self = *instance;
    EXPECT_EQ(self.sampleRate, 44100.0);
    EXPECT_EQ(self.paramValues[2], 0.0) << "the default gate floor is below 1e-6, so exactly 0";
    EXPECT_EQ(self.appliedOutputGain, 1.0);
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
    const HINSTANCE module = static_cast<HINSTANCE>(processState.moduleHandle);
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
    EXPECT_TRUE(classRegistered("FFTdisp")) << "the plug-in removed a class it does not own";
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

// A host that lacks any required name is refused, or one that answers none
// gets the built-in set; a host's partial answers are never mixed with it.
// Each missing required name is refused through the built plug-in in the
// host stand-in's tests.
TEST_F(ForeignHost, LookupAnswersDecideTheFunctionSet) {
    const struct {
        const char* host;
        std::set<std::string> withheld;
        bool created;
        bool builtIn;
    } cases[] = {
        {"answers every name", {}, true, false},
        {"answers the required names only", namesWhere([](const HostFunctionName& e) { return !e.required; }), true,
         false},
        {"answers no name", kAllNames, true, true},
        {"answers optional names only", kRequiredNames, true, true},
        {"lacks one required name", {"VIZE_Copy"}, false, false},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.host);
        testhost::resetHost();
        testhost::forgetHostFunctions();
        testhost::currentHost().withheld = test.withheld;
        Instance instance;
        ASSERT_EQ(instance.effect() != nullptr, test.created);
        EXPECT_EQ(processState.hostApiFetched, test.created);
        if (!test.created) continue;
        EXPECT_EQ(processState.builtInHostApi, test.builtIn);
        for (int i = 0; i < kHostFunctionCount; ++i) {
            const char* name = kHostFunctionNames[i].name;
            void* builtIn = host::findHostFunction(name);
            ASSERT_NE(builtIn, nullptr) << name << " has no built-in function";
            if (test.builtIn) {
                EXPECT_EQ(apiEntry(i), builtIn) << name << ": every name comes from the built-in set";
            } else {
                EXPECT_NE(apiEntry(i), builtIn) << name << ": the built-in set is never used in this host";
                EXPECT_EQ(apiEntry(i) == nullptr, test.withheld.count(name) > 0) << name;
            }
        }
    }
}

// The built-in functions are the host's own, tested with the host. An
// instance with them processes audio and passes the validation run through
// the built plug-in in a host that answers no name; here what it reads.
TEST_F(ForeignHost, TheBuiltInSetReadsNoHostConfiguration) {
    testhost::currentHost().withheld = kAllNames;
    testhost::currentHost().octaveOffset = 3;
    Instance instance;
    ASSERT_NE(instance.effect(), nullptr);
    ASSERT_TRUE(processState.builtInHostApi);
    EXPECT_EQ(noteOctaveOffset(), 0) << "the host's own configuration is not read through the built-in set";
}

#if defined(_WIN32)
TEST_F(ForeignHost, FaderClassesLiveFromTheFirstToTheLastInstance) {
    testhost::currentHost().withheld = kAllNames;
    std::vector<AEffect*> effects;
    for (int i = 0; i < 3; ++i) {
        effects.push_back(VSTPluginMain(testhost::hostCallback));
        ASSERT_NE(effects.back(), nullptr);
        EXPECT_TRUE(classRegistered("ZENTARhfader"));
        EXPECT_TRUE(classRegistered("ZENTARvfader"));
    }
    EXPECT_TRUE(processState.faderClassesRegistered);
    for (size_t i = 0; i < effects.size(); ++i) {
        effects[i]->dispatcher(effects[i], effClose, 0, 0, nullptr, 0);
        const bool last = i + 1 == effects.size();
        EXPECT_EQ(classRegistered("ZENTARhfader"), !last) << "after closing instance " << i;
        EXPECT_EQ(classRegistered("ZENTARvfader"), !last) << "after closing instance " << i;
    }
    EXPECT_FALSE(processState.faderClassesRegistered);
}

TEST_F(ForeignHost, MakersHostKeepsItsOwnFaderClasses) {
    Instance first;
    Instance second;
    ASSERT_TRUE(first.effect() && second.effect());
    EXPECT_FALSE(processState.builtInHostApi);
    EXPECT_FALSE(processState.faderClassesRegistered);
    EXPECT_FALSE(classRegistered("ZENTARhfader")) << "the maker's host registers its own";
}
#endif
