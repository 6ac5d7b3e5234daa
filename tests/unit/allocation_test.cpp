// Counts every heap allocation made while processing, to show that the
// steady state allocates nothing. Where the test binary owns the C allocator
// (glibc, MinGW) it stands in for malloc, calloc and realloc and forwards to
// the real ones; where a sanitizer runtime owns it, the runtime's allocation
// hook counts instead.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
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
#define VEXLAN_COUNT_BY_CRT_OVERRIDE 1
#include <windows.h>
#elif defined(__GLIBC__)
#define VEXLAN_COUNT_BY_LIBC_OVERRIDE 1
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

#elif defined(VEXLAN_COUNT_BY_LIBC_OVERRIDE)

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);

void* malloc(size_t size) {
    noteAllocation();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    noteAllocation();
    return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) {
    noteAllocation();
    return __libc_realloc(block, size);
}
void free(void* block) { __libc_free(block); }
}

namespace {
bool installCounter() { return true; }
}  // namespace

#elif defined(VEXLAN_COUNT_BY_CRT_OVERRIDE)

namespace {

using MallocFunction = void*(__cdecl*)(size_t);
using CallocFunction = void*(__cdecl*)(size_t, size_t);
using ReallocFunction = void*(__cdecl*)(void*, size_t);
using FreeFunction = void(__cdecl*)(void*);

struct CrtAllocator {
    MallocFunction malloc;
    CallocFunction calloc;
    ReallocFunction realloc;
    FreeFunction free;
};

// Resolved on first use, before any static constructor may have run; the
// runtime DLL is loaded with the program.
CrtAllocator& crt() {
    static CrtAllocator functions{};
    if (!functions.free) {
        HMODULE runtime = GetModuleHandleA("msvcrt.dll");
        functions.malloc = reinterpret_cast<MallocFunction>(reinterpret_cast<void*>(GetProcAddress(runtime, "malloc")));
        functions.calloc = reinterpret_cast<CallocFunction>(reinterpret_cast<void*>(GetProcAddress(runtime, "calloc")));
        functions.realloc =
            reinterpret_cast<ReallocFunction>(reinterpret_cast<void*>(GetProcAddress(runtime, "realloc")));
        functions.free = reinterpret_cast<FreeFunction>(reinterpret_cast<void*>(GetProcAddress(runtime, "free")));
    }
    return functions;
}

bool installCounter() { return crt().malloc && crt().calloc && crt().realloc && crt().free; }

}  // namespace

extern "C" {
void* __cdecl malloc(size_t size) {
    noteAllocation();
    return crt().malloc(size);
}
void* __cdecl calloc(size_t count, size_t size) {
    noteAllocation();
    return crt().calloc(count, size);
}
void* __cdecl realloc(void* block, size_t size) {
    noteAllocation();
    return crt().realloc(block, size);
}
void __cdecl free(void* block) { crt().free(block); }
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
    {"EQ stereo", 4096, 2, 2, kModeEq, 0.125f, 0.0f, 512, false, 0},
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
#if !defined(VEXLAN_COUNT_BY_SANITIZER_HOOK) && !defined(VEXLAN_COUNT_BY_LIBC_OVERRIDE) && \
    !defined(VEXLAN_COUNT_BY_CRT_OVERRIDE)
    GTEST_SKIP() << "no way to count allocations with this C library";
#endif
    ASSERT_TRUE(installCounter());
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
        Channels input;
        Channels output;
        for (int c = 0; c < scenario.channels; ++c) {
            input.push_back(noise(length, 90 + c, 0.5));
            output.emplace_back(scenario.blockSize);
        }
        std::vector<float*> in(scenario.channels);
        std::vector<float*> out(scenario.channels);
        for (int c = 0; c < scenario.channels; ++c) out[c] = output[c].data();
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

TEST(Allocation, CounterSeesAnAllocation) {
#if !defined(VEXLAN_COUNT_BY_SANITIZER_HOOK) && !defined(VEXLAN_COUNT_BY_LIBC_OVERRIDE) && \
    !defined(VEXLAN_COUNT_BY_CRT_OVERRIDE)
    GTEST_SKIP() << "no way to count allocations with this C library";
#endif
    ASSERT_TRUE(installCounter());
    // A queue that has to grow must show up, or a zero above proves nothing.
    ChannelQueue queue;
    allocations = 0;
    counting = true;
    const bool appended = appendToQueue(queue, nullptr, 100000);
    counting = false;
    freeBuffer(queue.buffer);
    EXPECT_TRUE(appended);
    EXPECT_GE(allocations.load(), 1);
}
