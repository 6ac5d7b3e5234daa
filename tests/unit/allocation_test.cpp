// Counts every heap allocation made while processing, to show that the
// steady state allocates nothing. Where the test binary owns the C allocator
// (glibc, MinGW) it stands in for malloc, calloc and realloc and forwards to
// the real ones; where a sanitizer runtime owns it, the runtime's allocation
// hook counts instead.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <type_traits>
#include <vector>

#include "stream_support.h"
#include "test_host.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VEXLAN_COUNT_BY_SANITIZER_HOOK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define VEXLAN_COUNT_BY_SANITIZER_HOOK 1
#endif
#endif

#if !defined(VEXLAN_COUNT_BY_SANITIZER_HOOK)
#if defined(_WIN32)
#define VEXLAN_COUNT_BY_OVERRIDE 1
#define VEXLAN_CDECL __cdecl
#include <windows.h>
#elif defined(__GLIBC__)
#define VEXLAN_COUNT_BY_OVERRIDE 1
#define VEXLAN_CDECL
#endif
#endif

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void noteAllocation() {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

#if defined(VEXLAN_COUNT_BY_SANITIZER_HOOK)

extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*, size_t),
                                                         void (*freeHook)(const volatile void*));

namespace {

void onSanitizerMalloc(const volatile void*, size_t) { noteAllocation(); }
void onSanitizerFree(const volatile void*) {}

bool installCounter() { return __sanitizer_install_malloc_and_free_hooks(onSanitizerMalloc, onSanitizerFree) != 0; }

}  // namespace

#elif defined(VEXLAN_COUNT_BY_OVERRIDE)

#if !defined(_WIN32)
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
}
#endif

namespace {

// The real allocator, found on first use: that may come before any static
// constructor has run.
struct RealAllocator {
    void*(VEXLAN_CDECL* malloc)(size_t);
    void*(VEXLAN_CDECL* calloc)(size_t, size_t);
    void*(VEXLAN_CDECL* realloc)(void*, size_t);
    void(VEXLAN_CDECL* free)(void*);
};

RealAllocator& real() {
    static RealAllocator functions{};
    if (functions.free) return functions;
#if !defined(_WIN32)
    functions = {__libc_malloc, __libc_calloc, __libc_realloc, __libc_free};
#else
    // The runtime DLL is loaded with the program.
    const HMODULE runtime = GetModuleHandleA("msvcrt.dll");
    const auto find = [runtime](auto& function, const char* name) {
        using Function = std::remove_reference_t<decltype(function)>;
        function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(runtime, name)));
    };
    find(functions.malloc, "malloc");
    find(functions.calloc, "calloc");
    find(functions.realloc, "realloc");
    find(functions.free, "free");
#endif
    return functions;
}

bool installCounter() { return real().malloc && real().calloc && real().realloc && real().free; }

}  // namespace

extern "C" {
void* VEXLAN_CDECL malloc(size_t size) {
    noteAllocation();
    return real().malloc(size);
}
void* VEXLAN_CDECL calloc(size_t count, size_t size) {
    noteAllocation();
    return real().calloc(count, size);
}
void* VEXLAN_CDECL realloc(void* block, size_t size) {
    noteAllocation();
    return real().realloc(block, size);
}
void VEXLAN_CDECL free(void* block) { real().free(block); }
}

#endif

using namespace vexlan;
using namespace streamtest;
using testhost::Instance;

