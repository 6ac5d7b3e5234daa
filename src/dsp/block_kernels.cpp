#include "dsp/block_kernels.h"

#include <cmath>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VEXLAN_BLOCK_SSE2 1
#endif

namespace vexlan {

namespace {

template <bool Larger>
double combine(double a, double b) {
    return Larger ? (b > a ? b : a) : b + a;
}

template <bool Add>
void put(float& destination, double value) {
    destination = Add ? float(destination + value) : float(value);
}

struct MagnitudePair {
    double a;
    double b;
};

struct ScalarRoots {
    static MagnitudePair magnitudes(double aRe, double aIm, double bRe, double bIm) {
        return {std::sqrt(aRe * aRe + aIm * aIm), std::sqrt(bRe * bRe + bIm * bIm)};
    }
};

template <typename Roots>
void spectrumMagnitudesWith(double* magnitudes, const float* a, const float* b, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const MagnitudePair m = Roots::magnitudes(a[2 * i], a[2 * i + 1], b[2 * i], b[2 * i + 1]);
        magnitudes[2 * i] = m.a;
        magnitudes[2 * i + 1] = m.b;
    }
}

template <typename Roots, bool Larger, bool Add>
void captureMagnitudesLoop(float* destination, const float* a, const float* b, int32_t count, double scaleA,
                           double scaleB) {
    for (int32_t i = 0; i < count; ++i) {
        const MagnitudePair m = Roots::magnitudes(a[2 * i], a[2 * i + 1], b[2 * i], b[2 * i + 1]);
        put<Add>(destination[i], combine<Larger>(scaleA * m.a, scaleB * m.b));
    }
}

template <typename Roots>
void captureMagnitudesWith(float* destination, const float* a, const float* b, int32_t count,
                           const MagnitudeCapture& how) {
    withCombination(how, [&](auto larger, auto add) {
        captureMagnitudesLoop<Roots, decltype(larger)::value, decltype(add)::value>(destination, a, b, count,
                                                                                   how.scaleA, how.scaleB);
    });
}

// Channel c's spectrum at bin k is Z(k) + conj Z(N-k), channel c+1's is
// -i (Z(k) - conj Z(N-k)).
template <typename Roots, bool Larger, bool Add>
void capturePackedLoop(float* output, float* input, const float* packed, const float* gain, const BinPair* pairs,
                       int32_t count, double scaleA, double scaleB, double outputScale) {
    for (int32_t i = 0; i < count; ++i) {
        const int32_t p = pairs[i].position;
        const int32_t q = pairs[i].mirror;
        const double zpRe = packed[2 * p], zpIm = packed[2 * p + 1];
        const double zqRe = packed[2 * q], zqIm = packed[2 * q + 1];
        const MagnitudePair m = Roots::magnitudes(zpRe + zqRe, zpIm - zqIm, zpIm + zqIm, zqRe - zpRe);
        const double value = combine<Larger>(scaleA * m.a, scaleB * m.b);
        put<Add>(input[p], value);
        put<Add>(output[p], value * outputScale * std::fabs(gain[2 * p]));
    }
}

template <typename Roots>
void capturePackedWith(float* output, float* input, const float* packed, const float* gain, const BinPair* pairs,
                       int32_t count, const MagnitudeCapture& how, double outputScale) {
    withCombination(how, [&](auto larger, auto add) {
        capturePackedLoop<Roots, decltype(larger)::value, decltype(add)::value>(
            output, input, packed, gain, pairs, count, how.scaleA, how.scaleB, outputScale);
    });
}

void packHalvesScalar(float* packed, const float* a, const float* b, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        packed[2 * i] = 0.5f * a[i];
        packed[2 * i + 1] = b ? 0.5f * b[i] : 0.0f;
    }
}

void multiplyByRealGainScalar(float* spectrum, const float* gain, int32_t count, float factor) {
    for (int32_t i = 0; i < count; ++i) {
        const float g = factor * gain[2 * i];
        spectrum[2 * i] *= g;
        spectrum[2 * i + 1] *= g;
    }
}

void crossfadeJoinScalar(float* out, const float* frame, const float* tail, const float* window, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const double w = window[i];
        out[i] = float(double(frame[2 * i]) * w + double(tail[i]) * (1.0 - w));
    }
}

void overlapAddJoinScalar(float* out, const float* frame, const float* tail, int32_t count) {
    for (int32_t i = 0; i < count; ++i) out[i] = frame[2 * i] + tail[i];
}

void takeEveryOtherScalar(float* tail, const float* frame, int32_t count) {
    for (int32_t i = 0; i < count; ++i) tail[i] = frame[2 * i];
}

void crossfadeJoinPairScalar(float* outA, float* outB, const float* frame, const float* tailA, const float* tailB,
                             const float* window, int32_t count) {
    crossfadeJoinScalar(outA, frame, tailA, window, count);
    crossfadeJoinScalar(outB, frame + 1, tailB, window, count);
}

void overlapAddJoinPairScalar(float* outA, float* outB, const float* frame, const float* tailA, const float* tailB,
                              int32_t count) {
    overlapAddJoinScalar(outA, frame, tailA, count);
    overlapAddJoinScalar(outB, frame + 1, tailB, count);
}

