// The AVX set with its heaviest loops on 512-bit vectors: the magnitude
// loops (eight double square roots per instruction, twice the 256-bit rate),
// the frame packing, crossfade and tail loops, and the packed capture, which
// walks the spectrum in aligned chunks of eight positions, each with its
// mirror chunk, and applies the gain in the same sweep. Only this file is
// compiled for AVX-512F, and its set is used only when the processor has it.
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

constexpr int32_t kFloatLanes = 16;

// packed = (0.5 a, 0.5 b) interleaved, sixteen samples per step.
void packHalves(float* packed, const float* a, const float* b, int32_t count) {
    const int32_t vectorCount = count / kFloatLanes * kFloatLanes;
    const __m512 half = _mm512_set1_ps(0.5f);
    const __m512i firstHalf = _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
    const __m512i secondHalf = _mm512_setr_epi32(8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31);
    for (int32_t i = 0; i < vectorCount; i += kFloatLanes) {
        const __m512 re = _mm512_mul_ps(half, _mm512_loadu_ps(a + i));
        const __m512 im = b ? _mm512_mul_ps(half, _mm512_loadu_ps(b + i)) : _mm512_setzero_ps();
        _mm512_storeu_ps(packed + 2 * i, _mm512_permutex2var_ps(re, firstHalf, im));
        _mm512_storeu_ps(packed + 2 * i + kFloatLanes, _mm512_permutex2var_ps(re, secondHalf, im));
    }
    scalarBlockKernels().packHalves(packed + 2 * vectorCount, a + vectorCount, b ? b + vectorCount : nullptr,
                                    count - vectorCount);
}

void deinterleave(float* a, float* b, const float* frame, int32_t count) {
    const int32_t vectorCount = count / kFloatLanes * kFloatLanes;
    const __m512i even = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    const __m512i odd = _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31);
    for (int32_t i = 0; i < vectorCount; i += kFloatLanes) {
        const __m512 first = _mm512_loadu_ps(frame + 2 * i);
        const __m512 second = _mm512_loadu_ps(frame + 2 * i + kFloatLanes);
        _mm512_storeu_ps(a + i, _mm512_permutex2var_ps(first, even, second));
        _mm512_storeu_ps(b + i, _mm512_permutex2var_ps(first, odd, second));
    }
    scalarBlockKernels().deinterleave(a + vectorCount, b + vectorCount, frame + 2 * vectorCount, count - vectorCount);
}

// Eight frame samples of channel A (the real parts) and of channel B.
__m512i realParts() { return _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15); }

// w y + (1 - w) t in double precision, rounded once to float. The product of
// two floats is exact in double, so the fused multiply-add rounds exactly
// where the separate multiply and add do.
__m256 crossfadeEight(__m256 y, __m256 t, __m512d weight, __m512d keep) {
    const __m512d kept = _mm512_mul_pd(_mm512_cvtps_pd(t), keep);
    return _mm512_cvtpd_ps(_mm512_fmadd_pd(_mm512_cvtps_pd(y), weight, kept));
}

void crossfadeJoinPair(float* outA, float* outB, const float* frame, const float* tailA, const float* tailB,
                       const float* window, int32_t count) {
    const int32_t vectorCount = count / kLanes * kLanes;
    const __m512d one = _mm512_set1_pd(1.0);
    for (int32_t i = 0; i < vectorCount; i += kLanes) {
        const __m512d weight = _mm512_cvtps_pd(_mm256_loadu_ps(window + i));
        const __m512d keep = _mm512_sub_pd(one, weight);
        const __m512 split = _mm512_permutexvar_ps(realParts(), _mm512_loadu_ps(frame + 2 * i));
        const __m256 yA = _mm512_castps512_ps256(split);
        const __m256 yB = _mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(split), 1));
        _mm256_storeu_ps(outA + i, crossfadeEight(yA, _mm256_loadu_ps(tailA + i), weight, keep));
        _mm256_storeu_ps(outB + i, crossfadeEight(yB, _mm256_loadu_ps(tailB + i), weight, keep));
    }
    const BlockKernels& scalar = scalarBlockKernels();
    const float* rest = frame + 2 * vectorCount;
    scalar.crossfadeJoin(outA + vectorCount, rest, tailA + vectorCount, window + vectorCount, count - vectorCount);
    scalar.crossfadeJoin(outB + vectorCount, rest + 1, tailB + vectorCount, window + vectorCount, count - vectorCount);
}

// Eight complex floats as their real and their imaginary parts in double.
struct PlanarDoubles {
    __m512d re;
    __m512d im;
};

inline __attribute__((always_inline)) PlanarDoubles planarDoubles(__m512 values) {
    const __m512 planar = _mm512_permutexvar_ps(realParts(), values);
    return {_mm512_cvtps_pd(_mm512_castps512_ps256(planar)),
            _mm512_cvtps_pd(_mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(planar), 1)))};
}

