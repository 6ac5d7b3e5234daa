#include "shell/state_chunk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <thread>
#include <vector>

#include "graph/graph_model.h"
#include "shell/parameters.h"
#include "shell/table_codec.h"
#include "stream_support.h"
#include "test_host.h"

using namespace vexlan;
using streamtest::setChannels;

namespace {

using Bytes = std::vector<uint8_t>;

// Builds blocks field by field, little-endian.
struct Block {
    Bytes bytes;
    Block& u32(uint32_t bits) {
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(uint8_t(bits >> shift));
        return *this;
    }
    Block& i32(int32_t value) { return u32(uint32_t(value)); }
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

Bytes save(const testhost::Instance& instance) {
    void* data = nullptr;
    const intptr_t size = instance.dispatch(effGetChunk, 0, 0, &data);
    const auto* begin = static_cast<const uint8_t*>(data);
    return size > 0 && begin ? Bytes(begin, begin + size) : Bytes();
}

void load(const testhost::Instance& instance, const Bytes& bytes, size_t length) {
    EXPECT_EQ(instance.dispatch(effSetChunk, 0, intptr_t(length), const_cast<uint8_t*>(bytes.data())), 1);
}

void load(const testhost::Instance& instance, const Bytes& bytes) { load(instance, bytes, bytes.size()); }

Bytes encode(const std::vector<float>& table) {
    Bytes stream(static_cast<size_t>(kMaxEncodedTableBytes));
    stream.resize(size_t(encodeTable(table.data(), stream.data())));
    return stream;
}

// The encoder's criterion, 1 % of the value the decoder makes, plus that
// value's float32 rounding.
bool withinOnePercent(double decoded, double original) {
    return std::fabs(decoded - original) <= (0.01 + 0x1p-23) * std::fabs(decoded);
}

// After any load the instance must be fit for the processor and the editor.
void expectUsableState(const PluginInstance& t) {
    EXPECT_TRUE(t.fftSize >= 128 && t.fftSize <= 32768 && (t.fftSize & (t.fftSize - 1)) == 0) << t.fftSize;
    EXPECT_TRUE(t.editMode >= 0 && t.editMode <= 2) << t.editMode;
    EXPECT_TRUE(t.processingMode >= 0 && t.processingMode <= 4) << t.processingMode;
    EXPECT_TRUE(t.effect.numInputs >= 1 && t.effect.numInputs <= 128) << t.effect.numInputs;
    EXPECT_TRUE(t.pointCount >= 0 && t.pointCount <= 32) << t.pointCount;
    EXPECT_TRUE(t.graphMinDb >= -150.0 && t.graphMinDb <= -3.0 && t.graphMaxDb >= 0.0);
    EXPECT_EQ(t.effect.initialDelay, t.fftSize);
    EXPECT_EQ(t.analysisBuffer.size, t.fftSize * 8);
    for (float v : t.binGainTable) ASSERT_TRUE(std::isfinite(v));
}

class StateChunk : public ::testing::Test {
protected:
    void SetUp() override { testhost::resetHost(); }
};

}  // namespace

TEST_F(StateChunk, DefaultInstanceSavesThePointsAndThePreciseLayouts) {
    testhost::Instance source;
    const PluginInstance& s = *source;
    const Bytes bytes = save(source);
    ASSERT_EQ(bytes.size(), 96u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 32),
              Block().i32(0x129C).f32(-90.0f).f32(24.0f).i32(4096).f32(float(s.paramValues[0]))
                  .f32(float(s.paramValues[1])).i32(kEditPointsSmooth).i32(2).bytes);
    // Channel word (two channels, the rest 0), graph offset, eight reserved bytes.
    EXPECT_EQ(Bytes(bytes.begin() + 80, bytes.end()),
              Block().u32(2).f32(float(s.paramValues[kParamGraphOffset])).u32(0).u32(0).bytes);

    // In precise mode the flat table goes first, as a literal pair and runs.
    setEditMode(*source, kEditPrecise);
    const Bytes precise = save(source);
    ASSERT_EQ(precise.size(), 4u + 42u + 76u + 16u);
    Bytes expected = Block().i32(0x129B).byte(0x01).f32(1.0f).f32(1.0f).bytes;
    expected.insert(expected.end(), 32, 0xFF);
    expected.push_back(0x9E);
    EXPECT_EQ(Bytes(precise.begin(), precise.begin() + 46), expected);
}

