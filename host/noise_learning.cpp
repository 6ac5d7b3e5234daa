#include "noise_learning.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "audio_file.h"
#include "plugin_run.h"
#include "plugin_settings.h"

namespace host {

namespace {

using vexlan::AEffect;

// The plug-in's private request that switches its automatic noise profile
// on (value 1, starting from an empty profile) and off (value 0).
constexpr int32_t kVendorNoiseLearning = int32_t(0x56784E4Cu);  // 'VxNL'
constexpr int kLearningBlock = 4096;

struct FrameRange {
    uint64_t start;
    uint64_t end;
};

std::string formatSeconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

bool sectionFrames(const AudioReader& reader, const std::vector<NoiseSection>& sections,
                   std::vector<FrameRange>& ranges, std::string& error) {
    const double rate = reader.format.sampleRate;
    for (const NoiseSection& section : sections) {
        const uint64_t start = uint64_t(std::llround(section.start * rate));
        const uint64_t end =
            section.end < 0.0 ? reader.frames : std::min(reader.frames, uint64_t(std::llround(section.end * rate)));
        if (start >= end) {
            error = "the noise section from " + formatSeconds(section.start) + " s lies outside " + reader.path + " (" +
                    formatSeconds(double(reader.frames) / rate) + " s)";
            return false;
        }
        ranges.push_back({start, end});
    }
    return true;
}

}  // namespace

bool learnNoise(AEffect* effect, const std::string& path, const std::vector<NoiseSection>& sections,
                double sampleRate, std::string& error) {
    AudioReader reader;
    if (!openAudioReader(path, reader, error)) return false;
    if (sampleRate > 0.0 && double(reader.format.sampleRate) != sampleRate) {
        error = path + " runs at " + std::to_string(reader.format.sampleRate) + " Hz, the audio at " +
                formatSeconds(sampleRate) + " Hz";
        return false;
    }
    std::vector<FrameRange> ranges;
    if (!sectionFrames(reader, sections, ranges, error)) return false;
    uint64_t total = 0;
    for (const FrameRange& range : ranges) total += range.end - range.start;
    StateChunk chunk;
    if (!readPluginState(effect, chunk, error)) return false;
    // The first frame is full after half an FFT size.
    if (total < uint64_t(chunk.fftSize / 2)) {
        error = "the noise (" + std::to_string(total) + " samples) is shorter than half the FFT size";
        return false;
    }

    if (!resumePlugin(effect, reader.format.sampleRate, reader.format.channels, kLearningBlock, error)) return false;
    effect->dispatcher(effect, vexlan::effVendorSpecific, kVendorNoiseLearning, 1, nullptr, 0.0f);
    size_t section = 0;
    uint64_t position = ranges[0].start;
    bool ok = seekAudioFrame(reader, position, error);
    const FrameSource source = [&](float* samples, size_t frames, size_t& got, std::string& problem) {
        got = 0;
        while (got < frames && section < ranges.size()) {
            if (position == ranges[section].end) {
                if (++section == ranges.size()) break;
                position = ranges[section].start;
                if (!seekAudioFrame(reader, position, problem)) return false;
            }
            const size_t wanted = size_t(std::min<uint64_t>(frames - got, ranges[section].end - position));
            size_t read = 0;
            if (!readAudioFrames(reader, samples + got * size_t(reader.format.channels), wanted, read, problem)) {
                return false;
            }
            got += read;
            position += read;
            if (read < wanted) position = ranges[section].end;
        }
        return true;
    };
    PluginRun run;
    run.blockSize = kLearningBlock;
    run.latencyCompensation = false;
    const FrameSink discard = [](const float*, const float*, size_t, std::string&) { return true; };
    ok = ok && runPlugin(effect, reader.format.channels, run, source, discard, error);
    effect->dispatcher(effect, vexlan::effVendorSpecific, kVendorNoiseLearning, 0, nullptr, 0.0f);
    suspendPlugin(effect);
    if (!ok) return false;

    // The plug-in keeps the profile in its saved state at a precision of
    // 1 %; loading that state back makes this run process exactly as a
    // later one started from the saved state will.
    void* data = nullptr;
    const intptr_t size = effect->dispatcher(effect, vexlan::effGetChunk, 0, 0, &data, 0.0f);
    if (size <= 0 || !data) {
        error = "the plug-in hands out no saved state";
        return false;
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    loadPluginState(effect, std::vector<uint8_t>(bytes, bytes + size));
    return true;
}

}  // namespace host
