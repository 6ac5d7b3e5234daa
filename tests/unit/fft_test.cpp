#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "dsp/fft.h"

using namespace vexlan;

namespace {

using Complex = std::complex<double>;

constexpr double kTwoPi = 6.283185307179586476925286766559;

// Relative L2 error bound of a radix-2 style FFT in float32 with twiddles
// accurate to half an ulp: log2(N) eta / (1 - log2(N) eta),
// eta = u + gamma4 (sqrt 2 + u), u the unit roundoff.
double transformErrorBound(int n) {
    const double u = std::ldexp(1.0, -24);
    const double gamma4 = 4 * u / (1 - 4 * u);
    const double eta = u + gamma4 * (std::sqrt(2.0) + u);
    const double levels = std::log2(static_cast<double>(n));
    return levels * eta / (1 - levels * eta);
}

std::vector<float> randomSignal(int n, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::vector<float> data(2 * n);
    for (float& x : data) x = value(generator);
    return data;
}

Complex at(const std::vector<float>& data, int index) {
    return {data[2 * index], data[2 * index + 1]};
}

// The DFT with the usual sign, X[k] = sum x[m] e^(-2 pi i m k / N), by plain
// radix-2 decimation in time in double precision: a different algorithm at
// a precision whose error does not count beside float32's.
void referenceDft(std::vector<Complex>& x) {
    const int n = static_cast<int>(x.size());
    if (n == 1) return;
    std::vector<Complex> even(n / 2), odd(n / 2);
    for (int m = 0; m < n / 2; ++m) {
        even[m] = x[2 * m];
        odd[m] = x[2 * m + 1];
    }
    referenceDft(even);
    referenceDft(odd);
    for (int k = 0; k < n / 2; ++k) {
        const Complex t = std::polar(1.0, -kTwoPi * k / n) * odd[k];
        x[k] = even[k] + t;
        x[k + n / 2] = even[k] - t;
    }
}

double norm(const std::vector<Complex>& v) {
    double sum = 0;
    for (const Complex& c : v) sum += std::norm(c);
    return std::sqrt(sum);
}

class FftTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { buildFftTables(); }
};

}  // namespace

// In place between guards. A fault in the bin order table shows here too, as
// the spectrum is read through it.
TEST_F(FftTest, ForwardAndInverseMatchTheReferenceDft) {
    // An odd guard length also leaves the data off any vector alignment.
    constexpr int kGuardFloats = 17;
    constexpr float kGuard = 12345.0f;
    for (int n = 2; n <= kMaxTransformSize; n *= 2) {
        SCOPED_TRACE(testing::Message() << "n=" << n);
        const std::vector<float> x = randomSignal(n, 100 + n);
        std::vector<float> guarded(kGuardFloats + 2 * n + kGuardFloats, kGuard);
        std::copy(x.begin(), x.end(), guarded.begin() + kGuardFloats);
        std::vector<float> guardedInverse = guarded;
        float* forward = guarded.data() + kGuardFloats;
        float* inverse = guardedInverse.data() + kGuardFloats;
        fftForward(forward, n);
        fftInverse(inverse, n);
        // The inverse in natural order is the conjugate of the DFT of the
        // conjugated input taken in bin order.
        const int32_t* order = binOrderTable(n);
        std::vector<Complex> spectrum(n), conjugated(n);
        for (int k = 0; k < n; ++k) {
            spectrum[k] = at(x, k);
            conjugated[k] = std::conj(at(x, order[k]));
        }
        referenceDft(spectrum);
        referenceDft(conjugated);
        std::vector<Complex> forwardError(n), inverseError(n);
        for (int k = 0; k < n; ++k) {
            forwardError[k] = Complex(forward[2 * order[k]], forward[2 * order[k] + 1]) - spectrum[k];
            inverseError[k] = Complex(inverse[2 * k], inverse[2 * k + 1]) - std::conj(conjugated[k]);
        }
        EXPECT_LE(norm(forwardError), transformErrorBound(n) * norm(spectrum));
        EXPECT_LE(norm(inverseError), transformErrorBound(n) * norm(conjugated));
        for (const std::vector<float>& buffer : {guarded, guardedInverse}) {
            for (int i = 0; i < kGuardFloats; ++i) {
                ASSERT_EQ(buffer[i], kGuard);
                ASSERT_EQ(buffer[kGuardFloats + 2 * n + i], kGuard);
            }
        }
    }
}