// What a reload leaves behind in either kind of state: the table rebuilt from
// the block and marked for the processor, the output gain applied at once,
// the analysis restarted, and a state that saves to the same bytes.
TEST_F(StateChunk, ReloadRebuildsTheTableAndRestartsWhatDependsOnTheState) {
    const struct {
        int32_t editMode;
        double gateFloor, outputGain;
    } cases[] = {
        {kEditPointsLinear, 5e-7, 9e-7},
        {kEditPrecise, 1e-6, 0.0},
        {kEditPrecise, 0.25, 2.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "edit mode " << c.editMode << ", output gain " << c.outputGain);
        testhost::Instance source;
        PluginInstance& s = *source;
        s.editMode = c.editMode;
        s.pointCount = 3;
        s.points[0] = {100.0, -12.0};
        s.points[1] = {1000.0, 6.0};
        s.points[2] = {8000.0, -3.0};
        evaluateGraph(s);
        // A stroke over the curve, which only the stored table can bring back.
        if (c.editMode == kEditPrecise) std::fill(s.binGainTable + 2000, s.binGainTable + 2600, 0.25f);
        s.paramValues[kParamGateFloor] = c.gateFloor;
        s.paramValues[kParamOutputGain] = c.outputGain;
        s.editorWidth = 640;
        s.editorHeight = 480;
        const Bytes bytes = save(source);

        testhost::Instance target;
        PluginInstance& t = *target;
        t.tableChanged = 0;
        t.appliedOutputGain = 0.75;
        std::memset(t.analysisBuffer.data, 0x3F, size_t(t.analysisBuffer.size));
        load(target, bytes);
        for (int k = 0; k < kBinGainTableSize; ++k) {
            ASSERT_TRUE(withinOnePercent(t.binGainTable[k], s.binGainTable[k])) << k;
        }
        EXPECT_EQ(t.tableChanged, 1);
        const double tiny = 1e-6;
        EXPECT_EQ(t.paramValues[kParamGateFloor], c.gateFloor <= tiny ? 0.0 : double(float(c.gateFloor)));
        EXPECT_EQ(t.paramValues[kParamOutputGain], c.outputGain <= tiny ? 0.0 : double(float(c.outputGain)));
        EXPECT_EQ(t.appliedOutputGain, t.paramValues[kParamOutputGain]);
        const auto* analysis = static_cast<const uint8_t*>(t.analysisBuffer.data);
        EXPECT_TRUE(std::all_of(analysis, analysis + t.analysisBuffer.size, [](uint8_t b) { return b == 0; }));
        // Tiny values saved as they were load as 0, so only the others save alike.
        if (c.gateFloor > tiny && c.outputGain > tiny) {
            EXPECT_EQ(save(target), bytes);
        }
    }
}

// A block cut anywhere loads the fields it still holds; the others take
// their defaults or keep their values, and the instance stays usable.
TEST_F(StateChunk, EveryPrefixOfAPointsBlockLoadsTheFieldsItHolds) {
    testhost::Instance source;
    PluginInstance& s = *source;
    s.fftSize = 1024;
    s.paramValues[kParamShowAnalysis] = 0.0;
    s.editMode = kEditPointsLinear;
    s.pointCount = 3;
    s.points[2] = {900.0, 0.5};
    s.processingMode = kModeConvolve;
    s.paramValues[kParamGraphOffset] = 0.5;
    setChannels(s, 6, 2);
    const Bytes full = save(source);
    ASSERT_EQ(full.size(), 4u + 28u + 3 * 8u + 48u);

    for (size_t length = 0; length <= full.size(); ++length) {
        SCOPED_TRACE(length);
        testhost::Instance target;
        PluginInstance& t = *target;
        setFftSize(t, 2048);
        setChannels(t, 4, 2);
        t.processingMode = kModeGate;
        load(target, full, length);
        // The body follows the marker, the tail follows the three points.
        const int64_t body = int64_t(length) - 4;
        const int64_t tail = body - (28 + 24);
        const bool read = length > 4;
        EXPECT_EQ(t.fftSize, body >= 12 ? 1024 : read ? 4096 : 2048);
        EXPECT_EQ(t.paramValues[kParamShowAnalysis], body >= 16 ? 0.0 : 1.0);
        EXPECT_EQ(t.editMode, body >= 28 ? kEditPointsLinear : kEditPrecise);
        EXPECT_EQ(t.points[2].frequency, tail >= 0 ? 900.0 : 0.0);
        EXPECT_EQ(t.processingMode, tail >= 4 ? kModeConvolve : kModeGate);
        EXPECT_EQ(t.effect.numInputs, tail >= 36 ? 6 : read ? 2 : 4);
        EXPECT_EQ(t.paramValues[kParamGraphOffset], tail >= 40 ? 0.5 : 1.0);
        expectUsableState(t);
    }
}

