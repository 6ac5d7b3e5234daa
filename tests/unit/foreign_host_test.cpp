// Which extension functions an instance uses, by how much of the lookup the
// host answers, and what the built-in set gives a host that answers nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "host_functions.h"
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

std::set<std::string> allBut(const char* answered) {
    std::set<std::string> withheld = kAllNames;
    withheld.erase(answered);
    return withheld;
}

void* apiEntry(int index) {
    void* entry = nullptr;
    std::memcpy(&entry, reinterpret_cast<const char*>(&processState.hostApi) + index * sizeof(void*), sizeof entry);
    return entry;
}

class ForeignHost : public ::testing::Test {
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

struct LookupCase {
    const char* host;
    std::set<std::string> withheld;
    bool created;
    bool builtIn;
};

TEST_F(ForeignHost, LookupAnswersDecideTheFunctionSet) {
    const LookupCase cases[] = {
        {"answers every name", {}, true, false},
        {"answers the required names only", namesWhere([](const HostFunctionName& e) { return !e.required; }), true,
         false},
        {"answers no name", kAllNames, true, true},
        {"answers optional names only", kRequiredNames, true, true},
        {"answers one required name", allBut("DB2SLIDER"), false, false},
        {"lacks one required name", {"VIZE_Copy"}, false, false},
        {"lacks the fader law", {"DB2SLIDER", "SLIDER2DB", "mkvolstr"}, false, false},
    };
    for (const LookupCase& test : cases) {
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
            }
        }
    }
}

// The built-in functions are the host's own (the table above checks every
// entry), tested with the host; here the instance itself.
TEST_F(ForeignHost, InstanceWorksWithTheBuiltInSet) {
    testhost::currentHost().withheld = kAllNames;
    testhost::currentHost().octaveOffset = 3;
    Instance instance;
    ASSERT_NE(instance.effect(), nullptr);
    ASSERT_TRUE(processState.builtInHostApi);
    AEffect* effect = instance.effect();
    EXPECT_EQ(noteOctaveOffset(), 0) << "the host's own configuration is not read through the built-in set";
    // An impulse comes out unchanged, one FFT size later.
    const int frames = effect->initialDelay + 64;
    std::vector<float> left(size_t(frames), 0.0f), right(size_t(frames), 0.0f);
    left[0] = 1.0f;
    right[0] = -0.5f;
    float* channels[2] = {left.data(), right.data()};
    effect->processReplacing(effect, channels, channels, frames);
    EXPECT_NEAR(left[size_t(effect->initialDelay)], 1.0f, 1e-4f);
    EXPECT_NEAR(right[size_t(effect->initialDelay)], -0.5f, 1e-4f);
}

#if defined(_WIN32)

bool classRegistered(const char* name) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    return GetClassInfoExA(static_cast<HINSTANCE>(processState.moduleHandle), name, &windowClass) != 0;
}

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

    // A vertical fader made from the plug-in's own class answers as one.
    AEffect* effect = VSTPluginMain(testhost::hostCallback);
    ASSERT_NE(effect, nullptr);
    HWND fader = CreateWindowExA(0, "ZENTARvfader", "", WS_POPUP, 0, 0, 20, 100, nullptr, nullptr,
                                 static_cast<HINSTANCE>(processState.moduleHandle), nullptr);
    if (fader) {
        SendMessageA(fader, 0x405, 0, 640);
        EXPECT_EQ(SendMessageA(fader, 0x400, 0, 0), 640);
        DestroyWindow(fader);
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0);
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

}  // namespace
