// The magnitude loops over whole spectra on 512-bit vectors: eight double
// square roots per instruction, twice the 256-bit rate. Every other loop stays
// that of the AVX set: the packed capture is bound by its scattered loads and
// stores, not by its square roots, and measured no faster with them widened.
// Only this file is compiled for AVX-512F, and its set is used only when the
// processor has it.
#include "dsp/block_kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)

// GCC 12 initialises the don't-care operands of its 512-bit intrinsics from
// themselves and then warns about it inside its own header.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f")
#endif

namespace vexlan {

namespace {

constexpr int32_t kLanes = 8;

// Lanes 0, 2, .. 14 and 1, 3, .. 15 of two vectors taken together.
__m512i evenLanes() { return _mm512_setr_epi64(0, 2, 4, 6, 8, 10, 12, 14); }
__m512i oddLanes() { return _mm512_setr_epi64(1, 3, 5, 7, 9, 11, 13, 15); }

// |v(i)|^2 of eight complex values, in order. Inlined by force: called, it
// would pass its result through the stack.
inline __attribute__((always_inline)) __m512d squaredMagnitudes(const float* spectrum) {
    const __m512 v = _mm512_loadu_ps(spectrum);
    const __m512d low = _mm512_cvtps_pd(_mm512_castps512_ps256(v));
    const __m512d high = _mm512_cvtps_pd(_mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(v), 1)));
    const __m512d lowSquares = _mm512_mul_pd(low, low);
    const __m512d highSquares = _mm512_mul_pd(high, high);
    return _mm512_add_pd(_mm512_permutex2var_pd(lowSquares, evenLanes(), highSquares),
                         _mm512_permutex2var_pd(lowSquares, oddLanes(), highSquares));
}

template <bool Larger>
__m512d combineTerms(__m512d termA, __m512d termB) {
    return Larger ? _mm512_max_pd(termB, termA) : _mm512_add_pd(termB, termA);
}

void spectrumMagnitudes(double* magnitudes, const float* a, const float* b, int32_t count) {
    const int32_t vectorCount = count / kLanes * kLanes;
    const __m512i firstHalf = _mm512_setr_epi64(0, 8, 1, 9, 2, 10, 3, 11);
    const __m512i secondHalf = _mm512_setr_epi64(4, 12, 5, 13, 6, 14, 7, 15);
    for (int32_t i = 0; i < vectorCount; i += kLanes) {
        const __m512d ma = _mm512_sqrt_pd(squaredMagnitudes(a + 2 * i));
        const __m512d mb = _mm512_sqrt_pd(squaredMagnitudes(b + 2 * i));
        _mm512_storeu_pd(magnitudes + 2 * i, _mm512_permutex2var_pd(ma, firstHalf, mb));
        _mm512_storeu_pd(magnitudes + 2 * i + kLanes, _mm512_permutex2var_pd(ma, secondHalf, mb));
    }
    scalarBlockKernels().spectrumMagnitudes(magnitudes + 2 * vectorCount, a + 2 * vectorCount, b + 2 * vectorCount,
                                            count - vectorCount);
}

template <bool Larger, bool Add>
void captureMagnitudesLoop(float* destination, const float* a, const float* b, int32_t count, double scaleA,
                           double scaleB) {
    const __m512d weightA = _mm512_set1_pd(scaleA);
    const __m512d weightB = _mm512_set1_pd(scaleB);
    for (int32_t i = 0; i < count; i += kLanes) {
        const __m512d termA = _mm512_mul_pd(weightA, _mm512_sqrt_pd(squaredMagnitudes(a + 2 * i)));
        const __m512d termB = _mm512_mul_pd(weightB, _mm512_sqrt_pd(squaredMagnitudes(b + 2 * i)));
        __m512d value = combineTerms<Larger>(termA, termB);
        if (Add) value = _mm512_add_pd(_mm512_cvtps_pd(_mm256_loadu_ps(destination + i)), value);
        _mm256_storeu_ps(destination + i, _mm512_cvtpd_ps(value));
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

}  // namespace

}  // namespace vexlan

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace vexlan {

const BlockKernels* avx512BlockKernels() {
    static const BlockKernels* const chosen = []() -> const BlockKernels* {
        const BlockKernels* avx = avxBlockKernels();
        __builtin_cpu_init();
        if (!avx || !__builtin_cpu_supports("avx512f")) return nullptr;
        static BlockKernels kernels = *avx;
        kernels.spectrumMagnitudes = spectrumMagnitudes;
        kernels.captureMagnitudes = captureMagnitudes;
        return &kernels;
    }();
    return chosen;
}

}  // namespace vexlan

#else

namespace vexlan {

const BlockKernels* avx512BlockKernels() { return nullptr; }

}  // namespace vexlan

#endif
