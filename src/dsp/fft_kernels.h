// Split-radix kernels behind fftForward and fftInverse, written once over a
// vector-operation set (fft_simd.h) so the SIMD and scalar paths share them.
// Kernels trust their inputs: n is a power of two from 8 to 32768 and the
// tables are built.
#pragma once

#include "dsp/fft_simd.h"

namespace vexlan {

// Twiddles of the size-n pass (n >= 8), two factors w_j, w_(j+1) per group
// of 8 floats: (c_j, c_j, c_j+1, c_j+1) then (-s_j, s_j, -s_j+1, s_j+1),
// with w_j = c_j + i s_j = e^(+2 pi i j / n).
const float* fftPassTwiddles(int n);

namespace fftkernel {

// p w for the two complex values of p, given the group's twiddle halves.
template <class Ops>
typename Ops::Vector twiddle(typename Ops::Vector p, typename Ops::Vector cosines, typename Ops::Vector sines) {
    return Ops::add(Ops::mul(p, cosines), Ops::mul(Ops::swapReIm(p), sines));
}

// p conj(w).
template <class Ops>
typename Ops::Vector twiddleConj(typename Ops::Vector p, typename Ops::Vector cosines, typename Ops::Vector sines) {
    return Ops::sub(Ops::mul(p, cosines), Ops::mul(Ops::swapReIm(p), sines));
}

// One DIF butterfly group on two adjacent complex values of each quarter.
template <class Ops>
void forwardButterfly(typename Ops::Vector& a, typename Ops::Vector& b, typename Ops::Vector& c,
                      typename Ops::Vector& d, const float* w) {
    using V = typename Ops::Vector;
    const V u = Ops::sub(a, c);
    const V iv = Ops::timesI(Ops::sub(b, d));
    a = Ops::add(a, c);
    b = Ops::add(b, d);
    const V cosines = Ops::load(w), sines = Ops::load(w + 4);
    c = twiddle<Ops>(Ops::add(u, iv), cosines, sines);
    d = twiddleConj<Ops>(Ops::sub(u, iv), cosines, sines);
}

// The DIT butterfly group, the transpose of forwardButterfly.
template <class Ops>
void inverseButterfly(typename Ops::Vector& e, typename Ops::Vector& f, typename Ops::Vector& g,
                      typename Ops::Vector& h, const float* w) {
    using V = typename Ops::Vector;
    const V cosines = Ops::load(w), sines = Ops::load(w + 4);
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
    const V plus = Ops::add(left, right);  // x0', x2' = u + i v
    const V minus = Ops::sub(left, right); // x1', x3' = u - i v
    r0 = Ops::lowHalves(plus, minus);
    r1 = Ops::highHalves(plus, minus);
}

// Size 2 on each of the four complex values x0 x1 | x2 x3; the same
// butterfly serves both directions.
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

template <class Ops>
void inverse4(typename Ops::Vector& r0, typename Ops::Vector& r1) {
    using V = typename Ops::Vector;
    const V first = Ops::lowHalves(r0, r1);   // x0, x2
    const V second = Ops::highHalves(r0, r1); // x1, x3
    const V sums = Ops::add(first, second);   // e, P + Q
    const V differences = Ops::sub(first, second);  // f, P - Q
    const V left = Ops::lowHalves(sums, differences);
    const V right = Ops::upperTimesMinusI(Ops::highHalves(sums, differences));
    r0 = Ops::add(left, right);
    r1 = Ops::sub(left, right);
}

template <class Ops>
void forward8(float* x, const float* w8) {
    using V = typename Ops::Vector;
    V r0 = Ops::load(x), r1 = Ops::load(x + 4), r2 = Ops::load(x + 8), r3 = Ops::load(x + 12);
    forwardButterfly<Ops>(r0, r1, r2, r3, w8);
    forward4<Ops>(r0, r1);
    butterfly2x2<Ops>(r2, r3);
    Ops::store(x, r0);
    Ops::store(x + 4, r1);
    Ops::store(x + 8, r2);
    Ops::store(x + 12, r3);
}

template <class Ops>
void inverse8(float* x, const float* w8) {
    using V = typename Ops::Vector;
    V r0 = Ops::load(x), r1 = Ops::load(x + 4), r2 = Ops::load(x + 8), r3 = Ops::load(x + 12);
    inverse4<Ops>(r0, r1);
    butterfly2x2<Ops>(r2, r3);
    inverseButterfly<Ops>(r0, r1, r2, r3, w8);
    Ops::store(x, r0);
    Ops::store(x + 4, r1);
    Ops::store(x + 8, r2);
    Ops::store(x + 12, r3);
}

template <class Ops>
void forward16(float* x, const float* w8, const float* w16) {
    using V = typename Ops::Vector;
    V r[8];
    for (int i = 0; i < 8; ++i) r[i] = Ops::load(x + 4 * i);
    forwardButterfly<Ops>(r[0], r[2], r[4], r[6], w16);
    forwardButterfly<Ops>(r[1], r[3], r[5], r[7], w16 + 8);
    forwardButterfly<Ops>(r[0], r[1], r[2], r[3], w8);
    forward4<Ops>(r[0], r[1]);
    butterfly2x2<Ops>(r[2], r[3]);
    forward4<Ops>(r[4], r[5]);
    forward4<Ops>(r[6], r[7]);
    for (int i = 0; i < 8; ++i) Ops::store(x + 4 * i, r[i]);
}

template <class Ops>
void inverse16(float* x, const float* w8, const float* w16) {
    using V = typename Ops::Vector;
    V r[8];
    for (int i = 0; i < 8; ++i) r[i] = Ops::load(x + 4 * i);
    inverse4<Ops>(r[0], r[1]);
    butterfly2x2<Ops>(r[2], r[3]);
    inverseButterfly<Ops>(r[0], r[1], r[2], r[3], w8);
    inverse4<Ops>(r[4], r[5]);
    inverse4<Ops>(r[6], r[7]);
    inverseButterfly<Ops>(r[0], r[2], r[4], r[6], w16);
    inverseButterfly<Ops>(r[1], r[3], r[5], r[7], w16 + 8);
    for (int i = 0; i < 8; ++i) Ops::store(x + 4 * i, r[i]);
}

template <class Ops>
void forwardPass(float* x, int n) {
    using V = typename Ops::Vector;
    const int quarter = 2 * (n / 4);  // floats per quarter
    const float* w = fftPassTwiddles(n);
    for (int j = 0; j < quarter; j += 4, w += 8) {
        V a = Ops::load(x + j), b = Ops::load(x + quarter + j);
        V c = Ops::load(x + 2 * quarter + j), d = Ops::load(x + 3 * quarter + j);
        forwardButterfly<Ops>(a, b, c, d, w);
        Ops::store(x + j, a);
        Ops::store(x + quarter + j, b);
        Ops::store(x + 2 * quarter + j, c);
        Ops::store(x + 3 * quarter + j, d);
    }
}

template <class Ops>
void inversePass(float* x, int n) {
    using V = typename Ops::Vector;
    const int quarter = 2 * (n / 4);
    const float* w = fftPassTwiddles(n);
    for (int j = 0; j < quarter; j += 4, w += 8) {
        V e = Ops::load(x + j), f = Ops::load(x + quarter + j);
        V g = Ops::load(x + 2 * quarter + j), h = Ops::load(x + 3 * quarter + j);
        inverseButterfly<Ops>(e, f, g, h, w);
        Ops::store(x + j, e);
        Ops::store(x + quarter + j, f);
        Ops::store(x + 2 * quarter + j, g);
        Ops::store(x + 3 * quarter + j, h);
    }
}

// x points at n complex values (2n floats).
template <class Ops>
void forwardRecursive(float* x, int n) {
    if (n == 16) {
        forward16<Ops>(x, fftPassTwiddles(8), fftPassTwiddles(16));
    } else if (n == 8) {
        forward8<Ops>(x, fftPassTwiddles(8));
    } else {
        forwardPass<Ops>(x, n);
        forwardRecursive<Ops>(x, n / 2);
        forwardRecursive<Ops>(x + n, n / 4);
        forwardRecursive<Ops>(x + n + n / 2, n / 4);
    }
}

template <class Ops>
void inverseRecursive(float* x, int n) {
    if (n == 16) {
        inverse16<Ops>(x, fftPassTwiddles(8), fftPassTwiddles(16));
    } else if (n == 8) {
        inverse8<Ops>(x, fftPassTwiddles(8));
    } else {
        inverseRecursive<Ops>(x, n / 2);
        inverseRecursive<Ops>(x + n, n / 4);
        inverseRecursive<Ops>(x + n + n / 2, n / 4);
        inversePass<Ops>(x, n);
    }
}

}  // namespace fftkernel
}  // namespace vexlan
