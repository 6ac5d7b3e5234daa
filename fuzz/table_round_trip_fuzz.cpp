// The table encoder's promises over arbitrary tables: the bytes are the
// table's float32 values (missing ones repeat the last, values that are not
// finite become 0, as the decoder stores them). Every table encodes to a
// stream that fits the bound, decodes to within 1 % of each value and
// encodes to the same bytes again, so saving and loading never drifts.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "fuzz_host.h"
#include "shell/table_codec.h"

using namespace vexlan;
using fuzzhost::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static float table[kBinGainTableSize];
    static float reloaded[kBinGainTableSize];
    static uint8_t stream[kMaxEncodedTableBytes];
    static uint8_t again[kMaxEncodedTableBytes];
    const size_t given = std::min(size / sizeof(float), size_t(kBinGainTableSize));
    std::memcpy(table, data, given * sizeof(float));
    for (size_t k = 0; k < given; ++k) {
        if (!std::isfinite(table[k])) table[k] = 0.0f;
    }
    std::fill(table + given, table + kBinGainTableSize, given > 0 ? table[given - 1] : 1.0f);

    const int32_t length = encodeTable(table, stream);
    require(length > 0 && length <= kMaxEncodedTableBytes);
    require(decodeTable(stream, length, reloaded) == length);
    for (int k = 0; k < kBinGainTableSize; ++k) {
        const double tolerance = (0.01 + 0x1p-23) * std::fabs(double(reloaded[k]));
        require(std::fabs(double(reloaded[k]) - table[k]) <= tolerance);
    }
    require(encodeTable(reloaded, again) == length);
    require(std::memcmp(again, stream, size_t(length)) == 0);
    return 0;
}
