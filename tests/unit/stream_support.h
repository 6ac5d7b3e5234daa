// Signals, block-wise streaming through an instance and simple measurements
// shared by the block processor, mode and analysis tests.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

#include "dsp/fft.h"
#include "shell/parameters.h"
#include "shell/plugin_instance.h"
#include "test_host.h"

namespace streamtest {

using Channels = std::vector<std::vector<float>>;

constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr double kFloatEpsilon = 1.1920928955078125e-7;

// Uniform values in [-amplitude, amplitude) from a fixed linear congruential
// sequence, the same on every platform.
inline std::vector<float> noise(int length, uint32_t seed, double amplitude = 1.0) {
    std::vector<float> out(length);
    uint32_t state = seed * 2654435761u + 1;
    for (float& x : out) {
        state = state * 1664525u + 1013904223u;
        x = float(amplitude * ((state >> 8) * (2.0 / 16777216.0) - 1.0));
    }
    return out;
}

inline std::vector<float> sine(int length, double frequency, double sampleRate, double amplitude,
                               double phase = 0.0) {
    std::vector<float> out(length);
    for (int i = 0; i < length; ++i) out[i] = float(amplitude * std::sin(kTwoPi * frequency * i / sampleRate + phase));
    return out;
}

inline std::vector<float> mix(const std::vector<float>& a, const std::vector<float>& b) {
    std::vector<float> out(a.size());
    for (size_t i = 0; i < a.size(); ++i) out[i] = a[i] + b[i];
    return out;
}

// Frequency of bin k of an N-point transform.
inline double binFrequency(int k, int n, double sampleRate) { return k * sampleRate / n; }

// Feeds `input` through processReplacing in blocks whose sizes cycle through
// `blockSizes`, the last block cut to what is left.
inline Channels processStream(const testhost::Instance& instance, const Channels& input,
                              const std::vector<int>& blockSizes) {
    const size_t channels = input.size();
    const int length = int(input[0].size());
    Channels output(channels, std::vector<float>(length));
    std::vector<float*> in(channels);
    std::vector<float*> out(channels);
    int position = 0;
    for (size_t block = 0; position < length; ++block) {
        const int frames = std::min(blockSizes[block % blockSizes.size()], length - position);
        for (size_t c = 0; c < channels; ++c) {
            in[c] = const_cast<float*>(input[c].data()) + position;
            out[c] = output[c].data() + position;
        }
        instance.effect()->processReplacing(instance.effect(), in.data(), out.data(), frames);
        position += frames;
    }
    return output;
}

inline void setParameter(const testhost::Instance& instance, int32_t index, float value) {
    instance.effect()->setParameter(instance.effect(), index, value);
}

// Fills the table under stateLock and marks it changed, as the graph does.
inline void setTable(vexlan::PluginInstance& instance, float value) {
    vexlan::LockHold state(instance.stateLock);
    std::fill(std::begin(instance.binGainTable), std::end(instance.binGainTable), value);
    instance.tableChanged = 1;
}

inline void setMode(vexlan::PluginInstance& instance, int32_t mode) {
    vexlan::LockHold state(instance.stateLock);
    instance.processingMode = mode;
}

inline void setChannels(vexlan::PluginInstance& instance, int32_t count, int32_t layout) {
    vexlan::LockHold state(instance.stateLock);
    vexlan::setChannelCount(instance, count);
    instance.channelLayout = layout;
}

// Amplitude of the component at `frequency` over samples [from, from + count),
// by projection onto a complex exponential. Exact for a sine that completes
// whole periods in the window.
inline double amplitudeAt(const std::vector<float>& signal, int from, int count, double frequency,
                          double sampleRate) {
    std::complex<double> sum = 0.0;
    for (int i = 0; i < count; ++i) {
        sum += double(signal[from + i]) * std::polar(1.0, -kTwoPi * frequency * (from + i) / sampleRate);
    }
    return 2.0 * std::abs(sum) / count;
}

// Largest |output[delay + k] - gain * input[k]| over k in [from, to).
inline double delayedError(const std::vector<float>& output, const std::vector<float>& input, int delay, int from,
                           int to, double gain = 1.0) {
    double worst = 0.0;
    for (int k = from; k < to; ++k) worst = std::max(worst, std::abs(output[delay + k] - gain * input[k]));
    return worst;
}

}  // namespace streamtest