namespace {

struct Scenario {
    const char* name;
    int fftSize;
    int channels;
    int layout;
    int mode;
    float quality;
    float reduceArtifacts;
    int blockSize;
    bool learnProfile;
    int32_t meteringSource;
};

const Scenario kScenarios[] = {
    {"EQ large frames, odd blocks", 32768, 2, 2, kModeEq, 0.125f, 0.0f, 441, false, 0},
    {"EQ reduce artifacts", 1024, 2, 2, kModeEq, 0.125f, 1.0f, 64, false, 2},
    {"gate legacy, three channels", 2048, 3, 2, kModeGate, 0.0f, 0.0f, 300, false, 145},
    {"compressor reduce artifacts", 1024, 2, 2, kModeCompressor, 0.125f, 1.0f, 1000, false, 0},
    {"convolve oldest", 512, 2, 2, kModeConvolve, 1.0f, 0.0f, 7, false, 1},
    {"subtract learning", 2048, 2, 2, kModeSubtract, 0.125f, 0.0f, 256, true, 0},
    {"five single channels", 256, 5, 1, kModeEq, 0.125f, 0.0f, 100, false, 17},
};

constexpr int kWarmUpBlocks = 1000;
constexpr int kCountedBlocks = 1000;

}  // namespace

TEST(Allocation, SteadyStateProcessingAllocatesNothing) {
#if !defined(VEXLAN_COUNT_BY_SANITIZER_HOOK) && !defined(VEXLAN_COUNT_BY_OVERRIDE)
    GTEST_SKIP() << "no way to count allocations with this C library";
#endif
    ASSERT_TRUE(installCounter());
    {
        // A queue that has to grow must show up, or a zero below proves nothing.
        ChannelQueue queue;
        allocations = 0;
        counting = true;
        const bool appended = appendToQueue(queue, nullptr, 100000);
        counting = false;
        freeBuffer(queue.buffer);
        ASSERT_TRUE(appended);
        ASSERT_GE(allocations.load(), 1);
    }
    testhost::resetHost();
    for (const Scenario& scenario : kScenarios) {
        SCOPED_TRACE(scenario.name);
        Instance instance;
        instance.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
        setParameter(instance, kParamQuality, scenario.quality);
        setParameter(instance, kParamReduceArtifacts, scenario.reduceArtifacts);
        setChannels(*instance, scenario.channels, scenario.layout);
        setMode(*instance, scenario.mode);
        setTable(*instance, scenario.mode == kModeSubtract ? 0.0f : 0.5f);
        setFftSize(*instance, scenario.fftSize);
        {
            LockHold state(instance->stateLock);
            instance->autoNoiseProfile = scenario.learnProfile ? 1 : 0;
            instance->meteringSource = scenario.meteringSource;
        }
        instance.dispatch(effMainsChanged, 0, 0);

        // Noise long enough that no two frames see the same samples.
        const int length = scenario.blockSize * (kWarmUpBlocks + kCountedBlocks);
        Channels input, output(scenario.channels, std::vector<float>(scenario.blockSize));
        std::vector<float*> in(scenario.channels), out(scenario.channels);
        for (int c = 0; c < scenario.channels; ++c) {
            input.push_back(noise(length, 90 + c, 0.5));
            out[c] = output[c].data();
        }
        auto processBlockAt = [&](int block) {
            for (int c = 0; c < scenario.channels; ++c) in[c] = input[c].data() + block * scenario.blockSize;
            AEffect* effect = instance.effect();
            effect->processReplacing(effect, in.data(), out.data(), scenario.blockSize);
        };
        for (int block = 0; block < kWarmUpBlocks; ++block) processBlockAt(block);

        const float* analysis = bufferAs<float>(instance->analysisBuffer);
        const std::vector<float> before(analysis, analysis + 2 * scenario.fftSize);
        allocations = 0;
        counting = true;
        for (int block = 0; block < kCountedBlocks; ++block) {
            // A gain change on the way: ramps and parameter writes allocate nothing either.
            if (block == kCountedBlocks / 2) setParameter(instance, kParamOutputGain, 0.5f);
            processBlockAt(kWarmUpBlocks + block);
        }
        counting = false;
        EXPECT_EQ(allocations.load(), 0);
        // Frames did run while counting: the measured spectrum moved on.
        EXPECT_NE(std::vector<float>(analysis, analysis + 2 * scenario.fftSize), before);
    }
}