// A block cut inside its table keeps what was decoded so far and leaves the
// rest of the table as it was; the body's fields are then absent.
TEST_F(StateChunk, EveryPrefixOfAPreciseBlockDecodesTheTableAsFarAsItGoes) {
    testhost::Instance source;
    // Nothing predicts the first ten values, so they go as one literal run;
    // the slope they end on gives a run of one, a repeat, then runs.
    const float head[] = {3.0f, 1.0f, 4.0f, 1.0f, 5.0f, 2.0f, 6.0f, 5.0f, 1.0f, 1.5f};
    std::fill(std::begin(source->binGainTable), std::end(source->binGainTable), 2.0f);
    std::copy(std::begin(head), std::end(head), source->binGainTable);
    source->editMode = kEditPrecise;
    const Bytes full = save(source);
    const size_t streamEnd = full.size() - 76 - 16;

    int previous = 0;
    for (size_t length = 5; length <= streamEnd; ++length) {
        testhost::Instance target;
        std::fill(std::begin(target->binGainTable), std::end(target->binGainTable), 0.125f);
        setFftSize(*target, 512);
        load(target, full, length);
        const float* t = target->binGainTable;
        const int decoded = int(std::mismatch(t, t + kBinGainTableSize, source->binGainTable).first - t);
        ASSERT_TRUE(std::all_of(t + decoded, t + kBinGainTableSize, [](float v) { return v == 0.125f; })) << length;
        ASSERT_GE(decoded, previous) << length;
        previous = decoded;
        ASSERT_EQ(target->fftSize, 4096) << "the body's default";
    }
    EXPECT_EQ(previous, kBinGainTableSize);
}

// Streams cut inside a literal run are covered by the prefix test above.
TEST_F(StateChunk, TokensBeforeAnyLiteralGiveZerosAndARunStopsAtTheTableEnd) {
    testhost::Instance target;
    std::fill(std::begin(target->binGainTable), std::end(target->binGainTable), 0.5f);
    // The decoder starts from 0: a repeat and a run of two.
    load(target, Block().i32(0x129B).byte(0x80).byte(0x82).bytes);
    const float expected[] = {0.0f, 0.0f, 0.0f, 0.5f};
    EXPECT_TRUE(std::equal(std::begin(expected), std::end(expected), target->binGainTable));

    // 2 + 33 x 127 values would overrun the table: the stream stops at 4096
    // inside the last run and the body starts at the next byte.
    Block longRun = Block().i32(0x129B).byte(0x01).f32(3.0f).f32(3.0f);
    for (int i = 0; i < 33; ++i) longRun.byte(0xFF);
    longRun.header(-30.0f, 6.0f, 256, kEditPrecise, 0).tail(kModeSubtract, 3);
    load(target, longRun.bytes);
    EXPECT_EQ(std::count(std::begin(target->binGainTable), std::end(target->binGainTable), 3.0f), kBinGainTableSize);
    EXPECT_EQ(target->fftSize, 256);
    EXPECT_EQ(target->effect.numInputs, 3);
}

