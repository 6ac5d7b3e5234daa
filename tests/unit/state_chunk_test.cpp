#include "shell/state_chunk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "graph/graph_model.h"
#include "shell/parameters.h"
#include "shell/table_codec.h"
#include "test_host.h"

using namespace vexlan;

namespace {

using Bytes = std::vector<uint8_t>;

// Builds blocks field by field, little-endian.
struct Block {
    Bytes bytes;
    Block& i32(int32_t value) {
        uint32_t bits;
        std::memcpy(&bits, &value, 4);
        return u32(bits);
    }
    Block& u32(uint32_t bits) {
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(uint8_t(bits >> shift));
        return *this;
    }
    Block& f32(float value) {
        uint32_t bits;
        std::memcpy(&bits, &value, 4);
        return u32(bits);
    }
    Block& byte(uint8_t value) {
        bytes.push_back(value);
        return *this;
    }
    // Graph range, FFT size, parameters 0 and 1, edit mode, point count.
    Block& header(float bottom, float top, int32_t fftSize, int32_t editMode, int32_t count) {
        return f32(bottom).f32(top).i32(fftSize).f32(1.0f).f32(0.0f).i32(editMode).i32(count);
    }
    // Processing mode, parameters 2 to 6, editor size, channel word, parameter 7.
    Block& tail(int32_t mode, uint32_t channelWord) {
        i32(mode).f32(0.25f).f32(0.5f).f32(0.75f).f32(0.125f).f32(0.375f);
        return i32(800).i32(600).u32(channelWord).f32(0.625f);
    }
};

int32_t int32At(const Bytes& bytes, size_t offset) {
    int32_t value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

float floatAt(const Bytes& bytes, size_t offset) {
    float value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

Bytes save(const testhost::Instance& instance) {
    void* data = nullptr;
    const intptr_t size = instance.dispatch(effGetChunk, 0, 0, &data);
    if (size <= 0 || !data) return {};
    const auto* begin = static_cast<const uint8_t*>(data);
    return Bytes(begin, begin + size);
}

intptr_t load(const testhost::Instance& instance, const Bytes& bytes, size_t length) {
    return instance.dispatch(effSetChunk, 0, intptr_t(length), const_cast<uint8_t*>(bytes.data()));
}

intptr_t load(const testhost::Instance& instance, const Bytes& bytes) { return load(instance, bytes, bytes.size()); }

void setChannels(PluginInstance& instance, int32_t count) {
    LockHold state(instance.stateLock);
    setChannelCount(instance, count);
}

// After any load the instance must be fit for the processor and the editor.
void expectUsableState(const PluginInstance& instance) {
    EXPECT_GE(instance.fftSize, 128);
    EXPECT_LE(instance.fftSize, 32768);
    EXPECT_EQ(instance.fftSize & (instance.fftSize - 1), 0);
    EXPECT_GE(instance.editMode, 0);
    EXPECT_LE(instance.editMode, 2);
    EXPECT_GE(instance.processingMode, 0);
    EXPECT_LE(instance.processingMode, 4);
    EXPECT_GE(instance.effect.numInputs, 1);
    EXPECT_LE(instance.effect.numInputs, 128);
    EXPECT_EQ(instance.effect.numOutputs, instance.effect.numInputs);
    EXPECT_GE(instance.pointCount, 0);
    EXPECT_LE(instance.pointCount, 32);
    EXPECT_GE(instance.graphMinDb, -150.0);
    EXPECT_LE(instance.graphMinDb, -3.0);
    EXPECT_GE(instance.graphMaxDb, 0.0);
    EXPECT_EQ(instance.effect.initialDelay, instance.fftSize);
    EXPECT_EQ(instance.analysisBuffer.size, instance.fftSize * 8);
    for (float v : instance.binGainTable) ASSERT_TRUE(std::isfinite(v));
}

// The encoder's criterion, 1 % of the value the decoder makes, plus that
// value's float32 rounding.
bool withinOnePercent(double decoded, double original) {
    return std::fabs(decoded - original) <= (0.01 + 0x1p-23) * std::fabs(decoded);
}

class StateChunk : public ::testing::Test {
protected:
    void SetUp() override { testhost::resetHost(); }
};

}  // namespace

TEST_F(StateChunk, DefaultInstanceSaves96BytesAndLoadsBackUnchanged) {
    testhost::Instance source;
    const PluginInstance& s = *source;
    const Bytes bytes = save(source);
    ASSERT_EQ(bytes.size(), 96u);
    EXPECT_EQ(int32At(bytes, 0), 0x129C);
    EXPECT_EQ(floatAt(bytes, 4), -90.0f);
    EXPECT_EQ(floatAt(bytes, 8), 24.0f);
    EXPECT_EQ(int32At(bytes, 12), 4096);
    EXPECT_EQ(int32At(bytes, 24), 2);  // edit mode
    EXPECT_EQ(int32At(bytes, 28), 2);  // point count
    EXPECT_EQ(floatAt(bytes, 32), float(s.points[0].frequency));
    EXPECT_EQ(floatAt(bytes, 44), 0.0f);
    EXPECT_EQ(int32At(bytes, 48), 0);                       // processing mode
    EXPECT_EQ(int32At(bytes, 72), 0);                       // editor width
    EXPECT_EQ(int32At(bytes, 80), 2);                       // channel word: two channels
    EXPECT_EQ(floatAt(bytes, 84), float(s.paramValues[7])); // graph offset
    EXPECT_EQ(int32At(bytes, 88), 0);
    EXPECT_EQ(int32At(bytes, 92), 0);

    testhost::Instance target;
    PluginInstance& t = *target;
    t.editorRefreshPending = 0;
    EXPECT_EQ(load(target, bytes), 1);
    EXPECT_EQ(t.graphMinDb, s.graphMinDb);
    EXPECT_EQ(t.graphMaxDb, s.graphMaxDb);
    EXPECT_EQ(t.fftSize, s.fftSize);
    for (int i = 0; i < kParameterCount; ++i) EXPECT_EQ(t.paramValues[i], double(float(s.paramValues[i]))) << i;
    EXPECT_EQ(t.editMode, s.editMode);
    ASSERT_EQ(t.pointCount, 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(t.points[i].frequency, double(float(s.points[i].frequency)));
        EXPECT_EQ(t.points[i].gain, s.points[i].gain);
    }
    EXPECT_EQ(t.processingMode, s.processingMode);
    EXPECT_EQ(t.effect.numInputs, 2);
    EXPECT_EQ(t.meteringSource, 0);
    EXPECT_EQ(t.channelLayout, 0);
    EXPECT_EQ(s.channelLayout, 2);
    EXPECT_EQ(t.editorRefreshPending, 1);
    EXPECT_EQ(t.tableChanged, 1);
    EXPECT_EQ(t.appliedOutputGain, t.paramValues[kParamOutputGain]);
    EXPECT_TRUE(std::equal(std::begin(t.binGainTable), std::end(t.binGainTable), std::begin(s.binGainTable)));
    EXPECT_EQ(save(target), bytes);
}

TEST_F(StateChunk, PreciseUnityTableSavesTheShortStream) {
    testhost::Instance source;
    setEditMode(*source, kEditPrecise);
    const Bytes bytes = save(source);
    ASSERT_EQ(bytes.size(), 4u + 42u + 76u + 16u);
    EXPECT_EQ(int32At(bytes, 0), 0x129B);
    Bytes stream{0x01, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0x3F};
    stream.insert(stream.end(), 32, 0xFF);
    stream.push_back(0x9E);
    EXPECT_EQ(Bytes(bytes.begin() + 4, bytes.begin() + 46), stream);
    EXPECT_EQ(floatAt(bytes, 46), -90.0f);
    EXPECT_EQ(int32At(bytes, 46 + 20), kEditPrecise);

    testhost::Instance target;
    std::fill(std::begin(target->binGainTable), std::end(target->binGainTable), 0.5f);
    load(target, bytes);
    EXPECT_EQ(target->editMode, kEditPrecise);
    for (float v : target->binGainTable) ASSERT_EQ(v, 1.0f);
}

TEST_F(StateChunk, EveryPrefixOfAPointsBlockLoadsTheFieldsItHolds) {
    testhost::Instance source;
    PluginInstance& s = *source;
    s.graphMinDb = -60.0;
    s.graphMaxDb = 12.0;
    s.fftSize = 1024;
    const float params[kParameterCount] = {0.0f, 1.0f, 0.25f, 0.5f, 1.5f, 0.125f, 0.875f, 0.5f};
    for (int i = 0; i < kParameterCount; ++i) setParameter(source.effect(), i, params[i]);
    s.editMode = kEditPointsLinear;
    s.pointCount = 3;
    s.points[0] = {100.0, -6.0};
    s.points[1] = {5000.0, 6.0};
    s.points[2] = {900.0, 0.5};
    s.processingMode = kModeConvolve;
    s.editorWidth = 640;
    s.editorHeight = 480;
    setChannels(s, 6);
    s.meteringSource = 145;
    const Bytes full = save(source);
    ASSERT_EQ(full.size(), 4u + 76u + 24u);

    constexpr int64_t kPointsEnd = 28 + 24;
    for (size_t length = 0; length <= full.size(); ++length) {
        SCOPED_TRACE(length);
        testhost::Instance target;
        PluginInstance& t = *target;
        setFftSize(t, 2048);
        setChannels(t, 4);
        t.processingMode = kModeGate;
        t.meteringSource = 2;
        t.editorWidth = 100;
        t.editorHeight = 100;
        double beforeParams[kParameterCount];
        std::copy(std::begin(t.paramValues), std::end(t.paramValues), beforeParams);
        const GraphPoint firstPointBefore = t.points[0];

        EXPECT_EQ(load(target, full, length), 1);
        const int64_t body = int64_t(length) - 4;
        const int64_t tail = body - kPointsEnd;
        auto param = [&](int i, bool present, double absent) {
            EXPECT_EQ(t.paramValues[i], present ? double(params[i]) : absent) << "parameter " << i;
        };
        EXPECT_EQ(t.graphMinDb, body >= 8 ? -60.0 : -90.0);
        EXPECT_EQ(t.graphMaxDb, body >= 8 ? 12.0 : 24.0);
        EXPECT_EQ(t.fftSize, body >= 12 ? 1024 : (length > 4 ? 4096 : 2048));
        param(0, body >= 16, beforeParams[0]);
        param(1, body >= 20, beforeParams[1]);
        EXPECT_EQ(t.editMode, body >= 28 ? kEditPointsLinear : kEditPrecise);
        EXPECT_EQ(t.pointCount, body >= 28 ? 3 : 2);
        EXPECT_EQ(t.points[2].frequency, body >= kPointsEnd ? 900.0 : 0.0);
        EXPECT_EQ(t.points[0].frequency, body >= kPointsEnd ? 100.0 : firstPointBefore.frequency);
        EXPECT_EQ(t.processingMode, tail >= 4 ? kModeConvolve : kModeGate);
        param(2, tail >= 12, beforeParams[2]);
        param(3, tail >= 12, beforeParams[3]);
        param(4, tail >= 16, beforeParams[4]);
        param(5, tail >= 20, beforeParams[5]);
        param(6, tail >= 24, 1.0);
        EXPECT_EQ(t.editorWidth, tail >= 32 ? 640 : 100);
        EXPECT_EQ(t.editorHeight, tail >= 32 ? 480 : 100);
        param(7, tail >= 40, 1.0);
        if (length > 4) {
            EXPECT_EQ(t.effect.numInputs, tail >= 36 ? 6 : 2);
            EXPECT_EQ(t.meteringSource, tail >= 36 ? 145 : 0);
            EXPECT_EQ(t.channelLayout, tail >= 36 ? 0 : 2);
        } else {
            EXPECT_EQ(t.effect.numInputs, 4);
            EXPECT_EQ(t.meteringSource, 2);
            EXPECT_EQ(t.channelLayout, 2);
        }
        EXPECT_EQ(t.editorRefreshPending, 1);
        expectUsableState(t);
        EXPECT_FALSE(save(target).empty());
    }
}

TEST_F(StateChunk, EveryPrefixOfAPreciseBlockDecodesTheTableAsFarAsItGoes) {
    testhost::Instance source;
    PluginInstance& s = *source;
    // A drawn-looking table: a curve, a flat stretch, a ramp and some noise,
    // so the stream holds every kind of token.
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> noise(0.5f, 4.0f);
    for (int k = 0; k < kBinGainTableSize; ++k) {
        float v = 1.0f + 0.5f * float(std::sin(k * 0.01));
        if (k >= 1000 && k < 1500) v = 2.0f;
        if (k >= 2000 && k < 2600) v = 0.5f + (k - 2000) * 0.004f;
        if (k >= 3000 && k < 3100) v = noise(rng);
        s.binGainTable[k] = v;
    }
    s.editMode = kEditPrecise;
    const Bytes full = save(source);
    std::vector<float> table(kBinGainTableSize);
    const int32_t streamBytes = decodeTable(full.data() + 4, int32_t(full.size() - 4), table.data());
    ASSERT_EQ(full.size(), size_t(4 + streamBytes + 76 + 16));

    int previousDecoded = 0;
    for (size_t length = 5; length <= size_t(4 + streamBytes); ++length) {
        testhost::Instance target;
        PluginInstance& t = *target;
        std::fill(std::begin(t.binGainTable), std::end(t.binGainTable), 0.125f);
        load(target, full, length);
        int decoded = 0;
        while (decoded < kBinGainTableSize && t.binGainTable[decoded] == table[size_t(decoded)]) ++decoded;
        for (int k = decoded; k < kBinGainTableSize; ++k) {
            ASSERT_EQ(t.binGainTable[k], 0.125f) << "length " << length << " entry " << k;
        }
        ASSERT_GE(decoded, previousDecoded) << length;
        previousDecoded = decoded;
        // The body is absent: the block ends within or right after the table.
        EXPECT_EQ(t.fftSize, 4096);
        EXPECT_EQ(t.editMode, kEditPrecise);
        EXPECT_EQ(t.effect.numInputs, 2);
        EXPECT_EQ(t.paramValues[kParamQuality], 1.0);
        EXPECT_EQ(t.paramValues[kParamGraphOffset], 1.0);
    }
    EXPECT_EQ(previousDecoded, kBinGainTableSize);
}

TEST_F(StateChunk, ABlockEndingRightAfterTheTableKeepsThePoints) {
    testhost::Instance target;
    PluginInstance& t = *target;
    setFftSize(t, 512);
    setChannels(t, 8);
    t.points[0] = {123.0, 4.0};
    const Block block = Block().i32(0x129B).byte(0x00).f32(2.0f).byte(0xFF).byte(0xFF);
    load(target, block.bytes);
    EXPECT_EQ(t.fftSize, 4096);
    EXPECT_EQ(t.editMode, kEditPrecise);
    EXPECT_EQ(t.points[0].frequency, 123.0);
    EXPECT_EQ(t.pointCount, 2);
    EXPECT_EQ(t.paramValues[6], 1.0);
    EXPECT_EQ(t.paramValues[7], 1.0);
    EXPECT_EQ(t.effect.numInputs, 2);
    EXPECT_EQ(t.channelLayout, 2);
    EXPECT_EQ(t.effect.initialDelay, 4096);
}

TEST_F(StateChunk, ATokenStreamThatEndsEarlyLeavesTheRestOfTheTable) {
    struct Case {
        const char* name;
        Bytes stream;
        std::vector<float> expected;
    };
    auto floatBytes = [](std::initializer_list<float> values) {
        Block block;
        for (float v : values) block.f32(v);
        return block.bytes;
    };
    std::vector<Case> cases;
    {
        // Extrapolation continues the line through the last two values; a repeat holds it.
        Bytes stream{0x01};
        Bytes values = floatBytes({1.0f, 1.5f});
        stream.insert(stream.end(), values.begin(), values.end());
        stream.push_back(0x83);
        stream.push_back(0x80);
        cases.push_back({"literal, extrapolation, repeat", stream, {1.0f, 1.5f, 2.0f, 2.5f, 3.0f, 3.0f}});
    }
    {
        // A literal run announced for four values, cut inside the third.
        Bytes stream{0x03};
        Bytes values = floatBytes({0.25f, 0.75f, 9.0f});
        stream.insert(stream.end(), values.begin(), values.end() - 2);
        cases.push_back({"cut literal run", stream, {0.25f, 0.75f}});
    }
    {
        // The decoder starts from 0: a repeat and a run first produce zeros.
        cases.push_back({"tokens before any literal", Bytes{0x80, 0x82}, {0.0f, 0.0f, 0.0f}});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testhost::Instance target;
        std::fill(std::begin(target->binGainTable), std::end(target->binGainTable), 0.5f);
        Block block = Block().i32(0x129B);
        block.bytes.insert(block.bytes.end(), c.stream.begin(), c.stream.end());
        load(target, block.bytes);
        for (size_t k = 0; k < c.expected.size(); ++k) EXPECT_EQ(target->binGainTable[k], c.expected[k]) << k;
        for (int k = int(c.expected.size()); k < kBinGainTableSize; ++k) ASSERT_EQ(target->binGainTable[k], 0.5f) << k;
    }
}

TEST_F(StateChunk, TheStreamEndsAt4096ValuesAndTheBodyFollows) {
    // Two literals and 33 full extrapolation runs would make 4193 values; the stream stops
    // inside the last one and the body starts at the next byte.
    Block block = Block().i32(0x129B).byte(0x01).f32(3.0f).f32(3.0f);
    for (int i = 0; i < 33; ++i) block.byte(0xFF);
    block.header(-30.0f, 6.0f, 256, kEditPrecise, 0).tail(kModeSubtract, 0x3);
    testhost::Instance target;
    load(target, block.bytes);
    for (float v : target->binGainTable) ASSERT_EQ(v, 3.0f);
    EXPECT_EQ(target->graphMinDb, -30.0);
    EXPECT_EQ(target->fftSize, 256);
    EXPECT_EQ(target->processingMode, kModeSubtract);
    EXPECT_EQ(target->effect.numInputs, 3);
}

TEST_F(StateChunk, RawTableBlocksAreReadAndShortOnesIgnored) {
    Block block = Block().i32(0x129A);
    for (int k = 0; k < kBinGainTableSize; ++k) block.f32(float(k) / 1024.0f);
    block.header(-40.0f, 10.0f, 8192, kEditPrecise, 0).tail(kModeEq, 0x10005);
    {
        testhost::Instance target;
        load(target, block.bytes);
        for (int k = 0; k < kBinGainTableSize; ++k) ASSERT_EQ(target->binGainTable[k], float(k) / 1024.0f);
        EXPECT_EQ(target->fftSize, 8192);
        EXPECT_EQ(target->effect.numInputs, 5);
        EXPECT_EQ(target->meteringSource, 1);
    }
    {
        // One byte short of the table: read as if no field were present.
        testhost::Instance target;
        setFftSize(*target, 1024);
        setChannels(*target, 6);
        std::fill(std::begin(target->binGainTable), std::end(target->binGainTable), 0.5f);
        load(target, block.bytes, 4 + 16383);
        EXPECT_EQ(target->binGainTable[100], 0.5f);
        EXPECT_EQ(target->fftSize, 1024);
        EXPECT_EQ(target->editMode, kEditPrecise);
        EXPECT_EQ(target->effect.numInputs, 2);
        EXPECT_EQ(target->channelLayout, 2);
    }
}

TEST_F(StateChunk, AnUnknownMarkerOrATinyBlockAppliesOnlyTheDefaults) {
    for (int32_t marker : {0, 0x129D, -1}) {
        SCOPED_TRACE(marker);
        Block block = Block().i32(marker).header(-40.0f, 10.0f, 8192, 0, 0).tail(kModeGate, 0x7);
        testhost::Instance target;
        setFftSize(*target, 1024);
        setChannels(*target, 6);
        load(target, block.bytes);
        EXPECT_EQ(target->fftSize, 1024);
        EXPECT_EQ(target->graphMinDb, -90.0);
        EXPECT_EQ(target->processingMode, kModeEq);
        EXPECT_EQ(target->editMode, kEditPrecise);
        EXPECT_EQ(target->effect.numInputs, 2);
        EXPECT_EQ(target->channelLayout, 2);
        EXPECT_EQ(target->paramValues[kParamQuality], 1.0);
    }
    for (size_t length : {0u, 1u, 4u}) {
        SCOPED_TRACE(length);
        testhost::Instance target;
        setFftSize(*target, 1024);
        setChannels(*target, 6);
        target->editorRefreshPending = 0;
        const Bytes bytes = Block().i32(0x129C).bytes;
        EXPECT_EQ(load(target, bytes, length), 1);
        EXPECT_EQ(target->editMode, kEditPrecise);
        EXPECT_EQ(target->paramValues[kParamQuality], 1.0);
        EXPECT_EQ(target->paramValues[kParamGraphOffset], 1.0);
        EXPECT_EQ(target->editorRefreshPending, 1);
        EXPECT_EQ(target->fftSize, 1024);
        EXPECT_EQ(target->effect.numInputs, 6);
    }
    testhost::Instance target;
    EXPECT_EQ(target.dispatch(effSetChunk, 0, 100, nullptr), 1);
    EXPECT_EQ(target.dispatch(effSetChunk, 0, -5, nullptr), 1);
    expectUsableState(*target);
}

TEST_F(StateChunk, FortyStoredPointsKeepThirtyTwoAndStillFindTheTail) {
    Block block = Block().i32(0x129C).header(-90.0f, 24.0f, 4096, kEditPointsLinear, 40);
    for (int i = 0; i < 40; ++i) block.f32(float(100 * (i + 1))).f32(float(i % 7) - 3.0f);
    block.tail(kModeCompressor, 0x00030004);
    testhost::Instance target;
    load(target, block.bytes);
    ASSERT_EQ(target->pointCount, 32);
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(target->points[i].frequency, 100.0 * (i + 1));
        EXPECT_EQ(target->points[i].gain, (i % 7) - 3.0);
    }
    EXPECT_EQ(target->processingMode, kModeCompressor);
    EXPECT_EQ(target->effect.numInputs, 4);
    EXPECT_EQ(target->meteringSource, 3);
    EXPECT_EQ(target->paramValues[kParamGraphOffset], 0.625);
    // Saving writes the 32 it kept.
    EXPECT_EQ(save(target).size(), size_t(4 + 76 + 8 * 32));
}

TEST_F(StateChunk, StoredValuesOutsideTheirRangesAreLimitedOrIgnored) {
    struct Case {
        const char* name;
        float bottom, top;
        int32_t fftSize, editMode, count, mode;
        uint32_t channelWord;
    };
    const Case cases[] = {
        {"bottom above -3", 0.0f, 24.0f, 4096, 0, 0, 0, 2},
        {"top below 0", -90.0f, -5.0f, 4096, 0, 0, 0, 2},
        {"bottom below -150", -400.0f, 24.0f, 4096, 0, 0, 0, 2},
        {"FFT size not a power of two", -90.0f, 24.0f, 3000, 0, 0, 0, 2},
        {"FFT size too small", -90.0f, 24.0f, 64, 0, 0, 0, 2},
        {"FFT size too large", -90.0f, 24.0f, 65536, 0, 0, 0, 2},
        {"negative FFT size", -90.0f, 24.0f, INT32_MIN, 0, 0, 0, 2},
        {"edit mode 3", -90.0f, 24.0f, 4096, 3, 0, 0, 2},
        {"negative edit mode", -90.0f, 24.0f, 4096, -1, 0, 0, 2},
        {"processing mode 5", -90.0f, 24.0f, 4096, 0, 0, 5, 2},
        {"negative processing mode", -90.0f, 24.0f, 4096, 0, 0, -3, 2},
        {"negative point count", -90.0f, 24.0f, 4096, 0, -7, 0, 2},
        {"channel count 0", -90.0f, 24.0f, 4096, 0, 0, 0, 0},
        {"channel count 200", -90.0f, 24.0f, 4096, 0, 0, 0, 200},
        {"layout bits 3", -90.0f, 24.0f, 4096, 0, 0, 0, 0xFF000001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testhost::Instance target;
        PluginInstance& t = *target;
        setFftSize(t, 2048);
        t.processingMode = kModeGate;
        load(target, Block().i32(0x129C).header(c.bottom, c.top, c.fftSize, c.editMode, c.count).tail(c.mode, c.channelWord).bytes);
        expectUsableState(t);
        EXPECT_EQ(t.graphMinDb, std::clamp(double(c.bottom), -150.0, -3.0));
        EXPECT_EQ(t.graphMaxDb, std::max(double(c.top), 0.0));
        const bool validFft = c.fftSize >= 128 && c.fftSize <= 32768 && (c.fftSize & (c.fftSize - 1)) == 0;
        EXPECT_EQ(t.fftSize, validFft ? c.fftSize : 2048);
        EXPECT_EQ(t.editMode, c.editMode >= 0 && c.editMode <= 2 ? c.editMode : kEditPrecise);
        EXPECT_EQ(t.processingMode, c.mode >= 0 && c.mode <= 4 ? c.mode : kModeGate);
        EXPECT_EQ(t.pointCount, std::max(c.count, 0));
        // A negative count reads no pairs: the tail follows the count directly.
        EXPECT_EQ(t.editorWidth, 800);
        const int32_t channels = int32_t(c.channelWord & 0xFF);
        EXPECT_EQ(t.effect.numInputs, channels == 0 ? 2 : std::min(channels, 128));
        EXPECT_EQ(t.channelLayout, int32_t(c.channelWord >> 24 & 3) == 3 ? 2 : int32_t(c.channelWord >> 24 & 3));
    }
}

TEST_F(StateChunk, NonFiniteStoredValuesKeepTheCurrentOnes) {
    const float nan = std::nanf("");
    const float inf = INFINITY;
    testhost::Instance target;
    PluginInstance& t = *target;
    t.points[1] = {777.0, -7.0};
    Block block = Block().i32(0x129C).f32(nan).f32(inf).i32(1024).f32(nan).f32(-inf).i32(kEditPointsSmooth).i32(2);
    block.f32(nan).f32(3.0f).f32(2000.0f).f32(inf);
    block.i32(kModeEq).f32(nan).f32(inf).f32(-inf).f32(nan).f32(inf).i32(0).i32(0).u32(2).f32(nan);
    double beforeParams[kParameterCount];
    std::copy(std::begin(t.paramValues), std::end(t.paramValues), beforeParams);
    const double bottomBefore = t.graphMinDb;
    const double topBefore = t.graphMaxDb;
    const double firstFrequencyBefore = t.points[0].frequency;
    load(target, block.bytes);
    expectUsableState(t);
    EXPECT_EQ(t.graphMinDb, bottomBefore);
    EXPECT_EQ(t.graphMaxDb, topBefore);
    for (int i : {0, 1, 2, 3, 4, 5}) EXPECT_EQ(t.paramValues[i], beforeParams[i]) << i;
    EXPECT_EQ(t.paramValues[6], 1.0);
    EXPECT_EQ(t.paramValues[7], 1.0);
    EXPECT_EQ(t.points[0].frequency, firstFrequencyBefore);
    EXPECT_EQ(t.points[0].gain, 3.0);
    EXPECT_EQ(t.points[1].frequency, 2000.0);
    EXPECT_EQ(t.points[1].gain, -7.0);

    // Table values: NaN and infinity in a raw table, and an extrapolation
    // that leaves the float range, all become 0.
    Block raw = Block().i32(0x129A);
    for (int k = 0; k < kBinGainTableSize; ++k) raw.f32(k % 3 == 0 ? nan : k % 3 == 1 ? inf : 2.0f);
    load(target, raw.bytes);
    for (int k = 0; k < kBinGainTableSize; ++k) ASSERT_EQ(t.binGainTable[k], k % 3 == 2 ? 2.0f : 0.0f) << k;
    Block overflow = Block().i32(0x129B).byte(0x01).f32(0.0f).f32(3e38f).byte(0x82).byte(0x00).f32(inf).byte(0x81);
    load(target, overflow.bytes);
    EXPECT_EQ(t.binGainTable[1], 3e38f);
    EXPECT_EQ(t.binGainTable[2], 0.0f);
    EXPECT_EQ(t.binGainTable[3], 0.0f);
    EXPECT_EQ(t.binGainTable[4], 0.0f);
    EXPECT_EQ(t.binGainTable[5], 0.0f);
    EXPECT_FALSE(save(target).empty());
}

TEST_F(StateChunk, AHostThatAnswers0x50KeepsItsChannelCount) {
    testhost::Instance source;
    setChannels(*source, 6);
    source->meteringSource = 3;
    const Bytes bytes = save(source);

    testhost::currentHost().loadStateContextAnswer = 0x50;
    testhost::Instance kept;
    setChannels(*kept, 4);
    load(kept, bytes);
    EXPECT_EQ(kept->effect.numInputs, 4);
    EXPECT_EQ(kept->meteringSource, 3);
    EXPECT_EQ(kept->channelLayout, 0);

    for (intptr_t answer : {0, 1, 0x51}) {
        testhost::currentHost().loadStateContextAnswer = answer;
        testhost::Instance changed;
        setChannels(*changed, 4);
        load(changed, bytes);
        EXPECT_EQ(changed->effect.numInputs, 6) << answer;
    }
}

TEST_F(StateChunk, SaveThroughTheDispatcherHandsOutTheBytes) {
    testhost::Instance instance;
    void* data = nullptr;
    const intptr_t size = instance.dispatch(effGetChunk, 0, 0, &data);
    ASSERT_EQ(size, 96);
    ASSERT_NE(data, nullptr);
    int32_t marker;
    std::memcpy(&marker, data, 4);
    EXPECT_EQ(marker, 0x129C);
    // The bank and preset forms are the same block.
    void* bankData = nullptr;
    EXPECT_EQ(instance.dispatch(effGetChunk, 1, 0, &bankData), 96);
    EXPECT_EQ(saveStateChunk(*instance, nullptr), 96);
}

TEST(TableCodec, TheLongestStreamFitsItsBound) {
    // Values that no extrapolation or repeat predicts: all literal runs.
    std::vector<float> table(kBinGainTableSize);
    for (int k = 0; k < kBinGainTableSize; ++k) table[size_t(k)] = k % 2 ? 1.0f : 5.0f;
    Bytes out(static_cast<size_t>(kMaxEncodedTableBytes));
    ASSERT_EQ(encodeTable(table.data(), out.data()), kMaxEncodedTableBytes);
    std::vector<float> decoded(kBinGainTableSize, -1.0f);
    EXPECT_EQ(decodeTable(out.data(), kMaxEncodedTableBytes, decoded.data()), kMaxEncodedTableBytes);
    EXPECT_EQ(decoded, table);
}

TEST(TableCodec, ZerosAreStoredExactly) {
    // A learned noise profile starts from zeros; nothing predicts 0, so they
    // go out as literals and come back exact.
    std::vector<float> table(kBinGainTableSize, 0.0f);
    table[2000] = 1e-30f;
    Bytes out(static_cast<size_t>(kMaxEncodedTableBytes));
    const int32_t length = encodeTable(table.data(), out.data());
    std::vector<float> decoded(kBinGainTableSize, -1.0f);
    EXPECT_EQ(decodeTable(out.data(), length, decoded.data()), length);
    EXPECT_EQ(decoded, table);
}

TEST(TableCodec, RepeatedSavingAndLoadingDoesNotDrift) {
    // A slow curve: extrapolation runs that drift away and repeats that wait
    // for the table to catch up.
    std::vector<float> table(kBinGainTableSize);
    for (int k = 0; k < kBinGainTableSize; ++k) table[size_t(k)] = dbToAmplitude(-20.0 + 6.0 * std::sin(k * 0.003));
    Bytes stream(static_cast<size_t>(kMaxEncodedTableBytes));
    stream.resize(size_t(encodeTable(table.data(), stream.data())));
    std::vector<float> first(kBinGainTableSize);
    decodeTable(stream.data(), int32_t(stream.size()), first.data());
    std::vector<float> current = first;
    for (int cycle = 0; cycle < 20; ++cycle) {
        Bytes again(static_cast<size_t>(kMaxEncodedTableBytes));
        again.resize(size_t(encodeTable(current.data(), again.data())));
        ASSERT_EQ(again, stream) << "cycle " << cycle;
        decodeTable(again.data(), int32_t(again.size()), current.data());
    }
    EXPECT_EQ(current, first);
}

TEST(TableCodec, DecodedValuesStayWithinOnePercent) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> level(-60.0, 24.0);
    std::uniform_int_distribution<int> position(0, kBinGainTableSize - 1);
    for (int trial = 0; trial < 50; ++trial) {
        // Straight dB lines between random levels, as a drawn table has them.
        std::vector<float> table(kBinGainTableSize);
        double from = level(rng);
        int start = 0;
        while (start < kBinGainTableSize) {
            const int end = std::min(kBinGainTableSize, start + 1 + position(rng) / 8);
            const double to = level(rng);
            for (int k = start; k < end; ++k) table[size_t(k)] = dbToAmplitude(from + (to - from) * (k - start) / (end - start));
            from = to;
            start = end;
        }
        Bytes out(static_cast<size_t>(kMaxEncodedTableBytes));
        const int32_t length = encodeTable(table.data(), out.data());
        std::vector<float> decoded(kBinGainTableSize);
        ASSERT_EQ(decodeTable(out.data(), length, decoded.data()), length);
        for (int k = 0; k < kBinGainTableSize; ++k) {
            ASSERT_TRUE(withinOnePercent(decoded[size_t(k)], table[size_t(k)])) << "trial " << trial << " entry " << k;
        }
    }
}

namespace {

// A table as the user leaves it in "Precise": an evaluated curve with
// strokes drawn over it, a learned noise profile, or silence.
void drawRandomTable(PluginInstance& instance, std::mt19937& rng) {
    std::uniform_real_distribution<double> level(instance.graphMinDb, instance.graphMaxDb);
    std::uniform_int_distribution<int> entry(0, kBinGainTableSize - 1);
    switch (std::uniform_int_distribution<int>(0, 5)(rng)) {
        case 0:
            std::fill(std::begin(instance.binGainTable), std::end(instance.binGainTable), 0.0f);
            break;
        case 1: {
            std::lognormal_distribution<double> magnitude(-3.0, 1.5);
            for (float& v : instance.binGainTable) v = float(magnitude(rng));
            break;
        }
        default: {
            instance.editMode = std::uniform_int_distribution<int>(0, 1)(rng) ? kEditPointsSmooth : kEditPointsLinear;
            evaluateGraph(instance);
            const int strokes = std::uniform_int_distribution<int>(0, 6)(rng);
            for (int s = 0; s < strokes; ++s) {
                int a = entry(rng);
                int b = entry(rng);
                if (a > b) std::swap(a, b);
                const double from = level(rng);
                const double to = level(rng);
                for (int k = a; k <= b; ++k) {
                    const double t = b == a ? 1.0 : double(k - a) / (b - a);
                    instance.binGainTable[k] = dbToAmplitude((1.0 - t) * from + t * to);
                }
            }
            break;
        }
    }
    instance.editMode = kEditPrecise;
}

void randomValidState(const testhost::Instance& holder, std::mt19937& rng) {
    PluginInstance& s = *holder;
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    auto integer = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    s.graphMinDb = uniform(-150.0, -3.0);
    s.graphMaxDb = uniform(0.0, 48.0);
    setFftSize(s, 128 << integer(0, 8));
    for (int i = 0; i < kParameterCount; ++i) setParameter(holder.effect(), i, float(uniform(0.0, normalisedMaximum(i))));
    s.pointCount = integer(0, kMaxGraphPoints);
    for (int i = 0; i < s.pointCount; ++i) s.points[i] = {uniform(0.0, 24000.0), uniform(-160.0, 40.0)};
    s.processingMode = integer(0, 4);
    s.editorWidth = integer(0, 3000);
    s.editorHeight = integer(0, 2000);
    setChannels(s, integer(1, 128));
    const int metering[] = {0, 1, 2, 3, 144 + integer(0, 111), 16 + 2 * integer(0, 63)};
    s.meteringSource = metering[integer(0, 5)];
    const int editMode = integer(0, 2);
    if (editMode == kEditPrecise) {
        drawRandomTable(s, rng);
    } else {
        s.editMode = editMode;
        evaluateGraph(s);
    }
}

}  // namespace

TEST_F(StateChunk, RandomStatesSurviveSaveLoadSave) {
    std::mt19937 rng(20240611);
    int preciseStates = 0;
    for (int trial = 0; trial < 400; ++trial) {
        SCOPED_TRACE(trial);
        testhost::Instance source;
        randomValidState(source, rng);
        const Bytes first = save(source);
        ASSERT_FALSE(first.empty());

        testhost::Instance target;
        load(target, first);
        expectUsableState(*target);
        EXPECT_EQ(target->editMode, source->editMode);
        EXPECT_EQ(target->effect.numInputs, source->effect.numInputs);
        const Bytes second = save(target);
        ASSERT_EQ(second, first);
        if (source->editMode != kEditPrecise) continue;
        ++preciseStates;
        for (int k = 0; k < kBinGainTableSize; ++k) {
            ASSERT_TRUE(withinOnePercent(target->binGainTable[k], source->binGainTable[k])) << k;
        }
    }
    EXPECT_GT(preciseStates, 100);
}

TEST(ConcurrencyStateChunk, TwoThreadsSavingAtOnceKeepTheirOwnBytes) {
    testhost::resetHost();
    testhost::Instance precise;
    testhost::Instance points;
    std::mt19937 rng(3);
    std::lognormal_distribution<double> magnitude(0.0, 1.0);
    for (float& v : precise->binGainTable) v = float(magnitude(rng));
    precise->editMode = kEditPrecise;
    points->pointCount = 32;
    for (int i = 0; i < 32; ++i) points->points[i] = {700.0 * i, double(i)};
    const Bytes preciseBytes = save(precise);
    const Bytes pointsBytes = save(points);
    ASSERT_GT(preciseBytes.size(), 16000u);
    ASSERT_EQ(pointsBytes.size(), size_t(4 + 76 + 8 * 32));

    constexpr int kSaves = 10000;
    auto saveRepeatedly = [](const testhost::Instance* instance, const Bytes* expected, int* mismatches) {
        for (int i = 0; i < kSaves; ++i) {
            if (save(*instance) != *expected) ++*mismatches;
        }
    };
    int preciseMismatches = 0;
    int pointsMismatches = 0;
    std::thread first(saveRepeatedly, &precise, &preciseBytes, &preciseMismatches);
    std::thread second(saveRepeatedly, &points, &pointsBytes, &pointsMismatches);
    first.join();
    second.join();
    EXPECT_EQ(preciseMismatches, 0);
    EXPECT_EQ(pointsMismatches, 0);
}
