#include "render_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audio_file.h"
#include "plugin_run.h"
#include "plugin_session.h"
#include "plugin_settings.h"
#include "png_file.h"
#include "process_command.h"
#include "raster.h"
#include "terminal.h"

namespace host {

namespace {

using vexlan::AEffect;
using vexlan::VizeBitmap;

constexpr int32_t kVendorEmbeddedView = 16;
constexpr float kViewStart = 1.0f;
constexpr float kViewStop = 2.0f;
constexpr float kViewPaint = 15.0f;
constexpr int kRenderBlockSize = 512;

// The host's view record: width, height and mouse position at bytes 24 to 39.
struct ViewRecord {
    int32_t reserved[6];
    int32_t width;
    int32_t height;
    int32_t mouseX;
    int32_t mouseY;
};

intptr_t embeddedView(AEffect* effect, float code, intptr_t value = 0, void* record = nullptr) {
    return effect->dispatcher(effect, vexlan::effVendorSpecific, kVendorEmbeddedView, value, record, code);
}

// Runs the first `frames` of the file through the plug-in, painting 20
// times per second of audio as the editor repaints, so the smoothed spectra
// settle as they would on screen.
bool processWhilePainting(AEffect* effect, AudioReader& reader, uint64_t frames, VizeBitmap* bitmap,
                          std::string& error) {
    const int channels = reader.format.channels;
    const double rate = reader.format.sampleRate;
    if (!resumePlugin(effect, rate, channels, kRenderBlockSize, error)) return false;
    const size_t repaintFrames = std::max<size_t>(1, reader.format.sampleRate / kRenderRepaintsPerSecond);
    size_t nextPaint = repaintFrames;
    PluginRun run;
    run.blockSize = kRenderBlockSize;
    run.latencyCompensation = false;
    run.progress = [&](size_t done) {
        for (; done >= nextPaint; nextPaint += repaintFrames) paintEmbeddedGraph(effect, bitmap);
    };
    uint64_t remaining = frames;
    const FrameSource source = [&](float* samples, size_t wanted, size_t& got, std::string& readError) {
        got = 0;
        const size_t take = size_t(std::min<uint64_t>(wanted, remaining));
        if (take > 0 && !readAudioFrames(reader, samples, take, got, readError)) return false;
        remaining -= got;
        return true;
    };
    const FrameSink sink = [](const float*, const float*, size_t, std::string&) { return true; };
    const bool ran = runPlugin(effect, channels, run, source, sink, error);
    suspendPlugin(effect);
    return ran;
}

}  // namespace

intptr_t paintEmbeddedGraph(AEffect* effect, VizeBitmap* bitmap) {
    ViewRecord record{};
    record.width = bitmap->getWidth();
    record.height = bitmap->getHeight();
    record.mouseX = -1;
    record.mouseY = -1;
    return embeddedView(effect, kViewPaint, reinterpret_cast<intptr_t>(bitmap), &record);
}

int runRenderCommand(const CommandLine& line) {
    std::string error;
    const RenderOptions& options = line.render;
    AudioReader reader;
    uint64_t frames = 0;
    if (!options.audioPath.empty()) {
        if (!openAudioReader(options.audioPath, reader, error)) return reportError(error);
        const double seconds = double(reader.frames) / reader.format.sampleRate;
        frames = options.atSeconds < 0.0
                     ? reader.frames
                     : std::min<uint64_t>(reader.frames, uint64_t(std::llround(options.atSeconds * reader.format.sampleRate)));
        if (options.atSeconds > seconds) {
            char text[160];
            std::snprintf(text, sizeof text, "--at %.3f s is past the end of %s (%.3f s)", options.atSeconds,
                          options.audioPath.c_str(), seconds);
            return reportError(text);
        }
    }
    PluginSession session;
    if (!openSession(pluginPathToLoad(line.pluginPath), session, error)) return reportError(error);
    AEffect* effect = session.effect;
    // Spectra need "Show analysis"; the settings may still turn it off.
    if (!options.audioPath.empty()) effect->setParameter(effect, 0, 1.0f);
    const double rate = options.audioPath.empty() ? 0.0 : double(reader.format.sampleRate);
    VizeBitmap* bitmap = vizeCreateBitmap(1, options.width, options.height);
    bool ok = applySettings(effect, line.settings, rate, error);
    if (ok && (!bitmap || !bitmap->getBits())) {
        error = "cannot make a " + std::to_string(options.width) + "x" + std::to_string(options.height) + " bitmap";
        ok = false;
    }
    if (ok) {
        int32_t scale = options.scale;
        bitmap->extended(vexlan::kBitmapSetScale, &scale);
        embeddedView(effect, kViewStart);
        if (!options.audioPath.empty()) ok = processWhilePainting(effect, reader, frames, bitmap, error);
        if (ok && paintEmbeddedGraph(effect, bitmap) != 1) {
            error = "the plug-in did not paint its embedded view";
            ok = false;
        }
        embeddedView(effect, kViewStop);
    }
    if (ok) ok = writePng(line.outputPath, bitmap, error);
    vexlan::destroyHostObject(bitmap);
    closeSession(session);
    if (!ok) return reportError(error);
    std::printf("wrote %s: %dx%d at scale %d", line.outputPath.c_str(), options.width, options.height, options.scale);
    if (!options.audioPath.empty()) {
        std::printf(", spectra of %s", options.audioPath.c_str());
        if (options.atSeconds >= 0.0) std::printf(" at %.3f s", options.atSeconds);
    }
    std::printf("\n");
    return 0;
}

}  // namespace host
