#include "state_file.h"

#include <cstring>

#include "file_io.h"

namespace host {

namespace {

constexpr char kStateMagic[8] = {'V', 'E', 'X', 'L', 'A', 'N', 'S', 'T'};
constexpr uint32_t kStateVersion = 1;
constexpr size_t kStateHeaderBytes = 20;
constexpr size_t kBodyFixedBytes = 28;
constexpr size_t kTailBytes = 40;

struct Reader {
    const std::vector<uint8_t>& bytes;
    size_t position = 0;

    bool has(size_t count) const { return bytes.size() - position >= count; }
    uint32_t word() {
        const uint8_t* p = bytes.data() + position;
        position += 4;
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
    }
    int32_t integer() { return int32_t(word()); }
    float real() {
        const uint32_t bits = word();
        float value;
        std::memcpy(&value, &bits, 4);
        return value;
    }
    uint8_t byte() { return bytes[position++]; }
};

void putWord(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(value >> shift));
}
void putInteger(std::vector<uint8_t>& out, int32_t value) { putWord(out, uint32_t(value)); }
void putReal(std::vector<uint8_t>& out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    putWord(out, bits);
}

// The token stream of the compressed table: literal runs, repeats and
// linear extrapolations, exactly as the plug-in decodes it.
bool decodeCompressedTable(Reader& reader, std::vector<float>& table) {
    table.clear();
    double current = 0.0;
    double previous = 0.0;
    while (table.size() < size_t(kGainTableSize)) {
        if (!reader.has(1)) return false;
        const uint8_t token = reader.byte();
        if (token < 0x80) {
            for (int i = 0; i <= token; ++i) {
                if (!reader.has(4) || table.size() >= size_t(kGainTableSize)) return false;
                previous = current;
                current = reader.real();
                table.push_back(float(current));
            }
        } else if (token == 0x80) {
            table.push_back(float(current));
            previous = current;
        } else {
            for (int i = 0; i < (token & 0x7F); ++i) {
                if (table.size() >= size_t(kGainTableSize)) return false;
                const double next = 2.0 * current - previous;
                previous = current;
                current = next;
                table.push_back(float(next));
            }
        }
    }
    return true;
}

}  // namespace

bool parseStateChunk(const std::vector<uint8_t>& bytes, StateChunk& chunk, std::string& error) {
    Reader reader{bytes};
    if (!reader.has(4)) {
        error = "state chunk is empty (" + std::to_string(bytes.size()) + " bytes)";
        return false;
    }
    chunk = StateChunk{};
    chunk.marker = reader.integer();
    if (chunk.marker == kChunkMarkerCompressed) {
        if (!decodeCompressedTable(reader, chunk.table)) {
            error = "state chunk's gain table is cut short";
            return false;
        }
    } else if (chunk.marker == kChunkMarkerRawTable) {
        if (!reader.has(4 * size_t(kGainTableSize))) {
            error = "state chunk's gain table is cut short";
            return false;
        }
        for (int i = 0; i < kGainTableSize; ++i) chunk.table.push_back(reader.real());
    } else if (chunk.marker != kChunkMarkerPoints) {
        error = "state chunk has an unknown marker " + std::to_string(chunk.marker);
        return false;
    }
    if (!reader.has(kBodyFixedBytes)) {
        error = "state chunk is cut short in its body";
        return false;
    }
    chunk.graphMinDb = reader.real();
    chunk.graphMaxDb = reader.real();
    chunk.fftSize = reader.integer();
    chunk.showAnalysis = reader.real();
    chunk.reduceArtifacts = reader.real();
    chunk.editMode = reader.integer();
    const int32_t pointCount = reader.integer();
    if (pointCount < 0 || pointCount > kMaxChunkPoints) {
        error = "state chunk has " + std::to_string(pointCount) + " graph points (0 to 32)";
        return false;
    }
    if (!reader.has(8 * size_t(pointCount) + kTailBytes)) {
        error = "state chunk is cut short after its body";
        return false;
    }
    for (int32_t i = 0; i < pointCount; ++i) {
        ChunkPoint point;
        point.frequency = reader.real();
        point.gain = reader.real();
        chunk.points.push_back(point);
    }
    chunk.processingMode = reader.integer();
    chunk.gateFloor = reader.real();
    chunk.compressorRatio = reader.real();
    chunk.outputGain = reader.real();
    chunk.analysisFloor = reader.real();
    chunk.quality = reader.real();
    chunk.editorWidth = reader.integer();
    chunk.editorHeight = reader.integer();
    chunk.channelWord = reader.word();
    chunk.graphOffset = reader.real();
    chunk.trailing.assign(bytes.begin() + std::ptrdiff_t(reader.position), bytes.end());
    return true;
}