// |Z(p) + conj Z(q)| and |Z(p) - conj Z(q)| of eight pairs, lane by lane.
// For the lane of a mirror, where p and q swap roles, the parts only change
// sign, so both magnitudes come out bit for bit the same.
struct PairMagnitudes {
    __m512d a;
    __m512d b;
};

inline __attribute__((always_inline)) PairMagnitudes pairMagnitudes(PlanarDoubles zp, PlanarDoubles zq) {
    const __m512d reA = _mm512_add_pd(zp.re, zq.re);
    const __m512d imA = _mm512_sub_pd(zp.im, zq.im);
    const __m512d reB = _mm512_add_pd(zp.im, zq.im);
    const __m512d imB = _mm512_sub_pd(zq.re, zp.re);
    return {_mm512_sqrt_pd(_mm512_add_pd(_mm512_mul_pd(reA, reA), _mm512_mul_pd(imA, imA))),
            _mm512_sqrt_pd(_mm512_add_pd(_mm512_mul_pd(reB, reB), _mm512_mul_pd(imB, imB)))};
}

// The sizes of the real parts of eight complex gains, as doubles.
__m512d gainSizes(__m512 gain) {
    const __m512 real = _mm512_permutexvar_ps(realParts(), gain);
    return _mm512_abs_pd(_mm512_cvtps_pd(_mm512_castps512_ps256(real)));
}

__m512i laneIndices(const uint8_t* lanes) {
    return _mm512_cvtepu8_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(lanes)));
}

// Values of one chunk into the lanes that hold bins 0 .. N/2; the others
// become zero (store) or keep their value (add).
template <bool Add>
inline __attribute__((always_inline)) void putLowerLanes(float* destination, __m512d value, __mmask8 lower) {
    if (Add) {
        const __m256 before = _mm256_loadu_ps(destination);
        const __m512d sum = _mm512_add_pd(_mm512_cvtps_pd(before), value);
        _mm256_storeu_ps(destination, _mm512_mask_cvtpd_ps(before, lower, sum));
    } else {
        _mm256_storeu_ps(destination, _mm512_maskz_cvtpd_ps(lower, value));
    }
}

// The spectrum times its gain, as multiplyByRealGain does, with the gain
// already times the factor and spread over both parts.
inline __attribute__((always_inline)) void storeProduct(float* packed, __m512 spectrum, __m512 spreadGain) {
    _mm512_storeu_ps(packed, _mm512_mul_ps(spectrum, spreadGain));
}

// The pairs of bins k and N - k by aligned chunks of eight positions. Every
// chunk holds the mirrors of exactly one chunk: of itself for the first two
// (the first one when N = 8), of another one for all later chunks. One entry
// per such chunk or two chunks, the chunks that mirror themselves first. The
// lane map works both ways: lane l of the chunk mirrors lane mirrorLane[l]
// of the mirror chunk, and lane l of the mirror chunk mirrors lane
// mirrorLane[l] of the chunk.
struct MirrorChunkPair {
    int32_t position;        // of lane 0 of the chunk, a multiple of eight
    int32_t mirrorPosition;  // of lane 0 of the chunk holding their mirrors: the same, or above
    uint8_t mirrorLane[kLanes];  // lane l mirrors this lane of the other chunk
    uint8_t lowerLanes;          // bit l: lane l of the chunk holds a bin 0 .. N/2
    uint8_t mirrorLowerLanes;    // the same for the mirror chunk
};

constexpr int kMaxLog2Size = 15;
// Sizes 8 to 32768 back to back: one entry for 8, then N/16 + 1 for each.
constexpr int32_t kMirrorChunkEntries = 1 + kMaxTransformSize / 8 - 1 + (kMaxLog2Size - 3);
MirrorChunkPair gMirrorChunks[kMirrorChunkEntries];
int32_t gMirrorChunkStart[kMaxLog2Size + 2];  // by log2 N; entry log2 N + 1 ends size N

int32_t log2Of(int32_t n) {
    int32_t bits = 0;
    while ((1 << (bits + 1)) <= n) ++bits;
    return bits;
}

// Built with the set, from the transform's output order alone.
void buildMirrorChunks() {
    static int32_t positionOfBin[kMaxTransformSize];
    int32_t next = 0;
    for (int32_t n = 8; n <= kMaxTransformSize; n *= 2) {
        gMirrorChunkStart[log2Of(n)] = next;
        const auto binAt = [n](int32_t position) { return (n - scramble(position, n)) & (n - 1); };
        for (int32_t position = 0; position < n; ++position) positionOfBin[binAt(position)] = position;
        const auto mirrorOf = [&](int32_t position) { return positionOfBin[(n - binAt(position)) & (n - 1)]; };
        for (int32_t first = 0; first < n; first += kLanes) {
            const int32_t mirrorFirst = mirrorOf(first) / kLanes * kLanes;
            if (mirrorFirst < first) continue;
            MirrorChunkPair& entry = gMirrorChunks[next++];
            entry = {first, mirrorFirst, {}, 0, 0};
            for (int32_t lane = 0; lane < kLanes; ++lane) {
                const int32_t mirrorLane = mirrorOf(first + lane) - mirrorFirst;
                entry.mirrorLane[lane] = uint8_t(mirrorLane);
                if (binAt(first + lane) <= n / 2) entry.lowerLanes |= uint8_t(1 << lane);
                if (binAt(mirrorOf(first + lane)) <= n / 2) entry.mirrorLowerLanes |= uint8_t(1 << mirrorLane);
            }
        }
        gMirrorChunkStart[log2Of(n) + 1] = next;
    }
}