TEST_F(StateChunk, RawTablesUnknownMarkersAndTinyBlocks) {
    Block raw = Block().i32(0x129A);
    for (int k = 0; k < kBinGainTableSize; ++k) raw.f32(float(k) / 1024.0f);
    raw.header(-40.0f, 10.0f, 8192, kEditPrecise, 0).tail(kModeEq, 5);
    {
        testhost::Instance target;
        load(target, raw.bytes);
        EXPECT_EQ(target->binGainTable[4095], 4095.0f / 1024.0f);
        EXPECT_EQ(target->fftSize, 8192);
        EXPECT_EQ(target->effect.numInputs, 5);
    }
    // A raw table one byte short, or an unknown marker: no field is read,
    // only the defaults of an absent body apply.
    const Bytes unknown = Block().i32(0x129D).header(-40.0f, 10.0f, 8192, 0, 0).tail(kModeGate, 7).bytes;
    for (const Bytes* block : std::initializer_list<const Bytes*>{&raw.bytes, &unknown}) {
        testhost::Instance target;
        setFftSize(*target, 1024);
        setChannels(*target, 6, 2);
        load(target, *block, block == &raw.bytes ? 4 + 16383 : block->size());
        EXPECT_EQ(target->binGainTable[100], 1.0f);
        EXPECT_EQ(target->fftSize, 1024);
        EXPECT_EQ(target->processingMode, kModeEq);
        EXPECT_EQ(target->effect.numInputs, 2);
    }
    // No data at all, whatever the length, is an empty block: the three
    // defaults and a refresh, nothing else (as for blocks of four bytes or
    // fewer, which the prefix test loads).
    testhost::Instance target;
    setChannels(*target, 6, 2);
    target.dispatch(effSetChunk, 0, 100, nullptr);
    EXPECT_EQ(target->editMode, kEditPrecise);
    EXPECT_EQ(target->paramValues[kParamQuality], 1.0);
    EXPECT_EQ(target->editorRefreshPending, 1);
    EXPECT_EQ(target->effect.numInputs, 6);
}

TEST_F(StateChunk, StoredValuesOutsideTheirRangesAreLimitedOrIgnored) {
    // Stored points take (100 (i + 1) Hz, i % 7 - 3 dB).
    struct Case {
        float bottom, top;
        int32_t fftSize, editMode, count, mode;
        uint32_t channelWord;
    };
    const Case cases[] = {
        {0.0f, -5.0f, 4096, 0, 0, 0, 2},         // range: bottom at most -3, top at least 0
        {-400.0f, 24.0f, 3000, 3, -7, 5, 0},     // bottom at least -150; odd FFT size; a negative count reads no pairs
        {-90.0f, 24.0f, 64, -1, 0, -3, 200},     // FFT size too small, channel count above 128
        {-90.0f, 24.0f, 65536, 0, 0, 0, 0xFF000001},  // FFT size too large; layout bits 3
        {-90.0f, 24.0f, INT32_MIN, 2, 0, 4, 0x00FF0080},
        {-90.0f, 24.0f, 4096, kEditPointsLinear, 40, kModeCompressor, 0x00030004},  // 40 points
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fftSize);
        testhost::Instance target;
        PluginInstance& t = *target;
        setFftSize(t, 2048);
        t.processingMode = kModeGate;
        Block block = Block().i32(0x129C).header(c.bottom, c.top, c.fftSize, c.editMode, c.count);
        for (int i = 0; i < c.count; ++i) block.f32(float(100 * (i + 1))).f32(float(i % 7 - 3));
        load(target, block.tail(c.mode, c.channelWord).bytes);
        expectUsableState(t);
        EXPECT_EQ(t.graphMinDb, std::clamp(double(c.bottom), -150.0, -3.0));
        EXPECT_EQ(t.graphMaxDb, std::max(double(c.top), 0.0));
        const bool validFft = c.fftSize >= 128 && c.fftSize <= 32768 && (c.fftSize & (c.fftSize - 1)) == 0;
        EXPECT_EQ(t.fftSize, validFft ? c.fftSize : 2048);
        EXPECT_EQ(t.editMode, c.editMode >= 0 && c.editMode <= 2 ? c.editMode : kEditPrecise);
        EXPECT_EQ(t.processingMode, c.mode >= 0 && c.mode <= 4 ? c.mode : kModeGate);
        EXPECT_EQ(t.pointCount, std::clamp(c.count, 0, 32));
        EXPECT_EQ(t.editorWidth, 800);
        const int32_t channels = int32_t(c.channelWord & 0xFF);
        EXPECT_EQ(t.effect.numInputs, channels == 0 ? 2 : std::min(channels, 128));
        EXPECT_EQ(t.channelLayout, int32_t(c.channelWord >> 24) == 0xFF ? 2 : 0);
        EXPECT_EQ(t.meteringSource, int32_t(c.channelWord >> 16 & 0xFF));
    }
}

