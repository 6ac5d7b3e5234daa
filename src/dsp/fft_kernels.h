// Split-radix kernels behind fftForward and fftInverse, written once over a
// vector-operation set (fft_simd.h) so the SIMD and scalar paths share them.
// Kernels trust their inputs: n is a power of two from 8 to 32768 and the
// tables are built.
#pragma once

#include "dsp/fft_simd.h"

namespace vexlan {

// Twiddles of the size-n pass (n >= 8) in blocks of four factors
// w_j = c_j + i s_j = e^(+2 pi i j / n), 16 floats each: the cosines
// (c_j, c_j, c_j+1, c_j+1, ...) then the sines (-s_j, s_j, -s_j+1, s_j+1, ...),
// so that any vector width reads its factors with plain loads.
const float* fftPassTwiddles(int n);
constexpr int kTwiddleBlockFloats = 16;
constexpr int kTwiddleSineOffset = 8;

namespace fftkernel {

// p w for each complex value of p, from the cosine and sine halves of w.
template <class Ops>
typename Ops::Vector twiddle(typename Ops::Vector p, typename Ops::Vector cosines, typename Ops::Vector sines) {
    return Ops::add(Ops::mul(p, cosines), Ops::mul(Ops::swapReIm(p), sines));
}

// p conj(w).
template <class Ops>
typename Ops::Vector twiddleConj(typename Ops::Vector p, typename Ops::Vector cosines, typename Ops::Vector sines) {
    return Ops::sub(Ops::mul(p, cosines), Ops::mul(Ops::swapReIm(p), sines));
}

// The DIF butterfly on one vector from each quarter, in place.
template <class Ops>
void forwardButterfly(typename Ops::Vector& a, typename Ops::Vector& b, typename Ops::Vector& c,
                      typename Ops::Vector& d, typename Ops::Vector cosines, typename Ops::Vector sines) {
    using V = typename Ops::Vector;
    const V u = Ops::sub(a, c);
    const V iv = Ops::timesI(Ops::sub(b, d));
    a = Ops::add(a, c);
    b = Ops::add(b, d);
    c = twiddle<Ops>(Ops::add(u, iv), cosines, sines);
    d = twiddleConj<Ops>(Ops::sub(u, iv), cosines, sines);
}

// The DIT butterfly group, the transpose of forwardButterfly.
template <class Ops>
void inverseButterfly(typename Ops::Vector& e, typename Ops::Vector& f, typename Ops::Vector& g,
                      typename Ops::Vector& h, typename Ops::Vector cosines, typename Ops::Vector sines) {
    using V = typename Ops::Vector;
    const V p = twiddleConj<Ops>(g, cosines, sines);
    const V q = twiddle<Ops>(h, cosines, sines);
    const V sum = Ops::add(p, q);
    const V iDifference = Ops::timesI(Ops::sub(p, q));
    g = Ops::sub(e, sum);
    e = Ops::add(e, sum);
    h = Ops::add(f, iDifference);
    f = Ops::sub(f, iDifference);
}

// Size 4 on x0 x1 | x2 x3: the pass with w = 1, then size 2 on the first half.
template <class Ops>
void forward4(typename Ops::Vector& r0, typename Ops::Vector& r1) {
    using V = typename Ops::Vector;
    const V sums = Ops::add(r0, r1);         // a + c, b + d
    const V differences = Ops::sub(r0, r1);  // u, v
    const V left = Ops::lowHalves(sums, differences);
    const V right = Ops::upperTimesI(Ops::highHalves(sums, differences));
    const V plus = Ops::add(left, right);   // x0', x2' = u + i v
    const V minus = Ops::sub(left, right);  // x1', x3' = u - i v
    r0 = Ops::lowHalves(plus, minus);
    r1 = Ops::highHalves(plus, minus);
}

// Size 2 on x0 x1 and on x2 x3 (one vector each); the same butterfly serves
// both directions.
template <class Ops>
void butterfly2x2(typename Ops::Vector& r0, typename Ops::Vector& r1) {
    using V = typename Ops::Vector;
    const V first = Ops::lowHalves(r0, r1);
    const V second = Ops::highHalves(r0, r1);
    const V plus = Ops::add(first, second);
    const V minus = Ops::sub(first, second);
    r0 = Ops::lowHalves(plus, minus);
    r1 = Ops::highHalves(plus, minus);
}

// The transpose of forward4: size 2 on the first half, then the pass with w = 1.
template <class Ops>
void inverse4(typename Ops::Vector& r0, typename Ops::Vector& r1) {
    using V = typename Ops::Vector;
    const V first = Ops::lowHalves(r0, r1);         // x0, x2
    const V second = Ops::highHalves(r0, r1);       // x1, x3
    const V sums = Ops::add(first, second);         // e, P + Q
    const V differences = Ops::sub(first, second);  // f, P - Q
    const V left = Ops::lowHalves(sums, differences);
    const V right = Ops::upperTimesMinusI(Ops::highHalves(sums, differences));
    r0 = Ops::add(left, right);
    r1 = Ops::sub(left, right);
}

// Leaf kernels: one leaf at first, and for two-leaf operation sets a second
// leaf of the same size at second (which may equal first). Register r[i]
// holds x[2i] and x[2i+1]; a size-n pass takes its quarters from n/8
// registers each, and the recursion of the larger sizes is spelled out.
template <class Ops>
void forward8(float* first, float* second) {
    using V = typename Ops::Vector;
    const float* w8 = fftPassTwiddles(8);
    V r[4];
    for (int i = 0; i < 4; ++i) r[i] = Ops::loadLeaves(first + 4 * i, second + 4 * i);
    forwardButterfly<Ops>(r[0], r[1], r[2], r[3], Ops::loadLeafTwiddles(w8),
                          Ops::loadLeafTwiddles(w8 + kTwiddleSineOffset));
    forward4<Ops>(r[0], r[1]);
    butterfly2x2<Ops>(r[2], r[3]);
    for (int i = 0; i < 4; ++i) Ops::storeLeaves(first + 4 * i, second + 4 * i, r[i]);
}

template <class Ops>
void inverse8(float* first, float* second) {
    using V = typename Ops::Vector;
    const float* w8 = fftPassTwiddles(8);
    V r[4];
    for (int i = 0; i < 4; ++i) r[i] = Ops::loadLeaves(first + 4 * i, second + 4 * i);
    inverse4<Ops>(r[0], r[1]);
    butterfly2x2<Ops>(r[2], r[3]);
    inverseButterfly<Ops>(r[0], r[1], r[2], r[3], Ops::loadLeafTwiddles(w8),
                          Ops::loadLeafTwiddles(w8 + kTwiddleSineOffset));
    for (int i = 0; i < 4; ++i) Ops::storeLeaves(first + 4 * i, second + 4 * i, r[i]);
}

template <class Ops>
void forward16(float* first, float* second) {
    using V = typename Ops::Vector;
    const float* w8 = fftPassTwiddles(8);
    const float* w16 = fftPassTwiddles(16);
    V r[8];
    for (int i = 0; i < 8; ++i) r[i] = Ops::loadLeaves(first + 4 * i, second + 4 * i);
    forwardButterfly<Ops>(r[0], r[2], r[4], r[6], Ops::loadLeafTwiddles(w16),
                          Ops::loadLeafTwiddles(w16 + kTwiddleSineOffset));
    forwardButterfly<Ops>(r[1], r[3], r[5], r[7], Ops::loadLeafTwiddles(w16 + 4),
                          Ops::loadLeafTwiddles(w16 + kTwiddleSineOffset + 4));
    forwardButterfly<Ops>(r[0], r[1], r[2], r[3], Ops::loadLeafTwiddles(w8),
                          Ops::loadLeafTwiddles(w8 + kTwiddleSineOffset));
    forward4<Ops>(r[0], r[1]);
    butterfly2x2<Ops>(r[2], r[3]);
    forward4<Ops>(r[4], r[5]);
    forward4<Ops>(r[6], r[7]);
    for (int i = 0; i < 8; ++i) Ops::storeLeaves(first + 4 * i, second + 4 * i, r[i]);
}

template <class Ops>
void inverse16(float* first, float* second) {
    using V = typename Ops::Vector;
    const float* w8 = fftPassTwiddles(8);
    const float* w16 = fftPassTwiddles(16);
    V r[8];
    for (int i = 0; i < 8; ++i) r[i] = Ops::loadLeaves(first + 4 * i, second + 4 * i);
    inverse4<Ops>(r[0], r[1]);
    butterfly2x2<Ops>(r[2], r[3]);
    inverseButterfly<Ops>(r[0], r[1], r[2], r[3], Ops::loadLeafTwiddles(w8),
                          Ops::loadLeafTwiddles(w8 + kTwiddleSineOffset));
    inverse4<Ops>(r[4], r[5]);
    inverse4<Ops>(r[6], r[7]);
    inverseButterfly<Ops>(r[0], r[2], r[4], r[6], Ops::loadLeafTwiddles(w16),
                          Ops::loadLeafTwiddles(w16 + kTwiddleSineOffset));
    inverseButterfly<Ops>(r[1], r[3], r[5], r[7], Ops::loadLeafTwiddles(w16 + 4),
                          Ops::loadLeafTwiddles(w16 + kTwiddleSineOffset + 4));
    for (int i = 0; i < 8; ++i) Ops::storeLeaves(first + 4 * i, second + 4 * i, r[i]);
}

// The size-n pass over whole twiddle blocks (n >= 32).
template <class Ops>
void forwardPass(float* x, int n) {
    using V = typename Ops::Vector;
    const int quarter = n / 2;  // floats per quarter
    const float* w = fftPassTwiddles(n);
    for (int j = 0; j < quarter; j += Ops::kFloats) {
        const float* block = w + (j / 8) * kTwiddleBlockFloats + j % 8;
        V a = Ops::load(x + j), b = Ops::load(x + quarter + j);
        V c = Ops::load(x + 2 * quarter + j), d = Ops::load(x + 3 * quarter + j);
        forwardButterfly<Ops>(a, b, c, d, Ops::load(block), Ops::load(block + kTwiddleSineOffset));
        Ops::store(x + j, a);
        Ops::store(x + quarter + j, b);
        Ops::store(x + 2 * quarter + j, c);
        Ops::store(x + 3 * quarter + j, d);
    }
}

template <class Ops>
void inversePass(float* x, int n) {
    using V = typename Ops::Vector;
    const int quarter = n / 2;
    const float* w = fftPassTwiddles(n);
    for (int j = 0; j < quarter; j += Ops::kFloats) {
        const float* block = w + (j / 8) * kTwiddleBlockFloats + j % 8;
        V e = Ops::load(x + j), f = Ops::load(x + quarter + j);
        V g = Ops::load(x + 2 * quarter + j), h = Ops::load(x + 3 * quarter + j);
        inverseButterfly<Ops>(e, f, g, h, Ops::load(block), Ops::load(block + kTwiddleSineOffset));
        Ops::store(x + j, e);
        Ops::store(x + quarter + j, f);
        Ops::store(x + 2 * quarter + j, g);
        Ops::store(x + 3 * quarter + j, h);
    }
}

template <class Ops>
void forwardLeaves(float* first, float* second, int n) {
    if (n == 16) {
        forward16<Ops>(first, second);
    } else {
        forward8<Ops>(first, second);
    }
}

template <class Ops>
void inverseLeaves(float* first, float* second, int n) {
    if (n == 16) {
        inverse16<Ops>(first, second);
    } else {
        inverse8<Ops>(first, second);
    }
}

// Two independent transforms of size n at first and second. The two last
// quarters of every split-radix step are such a pair, so carrying pairs down
// the recursion lets a two-leaf operation set fill both halves of every leaf
// call; the subtransforms are independent, so the order does not change a bit.
template <class Ops>
void forwardPair(float* first, float* second, int n) {
    if (n <= 16) {
        if (Ops::kLeavesPerCall == 2) {
            forwardLeaves<Ops>(first, second, n);
        } else {
            forwardLeaves<Ops>(first, first, n);
            forwardLeaves<Ops>(second, second, n);
        }
        return;
    }
    forwardPass<Ops>(first, n);
    forwardPass<Ops>(second, n);
    forwardPair<Ops>(first, second, n / 2);
    forwardPair<Ops>(first + n, first + n + n / 2, n / 4);
    forwardPair<Ops>(second + n, second + n + n / 2, n / 4);
}

template <class Ops>
void inversePair(float* first, float* second, int n) {
    if (n <= 16) {
        if (Ops::kLeavesPerCall == 2) {
            inverseLeaves<Ops>(first, second, n);
        } else {
            inverseLeaves<Ops>(first, first, n);
            inverseLeaves<Ops>(second, second, n);
        }
        return;
    }
    inversePair<Ops>(first, second, n / 2);
    inversePair<Ops>(first + n, first + n + n / 2, n / 4);
    inversePair<Ops>(second + n, second + n + n / 2, n / 4);
    inversePass<Ops>(first, n);
    inversePass<Ops>(second, n);
}

// x points at n complex values (2n floats), n >= 8. Only the chain of first
// halves is single; everything else runs in pairs.
template <class Ops>
void forwardRecursive(float* x, int n) {
    if (n <= 16) {
        forwardLeaves<Ops>(x, x, n);
        return;
    }
    forwardPass<Ops>(x, n);
    forwardRecursive<Ops>(x, n / 2);
    forwardPair<Ops>(x + n, x + n + n / 2, n / 4);
}

template <class Ops>
void inverseRecursive(float* x, int n) {
    if (n <= 16) {
        inverseLeaves<Ops>(x, x, n);
        return;
    }
    inverseRecursive<Ops>(x, n / 2);
    inversePair<Ops>(x + n, x + n + n / 2, n / 4);
    inversePass<Ops>(x, n);
}

}  // namespace fftkernel

#ifdef VEXLAN_FFT_AVX
// The 256-bit instantiation (fft_avx.cpp), for processors with AVX only.
void fftForwardAvx(float* data, int n);
void fftInverseAvx(float* data, int n);
#endif

}  // namespace vexlan
