// The block processor's loops on 256-bit vectors: four samples per step, the
// crossfade widened to four doubles at once. Only this file is compiled for
// AVX, and its set is used only when the processor has it.
#include "dsp/block_kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)

#include <immintrin.h>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx")
#endif

namespace vexlan {

namespace {

constexpr int32_t kLanes = 4;

// Even and odd floats of p[0 .. 7]: four real and four imaginary parts.
__m128 evenFloats(const float* p) {
    return _mm_shuffle_ps(_mm_loadu_ps(p), _mm_loadu_ps(p + 4), _MM_SHUFFLE(2, 0, 2, 0));
}
__m128 oddFloats(const float* p) {
    return _mm_shuffle_ps(_mm_loadu_ps(p), _mm_loadu_ps(p + 4), _MM_SHUFFLE(3, 1, 3, 1));
}

// w y + (1 - w) t in double precision, rounded once to float.
__m128 crossfadeFour(__m128 y, __m128 t, __m256d weight, __m256d keep) {
    const __m256d faded = _mm256_mul_pd(_mm256_cvtps_pd(y), weight);
    const __m256d kept = _mm256_mul_pd(_mm256_cvtps_pd(t), keep);
    return _mm256_cvtpd_ps(_mm256_add_pd(faded, kept));
}

void packHalves(float* packed, const float* a, const float* b, int32_t count) {
    const int32_t vectorCount = count / 8 * 8;
    const __m256 half = _mm256_set1_ps(0.5f);
    for (int32_t i = 0; i < vectorCount; i += 8) {
        const __m256 re = _mm256_mul_ps(half, _mm256_loadu_ps(a + i));
        const __m256 im = b ? _mm256_mul_ps(half, _mm256_loadu_ps(b + i)) : _mm256_setzero_ps();
        // Unpacking works within 128-bit halves; the permutes restore the order.
        const __m256 low = _mm256_unpacklo_ps(re, im);
        const __m256 high = _mm256_unpackhi_ps(re, im);
        _mm256_storeu_ps(packed + 2 * i, _mm256_permute2f128_ps(low, high, 0x20));
        _mm256_storeu_ps(packed + 2 * i + 8, _mm256_permute2f128_ps(low, high, 0x31));
    }
    scalarBlockKernels().packHalves(packed + 2 * vectorCount, a + vectorCount, b ? b + vectorCount : nullptr,
                                    count - vectorCount);
}

void multiplyByRealGain(float* spectrum, const float* gain, int32_t count, float factor) {
    const int32_t vectorCount = count / 4 * 4;
    const __m256 scale = _mm256_set1_ps(factor);
    for (int32_t i = 0; i < vectorCount; i += 4) {
        const __m256 g = _mm256_mul_ps(scale, _mm256_loadu_ps(gain + 2 * i));
        _mm256_storeu_ps(spectrum + 2 * i, _mm256_mul_ps(_mm256_loadu_ps(spectrum + 2 * i), _mm256_moveldup_ps(g)));
    }
    scalarBlockKernels().multiplyByRealGain(spectrum + 2 * vectorCount, gain + 2 * vectorCount, count - vectorCount,
                                            factor);
}

void crossfadeJoin(float* out, const float* frame, const float* tail, const float* window, int32_t count) {
    const int32_t vectorCount = count / kLanes * kLanes;
    const __m256d one = _mm256_set1_pd(1.0);
    for (int32_t i = 0; i < vectorCount; i += kLanes) {
        const __m256d weight = _mm256_cvtps_pd(_mm_loadu_ps(window + i));
        const __m256d keep = _mm256_sub_pd(one, weight);
        _mm_storeu_ps(out + i, crossfadeFour(evenFloats(frame + 2 * i), _mm_loadu_ps(tail + i), weight, keep));
    }
    scalarBlockKernels().crossfadeJoin(out + vectorCount, frame + 2 * vectorCount, tail + vectorCount,
                                       window + vectorCount, count - vectorCount);
}

void overlapAddJoin(float* out, const float* frame, const float* tail, int32_t count) {
    const int32_t vectorCount = count / kLanes * kLanes;
    for (int32_t i = 0; i < vectorCount; i += kLanes) {
        _mm_storeu_ps(out + i, _mm_add_ps(evenFloats(frame + 2 * i), _mm_loadu_ps(tail + i)));
    }
    scalarBlockKernels().overlapAddJoin(out + vectorCount, frame + 2 * vectorCount, tail + vectorCount,
                                        count - vectorCount);
}

void takeEveryOther(float* tail, const float* frame, int32_t count) {
    const int32_t vectorCount = count / kLanes * kLanes;
    for (int32_t i = 0; i < vectorCount; i += kLanes) _mm_storeu_ps(tail + i, evenFloats(frame + 2 * i));
    scalarBlockKernels().takeEveryOther(tail + vectorCount, frame + 2 * vectorCount, count - vectorCount);
}

void crossfadeJoinPair(float* outA, float* outB, const float* frame, const float* tailA, const float* tailB,
                       const float* window, int32_t count) {
    const int32_t vectorCount = count / kLanes * kLanes;
    const __m256d one = _mm256_set1_pd(1.0);
    for (int32_t i = 0; i < vectorCount; i += kLanes) {
        const __m256d weight = _mm256_cvtps_pd(_mm_loadu_ps(window + i));
        const __m256d keep = _mm256_sub_pd(one, weight);
        _mm_storeu_ps(outA + i, crossfadeFour(evenFloats(frame + 2 * i), _mm_loadu_ps(tailA + i), weight, keep));
        _mm_storeu_ps(outB + i, crossfadeFour(oddFloats(frame + 2 * i), _mm_loadu_ps(tailB + i), weight, keep));
    }
    const BlockKernels& scalar = scalarBlockKernels();
    const float* rest = frame + 2 * vectorCount;
    scalar.crossfadeJoin(outA + vectorCount, rest, tailA + vectorCount, window + vectorCount, count - vectorCount);
    scalar.crossfadeJoin(outB + vectorCount, rest + 1, tailB + vectorCount, window + vectorCount, count - vectorCount);
}

void overlapAddJoinPair(float* outA, float* outB, const float* frame, const float* tailA, const float* tailB,
                        int32_t count) {
    const int32_t vectorCount = count / kLanes * kLanes;
    for (int32_t i = 0; i < vectorCount; i += kLanes) {
        _mm_storeu_ps(outA + i, _mm_add_ps(evenFloats(frame + 2 * i), _mm_loadu_ps(tailA + i)));
        _mm_storeu_ps(outB + i, _mm_add_ps(oddFloats(frame + 2 * i), _mm_loadu_ps(tailB + i)));
    }
    scalarBlockKernels().overlapAddJoinPair(outA + vectorCount, outB + vectorCount, frame + 2 * vectorCount,
                                            tailA + vectorCount, tailB + vectorCount, count - vectorCount);
}

void deinterleave(float* a, float* b, const float* frame, int32_t count) {
    const int32_t vectorCount = count / 8 * 8;
    for (int32_t i = 0; i < vectorCount; i += 8) {
        const __m256 first = _mm256_loadu_ps(frame + 2 * i);
        const __m256 second = _mm256_loadu_ps(frame + 2 * i + 8);
        // Complex values 0-1 and 4-5, then 2-3 and 6-7, so that the in-half
        // shuffles below come out in order.
        const __m256 low = _mm256_permute2f128_ps(first, second, 0x20);
        const __m256 high = _mm256_permute2f128_ps(first, second, 0x31);
        _mm256_storeu_ps(a + i, _mm256_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0)));
        _mm256_storeu_ps(b + i, _mm256_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1)));
    }
    scalarBlockKernels().deinterleave(a + vectorCount, b + vectorCount, frame + 2 * vectorCount, count - vectorCount);
}