TEST_F(StateChunk, NonFiniteStoredValuesAreIgnoredAndNonFiniteGainsBecomeZero) {
    const float nan = std::nanf("");
    const float inf = INFINITY;
    testhost::Instance target;
    PluginInstance& t = *target;
    const double bottom = t.graphMinDb;
    const double showAnalysis = t.paramValues[0];
    const double gateFloor = t.paramValues[2];
    Block block = Block().i32(0x129C).f32(nan).f32(inf).i32(1024).f32(nan).f32(-inf).i32(kEditPointsSmooth).i32(1);
    block.f32(nan).f32(3.0f).i32(kModeEq).f32(nan).f32(inf).f32(-inf).f32(nan).f32(inf).i32(0).i32(0).u32(2).f32(nan);
    const double frequency = t.points[0].frequency;
    load(target, block.bytes);
    expectUsableState(t);
    EXPECT_EQ(t.graphMinDb, bottom);
    EXPECT_EQ(t.paramValues[0], showAnalysis);
    EXPECT_EQ(t.paramValues[2], gateFloor);
    EXPECT_EQ(t.paramValues[7], 1.0);
    EXPECT_EQ(t.points[0].frequency, frequency);
    EXPECT_EQ(t.points[0].gain, 3.0);

    Block raw = Block().i32(0x129A);
    for (int k = 0; k < kBinGainTableSize; ++k) raw.f32(k % 3 == 0 ? nan : k % 3 == 1 ? inf : 2.0f);
    load(target, raw.bytes);
    for (int k = 0; k < kBinGainTableSize; ++k) ASSERT_EQ(t.binGainTable[k], k % 3 == 2 ? 2.0f : 0.0f) << k;
    // An extrapolation that leaves the float range, and one from infinity.
    load(target, Block().i32(0x129B).byte(0x01).f32(0.0f).f32(3e38f).byte(0x81).byte(0x00).f32(inf).byte(0x81).bytes);
    const float expected[] = {0.0f, 3e38f, 0.0f, 0.0f, 0.0f};
    EXPECT_TRUE(std::equal(std::begin(expected), std::end(expected), t.binGainTable));
}

TEST_F(StateChunk, AHostThatAnswers0x50KeepsItsChannelCount) {
    testhost::Instance source;
    setChannels(*source, 6, 2);
    const Bytes bytes = save(source);
    for (intptr_t answer : {0x50, 0, 0x51}) {
        testhost::currentHost().loadStateContextAnswer = answer;
        testhost::Instance target;
        setChannels(*target, 4, 2);
        load(target, bytes);
        EXPECT_EQ(target->effect.numInputs, answer == 0x50 ? 4 : 6) << answer;
        EXPECT_EQ(target->channelLayout, 0);
    }
}

// Stream size of the plain token rules: a repeat whenever c predicts the
// value, a literal run of one value or more otherwise.
size_t plainRuleStreamSize(const std::vector<float>& table) {
    auto predicts = [](double x, double v) { return std::fabs(x - v) < 0.01 * std::fabs(x); };
    double c = 0.0, p = 0.0;
    size_t bytes = 0;
    for (size_t i = 0; i < table.size();) {
        ++bytes;
        if (predicts(2 * c - p, table[i])) {
            for (int k = 0; i < table.size() && k < 127 && predicts(2 * c - p, table[i]); ++k, ++i) {
                const double next = 2 * c - p;
                p = c;
                c = next;
            }
        } else if (predicts(c, table[i])) {
            p = c;
            ++i;
        } else {
            int k = 0;
            do {
                p = c;
                c = table[i++];
                bytes += 4;
            } while (i < table.size() && ++k < 128 && !predicts(2 * c - p, table[i]));
        }
    }
    return bytes;
}

