#include "dsp/fft.h"

#include "dsp/fft_kernels.h"

#include <cmath>

namespace vexlan {

namespace {

constexpr int kMaxLog2Size = 15;
// Table of size n starts at n - 2: sizes 2, 4, ..., 32768 back to back.
constexpr int kBinOrderEntries = 2 * kMaxTransformSize - 2;
// Size n holds n/2 + 1 pairs after those of the smaller sizes.
constexpr int kBinPairEntries = kMaxTransformSize + kMaxLog2Size - 1;
// Pass size n keeps n floats starting at n (one padded block at 0 for n = 8).
constexpr int kTwiddleFloats = 2 * kMaxTransformSize;
constexpr double kTwoPi = 6.283185307179586476925286766559;

int32_t gBinOrder[kBinOrderEntries];
BinPair gBinPairs[kBinPairEntries];
int32_t gBitReverse[kMaxTransformSize];
alignas(64) float gTwiddles[kTwiddleFloats];
#ifdef VEXLAN_FFT_AVX
bool gUseAvx = false;
#endif

int twiddleOffset(int n) { return n == 8 ? 0 : n; }

int log2Of(int n) {
    int bits = 0;
    while ((1 << (bits + 1)) <= n) ++bits;
    return bits;
}

int binPairOffset(int n) { return n / 2 - 1 + log2Of(n) - 1; }

bool isSupportedSize(int n) { return n >= 2 && n <= kMaxTransformSize && (n & (n - 1)) == 0; }

void transform2(float* x) {
    const float ar = x[0], ai = x[1];
    x[0] = ar + x[2];
    x[1] = ai + x[3];
    x[2] = ar - x[2];
    x[3] = ai - x[3];
}

// The size-4 pass has the single twiddle 1; the size-2 butterfly follows on
// the first half.
void forward4(float* x) {
    const float ur = x[0] - x[4], ui = x[1] - x[5];
    const float vr = x[2] - x[6], vi = x[3] - x[7];
    const float sr = x[0] + x[4], si = x[1] + x[5];
    const float tr = x[2] + x[6], ti = x[3] + x[7];
    x[0] = sr + tr;
    x[1] = si + ti;
    x[2] = sr - tr;
    x[3] = si - ti;
    x[4] = ur - vi;
    x[5] = ui + vr;
    x[6] = ur + vi;
    x[7] = ui - vr;
}

void inverse4(float* x) {
    const float er = x[0] + x[2], ei = x[1] + x[3];
    const float fr = x[0] - x[2], fi = x[1] - x[3];
    const float sr = x[4] + x[6], si = x[5] + x[7];
    const float dr = x[4] - x[6], di = x[5] - x[7];
    x[0] = er + sr;
    x[1] = ei + si;
    x[4] = er - sr;
    x[5] = ei - si;
    x[2] = fr + di;
    x[3] = fi - dr;
    x[6] = fr - di;
    x[7] = fi + dr;
}

void forwardKernels(float* data, int n) {
#ifdef VEXLAN_FFT_AVX
    if (gUseAvx) {
        fftForwardAvx(data, n);
        return;
    }
#endif
    fftkernel::forwardRecursive<FftOps>(data, n);
}

void inverseKernels(float* data, int n) {
#ifdef VEXLAN_FFT_AVX
    if (gUseAvx) {
        fftInverseAvx(data, n);
        return;
    }
#endif
    fftkernel::inverseRecursive<FftOps>(data, n);
}

}  // namespace

const float* fftPassTwiddles(int n) { return gTwiddles + twiddleOffset(n); }

int32_t scramble(int32_t i, int32_t n) {
    if (n < 3) return i;
    if (i < n / 2) return 2 * scramble(i, n / 2);
    const int32_t j = i - n / 2;
    if (j < n / 4) return 4 * scramble(j, n / 4) + 1;
    return (4 * scramble(j - n / 4, n / 4) - 1) & (n - 1);
}

namespace {

void buildTables() {
    for (int n = 2; n <= kMaxTransformSize; n *= 2) {
        int32_t* order = gBinOrder + n - 2;
        order[0] = 0;
        for (int32_t i = 1; i < n; ++i) order[n - scramble(i, n)] = i;
        BinPair* pairs = gBinPairs + binPairOffset(n);
        for (int32_t position = 0; position < n; ++position) {
            const int32_t bin = (n - scramble(position, n)) & (n - 1);
            if (bin <= n / 2) *pairs++ = {position, order[(n - bin) & (n - 1)]};
        }
    }
    for (int32_t i = 0; i < kMaxTransformSize; ++i) {
        int32_t reversed = 0;
        for (int bit = 0; bit < kMaxLog2Size; ++bit) reversed |= ((i >> bit) & 1) << (kMaxLog2Size - 1 - bit);
        gBitReverse[i] = reversed;
    }
    for (int n = 8; n <= kMaxTransformSize; n *= 2) {
        float* block = gTwiddles + twiddleOffset(n);
        // Size 8 needs w_0 and w_1 only; the rest of its one block is padding.
        for (int j = 0; j < n / 4 || j < 4; j += 4, block += kTwiddleBlockFloats) {
            for (int k = 0; k < 4; ++k) {
                const double angle = kTwoPi * (j + k) / n;
                const float cosine = static_cast<float>(std::cos(angle));
                const float sine = static_cast<float>(std::sin(angle));
                block[2 * k] = block[2 * k + 1] = cosine;
                block[kTwiddleSineOffset + 2 * k] = -sine;
                block[kTwiddleSineOffset + 2 * k + 1] = sine;
            }
        }
    }
#ifdef VEXLAN_FFT_AVX
    __builtin_cpu_init();
    gUseAvx = __builtin_cpu_supports("avx");
#endif
}

}  // namespace

void buildFftTables() {
    // A host may create two instances on two threads at once: one builds,
    // the other waits for it.
    static const bool built = (buildTables(), true);
    (void)built;
}

const int32_t* binOrderTable(int n) { return isSupportedSize(n) ? gBinOrder + n - 2 : nullptr; }

const BinPair* binPairTable(int n) { return isSupportedSize(n) ? gBinPairs + binPairOffset(n) : nullptr; }

const int32_t* bitReverseTable() { return gBitReverse; }

void fftForward(float* data, int n) {
    if (!isSupportedSize(n)) return;
    if (n == 2) {
        transform2(data);
    } else if (n == 4) {
        forward4(data);
    } else {
        forwardKernels(data, n);
    }
}

void fftInverse(float* data, int n) {
    if (!isSupportedSize(n)) return;
    if (n == 2) {
        transform2(data);
    } else if (n == 4) {
        inverse4(data);
    } else {
        inverseKernels(data, n);
    }
}

void splitPairSpectrum(float* z, float* b, int n, bool oneSided) {
    if (!isSupportedSize(n)) return;
    const BinPair* pairs = binPairTable(n);
    b[0] = 2.0f * z[1];
    b[1] = 0.0f;
    z[0] = 2.0f * z[0];
    z[1] = 0.0f;
    for (int i = 1; i <= n / 2; ++i) {
        const int p = 2 * pairs[i].position, q = 2 * pairs[i].mirror;
        const float zpr = z[p], zpi = z[p + 1], zqr = z[q], zqi = z[q + 1];
        const float ar = zpr + zqr, ai = zpi - zqi;
        const float br = zpi + zqi, bi = zqr - zpr;
        z[p] = ar;
        z[p + 1] = ai;
        b[p] = br;
        b[p + 1] = bi;
        if (p == q) continue;
        if (oneSided) {
            z[q] = z[q + 1] = 0.0f;
            b[q] = b[q + 1] = 0.0f;
        } else {
            z[q] = ar;
            z[q + 1] = -ai;
            b[q] = br;
            b[q + 1] = -bi;
        }
    }
}

void mergePairSpectrum(float* z, const float* b, int n) {
    if (!isSupportedSize(n)) return;
    const BinPair* pairs = binPairTable(n);
    z[1] = b[0];
    for (int i = 1; i <= n / 2; ++i) {
        const int p = 2 * pairs[i].position, q = 2 * pairs[i].mirror;
        const float ar = z[p], ai = z[p + 1], br = b[p], bi = b[p + 1];
        z[p] = ar - bi;
        z[p + 1] = ai + br;
        if (p != q) {
            z[q] = ar + bi;
            z[q + 1] = br - ai;
        }
    }
}

}  // namespace vexlan
