#include "shell/state_chunk.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <thread>

#include "graph/graph_model.h"
#include "shell/editor_link.h"
#include "shell/little_endian.h"
#include "shell/parameters.h"
#include "shell/plugin_instance.h"
#include "shell/process_state.h"
#include "shell/table_codec.h"

namespace vexlan {

namespace {

// The marker tells the three forms of the table apart.
constexpr int32_t kMarkerRawTable = 0x129A;  // 4096 float32; read, never written
constexpr int32_t kMarkerCompressedTable = 0x129B;
constexpr int32_t kMarkerPointsOnly = 0x129C;

constexpr int32_t kFieldBytes = 4;
constexpr int32_t kRawTableBytes = kBinGainTableSize * kFieldBytes;
// Graph range, FFT size, two parameters, edit mode and point count.
constexpr int32_t kBodyHeaderBytes = 28;
constexpr int32_t kPointBytes = 8;
// Ten fields, then eight reserved bytes written as zero and never read.
constexpr int32_t kTailFieldBytes = 40;
constexpr int32_t kTailBytes = kTailFieldBytes + 8;
constexpr int32_t kMaxChunkBytes = kFieldBytes + kMaxEncodedTableBytes + kBodyHeaderBytes +
                                   kMaxGraphPoints * kPointBytes + kTailBytes;

// Two channels, stereo pairs: what a block without a channel word gets.
constexpr uint32_t kDefaultChannelWord = 0x02000000;
// The host's answer when the state is loaded into a track whose channel
// count must not change.
constexpr intptr_t kKeepChannelCount = 0x50;

constexpr double kMinGraphBottomDb = -150.0;
constexpr double kMaxGraphBottomDb = -3.0;
constexpr int kModeCount = 5;
constexpr int kEditModeCount = 3;

// One chunk queue per saving thread: a host may save two instances from two
// threads at once, and each needs its bytes to stay put until it has copied
// them. A thread beyond the eighth takes over the least recently used queue.
constexpr int kChunkQueueCount = 8;

struct ChunkQueue {
    std::thread::id owner;
    uint64_t lastUse = 0;
    GrowableBuffer bytes;
};

struct ChunkQueues {
    std::mutex lock;
    uint64_t saves = 0;
    ChunkQueue queues[kChunkQueueCount];

