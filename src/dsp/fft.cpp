#include "dsp/fft.h"

#include <cmath>

namespace vexlan {

namespace {

constexpr int kMaxLog2Size = 15;
// Table of size n starts at n - 2: sizes 2, 4, ..., 32768 back to back.
constexpr int kBinOrderEntries = 2 * kMaxTransformSize - 2;
// Pass size n keeps n/4 twiddles (cos, sin) starting at float offset n/2 - 2.
constexpr int kTwiddleFloats = kMaxTransformSize;
constexpr double kTwoPi = 6.283185307179586476925286766559;

int32_t gBinOrder[kBinOrderEntries];
int32_t gBitReverse[kMaxTransformSize];
float gTwiddles[kTwiddleFloats];
bool gTablesBuilt = false;

bool isSupportedSize(int n) { return n >= 2 && n <= kMaxTransformSize && (n & (n - 1)) == 0; }

const float* passTwiddles(int n) { return gTwiddles + n / 2 - 2; }

void forwardPass(float* x, int n) {
    const int quarter = n / 4;
    const float* w = passTwiddles(n);
    float* x1 = x + 2 * quarter;
    float* x2 = x + 4 * quarter;
    float* x3 = x + 6 * quarter;
    for (int j = 0; j < quarter; ++j) {
        const int r = 2 * j, i = r + 1;
        const float ur = x[r] - x2[r], ui = x[i] - x2[i];
        const float vr = x1[r] - x3[r], vi = x1[i] - x3[i];
        x[r] += x2[r];
        x[i] += x2[i];
        x1[r] += x3[r];
        x1[i] += x3[i];
        // (u + i v) w and (u - i v) conj(w)
        const float pr = ur - vi, pi = ui + vr;
        const float qr = ur + vi, qi = ui - vr;
        const float wr = w[r], wi = w[i];
        x2[r] = pr * wr - pi * wi;
        x2[i] = pr * wi + pi * wr;
        x3[r] = qr * wr + qi * wi;
        x3[i] = qi * wr - qr * wi;
    }
}

void inversePass(float* x, int n) {
    const int quarter = n / 4;
    const float* w = passTwiddles(n);
    float* x1 = x + 2 * quarter;
    float* x2 = x + 4 * quarter;
    float* x3 = x + 6 * quarter;
    for (int j = 0; j < quarter; ++j) {
        const int r = 2 * j, i = r + 1;
        const float wr = w[r], wi = w[i];
        // P = x2 conj(w), Q = x3 w
        const float pr = x2[r] * wr + x2[i] * wi, pi = x2[i] * wr - x2[r] * wi;
        const float qr = x3[r] * wr - x3[i] * wi, qi = x3[r] * wi + x3[i] * wr;
        const float sr = pr + qr, si = pi + qi;
        const float dr = pr - qr, di = pi - qi;
        const float er = x[r], ei = x[i], fr = x1[r], fi = x1[i];
        x[r] = er + sr;
        x[i] = ei + si;
        x2[r] = er - sr;
        x2[i] = ei - si;
        // f - i d and f + i d
        x1[r] = fr + di;
        x1[i] = fi - dr;
        x3[r] = fr - di;
        x3[i] = fi + dr;
    }
}

void forwardRecursive(float* x, int n) {
    if (n == 1) return;
    if (n == 2) {
        const float ar = x[0], ai = x[1];
        x[0] = ar + x[2];
        x[1] = ai + x[3];
        x[2] = ar - x[2];
        x[3] = ai - x[3];
        return;
    }
    forwardPass(x, n);
    forwardRecursive(x, n / 2);
    forwardRecursive(x + n, n / 4);
    forwardRecursive(x + n + n / 2, n / 4);
}

void inverseRecursive(float* x, int n) {
    if (n == 1) return;
    if (n == 2) {
        const float ar = x[0], ai = x[1];
        x[0] = ar + x[2];
        x[1] = ai + x[3];
        x[2] = ar - x[2];
        x[3] = ai - x[3];
        return;
    }
    inverseRecursive(x, n / 2);
    inverseRecursive(x + n, n / 4);
    inverseRecursive(x + n + n / 2, n / 4);
    inversePass(x, n);
}

}  // namespace

int32_t scramble(int32_t i, int32_t n) {
    if (n < 3) return i;
    if (i < n / 2) return 2 * scramble(i, n / 2);
    const int32_t j = i - n / 2;
    if (j < n / 4) return 4 * scramble(j, n / 4) + 1;
    return (4 * scramble(j - n / 4, n / 4) - 1) & (n - 1);
}

void buildFftTables() {
    if (gTablesBuilt) return;
    for (int n = 2; n <= kMaxTransformSize; n *= 2) {
        int32_t* order = gBinOrder + n - 2;
        order[0] = 0;
        for (int32_t i = 1; i < n; ++i) order[n - scramble(i, n)] = i;
    }
    for (int32_t i = 0; i < kMaxTransformSize; ++i) {
        int32_t reversed = 0;
        for (int bit = 0; bit < kMaxLog2Size; ++bit) reversed |= ((i >> bit) & 1) << (kMaxLog2Size - 1 - bit);
        gBitReverse[i] = reversed;
    }
    for (int n = 4; n <= kMaxTransformSize; n *= 2) {
        float* w = gTwiddles + n / 2 - 2;
        for (int k = 0; k < n / 4; ++k) {
            const double angle = kTwoPi * k / n;
            w[2 * k] = static_cast<float>(std::cos(angle));
            w[2 * k + 1] = static_cast<float>(std::sin(angle));
        }
    }
    gTablesBuilt = true;
}

bool fftTablesBuilt() { return gTablesBuilt; }

const int32_t* binOrderTable(int n) { return isSupportedSize(n) ? gBinOrder + n - 2 : nullptr; }

const int32_t* bitReverseTable() { return gBitReverse; }

void fftForward(float* data, int n) {
    if (isSupportedSize(n)) forwardRecursive(data, n);
}

void fftInverse(float* data, int n) {
    if (isSupportedSize(n)) inverseRecursive(data, n);
}

void splitPairSpectrum(float* z, float* b, int n, bool oneSided) {
    if (!isSupportedSize(n)) return;
    const int32_t* order = binOrderTable(n);
    b[0] = 2.0f * z[1];
    b[1] = 0.0f;
    z[0] = 2.0f * z[0];
    z[1] = 0.0f;
    for (int k = 1; k <= n / 2; ++k) {
        const int p = 2 * order[k], q = 2 * order[n - k];
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
    const int32_t* order = binOrderTable(n);
    z[1] = b[0];
    for (int k = 1; k <= n / 2; ++k) {
        const int p = 2 * order[k], q = 2 * order[n - k];
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
