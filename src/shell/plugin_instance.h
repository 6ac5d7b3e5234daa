// One plug-in instance: the AEffect handed to the host, every buffer, both
// locks and the editor's handles. Created by VSTPluginMain, freed by effClose.
#pragma once

#include <cstdint>

#include "shell/growable_buffer.h"
#include "shell/host_api.h"
#include "shell/recursive_lock.h"
#include "shell/vst2_abi.h"

namespace vexlan {

constexpr int kMaxChannels = 128;
constexpr int kParameterCount = 8;
constexpr int kMaxGraphPoints = 32;
constexpr int kBinGainTableSize = 4096;
constexpr int kDefaultFftSize = 4096;
constexpr int kMinFftSize = 128;
constexpr int kMaxFftSize = 32768;
constexpr int32_t kUniqueId = fourCharCode('V', 'x', 'l', 'n');
constexpr int32_t kPluginVersion = 1100;

enum ProcessingMode : int32_t {
    kModeEq = 0,
    kModeGate = 1,
    kModeCompressor = 2,
    kModeConvolve = 3,
    kModeSubtract = 4,
};

enum EditMode : int32_t {
    kEditPointsLinear = 0,
    kEditPrecise = 1,
    kEditPointsSmooth = 2,
};

struct GraphPoint {
    double frequency;  // Hz
    double gain;       // dB
};

// The editor dialog's anchored layout (src/ui/child_resizer.h).
struct ChildResizer {
    int32_t designScale = 256;  // 1/256 units; 0 or less turns DPI conversion off for good
    WindowHandle parent = nullptr;
    int32_t designWidth = 0;    // the parent's client size at set-up
    int32_t designHeight = 0;
    GrowableBuffer items;       // ResizerItem, in registration order
    void* region = nullptr;     // GDI region, alive during one layout pass only
};

struct PluginInstance {
    double graphMinDb;
    double graphMaxDb;
    double sampleRate;
    double paramValues[kParameterCount];
    double appliedOutputGain;
    int32_t startState;
    int32_t latencyCounter;
    int32_t fftSize;
    ChannelQueue inputQueues[kMaxChannels];
    ChannelQueue outputQueues[kMaxChannels];
    GrowableBuffer channelBuffers[kMaxChannels];
    GrowableBuffer spectrumBuffer;
    GrowableBuffer filterBuffer;
    GrowableBuffer crossfadeWindow;
    GrowableBuffer analysisBuffer;
    float binGainTable[kBinGainTableSize];
    GrowableBuffer graphScratch[2];
    int32_t processingMode;
    int32_t filterMode;
    int32_t filterReduceArtifacts;
    int32_t tableChanged;
    int32_t meteringSource;
    int32_t channelLayout;
    RecursiveLock displayLock;
    GrowableBuffer displayBuffers[4];
    WindowHandle editorWindow;
    RecursiveLock stateLock;
    int32_t autoNoiseProfile;
    int32_t editMode;
    int32_t pointCount;
    GraphPoint points[kMaxGraphPoints];
    int32_t editorRefreshPending;
    VizeBitmap* graphBitmap;
    AEffect effect;
    int32_t displayScale;
    int32_t embeddedScale;
    char readoutText[128];
    char embeddedReadoutText[128];
    int32_t editGestureParam;
    WindowHandle editGestureFocus;
    ChildResizer childResizer;
    int32_t editorWidth;
    int32_t editorHeight;
    uint8_t embeddedViewActive;
};

inline PluginInstance* instanceOf(AEffect* effect) {
    return effect ? static_cast<PluginInstance*>(effect->object) : nullptr;
}

// Allocates and initialises an instance; null when memory runs out.
// The process-wide tables and host functions must already be in place.
PluginInstance* createInstance();
// effClose: editor, bitmap, window class, buffers, locks, the instance.
void destroyInstance(PluginInstance* instance);

// Empties the queues, zeroes the overlap tails and restarts the latency
// build-up. Callers hold stateLock or own the instance.
void resetProcessing(PluginInstance& instance);
// Marks the filter for rebuilding; with `clear`, resizes and zeroes the
// analysis spectrum and repaints the graph.
void resetAnalysis(PluginInstance& instance, bool clear);
// A power of two from 128 to 32768: the only sizes the block processor takes.
inline bool isValidFftSize(int32_t size) {
    return size >= kMinFftSize && size <= kMaxFftSize && (size & (size - 1)) == 0;
}
// Ignores any other size, so the audio thread never frames with it.
void setFftSize(PluginInstance& instance, int32_t size);
// Clamps to 1..128 (below 1 means 2) and realigns every active channel's
// queues with channel 0's. Callers hold stateLock.
void setChannelCount(PluginInstance& instance, int32_t count);
// The tail every settings change ends with: filter rebuild, tiny gate floor
// and output gain to exact 0, latency = FFT size.
void applySettingsTail(PluginInstance& instance);
// Resizes the analysis spectrum to 2N floats and zeroes it; false when the
// buffer could not grow.
bool resizeAnalysisBuffer(PluginInstance& instance);

}  // namespace vexlan