TEST(TableCodec, TablesReloadWithinOnePercentResaveIdenticallyAndStaySmall) {
    const struct {
        const char* name;
        double (*shape)(int);
    } cases[] = {
        {"slow sine in dB", [](int k) -> double { return dbToAmplitude(-20.0 + 6.0 * std::sin(k * 0.003)); }},
        {"fast sine in dB", [](int k) -> double { return dbToAmplitude(3.0 * std::sin(k * 0.05)); }},
        {"flat after a gentle slope", [](int k) -> double { return k < 8 ? 1.0 + 0.004 * k : 1.028; }},
        {"flat after a steep slope", [](int k) -> double { return k < 8 ? 0.5 + 0.1 * k : 1.2; }},
        {"dB ramp", [](int k) -> double { return dbToAmplitude(-60.0 + 0.02 * k); }},
        {"linear ramp to flat", [](int k) -> double { return std::min(1.0, 1e-3 * (k + 1)); }},
        // Extrapolated past the float range, a value would load as 0.
        {"near the float limit", [](int k) -> double { return k < 1 ? 3.36e38 : 3.39e38; }},
        {"tanh step in dB", [](int k) -> double { return dbToAmplitude(-12.0 + 18.0 * std::tanh((k - 2000) / 300.0)); }},
        // Nothing predicts these: the longest stream, all literal runs, and
        // the zeros a learned noise profile starts from (which must stay 0).
        {"1 and 5 alternating", [](int k) -> double { return k % 2 ? 1.0 : 5.0; }},
        {"zeros", [](int k) -> double { return k == 2000 ? 1e-30 : 0.0; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> table(kBinGainTableSize);
        for (int k = 0; k < kBinGainTableSize; ++k) table[size_t(k)] = float(c.shape(k));
        const Bytes stream = encode(table);
        ASSERT_LE(stream.size(), size_t(kMaxEncodedTableBytes));
        std::vector<float> decoded(kBinGainTableSize, -1.0f);
        ASSERT_EQ(decodeTable(stream.data(), int32_t(stream.size()), decoded.data()), int32_t(stream.size()));
        for (int k = 0; k < kBinGainTableSize; ++k) ASSERT_TRUE(withinOnePercent(decoded[k], table[k])) << k;
        EXPECT_EQ(encode(decoded), stream) << "a reloaded table saves to other bytes";
        // A refused repeat costs a two-value literal run where the plain
        // rules spend one byte (and drift); nothing more.
        const size_t plain = plainRuleStreamSize(table);
        EXPECT_LE(stream.size(), plain + plain / 10 + 9) << "plain rules: " << plain;
    }
}

TEST(TableCodec, ARepeatHoldsAValueThatEndsASlope) {
    // 1, 1.5 as a literal run; 2 extrapolated; 2 again would be 2.5 by
    // extrapolation, so a repeat; then the flat rest extrapolates exactly.
    std::vector<float> table(kBinGainTableSize, 2.0f);
    table[0] = 1.0f;
    table[1] = 1.5f;
    Bytes expected = Block().byte(0x01).f32(1.0f).f32(1.5f).byte(0x81).byte(0x80).bytes;
    expected.insert(expected.end(), 32, 0xFF);
    expected.push_back(0x80 | (kBinGainTableSize - 4 - 32 * 127));
    const Bytes stream = encode(table);
    EXPECT_EQ(stream, expected);
    std::vector<float> decoded(kBinGainTableSize);
    decodeTable(stream.data(), int32_t(stream.size()), decoded.data());
    EXPECT_EQ(decoded, table);
}

TEST(ConcurrencyStateChunk, TwoThreadsSavingAtOnceKeepTheirOwnBytes) {
    testhost::resetHost();
    testhost::Instance precise;
    testhost::Instance points;
    const std::vector<float> gains = streamtest::noise(kBinGainTableSize, 3);
    std::copy(gains.begin(), gains.end(), precise->binGainTable);
    precise->editMode = kEditPrecise;
    points->pointCount = 32;
    for (int i = 0; i < 32; ++i) points->points[i] = {700.0 * i, double(i)};
    const Bytes preciseBytes = save(precise);
    const Bytes pointsBytes = save(points);
    ASSERT_GT(preciseBytes.size(), 16000u);

    // With one queue shared by both threads this fails outside TSan too.
    constexpr int kSaves = 10000;
    auto saveRepeatedly = [](const testhost::Instance* instance, const Bytes* expected, int* mismatches) {
        for (int i = 0; i < kSaves; ++i) *mismatches += save(*instance) != *expected;
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
