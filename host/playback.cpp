#include "playback.h"

#include <chrono>
#include <vector>

#include "plugin_run.h"

namespace host {

namespace {

constexpr size_t kPlaybackBlock = 512;

// Reads the next block, going back to the start at the end of the file.
bool readLooping(Playback& playback, float* samples, std::string& error) {
    size_t filled = 0;
    while (filled < kPlaybackBlock) {
        size_t got = 0;
        const size_t channels = size_t(playback.reader.format.channels);
        if (!readAudioFrames(playback.reader, samples + filled * channels, kPlaybackBlock - filled, got, error)) {
            return false;
        }
        filled += got;
        if (filled < kPlaybackBlock && !seekAudioFrame(playback.reader, 0, error)) return false;
    }
    return true;
}

void playLoop(Playback& playback) {
    vexlan::AEffect* effect = playback.effect;
    const size_t channels = size_t(playback.reader.format.channels);
    const double rate = playback.reader.format.sampleRate;
    std::vector<float> interleaved(kPlaybackBlock * channels);
    std::vector<std::vector<float>> inputs(channels, std::vector<float>(kPlaybackBlock));
    std::vector<std::vector<float>> outputs(channels, std::vector<float>(kPlaybackBlock));
    std::vector<float*> inputPointers(channels);
    std::vector<float*> outputPointers(channels);
    for (size_t c = 0; c < channels; ++c) {
        inputPointers[c] = inputs[c].data();
        outputPointers[c] = outputs[c].data();
    }
    const auto start = std::chrono::steady_clock::now();
    uint64_t framesPlayed = 0;
    while (!playback.stopRequested.load()) {
        if (!readLooping(playback, interleaved.data(), playback.error)) return;
        for (size_t c = 0; c < channels; ++c) {
            for (size_t i = 0; i < kPlaybackBlock; ++i) inputs[c][i] = interleaved[i * channels + c];
        }
        effect->processReplacing(effect, inputPointers.data(), outputPointers.data(), int32_t(kPlaybackBlock));
        if (playback.recording) {
            for (size_t c = 0; c < channels; ++c) {
                for (size_t i = 0; i < kPlaybackBlock; ++i) interleaved[i * channels + c] = outputs[c][i];
            }
            if (!writeAudioFrames(playback.recorder, interleaved.data(), kPlaybackBlock, playback.error)) return;
        }
        // A sound card asks for the next block when this one has played.
        framesPlayed += kPlaybackBlock;
        std::this_thread::sleep_until(start + std::chrono::duration<double>(double(framesPlayed) / rate));
    }
}

}  // namespace

bool startPlayback(vexlan::AEffect* effect, const std::string& audioPath, const std::string& recordPath,
                   Playback& playback, std::string& error) {
    if (!openAudioReader(audioPath, playback.reader, error)) return false;
    if (playback.reader.frames == 0) {
        error = audioPath + ": the file holds no audio to play";
        return false;
    }
    const AudioFormat& format = playback.reader.format;
    if (!recordPath.empty()) {
        AudioFormat recordFormat;
        if (!outputFormatFor(format, recordPath, "", recordFormat, error) ||
            !openAudioWriter(recordPath, recordFormat, 0, playback.recorder, error)) {
            return false;
        }
        playback.recording = true;
    }
    if (!resumePlugin(effect, format.sampleRate, format.channels, int(kPlaybackBlock), error)) return false;
    playback.effect = effect;
    playback.thread = std::thread(playLoop, std::ref(playback));
    return true;
}

bool stopPlayback(Playback& playback, std::string& error) {
    if (!playback.thread.joinable()) return true;
    playback.stopRequested.store(true);
    playback.thread.join();
    suspendPlugin(playback.effect);
    if (!playback.error.empty()) {
        error = playback.error;
        return false;
    }
    return !playback.recording || finishAudioWriter(playback.recorder, error);
}

}  // namespace host