    ChunkQueues() = default;
    ChunkQueues(const ChunkQueues&) = delete;
    ChunkQueues& operator=(const ChunkQueues&) = delete;
    ~ChunkQueues() {
        for (ChunkQueue& queue : queues) freeBuffer(queue.bytes);
    }
};

// Created on first use, freed at process exit.
ChunkQueues& chunkQueues() {
    static ChunkQueues shared;
    return shared;
}

// Callers hold the queues' lock.
GrowableBuffer& queueOfThisThread(ChunkQueues& shared) {
    const std::thread::id self = std::this_thread::get_id();
    ChunkQueue* chosen = nullptr;
    for (ChunkQueue& queue : shared.queues) {
        if (queue.owner == self) chosen = &queue;
    }
    if (!chosen) {
        chosen = &shared.queues[0];
        for (ChunkQueue& queue : shared.queues) {
            if (queue.lastUse < chosen->lastUse) chosen = &queue;
        }
        chosen->owner = self;
    }
    chosen->lastUse = ++shared.saves;
    return chosen->bytes;
}

// Returns the bytes written; `out` holds kMaxChunkBytes.
int32_t writeState(const PluginInstance& instance, uint8_t* out) {
    uint8_t* p = out;
    if (instance.editMode == kEditPrecise) {
        p = storeInt32(p, kMarkerCompressedTable);
        p += encodeTable(instance.binGainTable, p);
    } else {
        p = storeInt32(p, kMarkerPointsOnly);
    }
    const double* param = instance.paramValues;
    p = storeFloat32(p, float(instance.graphMinDb));
    p = storeFloat32(p, float(instance.graphMaxDb));
    p = storeInt32(p, instance.fftSize);
    p = storeFloat32(p, float(param[kParamShowAnalysis]));
    p = storeFloat32(p, float(param[kParamReduceArtifacts]));
    p = storeInt32(p, instance.editMode);
    const int count = activePointCount(instance);
    p = storeInt32(p, count);
    for (int i = 0; i < count; ++i) {
        p = storeFloat32(p, float(instance.points[i].frequency));
        p = storeFloat32(p, float(instance.points[i].gain));
    }
    p = storeInt32(p, instance.processingMode);
    for (int index = kParamGateFloor; index <= kParamQuality; ++index) p = storeFloat32(p, float(param[index]));
    p = storeInt32(p, instance.editorWidth);
    p = storeInt32(p, instance.editorHeight);
    p = storeUint32(p, (uint32_t(instance.effect.numInputs) & 0xFF) | (uint32_t(instance.meteringSource) & 0xFF) << 16);
    p = storeFloat32(p, float(param[kParamGraphOffset]));
    p = storeUint32(p, 0);
    p = storeUint32(p, 0);
    return int32_t(p - out);
}

// A stored float that is not finite is ignored: the field keeps its value.
void readFloat(const uint8_t* bytes, double& field) {
    const float value = loadFloat32(bytes);
    if (std::isfinite(value)) field = value;
}

void readParameter(PluginInstance& instance, int index, const uint8_t* bytes) {
    readFloat(bytes, instance.paramValues[index]);
}

// Fields after the points, as far as the block holds them.
void readTail(PluginInstance& instance, const uint8_t* tail, int64_t length, uint32_t& channelWord) {
    if (length >= 4) {
        const int32_t mode = loadInt32(tail);
        if (mode >= 0 && mode < kModeCount) instance.processingMode = mode;
    }
    if (length >= 12) {
        readParameter(instance, kParamGateFloor, tail + 4);
        readParameter(instance, kParamCompressorRatio, tail + 8);
    }
    if (length >= 16) readParameter(instance, kParamOutputGain, tail + 12);
    if (length >= 20) readParameter(instance, kParamAnalysisFloor, tail + 16);
    if (length >= 24) readParameter(instance, kParamQuality, tail + 20);
    if (length >= 32) {
        instance.editorWidth = loadInt32(tail + 24);
        instance.editorHeight = loadInt32(tail + 28);
    }
    if (length >= 36) channelWord = loadUint32(tail + 32);
    if (length >= 40) readParameter(instance, kParamGraphOffset, tail + 36);
}

// The fields after the marker and the table, each taken only when the body
// is long enough to hold it.
void readBody(PluginInstance& instance, const uint8_t* body, int64_t length, uint32_t& channelWord) {
    if (length >= 8) {
        double bottom = instance.graphMinDb;
        readFloat(body, bottom);
        instance.graphMinDb = std::clamp(bottom, kMinGraphBottomDb, kMaxGraphBottomDb);
        double top = instance.graphMaxDb;
        readFloat(body + 4, top);
        instance.graphMaxDb = std::max(top, 0.0);
    }
    if (length < 12) {
        instance.fftSize = kDefaultFftSize;
        return;
    }
    const int32_t fftSize = loadInt32(body + 8);
    if (isValidFftSize(fftSize)) instance.fftSize = fftSize;
    if (length >= 16) readParameter(instance, kParamShowAnalysis, body + 12);
    if (length >= 20) readParameter(instance, kParamReduceArtifacts, body + 16);
    if (length < kBodyHeaderBytes) return;

    const int32_t editMode = loadInt32(body + 20);
    if (editMode >= 0 && editMode < kEditModeCount) instance.editMode = editMode;
    const int64_t storedCount = std::max(loadInt32(body + 24), 0);
    instance.pointCount = int32_t(std::min<int64_t>(storedCount, kMaxGraphPoints));
    const int64_t pointsEnd = kBodyHeaderBytes + storedCount * kPointBytes;
    if (length < pointsEnd) return;
    // Pairs beyond the 32nd are skipped, so the tail is still found.
    for (int i = 0; i < instance.pointCount; ++i) {
        const uint8_t* pair = body + kBodyHeaderBytes + i * kPointBytes;
        readFloat(pair, instance.points[i].frequency);
        readFloat(pair + 4, instance.points[i].gain);
    }
    readTail(instance, body + pointsEnd, length - pointsEnd, channelWord);
}

// Everything after the marker. Returns without reading when the marker is
// unknown or a raw table is cut short: all fields then count as absent.
void readState(PluginInstance& instance, int32_t marker, const uint8_t* bytes, int32_t length,
               uint32_t& channelWord) {
    int32_t tableBytes = 0;
    switch (marker) {
        case kMarkerCompressedTable:
            tableBytes = decodeTable(bytes, length, instance.binGainTable);
            break;
        case kMarkerRawTable:
            if (length < kRawTableBytes) return;
            for (int k = 0; k < kBinGainTableSize; ++k) {
                const float value = loadFloat32(bytes + k * kFieldBytes);
                instance.binGainTable[k] = std::isfinite(value) ? value : 0.0f;
            }
            tableBytes = kRawTableBytes;
            break;
        case kMarkerPointsOnly:
            break;
        default:
            return;
    }
    readBody(instance, bytes + tableBytes, length - tableBytes, channelWord);
}

}  // namespace

int32_t saveStateChunk(PluginInstance& instance, void** data) {
    ChunkQueues& shared = chunkQueues();
    std::lock_guard<std::mutex> hold(shared.lock);
    GrowableBuffer& queue = queueOfThisThread(shared);
    auto* out = static_cast<uint8_t*>(resizeBuffer(queue, kMaxChunkBytes, false));
    int32_t length = 0;
    if (out && queue.size == kMaxChunkBytes) length = writeState(instance, out);
    resizeBuffer(queue, length, false);
    if (data) *data = length > 0 ? queue.data : nullptr;
    return length;
}

uint32_t readStateFields(PluginInstance& instance, const uint8_t* bytes, int32_t size) {
    // What a block that lacks them gets.
    instance.paramValues[kParamQuality] = 1.0;
    instance.paramValues[kParamGraphOffset] = 1.0;
    instance.editMode = kEditPrecise;
    uint32_t channelWord = kDefaultChannelWord;
    if (bytes && size > kFieldBytes) {
        readState(instance, loadInt32(bytes), bytes + kFieldBytes, size - kFieldBytes, channelWord);
    }
    return channelWord;
}

int32_t loadStateChunk(PluginInstance& instance, const void* data, int32_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (!bytes || size < 0) size = 0;
    {
        LockHold state(instance.stateLock);
        if (size <= kFieldBytes) {
            readStateFields(instance, bytes, size);
            instance.editorRefreshPending = 1;
            return 1;
        }

        LockHold display(instance.displayLock);
        const uint32_t channelWord = readStateFields(instance, bytes, size);

        // The callback takes a writable pointer; hand it a copy, not the literal.
        char query[] = "quovarLoadStateContext";
        if (callHost(&instance.effect, audioMasterCanDo, 0, 0, query, 0.0f) != kKeepChannelCount) {
            setChannelCount(instance, int32_t(channelWord & 0xFF));
        }
        instance.meteringSource = int32_t(channelWord >> 16 & 0xFF);
        const int32_t layout = int32_t(channelWord >> 24 & 0x3);
        instance.channelLayout = layout == 3 ? 2 : layout;

        if (instance.editMode != kEditPrecise) evaluateGraph(instance);
        resizeAnalysisBuffer(instance);
        applySettingsTail(instance);
        instance.appliedOutputGain = instance.paramValues[kParamOutputGain];
    }
    postEditorMessage(instance, EDITOR_MSG_METERING);
    instance.editorRefreshPending = 1;
    return 1;
}

}  // namespace vexlan