void deinterleaveScalar(float* a, float* b, const float* frame, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        a[i] = frame[2 * i];
        b[i] = frame[2 * i + 1];
    }
}

const BlockKernels kScalarKernels = {
    packHalvesScalar,
    multiplyByRealGainScalar,
    crossfadeJoinScalar,
    overlapAddJoinScalar,
    takeEveryOtherScalar,
    overlapAddJoinPairScalar,
    deinterleaveScalar,
    spectrumMagnitudesWith<ScalarRoots>,
    captureMagnitudesWith<ScalarRoots>,
    capturePackedWith<ScalarRoots>,
    captureThenApplyPackedGain<capturePackedWith<ScalarRoots>, multiplyByRealGainScalar>,
    crossfadeJoinPairScalar,
};

#if defined(VEXLAN_BLOCK_SSE2)

constexpr int32_t kLanes = 4;

// Both square roots in one instruction.
struct Sse2Roots {
    static MagnitudePair magnitudes(double aRe, double aIm, double bRe, double bIm) {
        const __m128d re = _mm_set_pd(bRe, aRe);
        const __m128d im = _mm_set_pd(bIm, aIm);
        const __m128d root = _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(re, re), _mm_mul_pd(im, im)));
        return {_mm_cvtsd_f64(root), _mm_cvtsd_f64(_mm_unpackhi_pd(root, root))};
    }
};

// Even and odd floats of p[0 .. 7]: four real and four imaginary parts.
__m128 evenFloats(const float* p) {
    return _mm_shuffle_ps(_mm_loadu_ps(p), _mm_loadu_ps(p + 4), _MM_SHUFFLE(2, 0, 2, 0));
}
__m128 oddFloats(const float* p) {
    return _mm_shuffle_ps(_mm_loadu_ps(p), _mm_loadu_ps(p + 4), _MM_SHUFFLE(3, 1, 3, 1));
}

// w y + (1 - w) t for lanes 0 and 1, in double precision.
__m128d crossfadeLowLanes(__m128 y, __m128 t, __m128 w) {
    const __m128d weight = _mm_cvtps_pd(w);
    const __m128d faded = _mm_mul_pd(_mm_cvtps_pd(y), weight);
    const __m128d kept = _mm_mul_pd(_mm_cvtps_pd(t), _mm_sub_pd(_mm_set1_pd(1.0), weight));
    return _mm_add_pd(faded, kept);
}

__m128 crossfadeFour(__m128 y, __m128 t, __m128 w) {
    const __m128d low = crossfadeLowLanes(y, t, w);
    const __m128d high = crossfadeLowLanes(_mm_movehl_ps(y, y), _mm_movehl_ps(t, t), _mm_movehl_ps(w, w));
    return _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high));
}

void packHalvesSse2(float* packed, const float* a, const float* b, int32_t count) {
    const int32_t vectorCount = count / kLanes * kLanes;
    const __m128 half = _mm_set1_ps(0.5f);
    for (int32_t i = 0; i < vectorCount; i += kLanes) {
        const __m128 re = _mm_mul_ps(half, _mm_loadu_ps(a + i));
        const __m128 im = b ? _mm_mul_ps(half, _mm_loadu_ps(b + i)) : _mm_setzero_ps();
        _mm_storeu_ps(packed + 2 * i, _mm_unpacklo_ps(re, im));
        _mm_storeu_ps(packed + 2 * i + 4, _mm_unpackhi_ps(re, im));
    }
    packHalvesScalar(packed + 2 * vectorCount, a + vectorCount, b ? b + vectorCount : nullptr, count - vectorCount);
}

void multiplyByRealGainSse2(float* spectrum, const float* gain, int32_t count, float factor) {
    const int32_t vectorCount = count / 2 * 2;
    const __m128 scale = _mm_set1_ps(factor);
    for (int32_t i = 0; i < vectorCount; i += 2) {
        // (g0, g0, g1, g1) from (g0, x, g1, x).
        const __m128 g = _mm_mul_ps(scale, _mm_loadu_ps(gain + 2 * i));
        const __m128 spread = _mm_shuffle_ps(g, g, _MM_SHUFFLE(2, 2, 0, 0));
        _mm_storeu_ps(spectrum + 2 * i, _mm_mul_ps(_mm_loadu_ps(spectrum + 2 * i), spread));
    }
    multiplyByRealGainScalar(spectrum + 2 * vectorCount, gain + 2 * vectorCount, count - vectorCount, factor);
}

void crossfadeJoinSse2(float* out, const float* frame, const float* tail, const float* window, int32_t count) {
    const int32_t vectorCount = count / kLanes * kLanes;
    for (int32_t i = 0; i < vectorCount; i += kLanes) {
        _mm_storeu_ps(out + i, crossfadeFour(evenFloats(frame + 2 * i), _mm_loadu_ps(tail + i), _mm_loadu_ps(window + i)));
    }
    crossfadeJoinScalar(out + vectorCount, frame + 2 * vectorCount, tail + vectorCount, window + vectorCount,
                        count - vectorCount);
}

