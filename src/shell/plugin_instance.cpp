#include "shell/plugin_instance.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

#include "dsp/block_processor.h"
#include "graph/graph_model.h"
#include "shell/builtin_host.h"
#include "shell/dispatcher.h"
#include "shell/editor_link.h"
#include "shell/parameters.h"
#include "shell/process_state.h"
#include "ui/graph_renderer.h"

namespace vexlan {

namespace {

constexpr int32_t kSampleBytes = int32_t(sizeof(float));

void VST_CALL processNothing(AEffect*, float**, float**, int32_t) {}

void VST_CALL processReplacing(AEffect* effect, float** inputs, float** outputs, int32_t frames) {
    if (PluginInstance* instance = instanceOf(effect)) processBlock(*instance, inputs, outputs, frames);
}

void fillEffect(PluginInstance& instance) {
    AEffect& effect = instance.effect;
    std::memset(&effect, 0, sizeof effect);
    effect.magic = kEffectMagic;
    effect.dispatcher = dispatcher;
    effect.process = processNothing;
    effect.setParameter = setParameter;
    effect.getParameter = getParameter;
    effect.numPrograms = 1;
    effect.numParams = kParameterCount;
    effect.numInputs = 2;
    effect.numOutputs = 2;
    effect.flags = effFlagsHasEditor | effFlagsCanReplacing | effFlagsProgramChunks | effFlagsNoSoundInStop;
    effect.initialDelay = instance.fftSize;
    effect.ioRatio = 1.0f;
    effect.object = &instance;
    effect.uniqueID = kUniqueId;
    effect.version = kPluginVersion;
    effect.processReplacing = processReplacing;
}

// Appends zeros or drops queued bytes so the queue holds `reference` bytes.
void alignQueue(ChannelQueue& queue, int32_t reference) {
    const int32_t queued = queuedBytes(queue);
    if (queued > reference) {
        consumeFromQueue(queue, queued - reference);
    } else if (queued < reference) {
        appendToQueue(queue, nullptr, reference - queued);
    }
}

}  // namespace

void applySettingsTail(PluginInstance& instance) {
    instance.tableChanged = 1;
    for (int index : {int(kParamGateFloor), int(kParamOutputGain)}) {
        if (instance.paramValues[index] <= kSilentAmplitude) instance.paramValues[index] = 0.0;
    }
    instance.effect.initialDelay = instance.fftSize;
}

bool resizeAnalysisBuffer(PluginInstance& instance) {
    const int32_t bytes = instance.fftSize * 2 * kSampleBytes;
    resizeBuffer(instance.analysisBuffer, bytes, true);
    if (instance.analysisBuffer.size != bytes) return false;
    std::memset(instance.analysisBuffer.data, 0, size_t(bytes));
    return true;
}

PluginInstance* createInstance() {
    PluginInstance* instance = new (std::nothrow) PluginInstance();
    if (!instance) return nullptr;
    PluginInstance& self = *instance;
    initLock(self.displayLock);
    initLock(self.stateLock);
    for (int i = 0; i < kParameterCount; ++i) self.paramValues[i] = normalisedDefault(i);

    self.fftSize = kDefaultFftSize;
    fillEffect(self);
    self.sampleRate = 44100.0;
    self.editorWindow = nullptr;
    self.editorRefreshPending = 0;
    self.processingMode = kModeEq;
    self.filterMode = -1;
    self.meteringSource = 0;
    self.channelLayout = 2;
    self.autoNoiseProfile = 0;
    self.editMode = kEditPointsSmooth;
    self.pointCount = 2;
    std::memset(self.points, 0, sizeof self.points);
    self.graphMinDb = -90.0;
    self.graphMaxDb = 24.0;
    resetGraphPoints(self);

    resizeBuffer(self.analysisBuffer, kDefaultFftSize * 2 * kSampleBytes, false);
    if (self.analysisBuffer.data) std::memset(self.analysisBuffer.data, 0, size_t(self.analysisBuffer.size));
    std::fill(std::begin(self.binGainTable), std::end(self.binGainTable), 1.0f);
    self.filterReduceArtifacts = -1;
    self.tableChanged = 1;
    self.displayScale = 256;
    self.embeddedScale = 256;
    self.graphBitmap = nullptr;
    self.embeddedViewActive = 0;
    self.editorWidth = 0;
    self.editorHeight = 0;

    if (processState.instanceCount++ == 0) {
        processState.windowClassRegistered = registerGraphWindowClass(processState.moduleHandle);
        registerBuiltInWindowClasses();
    }
    self.readoutText[0] = '\0';
    self.embeddedReadoutText[0] = '\0';
    {
        LockHold state(self.stateLock);
        LockHold display(self.displayLock);
        self.tableChanged = 1;
        resizeAnalysisBuffer(self);
        applySettingsTail(self);
    }
    self.appliedOutputGain = self.paramValues[kParamOutputGain];
    resetProcessing(self);
    return instance;
}

void destroyInstance(PluginInstance* instance) {
    if (!instance) return;
    PluginInstance& self = *instance;
    destroyEditorWindow(self);
    destroyHostObject(self.graphBitmap);
    self.graphBitmap = nullptr;
    if (--processState.instanceCount == 0 && processState.windowClassRegistered) {
        unregisterGraphWindowClass(processState.moduleHandle);
        processState.windowClassRegistered = false;
        releaseGraphRenderer();
    }
    if (processState.instanceCount == 0) unregisterBuiltInWindowClasses();
    freeBuffer(self.childResizer.items);
    deleteLock(self.stateLock);
    for (GrowableBuffer& buffer : self.displayBuffers) freeBuffer(buffer);
    deleteLock(self.displayLock);
    for (GrowableBuffer& buffer : self.graphScratch) freeBuffer(buffer);
    freeBuffer(self.analysisBuffer);
    freeBuffer(self.crossfadeWindow);
    freeBuffer(self.filterBuffer);
    freeBuffer(self.spectrumBuffer);
    for (int c = 0; c < kMaxChannels; ++c) {
        freeBuffer(self.channelBuffers[c]);
        freeBuffer(self.outputQueues[c].buffer);
        freeBuffer(self.inputQueues[c].buffer);
    }
    delete instance;
}

void resetProcessing(PluginInstance& instance) {
    for (int c = 0; c < kMaxChannels; ++c) {
        clearQueue(instance.inputQueues[c]);
        clearQueue(instance.outputQueues[c]);
        GrowableBuffer& tail = instance.channelBuffers[c];
        if (tail.data && tail.size > 0) std::memset(tail.data, 0, size_t(tail.size));
    }
    instance.effect.initialDelay = instance.fftSize;
    instance.startState = 1;
    instance.latencyCounter = 0;
    instance.editGestureParam = -1;
    instance.editGestureFocus = nullptr;
    instance.appliedOutputGain = instance.paramValues[kParamOutputGain];
}

void resetAnalysis(PluginInstance& instance, bool clear) {
    LockHold state(instance.stateLock);
    LockHold display(instance.displayLock);
    instance.tableChanged = 1;
    if (clear) {
        resizeAnalysisBuffer(instance);
        invalidateGraphControl(instance, false);
    }
    applySettingsTail(instance);
}

void setFftSize(PluginInstance& instance, int32_t size) {
    if (!isValidFftSize(size)) return;
    LockHold state(instance.stateLock);
    LockHold display(instance.displayLock);
    instance.fftSize = size;
    instance.tableChanged = 1;
    resizeAnalysisBuffer(instance);
    invalidateGraphControl(instance, false);
    applySettingsTail(instance);
}

void setChannelCount(PluginInstance& instance, int32_t count) {
    const int32_t n = count < 1 ? 2 : std::min(count, kMaxChannels);
    instance.effect.numInputs = n;
    instance.effect.numOutputs = n;
    const int32_t inputReference = queuedBytes(instance.inputQueues[0]);
    const int32_t outputReference = queuedBytes(instance.outputQueues[0]);
    for (int c = 1; c < n; ++c) {
        alignQueue(instance.inputQueues[c], inputReference);
        alignQueue(instance.outputQueues[c], outputReference);
    }
    for (int c = n; c < kMaxChannels; ++c) {
        clearQueue(instance.inputQueues[c]);
        clearQueue(instance.outputQueues[c]);
        resizeBuffer(instance.channelBuffers[c], 0, true);
    }
}

}  // namespace vexlan