// |v(i)|^2 of four complex values, in the lane order 0, 2, 1, 3 that the
// in-half horizontal add leaves.
__m256d squaredMagnitudes(const float* spectrum) {
    const __m256 v = _mm256_loadu_ps(spectrum);
    const __m256d low = _mm256_cvtps_pd(_mm256_castps256_ps128(v));
    const __m256d high = _mm256_cvtps_pd(_mm256_extractf128_ps(v, 1));
    return _mm256_hadd_pd(_mm256_mul_pd(low, low), _mm256_mul_pd(high, high));
}

// Four floats from lane order 0, 2, 1, 3 to 0, 1, 2, 3, or back.
__m128 swapMiddleLanes(__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 1, 2, 0)); }

template <bool Larger>
__m256d combineTerms(__m256d termA, __m256d termB) {
    return Larger ? _mm256_max_pd(termB, termA) : _mm256_add_pd(termB, termA);
}

void spectrumMagnitudes(double* magnitudes, const float* a, const float* b, int32_t count) {
    const int32_t vectorCount = count / kLanes * kLanes;
    for (int32_t i = 0; i < vectorCount; i += kLanes) {
        const __m256d ma = _mm256_sqrt_pd(squaredMagnitudes(a + 2 * i));
        const __m256d mb = _mm256_sqrt_pd(squaredMagnitudes(b + 2 * i));
        _mm256_storeu_pd(magnitudes + 2 * i, _mm256_unpacklo_pd(ma, mb));
        _mm256_storeu_pd(magnitudes + 2 * i + 4, _mm256_unpackhi_pd(ma, mb));
    }
    scalarBlockKernels().spectrumMagnitudes(magnitudes + 2 * vectorCount, a + 2 * vectorCount, b + 2 * vectorCount,
                                            count - vectorCount);
}

