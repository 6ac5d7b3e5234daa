// The plug-in's saved state as the host edits and keeps it: the chunk the
// plug-in hands out through effGetChunk, taken apart into its fields, and a
// state file that keeps one chunk as a DAW's project does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

constexpr int32_t kChunkMarkerPoints = 0x129C;      // the graph is its points
constexpr int32_t kChunkMarkerCompressed = 0x129B;  // a compressed gain table follows
constexpr int32_t kChunkMarkerRawTable = 0x129A;    // 4096 raw float32 follow
constexpr int kGainTableSize = 4096;
constexpr int kMaxChunkPoints = 32;
constexpr int32_t kEditModePrecise = 1;
constexpr int32_t kEditModeSmooth = 2;

struct ChunkPoint {
    float frequency;  // Hz
    float gain;       // dB
};

// Every field of a complete chunk. `table` is empty for the points form and
// holds the 4096 decoded gains otherwise.
struct StateChunk {
    int32_t marker = kChunkMarkerPoints;
    std::vector<float> table;
    float graphMinDb = 0.0f;
    float graphMaxDb = 0.0f;
    int32_t fftSize = 0;
    float showAnalysis = 0.0f;
    float reduceArtifacts = 0.0f;
    int32_t editMode = 0;
    std::vector<ChunkPoint> points;
    int32_t processingMode = 0;
    float gateFloor = 0.0f;
    float compressorRatio = 0.0f;
    float outputGain = 0.0f;
    float analysisFloor = 0.0f;
    float quality = 0.0f;
    int32_t editorWidth = 0;
    int32_t editorHeight = 0;
    uint32_t channelWord = 0;
    float graphOffset = 0.0f;
    // Bytes after the last field (the plug-in writes reserved zeros there),
    // written back as they came.
    std::vector<uint8_t> trailing;
};

// Reads a chunk as the plug-in writes it; unlike the plug-in's own reader it
// refuses anything incomplete or unknown, since the host edits every field.
bool parseStateChunk(const std::vector<uint8_t>& bytes, StateChunk& chunk, std::string& error);
// A table is written raw (0x129A), which the plug-in reads as it reads its
// own compressed form.
std::vector<uint8_t> serialiseStateChunk(const StateChunk& chunk);

// A state file: "VEXLANST", format version, the plug-in's uniqueID, the
// chunk's byte count, then the chunk.
struct StateFile {
    int32_t uniqueId = 0;
    std::vector<uint8_t> chunk;
};

std::vector<uint8_t> encodeStateFile(const StateFile& state);
bool decodeStateFile(const std::vector<uint8_t>& bytes, StateFile& state, std::string& error);
bool readStateFile(const std::string& path, StateFile& state, std::string& error);
bool writeStateFile(const std::string& path, const StateFile& state, std::string& error);

}  // namespace host
