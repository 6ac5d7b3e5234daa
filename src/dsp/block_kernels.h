// The per-sample loops of the block processor, as sets of functions: a
// scalar set, an SSE2 set (every x86-64), an AVX set (x86-64 with AVX) and an
// AVX-512 set (the AVX set with its heaviest loops on 512-bit vectors, for
// AVX-512F). All sets perform the same operations in the same order, so they
// give bit-identical results; blockKernels() picks the widest the processor
// runs.
//
// Counts may be any size. A `frame` read every other float (the real or the
// imaginary parts of complex values) must hold 2 x count floats. Magnitudes
// are taken in double precision, sqrt(re re + im im) of the float parts; the
// vector square roots round exactly as the scalar one.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "dsp/fft.h"

namespace vexlan {

// How two channels' magnitudes enter the analysis buffer: the value is
// scaleB |B| + scaleA |A|, or the larger of the two terms, and it is stored
// or added to what is there, as float32.
struct MagnitudeCapture {
    double scaleA;
    double scaleB;
    bool larger;
    bool add;
};

// Runs body(larger, add) with both as compile-time constants, so the
// per-position loops carry no branches on them.
template <typename Body>
void withCombination(const MagnitudeCapture& how, Body&& body) {
    if (how.larger) {
        if (how.add) {
            body(std::true_type{}, std::true_type{});
        } else {
            body(std::true_type{}, std::false_type{});
        }
    } else if (how.add) {
        body(std::false_type{}, std::true_type{});
    } else {
        body(std::false_type{}, std::false_type{});
    }
}

struct BlockKernels {
    // packed[2i] = 0.5 a[i], packed[2i+1] = 0.5 b[i] (0 when b is null).
    void (*packHalves)(float* packed, const float* a, const float* b, int32_t count);
    // Complex value i of `spectrum` times factor x Re gain[i] (gain interleaved).
    // With a power-of-two factor this is exactly the product with the gain.
    void (*multiplyByRealGain)(float* spectrum, const float* gain, int32_t count, float factor);
    // out[i] = w[i] frame[2i] + (1 - w[i]) tail[i], formed in double precision.
    void (*crossfadeJoin)(float* out, const float* frame, const float* tail, const float* window, int32_t count);
    // out[i] = frame[2i] + tail[i].
    void (*overlapAddJoin)(float* out, const float* frame, const float* tail, int32_t count);
    // tail[i] = frame[2i].
    void (*takeEveryOther)(float* tail, const float* frame, int32_t count);
    // Both channels of a merged frame at once: A from frame[2i], B from frame[2i+1].
    void (*overlapAddJoinPair)(float* outA, float* outB, const float* frame, const float* tailA,
                               const float* tailB, int32_t count);
    void (*deinterleave)(float* a, float* b, const float* frame, int32_t count);
    // magnitudes[2i] = |a(i)| and magnitudes[2i+1] = |b(i)| of two spectra.
    void (*spectrumMagnitudes)(double* magnitudes, const float* a, const float* b, int32_t count);
    // destination[i] takes the combined value of |a(i)| and |b(i)|.
    void (*captureMagnitudes)(float* destination, const float* a, const float* b, int32_t count,
                              const MagnitudeCapture& how);
    // For `count` pairs (p, q) of a packed spectrum Z: input[p] takes the
    // combined value of |Z(p) + conj Z(q)| and |Z(p) - conj Z(q)|, output[p]
    // that value x outputScale x |Re gain(p)| (gain interleaved).
    void (*capturePackedPairs)(float* output, float* input, const float* packed, const float* gain,
                               const BinPair* pairs, int32_t count, const MagnitudeCapture& how, double outputScale);
    // The same for every pair of a size-n packed spectrum, where the
    // positions of bins above n/2 read zero after a store and are left alone
    // by an add; then multiplyByRealGain(packed, gain, n, factor). The gain's
    // real parts must be equal at the two positions of every pair, as a
    // packed spectrum's gain is.
    void (*captureAndApplyPackedGain)(float* output, float* input, float* packed, const float* gain, int32_t n,
                                      const MagnitudeCapture& how, double outputScale, float factor);
    // crossfadeJoin on the real and on the imaginary parts: A into outA, B into outB.
    void (*crossfadeJoinPair)(float* outA, float* outB, const float* frame, const float* tailA, const float* tailB,
                              const float* window, int32_t count);
};

using PackedPairCapture = void (*)(float* output, float* input, const float* packed, const float* gain,
                                   const BinPair* pairs, int32_t count, const MagnitudeCapture& how,
                                   double outputScale);
using RealGainProduct = void (*)(float* spectrum, const float* gain, int32_t count, float factor);

// captureAndApplyPackedGain as a walk over the pair table and a second sweep
// for the product. Clearing the whole halves first is far cheaper than
// visiting the scattered upper positions.
template <PackedPairCapture capturePairs, RealGainProduct multiply>
void captureThenApplyPackedGain(float* output, float* input, float* packed, const float* gain, int32_t n,
                                const MagnitudeCapture& how, double outputScale, float factor) {
    const BinPair* pairs = binPairTable(n);
    if (!pairs) return;
    if (!how.add) {
        std::fill(output, output + n, 0.0f);
        std::fill(input, input + n, 0.0f);
    }
    capturePairs(output, input, packed, gain, pairs, n / 2 + 1, how, outputScale);
    multiply(packed, gain, n, factor);
}

// A frame's way into the transform: fftForward of the frame that
// packHalves(spectrum, a, b, n) makes.
inline void forwardPackedHalves(const BlockKernels& kernels, float* spectrum, const float* a, const float* b,
                                int32_t n) {
    kernels.packHalves(spectrum, a, b, n);
    fftForward(spectrum, n);
}

// And out of it: fftInverse of a merged frame, the crossfade join of both
// channels of its first n/2 samples with the tails, and its last n/2
// samples into the tails.
inline void inverseCrossfadePair(const BlockKernels& kernels, float* frame, int32_t n, float* outA, float* outB,
                                 float* tailA, float* tailB, const float* window) {
    fftInverse(frame, n);
    kernels.crossfadeJoinPair(outA, outB, frame, tailA, tailB, window, n / 2);
    kernels.deinterleave(tailA, tailB, frame + n, n / 2);
}

// destination[i] takes the combined value of magnitudes[2i] (|a|) and
// magnitudes[2i+1] (|b|), as captureMagnitudes would from the spectra: for
// stages that take the magnitudes anyway. Cheap enough to need no vectors.
void captureFromMagnitudes(float* destination, const double* magnitudes, int32_t count, const MagnitudeCapture& how);

const BlockKernels& blockKernels();
const BlockKernels& scalarBlockKernels();
// Null when not built for this target, or (AVX, AVX-512) when the processor
// lacks it.
const BlockKernels* sse2BlockKernels();
const BlockKernels* avxBlockKernels();
const BlockKernels* avx512BlockKernels();

}  // namespace vexlan
