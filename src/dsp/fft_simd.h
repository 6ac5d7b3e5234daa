// The few vector operations the FFT kernels are written in. A vector holds
// complex values as interleaved floats (re0, im0, re1, im1, ...), in groups
// of two complex values; the pair operations (swapReIm, timesI, lowHalves …)
// act within each group. Every operation is exact apart from add, sub and
// mul, which round once per lane, so all paths give bit-identical transforms.
//
// An operation set also says how it meets the unrolled leaf kernels: a
// vector of kLeavesPerCall groups holds the same two complex values of that
// many separate leaves (loadLeaves, storeLeaves), all using one twiddle group
// (loadLeafTwiddles).
#pragma once

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VEXLAN_FFT_SSE2 1
#endif

// A 256-bit path chosen at run time. GCC for Windows cannot align the stack
// to 32 bytes, so that build assembles every aligned vector move as an
// unaligned one (see CMakeLists.txt) and spilled 256-bit values stay safe.
#if defined(__x86_64__) && defined(__GNUC__)
#define VEXLAN_FFT_AVX 1
#endif

namespace vexlan {

struct ScalarFftOps {
    struct Vector {
        float lane[4];
    };
    static constexpr int kFloats = 4;
    static constexpr int kLeavesPerCall = 1;

    static Vector load(const float* p) { return {{p[0], p[1], p[2], p[3]}}; }
    static void store(float* p, Vector v) {
        p[0] = v.lane[0];
        p[1] = v.lane[1];
        p[2] = v.lane[2];
        p[3] = v.lane[3];
    }
    static Vector loadLeaves(const float* first, const float*) { return load(first); }
    static void storeLeaves(float* first, float*, Vector v) { store(first, v); }
    static Vector loadLeafTwiddles(const float* p) { return load(p); }

    static Vector add(Vector a, Vector b) {
        return {{a.lane[0] + b.lane[0], a.lane[1] + b.lane[1], a.lane[2] + b.lane[2], a.lane[3] + b.lane[3]}};
    }
    static Vector sub(Vector a, Vector b) {
        return {{a.lane[0] - b.lane[0], a.lane[1] - b.lane[1], a.lane[2] - b.lane[2], a.lane[3] - b.lane[3]}};
    }
    static Vector mul(Vector a, Vector b) {
        return {{a.lane[0] * b.lane[0], a.lane[1] * b.lane[1], a.lane[2] * b.lane[2], a.lane[3] * b.lane[3]}};
    }
    // (re, im) -> (im, re) for each complex value.
    static Vector swapReIm(Vector v) { return {{v.lane[1], v.lane[0], v.lane[3], v.lane[2]}}; }
    // Each complex value multiplied by i.
    static Vector timesI(Vector v) { return {{-v.lane[1], v.lane[0], -v.lane[3], v.lane[2]}}; }
    // Only the upper complex value of each group multiplied by i, or by -i.
    static Vector upperTimesI(Vector v) { return {{v.lane[0], v.lane[1], -v.lane[3], v.lane[2]}}; }
    static Vector upperTimesMinusI(Vector v) { return {{v.lane[0], v.lane[1], v.lane[3], -v.lane[2]}}; }
    // Per group: (a.low, b.low) and (a.high, b.high) as complex values.
    static Vector lowHalves(Vector a, Vector b) { return {{a.lane[0], a.lane[1], b.lane[0], b.lane[1]}}; }
    static Vector highHalves(Vector a, Vector b) { return {{a.lane[2], a.lane[3], b.lane[2], b.lane[3]}}; }
};

#ifdef VEXLAN_FFT_SSE2
struct Sse2FftOps {
    using Vector = __m128;
    static constexpr int kFloats = 4;
    static constexpr int kLeavesPerCall = 1;

    static Vector load(const float* p) { return _mm_loadu_ps(p); }
    static void store(float* p, Vector v) { _mm_storeu_ps(p, v); }
    static Vector loadLeaves(const float* first, const float*) { return load(first); }
    static void storeLeaves(float* first, float*, Vector v) { store(first, v); }
    static Vector loadLeafTwiddles(const float* p) { return load(p); }

    static Vector add(Vector a, Vector b) { return _mm_add_ps(a, b); }
    static Vector sub(Vector a, Vector b) { return _mm_sub_ps(a, b); }
    static Vector mul(Vector a, Vector b) { return _mm_mul_ps(a, b); }
    static Vector swapReIm(Vector v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 0, 1)); }
    static Vector timesI(Vector v) { return _mm_xor_ps(swapReIm(v), _mm_setr_ps(-0.0f, 0.0f, -0.0f, 0.0f)); }
    static Vector upperTimesI(Vector v) {
        return _mm_xor_ps(_mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 1, 0)), _mm_setr_ps(0.0f, 0.0f, -0.0f, 0.0f));
    }
    static Vector upperTimesMinusI(Vector v) {
        return _mm_xor_ps(_mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 1, 0)), _mm_setr_ps(0.0f, 0.0f, 0.0f, -0.0f));
    }
    static Vector lowHalves(Vector a, Vector b) { return _mm_movelh_ps(a, b); }
    static Vector highHalves(Vector a, Vector b) { return _mm_movehl_ps(b, a); }
};

using FftOps = Sse2FftOps;
#else
using FftOps = ScalarFftOps;
#endif

}  // namespace vexlan
