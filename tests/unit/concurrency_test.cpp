// One thread plays the host's audio thread while another changes settings the
// way the host's user-interface thread does. Run under ThreadSanitizer these
// show any access that stateLock does not cover; a deadlock shows as a timeout.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "dsp/analysis_capture.h"
#include "shell/dispatcher.h"
#include "stream_support.h"
#include "test_host.h"

using namespace vexlan;
using namespace streamtest;
using testhost::Instance;

namespace {

constexpr int kBlock = 256;
// Generous: under the sanitizers a run meets frames of 32768 samples on up
// to eight channels at unlucky moments and takes anywhere from 4 to 40 s.
constexpr auto kDeadlockTimeout = std::chrono::minutes(5);

// Buffers for every possible channel, so the audio thread never depends on a
// channel count that the other thread may be changing.
struct AudioThread {
    explicit AudioThread(const Instance& instance) : instance(instance), input(kMaxChannels), output(kMaxChannels) {
        for (int c = 0; c < kMaxChannels; ++c) {
            input[c] = noise(kBlock, 200 + c, 0.5);
            output[c].assign(kBlock, 0.0f);
            in[c] = input[c].data();
            out[c] = output[c].data();
        }
    }

    void run() {
        while (!stop.load()) {
            instance.effect()->processReplacing(instance.effect(), in, out, kBlock);
            for (int c = 0; c < kMaxChannels; ++c) {
                if (!std::isfinite(output[c][kBlock - 1])) nonFinite.fetch_add(1);
            }
            blocks.fetch_add(1);
        }
    }

    // Returns once the audio thread has finished one more block, so that the
    // changes made between calls really meet processing.
    void awaitNextBlock() const {
        const long seen = blocks.load();
        while (blocks.load() == seen) std::this_thread::yield();
    }

    const Instance& instance;
    Channels input, output;
    float* in[kMaxChannels];
    float* out[kMaxChannels];
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::atomic<long> nonFinite{0};
};

// Runs `control` on one thread while audio plays on another; fails (and
// stops the program, whose threads could never be joined) on a deadlock.
void playWhile(const Instance& instance, const std::function<void(const AudioThread&)>& control) {
    AudioThread audio(instance);
    auto audioDone = std::async(std::launch::async, [&] { audio.run(); });
    auto controlDone = std::async(std::launch::async, [&] {
        control(audio);
        audio.stop = true;
    });
    for (auto* done : {&controlDone, &audioDone}) {
        if (done->wait_for(kDeadlockTimeout) != std::future_status::ready) {
            std::fprintf(stderr, "deadlock: processing and settings changes never finished\n");
            std::abort();
        }
    }
    EXPECT_GT(audio.blocks.load(), 0);
    EXPECT_EQ(audio.nonFinite.load(), 0);
}

}  // namespace

TEST(Concurrency, SettingsChangesAndAutomationWhileProcessing) {
    testhost::resetHost();
    Instance instance;
    const int sizes[] = {128, 1024, 4096, 256, 32768, 512, 2048};
    playWhile(instance, [&](const AudioThread& audio) {
        // Hosts may automate from a thread of their own besides the user
        // interface's.
        std::thread automation([&] {
            for (int i = 0; i < 2000; ++i) {
                if (i % 100 == 0) audio.awaitNextBlock();
                setParameter(instance, kParamOutputGain, float(i % 200) / 100.0f);
            }
        });
        for (int round = 0; round < 60; ++round) {
            audio.awaitNextBlock();
            setParameter(instance, round % kParameterCount, float((round * 37) % 100) / 100.0f);
            instance.effect()->getParameter(instance.effect(), kParamOutputGain);
            setFftSize(*instance, sizes[round % 7]);
            {
                LockHold state(instance->stateLock);
                setChannelCount(*instance, 1 + round % 5);
                instance->processingMode = round % 5;
                instance->meteringSource = (round % 3 == 0) ? kMeterMax : kMeterChannelBase + round % 4;
                instance->autoNoiseProfile = round % 2;
            }
            int32_t count = 2 + round % 7, layout = 1 + round % 2;
            instance.dispatch(effVendorSpecific, kVendorChannelConfig, reinterpret_cast<intptr_t>(&count),
                              &layout, 1.0f);
            resetAnalysis(*instance, true);
            instance.dispatch(effSetSampleRate, 0, 0, nullptr, round % 2 ? 48000.0f : 44100.0f);
            instance.dispatch(effMainsChanged, 0, 0);
            instance.dispatch(effMainsChanged, 0, 1);
            if (round % 10 == 0) instance.dispatch(effStopProcess, 0, 0);
        }
        automation.join();
    });
    // An empty block takes over the last gain written.
    instance.effect()->processReplacing(instance.effect(), nullptr, nullptr, 0);
    EXPECT_EQ(instance->appliedOutputGain, instance->paramValues[kParamOutputGain]);
}