template <bool Larger, bool Add>
void captureMagnitudesLoop(float* destination, const float* a, const float* b, int32_t count, double scaleA,
                           double scaleB) {
    const __m256d weightA = _mm256_set1_pd(scaleA);
    const __m256d weightB = _mm256_set1_pd(scaleB);
    for (int32_t i = 0; i < count; i += kLanes) {
        const __m256d termA = _mm256_mul_pd(weightA, _mm256_sqrt_pd(squaredMagnitudes(a + 2 * i)));
        const __m256d termB = _mm256_mul_pd(weightB, _mm256_sqrt_pd(squaredMagnitudes(b + 2 * i)));
        __m256d value = combineTerms<Larger>(termA, termB);
        if (Add) value = _mm256_add_pd(_mm256_cvtps_pd(swapMiddleLanes(_mm_loadu_ps(destination + i))), value);
        _mm_storeu_ps(destination + i, swapMiddleLanes(_mm256_cvtpd_ps(value)));
    }
}

void captureMagnitudes(float* destination, const float* a, const float* b, int32_t count,
                       const MagnitudeCapture& how) {
    const int32_t vectorCount = count / kLanes * kLanes;
    withCombination(how, [&](auto larger, auto add) {
        captureMagnitudesLoop<decltype(larger)::value, decltype(add)::value>(destination, a, b, vectorCount,
                                                                            how.scaleA, how.scaleB);
    });
    scalarBlockKernels().captureMagnitudes(destination + vectorCount, a + 2 * vectorCount, b + 2 * vectorCount,
                                           count - vectorCount, how);
}

// Complex values at positions p0 and p1 as doubles: re0, im0, re1, im1.
__m256d loadTwoPositions(const float* spectrum, int32_t p0, int32_t p1) {
    const __m128d low = _mm_load_sd(reinterpret_cast<const double*>(spectrum + 2 * p0));
    return _mm256_cvtps_pd(_mm_castpd_ps(_mm_loadh_pd(low, reinterpret_cast<const double*>(spectrum + 2 * p1))));
}

// |Z(p) + conj Z(q)| and |Z(p) - conj Z(q)| of two pairs: a0, b0, a1, b1.
__m256d pairMagnitudes(const float* packed, const BinPair* pairs) {
    const __m256d zp = loadTwoPositions(packed, pairs[0].position, pairs[1].position);
    const __m256d zq = loadTwoPositions(packed, pairs[0].mirror, pairs[1].mirror);
    // sum: Re A, Re B; difference: -Im B, Im A (the sign vanishes in the square).
    const __m256d sum = _mm256_add_pd(zp, zq);
    const __m256d difference = _mm256_sub_pd(zp, zq);
    const __m256d crossed = _mm256_permute_pd(_mm256_mul_pd(difference, difference), 0x5);
    return _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(sum, sum), crossed));
}

