#include "noise_profile.h"

#include <algorithm>
#include <cmath>

#include "state_file.h"

namespace host {

namespace {

constexpr double kTableTopHz = 24000.0;
// The plug-in's learning step: 30 % of the way up, computed as 1 - 0.7.
constexpr double kKeep = 0.7;

}  // namespace

void forwardTransform(std::vector<std::complex<double>>& values) {
    const size_t size = values.size();
    for (size_t i = 1, j = 0; i < size; ++i) {
        size_t bit = size >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j |= bit;
        if (i < j) std::swap(values[i], values[j]);
    }
    const double pi = std::acos(-1.0);
    for (size_t length = 2; length <= size; length <<= 1) {
        const double angle = -2.0 * pi / double(length);
        for (size_t start = 0; start < size; start += length) {
            for (size_t k = 0; k < length / 2; ++k) {
                const std::complex<double> twiddle = std::polar(1.0, angle * double(k));
                const std::complex<double> even = values[start + k];
                const std::complex<double> odd = values[start + k + length / 2] * twiddle;
                values[start + k] = even + odd;
                values[start + k + length / 2] = even - odd;
            }
        }
    }
}

std::vector<float> learnNoiseProfile(const AudioData& noise, size_t frames, int fftSize, bool legacy) {
    const size_t size = size_t(fftSize);
    const size_t hop = size / 2;
    frames = std::min(frames, frameCount(noise));
    const int lowBin = legacy ? 1 : 0;
    const size_t binCount = hop - size_t(lowBin) + 1;

    // Per-bin follower over the frames, starting from an all-zero profile.
    std::vector<double> profile(binCount, 0.0);
    std::vector<double> largest(binCount);
    std::vector<std::complex<double>> spectrum(size);
    for (size_t start = 0; start + size <= frames + hop; start += hop) {
        std::fill(largest.begin(), largest.end(), 0.0);
        for (const std::vector<float>& channel : noise.channels) {
            for (size_t i = 0; i < size; ++i) {
                const size_t sample = start + i;  // the lead of `hop` zeros comes first
                spectrum[i] = sample >= hop ? double(channel[sample - hop]) : 0.0;
            }
            forwardTransform(spectrum);
            for (size_t bin = 0; bin < binCount; ++bin) largest[bin] = std::max(largest[bin], std::norm(spectrum[bin]));
        }
        for (size_t bin = 0; bin < binCount; ++bin) {
            const double measured = std::sqrt(2.0 * largest[bin]) / double(size);
            if (measured > profile[bin]) profile[bin] = (1.0 - kKeep) * measured + kKeep * profile[bin];
        }
    }

    // Bins onto the table as the plug-in's filter builder reads them back.
    const double ratio = kTableTopHz / (double(noise.format.sampleRate) * 0.5);
    const long cut = long((lowBin ? 0.0 : 0.5) + double(hop) * ratio);
    const long count = std::min(long(hop), cut) - lowBin + 1;
    const double step = (double(kGainTableSize) / double(binCount)) / ratio;
    std::vector<float> table(size_t(kGainTableSize), 0.0f);
    long filled = 0;  // entries below this are written
    for (long bin = 0; bin < count; ++bin) {
        const long entry = std::max(0L, long(double(bin) * step));
        if (entry >= kGainTableSize) break;
        const float value = float(profile[size_t(bin)]);
        if (entry < filled) {
            // Several bins share one entry when bins are finer than the table.
            table[size_t(entry)] = std::max(table[size_t(entry)], value);
            continue;
        }
        for (long k = filled; k <= entry; ++k) table[size_t(k)] = value;
        filled = entry + 1;
    }
    const float last = filled > 0 ? table[size_t(filled - 1)] : 0.0f;
    for (long k = filled; k < kGainTableSize; ++k) table[size_t(k)] = last;
    return table;
}

}  // namespace host
