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
    scalarBlockKernels().crossfadeJoinPair(outA + vectorCount, outB + vectorCount, frame + 2 * vectorCount,
                                           tailA + vectorCount, tailB + vectorCount, window + vectorCount,
                                           count - vectorCount);
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

const BlockKernels kAvxKernels = {
    packHalves,     multiplyByRealGain, crossfadeJoin,      overlapAddJoin,
    takeEveryOther, crossfadeJoinPair,  overlapAddJoinPair, deinterleave,
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