// Floats at four scattered indices, in lane order 0, 2, 1, 3.
__m256d gatherFour(const float* base, const int32_t* index, int32_t stride) {
    return _mm256_cvtps_pd(
        _mm_setr_ps(base[stride * index[0]], base[stride * index[2]], base[stride * index[1]], base[stride * index[3]]));
}

void scatterFour(float* base, const int32_t* index, __m256d value) {
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, _mm256_cvtpd_ps(value));
    base[index[0]] = lanes[0];
    base[index[2]] = lanes[1];
    base[index[1]] = lanes[2];
    base[index[3]] = lanes[3];
}

template <bool Larger, bool Add>
void capturePackedLoop(float* output, float* input, const float* packed, const float* gain, const BinPair* pairs,
                       int32_t count, double scaleA, double scaleB, double outputScale) {
    const __m256d weights = _mm256_setr_pd(scaleA, scaleB, scaleA, scaleB);
    const __m256d outputFactor = _mm256_set1_pd(outputScale);
    const __m256d signBit = _mm256_set1_pd(-0.0);
    for (int32_t i = 0; i < count; i += kLanes) {
        const BinPair* four = pairs + i;
        const int32_t positions[4] = {four[0].position, four[1].position, four[2].position, four[3].position};
        const __m256d first = _mm256_mul_pd(weights, pairMagnitudes(packed, four));
        const __m256d second = _mm256_mul_pd(weights, pairMagnitudes(packed, four + 2));
        const __m256d value =
            combineTerms<Larger>(_mm256_unpacklo_pd(first, second), _mm256_unpackhi_pd(first, second));
        const __m256d gainSize = _mm256_andnot_pd(signBit, gatherFour(gain, positions, 2));
        __m256d inputValue = value;
        __m256d outputValue = _mm256_mul_pd(_mm256_mul_pd(value, outputFactor), gainSize);
        if (Add) {
            inputValue = _mm256_add_pd(gatherFour(input, positions, 1), inputValue);
            outputValue = _mm256_add_pd(gatherFour(output, positions, 1), outputValue);
        }
        scatterFour(input, positions, inputValue);
        scatterFour(output, positions, outputValue);
    }
}

void capturePackedPairs(float* output, float* input, const float* packed, const float* gain, const BinPair* pairs,
                        int32_t count, const MagnitudeCapture& how, double outputScale) {
    const int32_t vectorCount = count / kLanes * kLanes;
    withCombination(how, [&](auto larger, auto add) {
        capturePackedLoop<decltype(larger)::value, decltype(add)::value>(output, input, packed, gain, pairs,
                                                                        vectorCount, how.scaleA, how.scaleB,
                                                                        outputScale);
    });
    scalarBlockKernels().capturePackedPairs(output, input, packed, gain, pairs + vectorCount, count - vectorCount,
                                            how, outputScale);
}

const BlockKernels kAvxKernels = {
    packHalves,
    multiplyByRealGain,
    crossfadeJoin,
    overlapAddJoin,
    takeEveryOther,
    overlapAddJoinPair,
    deinterleave,
    spectrumMagnitudes,
    captureMagnitudes,
    capturePackedPairs,
    captureThenApplyPackedGain<capturePackedPairs, multiplyByRealGain>,
    crossfadeJoinPair,
};

}  // namespace

}  // namespace vexlan

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace vexlan {

const BlockKernels* avxBlockKernels() {
    static const bool supported = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx") != 0;
    }();
    return supported ? &kAvxKernels : nullptr;
}

}  // namespace vexlan

#else

namespace vexlan {

const BlockKernels* avxBlockKernels() { return nullptr; }

}  // namespace vexlan

#endif
