// The state reader without audio: arbitrary bytes as a compressed table and
// as a whole saved state. Far cheaper per input than the whole-instance
// target, so it explores the token stream and the field parsing much deeper.
// Beyond memory safety it checks the codec's promises: decoded gains are
// finite, and any table encodes to a stream that decodes within 1 % and
// encodes to the same bytes again.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_host.h"
#include "shell/state_chunk.h"
#include "shell/table_codec.h"
#include "shell/vst2_abi.h"

using namespace vexlan;
using fuzzhost::require;

namespace {

void checkTableCodec(const uint8_t* data, int32_t size) {
    static float table[kBinGainTableSize];
    static float reloaded[kBinGainTableSize];
    static uint8_t stream[kMaxEncodedTableBytes];
    static uint8_t again[kMaxEncodedTableBytes];
    std::fill(table, table + kBinGainTableSize, 1.0f);
    const int32_t consumed = decodeTable(data, size, table);
    require(consumed >= 0 && consumed <= size);
    for (float value : table) require(std::isfinite(value));

    const int32_t length = encodeTable(table, stream);
    require(length > 0 && length <= kMaxEncodedTableBytes);
    require(decodeTable(stream, length, reloaded) == length);
    for (int k = 0; k < kBinGainTableSize; ++k) {
        require(std::fabs(double(reloaded[k]) - table[k]) <= (0.01 + 0x1p-23) * std::fabs(double(reloaded[k])));
    }
    require(encodeTable(reloaded, again) == length && std::memcmp(again, stream, size_t(length)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > size_t(INT32_MAX)) return 0;
    checkTableCodec(data, int32_t(size));

    // One instance for every input: loading must cope with any prior state.
    static AEffect* effect = VSTPluginMain(fuzzhost::callback);
    require(effect != nullptr);
    PluginInstance& instance = *instanceOf(effect);
    std::vector<uint8_t> block(data, data + size);
    require(loadStateChunk(instance, block.data(), int32_t(block.size())) == 1);
    fuzzhost::checkLoadedSettings(instance);
    void* saved = nullptr;
    require(saveStateChunk(instance, &saved) > 0 && saved != nullptr);
    return 0;
}