void overlapAddJoinSse2(float* out, const float* frame, const float* tail, int32_t count) {
    const int32_t vectorCount = count / kLanes * kLanes;
    for (int32_t i = 0; i < vectorCount; i += kLanes) {
        _mm_storeu_ps(out + i, _mm_add_ps(evenFloats(frame + 2 * i), _mm_loadu_ps(tail + i)));
    }
    overlapAddJoinScalar(out + vectorCount, frame + 2 * vectorCount, tail + vectorCount, count - vectorCount);
}

void takeEveryOtherSse2(float* tail, const float* frame, int32_t count) {
    const int32_t vectorCount = count / kLanes * kLanes;
    for (int32_t i = 0; i < vectorCount; i += kLanes) _mm_storeu_ps(tail + i, evenFloats(frame + 2 * i));
    takeEveryOtherScalar(tail + vectorCount, frame + 2 * vectorCount, count - vectorCount);
}

void crossfadeJoinPairSse2(float* outA, float* outB, const float* frame, const float* tailA, const float* tailB,
                           const float* window, int32_t count) {
    const int32_t vectorCount = count / kLanes * kLanes;
    for (int32_t i = 0; i < vectorCount; i += kLanes) {
        const __m128 w = _mm_loadu_ps(window + i);
        _mm_storeu_ps(outA + i, crossfadeFour(evenFloats(frame + 2 * i), _mm_loadu_ps(tailA + i), w));
        _mm_storeu_ps(outB + i, crossfadeFour(oddFloats(frame + 2 * i), _mm_loadu_ps(tailB + i), w));
    }
    crossfadeJoinPairScalar(outA + vectorCount, outB + vectorCount, frame + 2 * vectorCount, tailA + vectorCount,
                            tailB + vectorCount, window + vectorCount, count - vectorCount);
}

void overlapAddJoinPairSse2(float* outA, float* outB, const float* frame, const float* tailA, const float* tailB,
                            int32_t count) {
    const int32_t vectorCount = count / kLanes * kLanes;
    for (int32_t i = 0; i < vectorCount; i += kLanes) {
        _mm_storeu_ps(outA + i, _mm_add_ps(evenFloats(frame + 2 * i), _mm_loadu_ps(tailA + i)));
        _mm_storeu_ps(outB + i, _mm_add_ps(oddFloats(frame + 2 * i), _mm_loadu_ps(tailB + i)));
    }
    overlapAddJoinPairScalar(outA + vectorCount, outB + vectorCount, frame + 2 * vectorCount, tailA + vectorCount,
                             tailB + vectorCount, count - vectorCount);
}

void deinterleaveSse2(float* a, float* b, const float* frame, int32_t count) {
    const int32_t vectorCount = count / kLanes * kLanes;
    for (int32_t i = 0; i < vectorCount; i += kLanes) {
        _mm_storeu_ps(a + i, evenFloats(frame + 2 * i));
        _mm_storeu_ps(b + i, oddFloats(frame + 2 * i));
    }
    deinterleaveScalar(a + vectorCount, b + vectorCount, frame + 2 * vectorCount, count - vectorCount);
}

const BlockKernels kSse2Kernels = {
    packHalvesSse2,
    multiplyByRealGainSse2,
    crossfadeJoinSse2,
    overlapAddJoinSse2,
    takeEveryOtherSse2,
    overlapAddJoinPairSse2,
    deinterleaveSse2,
    spectrumMagnitudesWith<Sse2Roots>,
    captureMagnitudesWith<Sse2Roots>,
    capturePackedWith<Sse2Roots>,
    captureThenApplyPackedGain<capturePackedWith<Sse2Roots>, multiplyByRealGainSse2>,
    crossfadeJoinPairSse2,
};

#endif

const BlockKernels& pickKernels() {
    if (const BlockKernels* avx512 = avx512BlockKernels()) return *avx512;
    if (const BlockKernels* avx = avxBlockKernels()) return *avx;
    if (const BlockKernels* sse2 = sse2BlockKernels()) return *sse2;
    return kScalarKernels;
}

}  // namespace

const BlockKernels& scalarBlockKernels() { return kScalarKernels; }

void captureFromMagnitudes(float* destination, const double* magnitudes, int32_t count, const MagnitudeCapture& how) {
    withCombination(how, [&](auto larger, auto add) {
        constexpr bool kLarger = decltype(larger)::value;
        constexpr bool kAdd = decltype(add)::value;
        for (int32_t i = 0; i < count; ++i) {
            put<kAdd>(destination[i], combine<kLarger>(how.scaleA * magnitudes[2 * i], how.scaleB * magnitudes[2 * i + 1]));
        }
    });
}

const BlockKernels* sse2BlockKernels() {
#if defined(VEXLAN_BLOCK_SSE2)
    return &kSse2Kernels;
#else
    return nullptr;
#endif
}

const BlockKernels& blockKernels() {
    static const BlockKernels& chosen = pickKernels();
    return chosen;
}

}  // namespace vexlan
