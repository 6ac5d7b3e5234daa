// The compressed BinGainTable of the saved state. A token stream yields the
// 4096 values in order; the decoder keeps the current value c and the
// previous one p (both 0 at the start):
//   0x00..0x7F  literal run: token + 1 float32 values follow; each one
//               becomes c (the old c becomes p) and is output;
//   0x80        repeat: output c, then p = c;
//   0x81..0xFF  extrapolation run of (token & 0x7F) values: d = 2c - p,
//               p = c, c = d, output d.
// The encoder continues from the values the decoder will produce, so every
// decoded value lies within 1 % of the table value it stands for, and it
// only repeats a value that the extrapolation would not predict, so a decoded
// table encodes to the same stream again: saving and loading never drifts.
#pragma once

#include <cstdint>

#include "shell/plugin_instance.h"

namespace vexlan {

// Longest stream: the whole table as literal runs of 128 values.
constexpr int32_t kMaxEncodedTableBytes = kBinGainTableSize * 4 + kBinGainTableSize / 128;

// Writes the stream for `table` (4096 values) to `out`, which holds at least
// kMaxEncodedTableBytes. Returns the bytes written.
int32_t encodeTable(const float* table, uint8_t* out);

// Decodes `length` bytes into `table` until 4096 values have been produced
// or the bytes run out; a literal run cut inside a value ends the stream.
// Entries not produced keep their contents. A value that is not a finite
// float32 (NaN, infinity, or an extrapolation beyond the float range) is
// stored as 0, so that nothing but finite gains reaches the processor.
// Returns the bytes consumed; whatever follows them is the rest of the state.
int32_t decodeTable(const uint8_t* bytes, int32_t length, float* table);

}  // namespace vexlan
