// Magnitudes of spectrum values in double precision, two at a time: the
// modes and the analysis need one per channel at every position. SSE2 takes
// both square roots in one instruction; the results are the IEEE ones either
// way, and no error-reporting branch sits in the loops.
#pragma once

#include <cmath>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VEXLAN_MAGNITUDE_SSE2 1
#endif

namespace vexlan {

struct MagnitudePair {
    double a;
    double b;
};

inline MagnitudePair magnitudePair(double aRe, double aIm, double bRe, double bIm) {
#if defined(VEXLAN_MAGNITUDE_SSE2)
    const __m128d re = _mm_set_pd(bRe, aRe);
    const __m128d im = _mm_set_pd(bIm, aIm);
    const __m128d root = _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(re, re), _mm_mul_pd(im, im)));
    return {_mm_cvtsd_f64(root), _mm_cvtsd_f64(_mm_unpackhi_pd(root, root))};
#else
    return {std::sqrt(aRe * aRe + aIm * aIm), std::sqrt(bRe * bRe + bIm * bIm)};
#endif
}

// |A(position)| and |B(position)| of two interleaved spectra.
inline MagnitudePair magnitudesAt(const float* spectrumA, const float* spectrumB, int32_t position) {
    return magnitudePair(spectrumA[2 * position], spectrumA[2 * position + 1], spectrumB[2 * position],
                         spectrumB[2 * position + 1]);
}

}  // namespace vexlan
