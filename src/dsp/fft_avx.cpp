// The FFT kernels instantiated for 256-bit vectors: passes take four complex
// values per quarter at once, and the leaf kernels run two leaves side by
// side, one per 128-bit half. Only this file is compiled for AVX; the rest of
// the program runs on any x86-64, and buildFftTables picks the path at run
// time. Same operations as the other paths, so the same bits.
#include "dsp/fft_simd.h"

#ifdef VEXLAN_FFT_AVX

#include <immintrin.h>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx")
#endif

#include "dsp/fft_kernels.h"

namespace vexlan {

namespace {

struct AvxFftOps {
    using Vector = __m256;
    static constexpr int kFloats = 8;
    static constexpr int kLeavesPerCall = 2;

    static Vector load(const float* p) { return _mm256_loadu_ps(p); }
    static void store(float* p, Vector v) { _mm256_storeu_ps(p, v); }
    static Vector loadLeaves(const float* first, const float* second) {
        return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(first)), _mm_loadu_ps(second), 1);
    }
    static void storeLeaves(float* first, float* second, Vector v) {
        _mm_storeu_ps(first, _mm256_castps256_ps128(v));
        _mm_storeu_ps(second, _mm256_extractf128_ps(v, 1));
    }
    static Vector loadLeafTwiddles(const float* p) { return _mm256_broadcast_ps(reinterpret_cast<const __m128*>(p)); }

    static Vector add(Vector a, Vector b) { return _mm256_add_ps(a, b); }
    static Vector sub(Vector a, Vector b) { return _mm256_sub_ps(a, b); }
    static Vector mul(Vector a, Vector b) { return _mm256_mul_ps(a, b); }
    static Vector swapReIm(Vector v) { return _mm256_permute_ps(v, _MM_SHUFFLE(2, 3, 0, 1)); }
    static Vector timesI(Vector v) { return _mm256_xor_ps(swapReIm(v), signs(-0.0f, 0.0f, -0.0f, 0.0f)); }
    static Vector upperTimesI(Vector v) {
        return _mm256_xor_ps(_mm256_permute_ps(v, _MM_SHUFFLE(2, 3, 1, 0)), signs(0.0f, 0.0f, -0.0f, 0.0f));
    }
    static Vector upperTimesMinusI(Vector v) {
        return _mm256_xor_ps(_mm256_permute_ps(v, _MM_SHUFFLE(2, 3, 1, 0)), signs(0.0f, 0.0f, 0.0f, -0.0f));
    }
    static Vector lowHalves(Vector a, Vector b) {
        return _mm256_castpd_ps(_mm256_unpacklo_pd(_mm256_castps_pd(a), _mm256_castps_pd(b)));
    }
    static Vector highHalves(Vector a, Vector b) {
        return _mm256_castpd_ps(_mm256_unpackhi_pd(_mm256_castps_pd(a), _mm256_castps_pd(b)));
    }

private:
    // The same four lanes in each 128-bit half.
    static Vector signs(float lane0, float lane1, float lane2, float lane3) {
        return _mm256_setr_ps(lane0, lane1, lane2, lane3, lane0, lane1, lane2, lane3);
    }
};

}  // namespace

void fftForwardAvx(float* data, int n) { fftkernel::forwardRecursive<AvxFftOps>(data, n); }

void fftInverseAvx(float* data, int n) { fftkernel::inverseRecursive<AvxFftOps>(data, n); }

}  // namespace vexlan

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#endif
