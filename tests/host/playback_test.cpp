// Playback while the editor is open: the recording is the looped file
// through the plug-in, delayed by exactly its latency, on both channels.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "file_test_support.h"
#include "playback.h"
#include "plugin_session.h"

namespace {

TEST(Playback, RecordsTheLoopedFileDelayedByTheLatency) {
    filetest::ScratchFolder folder;
    constexpr size_t kLength = 1000;  // shorter than a block, so every block wraps
    const host::AudioFormat format = {host::FileType::Wav, host::SampleEncoding::Float, 32, 2, 48000};
    filetest::writeAudio(folder.file("empty.wav"), host::makeAudio(format, 0));
    host::AudioData input = host::makeAudio(format, kLength);
    for (size_t i = 0; i < kLength; ++i) {
        input.channels[0][i] = float(std::sin(0.05 * double(i))) * 0.5f;
        input.channels[1][i] = float(i % 97) / 200.0f - 0.2f;
    }
    filetest::writeAudio(folder.file("in.wav"), input);
    host::PluginSession session;
    std::string error;
    ASSERT_TRUE(host::openSession("", session, error)) << error;
    host::Playback playback;
    // A file without audio is refused and leaves no recording behind.
    EXPECT_FALSE(host::startPlayback(session.effect, folder.file("empty.wav"), folder.file("out.wav"), playback, error));
    EXPECT_NE(error.find("no audio"), std::string::npos) << error;
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"empty.wav", "in.wav"}));
    ASSERT_TRUE(host::startPlayback(session.effect, folder.file("in.wav"), folder.file("out.wav"), playback, error))
        << error;
    const size_t latency = size_t(session.effect->initialDelay);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    ASSERT_TRUE(host::stopPlayback(playback, error)) << error;
    host::closeSession(session);

    const host::AudioData recorded = filetest::readBack(folder.file("out.wav"));
    const size_t frames = host::frameCount(recorded);
    ASSERT_GT(frames, latency + kLength) << "a quarter second at 48 kHz outlasts the latency and one loop";
    EXPECT_EQ(frames % 512, 0u);
    for (size_t c = 0; c < 2; ++c) {
        for (size_t n = 0; n < frames; ++n) {
            const float expected = n < latency ? 0.0f : input.channels[c][(n - latency) % kLength];
            ASSERT_NEAR(recorded.channels[c][n], expected, 1e-4f) << "channel " << c << " frame " << n;
        }
    }
}

}  // namespace
