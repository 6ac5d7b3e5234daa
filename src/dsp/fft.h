// In-place complex FFT, single precision, sizes 2 to 32768.
//
// Contract:
// - data holds N complex values as 2N interleaved floats (re, im); no
//   alignment is required.
// - fftForward takes natural order and leaves bin k at position
//   binOrderTable(N)[k] (no reordering pass); fftInverse takes that order and
//   returns natural order. Neither scales: inverse(forward(x)) = N x.
// - Any N that is not a power of two from 2 to 32768 leaves data unchanged.
// - The tables are built by the first call of buildFftTables(), from any
//   thread, before the first instance, and are read-only afterwards, so any
//   number of threads may transform at once. The transforms never allocate.
// - buildFftTables() also picks the widest vector path the processor has;
//   every path gives bit-identical results.
#pragma once

#include <cstdint>

namespace vexlan {

constexpr int kMaxTransformSize = 32768;

void buildFftTables();

// N entries: the position at which the forward transform leaves frequency
// bin k. Null for an unsupported N.
const int32_t* binOrderTable(int n);
// The pairs of bins k and N - k for k = 0 .. N/2 (N/2 + 1 entries), ordered
// by the position of bin k. Walking them visits both positions of every pair
// close to the previous ones, where a walk in bin order jumps all over the
// spectrum. Entry 0 is bin 0 at position 0. Null for an unsupported N.
struct BinPair {
    int32_t position;  // of bin k
    int32_t mirror;    // of bin N - k (the same position for k = 0 and N/2)
};
const BinPair* binPairTable(int n);
// 32768 entries: i with its lowest 15 bits reversed.
const int32_t* bitReverseTable();
// The output-order map, evaluated recursively (used to build the tables and by tests).
int32_t scramble(int32_t i, int32_t n);

void fftForward(float* data, int n);
void fftInverse(float* data, int n);

// Two real signals a, b through one transform. Spectra are N complex values
// at the transform positions; z and b must not overlap.
// z: forward transform of 0.5 a + i 0.5 b; afterwards z holds A and b holds B,
// unscaled. oneSided leaves bins above N/2 of both at zero.
void splitPairSpectrum(float* z, float* b, int n, bool oneSided);
// z holds A, b holds B; only bins 0..N/2 are read and the rest follow by
// conjugate symmetry. z becomes the transform of a + i b.
void mergePairSpectrum(float* z, const float* b, int n);

}  // namespace vexlan
