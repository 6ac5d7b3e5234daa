// The saved-state chunk as the host takes it apart and rebuilds it, and the
// state file that keeps one. The plug-in's own compressed gain tables are
// read, rewritten raw and loaded back in the noise-learning test.
#include <gtest/gtest.h>

#include <cstring>

#include "file_test_support.h"
#include "state_file.h"

namespace {

using host::StateChunk;

void putWord(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(value >> shift));
}
void putFloat(std::vector<uint8_t>& out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    putWord(out, bits);
}

// Body and tail of a chunk laid out field by field, with distinct values.
void putBodyAndTail(std::vector<uint8_t>& out, int pointCount) {
    putFloat(out, -90.0f);   // graph minimum
    putFloat(out, 24.0f);    // graph maximum
    putWord(out, 2048);      // FFT size
    putFloat(out, 1.0f);     // show analysis
    putFloat(out, 0.0f);     // reduce artifacts
    putWord(out, 2);         // edit mode
    putWord(out, uint32_t(pointCount));
    for (int i = 0; i < pointCount; ++i) {
        putFloat(out, 100.0f * float(i + 1));
        putFloat(out, -float(i));
    }
    putWord(out, 3);           // processing mode
    putFloat(out, 0.25f);      // gate floor
    putFloat(out, 0.008016f);  // compressor ratio
    putFloat(out, 0.5f);       // output gain
    putFloat(out, 3.1623e-5f); // analysis floor
    putFloat(out, 0.125f);     // quality
    putWord(out, 640);         // editor width
    putWord(out, 480);         // editor height
    putWord(out, 0x00900002);  // two channels, metering source 144
    putFloat(out, 1.5f);       // graph offset
    putWord(out, 0);           // reserved
    putWord(out, 0);
}

std::vector<uint8_t> pointsChunk(int pointCount) {
    std::vector<uint8_t> bytes;
    putWord(bytes, host::kChunkMarkerPoints);
    putBodyAndTail(bytes, pointCount);
    return bytes;
}

TEST(StateChunk, EditedFieldsAreReadAtTheirOffsetsAndTheChunkIsWrittenBackIdentically) {
    const std::vector<uint8_t> bytes = pointsChunk(2);
    ASSERT_EQ(bytes.size(), 96u);  // the size of a default two-point state
    StateChunk chunk;
    std::string error;
    ASSERT_TRUE(host::parseStateChunk(bytes, chunk, error)) << error;
    // The fields the host edits; the rest need only come back unchanged.
    EXPECT_EQ(chunk.marker, host::kChunkMarkerPoints);
    EXPECT_TRUE(chunk.table.empty());
    EXPECT_EQ(chunk.fftSize, 2048);
    EXPECT_EQ(chunk.editMode, 2);
    ASSERT_EQ(chunk.points.size(), 2u);
    EXPECT_EQ(chunk.points[1].frequency, 200.0f);
    EXPECT_EQ(chunk.points[1].gain, -1.0f);
    EXPECT_EQ(chunk.processingMode, 3);
    EXPECT_EQ(chunk.graphOffset, 1.5f);
    EXPECT_EQ(host::serialiseStateChunk(chunk), bytes);

    ASSERT_TRUE(host::parseStateChunk(pointsChunk(32), chunk, error)) << error;
    EXPECT_EQ(chunk.points.size(), 32u);
}

void expectRefused(const std::vector<uint8_t>& bytes, const std::string& reason) {
    StateChunk chunk;
    std::string error;
    EXPECT_FALSE(host::parseStateChunk(bytes, chunk, error)) << reason;
    EXPECT_NE(error.find(reason), std::string::npos) << error;
}

TEST(StateChunk, IncompleteOrUnknownChunksAreRefused) {
    const std::vector<uint8_t> good = pointsChunk(2);
    expectRefused({}, "empty");
    std::vector<uint8_t> unknown = good;
    unknown[0] = 0x99;
    expectRefused(unknown, "unknown marker");
    expectRefused({good.begin(), good.begin() + 20}, "body");
    expectRefused({good.begin(), good.end() - 12}, "cut short");
    expectRefused(pointsChunk(33), "33 graph points");

    std::vector<uint8_t> shortRaw;
    putWord(shortRaw, host::kChunkMarkerRawTable);
    shortRaw.resize(4 + 16000);
    expectRefused(shortRaw, "gain table");
    std::vector<uint8_t> shortStream;
    putWord(shortStream, host::kChunkMarkerCompressed);
    shortStream.push_back(0x05);  // promises six values
    putFloat(shortStream, 1.0f);
    expectRefused(shortStream, "gain table");
}

// Writing and reading the file itself goes through `save-state` and
// `--state` in the process command's tests.
TEST(StateFile, KeepsTheChunkAndThePluginItBelongsToAndRefusesWhatIsNoState) {
    host::StateFile state;
    state.uniqueId = 0x4E764566;
    state.chunk = pointsChunk(3);
    const std::vector<uint8_t> good = host::encodeStateFile(state);
    host::StateFile back;
    std::string error;
    ASSERT_TRUE(host::decodeStateFile(good, back, error)) << error;
    EXPECT_EQ(back.uniqueId, state.uniqueId);
    EXPECT_EQ(back.chunk, state.chunk);

    EXPECT_FALSE(host::decodeStateFile({good.begin(), good.begin() + 12}, back, error));
    EXPECT_EQ(error, "not a Vexlan state file");

    std::vector<uint8_t> version = good;
    version[8] = 2;
    EXPECT_FALSE(host::decodeStateFile(version, back, error));
    EXPECT_NE(error.find("version 2"), std::string::npos);

    EXPECT_FALSE(host::decodeStateFile({good.begin(), good.end() - 1}, back, error));
    EXPECT_NE(error.find("damaged"), std::string::npos);

    std::vector<uint8_t> badChunk = good;
    badChunk[20] = 0x42;  // the chunk's marker
    EXPECT_FALSE(host::decodeStateFile(badChunk, back, error));
    EXPECT_NE(error.find("unknown marker"), std::string::npos);

    filetest::ScratchFolder folder;
    EXPECT_FALSE(host::readStateFile(folder.file("none.vxs"), back, error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

}  // namespace