std::vector<uint8_t> serialiseStateChunk(const StateChunk& chunk) {
    std::vector<uint8_t> out;
    const bool withTable = chunk.table.size() == size_t(kGainTableSize);
    putInteger(out, withTable ? kChunkMarkerRawTable : kChunkMarkerPoints);
    if (withTable) {
        for (float value : chunk.table) putReal(out, value);
    }
    putReal(out, chunk.graphMinDb);
    putReal(out, chunk.graphMaxDb);
    putInteger(out, chunk.fftSize);
    putReal(out, chunk.showAnalysis);
    putReal(out, chunk.reduceArtifacts);
    putInteger(out, chunk.editMode);
    putInteger(out, int32_t(chunk.points.size()));
    for (const ChunkPoint& point : chunk.points) {
        putReal(out, point.frequency);
        putReal(out, point.gain);
    }
    putInteger(out, chunk.processingMode);
    putReal(out, chunk.gateFloor);
    putReal(out, chunk.compressorRatio);
    putReal(out, chunk.outputGain);
    putReal(out, chunk.analysisFloor);
    putReal(out, chunk.quality);
    putInteger(out, chunk.editorWidth);
    putInteger(out, chunk.editorHeight);
    putWord(out, chunk.channelWord);
    putReal(out, chunk.graphOffset);
    out.insert(out.end(), chunk.trailing.begin(), chunk.trailing.end());
    return out;
}

std::vector<uint8_t> encodeStateFile(const StateFile& state) {
    std::vector<uint8_t> out(kStateMagic, kStateMagic + sizeof kStateMagic);
    putWord(out, kStateVersion);
    putInteger(out, state.uniqueId);
    putWord(out, uint32_t(state.chunk.size()));
    out.insert(out.end(), state.chunk.begin(), state.chunk.end());
    return out;
}

bool decodeStateFile(const std::vector<uint8_t>& bytes, StateFile& state, std::string& error) {
    if (bytes.size() < kStateHeaderBytes || std::memcmp(bytes.data(), kStateMagic, sizeof kStateMagic) != 0) {
        error = "not a Vexlan state file";
        return false;
    }
    Reader reader{bytes, sizeof kStateMagic};
    const uint32_t version = reader.word();
    if (version != kStateVersion) {
        error = "state file version " + std::to_string(version) + " is not supported";
        return false;
    }
    state.uniqueId = reader.integer();
    const uint32_t size = reader.word();
    if (bytes.size() - kStateHeaderBytes != size) {
        error = "state file is damaged: it should hold " + std::to_string(size) + " state bytes, not " +
                std::to_string(bytes.size() - kStateHeaderBytes);
        return false;
    }
    state.chunk.assign(bytes.begin() + kStateHeaderBytes, bytes.end());
    StateChunk chunk;
    if (!parseStateChunk(state.chunk, chunk, error)) {
        error = "state file is damaged: " + error;
        return false;
    }
    return true;
}

bool readStateFile(const std::string& path, StateFile& state, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!readFileBytes(path, bytes, error)) return false;
    if (!decodeStateFile(bytes, state, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool writeStateFile(const std::string& path, const StateFile& state, std::string& error) {
    return writeFileAtomically(path, encodeStateFile(state), error);
}

}  // namespace host
