#include "render_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

// The first `seconds` of the audio (all of it when negative).
AudioData leadingPart(const AudioData& audio, double seconds) {
    if (seconds < 0.0) return audio;
    const size_t frames = std::min(frameCount(audio), size_t(std::llround(seconds * audio.format.sampleRate)));
    AudioData part = makeAudio(audio.format, frames);
    for (size_t c = 0; c < audio.channels.size(); ++c) {
        std::copy_n(audio.channels[c].begin(), frames, part.channels[c].begin());
    }
    return part;
}

// Runs the audio through the plug-in, painting 20 times per second of audio
// as the editor repaints, so the spectra settle as they would on screen.
bool processWhilePainting(AEffect* effect, const AudioData& audio, VizeBitmap* bitmap, std::string& error) {
    const size_t repaintFrames = std::max<size_t>(1, audio.format.sampleRate / kRenderRepaintsPerSecond);
    size_t nextPaint = repaintFrames;
    ProcessRun run;
    run.latencyCompensation = false;
    run.progress = [&](size_t done, size_t) {
        for (; done >= nextPaint; nextPaint += repaintFrames) paintEmbeddedGraph(effect, bitmap);
    };
    AudioData ignored;
    return processAudio(effect, audio, run, ignored, error);
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
    AudioData audio;
    if (!options.audioPath.empty()) {
        if (!readWav(options.audioPath, audio, error)) return reportError(error);
        const double seconds = double(frameCount(audio)) / audio.format.sampleRate;
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
    const double rate = options.audioPath.empty() ? 0.0 : double(audio.format.sampleRate);
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
        if (!options.audioPath.empty()) ok = processWhilePainting(effect, leadingPart(audio, options.atSeconds), bitmap, error);
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