// Each chunk and its mirror chunk are read and written whole, which also
// makes the product in place safe: one permutation lines the mirrors up, and
// a second hands the values back. Where a pair's two positions share a chunk,
// its value is worked out twice, once from each lane, and comes out the same.
// The gain is equal at both positions of a pair, so the output values and
// the gains are taken once, from the chunk's own gains, and travel with the
// mirrors.
template <bool Larger, bool Add>
void captureMirrorChunks(float* output, float* input, float* packed, const float* gain,
                         const MirrorChunkPair* chunks, int32_t count, double scaleA, double scaleB,
                         double outputScale, float factor) {
    const __m512d weightA = _mm512_set1_pd(scaleA);
    const __m512d weightB = _mm512_set1_pd(scaleB);
    const __m512d outputFactor = _mm512_set1_pd(outputScale);
    const __m512 gainFactor = _mm512_set1_ps(factor);
    for (int32_t i = 0; i < count; ++i) {
        // A copy, so that the stores below need not reload the lane maps.
        const MirrorChunkPair pair = chunks[i];
        const int32_t first = pair.position;
        const int32_t second = pair.mirrorPosition;
        const __m512 zp = _mm512_loadu_ps(packed + 2 * first);
        const __m512 zm = _mm512_loadu_ps(packed + 2 * second);
        // One complex float is one 64-bit lane; the lane map is its own inverse.
        const __m512i lanes = laneIndices(pair.mirrorLane);
        const __m512 zq = _mm512_castpd_ps(_mm512_permutexvar_pd(lanes, _mm512_castps_pd(zm)));
        const PairMagnitudes m = pairMagnitudes(planarDoubles(zp), planarDoubles(zq));
        const __m512 firstGain = _mm512_loadu_ps(gain + 2 * first);
        const __m512d value = combineTerms<Larger>(_mm512_mul_pd(weightA, m.a), _mm512_mul_pd(weightB, m.b));
        const __m512d outputValue = _mm512_mul_pd(_mm512_mul_pd(value, outputFactor), gainSizes(firstGain));
        const __m512 spreadGain = _mm512_moveldup_ps(_mm512_mul_ps(gainFactor, firstGain));
        putLowerLanes<Add>(input + first, value, pair.lowerLanes);
        putLowerLanes<Add>(output + first, outputValue, pair.lowerLanes);
        storeProduct(packed + 2 * first, zp, spreadGain);
        // A chunk that mirrors itself got every one of its values above.
        if (second == first) continue;
        putLowerLanes<Add>(input + second, _mm512_permutexvar_pd(lanes, value), pair.mirrorLowerLanes);
        putLowerLanes<Add>(output + second, _mm512_permutexvar_pd(lanes, outputValue), pair.mirrorLowerLanes);
        const __m512 mirrorProduct = _mm512_mul_ps(zq, spreadGain);
        _mm512_storeu_ps(packed + 2 * second,
                         _mm512_castpd_ps(_mm512_permutexvar_pd(lanes, _mm512_castps_pd(mirrorProduct))));
    }
}

void captureAndApplyPackedGain(float* output, float* input, float* packed, const float* gain, int32_t n,
                               const MagnitudeCapture& how, double outputScale, float factor) {
    if (n < 8 || n > kMaxTransformSize || (n & (n - 1)) != 0) {
        avxBlockKernels()->captureAndApplyPackedGain(output, input, packed, gain, n, how, outputScale, factor);
        return;
    }
    const int32_t start = gMirrorChunkStart[log2Of(n)];
    const int32_t count = gMirrorChunkStart[log2Of(n) + 1] - start;
    withCombination(how, [&](auto larger, auto add) {
        captureMirrorChunks<decltype(larger)::value, decltype(add)::value>(
            output, input, packed, gain, gMirrorChunks + start, count, how.scaleA, how.scaleB, outputScale, factor);
    });
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
        buildMirrorChunks();
        static BlockKernels kernels = *avx;
        kernels.spectrumMagnitudes = spectrumMagnitudes;
        kernels.captureMagnitudes = captureMagnitudes;
        kernels.captureAndApplyPackedGain = captureAndApplyPackedGain;
        kernels.crossfadeJoinPair = crossfadeJoinPair;
        kernels.packHalves = packHalves;
        kernels.deinterleave = deinterleave;
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
