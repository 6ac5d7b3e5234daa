// In-place complex FFT, single precision, sizes 2 to 32768.
//
// Contract:
// - data holds N complex values as 2N interleaved floats (re, im).
// - fftForward takes natural order and leaves bin k at position
//   binOrderTable(N)[k] (no reordering pass); fftInverse takes that order and
//   returns natural order. Neither scales: inverse(forward(x)) = N x.
// - Any N that is not a power of two from 2 to 32768 leaves data unchanged.
// - The tables are built once by buildFftTables() before the first instance
//   and are read-only afterwards, so any number of threads may transform at
//   once. The transforms never allocate.
#pragma once

#include <cstdint>

namespace vexlan {

constexpr int kMaxTransformSize = 32768;

void buildFftTables();
bool fftTablesBuilt();

// Position at which the forward transform leaves each frequency bin.
const int32_t* binOrderTable(int n);
// 32768 entries: i with its lowest 15 bits reversed.
const int32_t* bitReverseTable();
// The output-order map, evaluated recursively (used to build the tables and by tests).
int32_t scramble(int32_t i, int32_t n);

void fftForward(float* data, int n);
void fftInverse(float* data, int n);

// z: forward transform of 0.5 a + i 0.5 b; afterwards z holds A and b holds B.
void splitPairSpectrum(float* z, float* b, int n, bool oneSided);
// z holds A, b holds B (bins 0..N/2 read); z becomes the transform of a + i b.
void mergePairSpectrum(float* z, const float* b, int n);

}  // namespace vexlan
