#include "demo_signal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace host {

namespace {

constexpr double kHissRms = 0.006;  // about -44 dBFS
constexpr double kChordSeconds = 1.125;
constexpr double kMusicPeak = 0.5;
constexpr int kHarmonics = 6;

// Four chords as MIDI note numbers: C, A minor, F, G.
constexpr int kChords[4][4] = {{48, 60, 64, 67}, {45, 57, 60, 64}, {41, 57, 60, 65}, {43, 55, 59, 62}};

// A fixed generator, so the file is the same everywhere (the standard
// distributions are not).
struct NoiseSource {
    uint32_t state = 0x12345678u;
    double next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return double(state) / 2147483648.0 - 1.0;
    }
};

double noteFrequency(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

// Plucked-string envelope: 8 ms attack, then an exponential decay.
double envelope(double t) {
    if (t < 0.0) return 0.0;
    if (t < 0.008) return t / 0.008;
    return std::exp(-(t - 0.008) * 2.2);
}

}  // namespace

AudioData makeDemoSignal() {
    AudioFormat format;
    format.encoding = SampleEncoding::Pcm;
    format.bitsPerSample = 16;
    format.channels = 2;
    format.sampleRate = kDemoSampleRate;
    const size_t frames = size_t(kDemoSeconds * kDemoSampleRate);
    const size_t leadIn = size_t(kDemoLeadInSeconds * kDemoSampleRate);
    AudioData audio = makeAudio(format, frames);
    const double pi = std::acos(-1.0);

    std::vector<double> music[2] = {std::vector<double>(frames, 0.0), std::vector<double>(frames, 0.0)};
    for (size_t i = leadIn; i < frames; ++i) {
        const double t = double(i - leadIn) / kDemoSampleRate;
        const int chord = std::min(int(t / kChordSeconds), 3);
        const double sinceChord = t - chord * kChordSeconds;
        for (int voice = 0; voice < 4; ++voice) {
            const double frequency = noteFrequency(kChords[chord][voice]);
            double tone = 0.0;
            for (int h = 1; h <= kHarmonics; ++h) tone += std::sin(2.0 * pi * frequency * h * t) / (h * h);
            // Voices spread across the stereo image.
            const double pan = (voice + 0.5) / 4.0;
            const double value = tone * envelope(sinceChord - 0.03 * voice);
            music[0][i] += value * (1.0 - pan);
            music[1][i] += value * pan;
        }
    }
    double peak = 0.0;
    for (const std::vector<double>& channel : music) {
        for (double sample : channel) peak = std::max(peak, std::fabs(sample));
    }

    // Hiss: white noise tilted towards the highs by a first difference,
    // scaled to its RMS (the difference of uniform noise has RMS sqrt(2/3)).
    NoiseSource noise;
    const double hissScale = kHissRms / std::sqrt(2.0 / 3.0);
    for (int c = 0; c < 2; ++c) {
        double previous = noise.next();
        for (size_t i = 0; i < frames; ++i) {
            const double white = noise.next();
            const double hiss = (white - previous) * hissScale;
            previous = white;
            audio.channels[size_t(c)][i] = float(music[c][i] * kMusicPeak / peak + hiss);
        }
    }
    return audio;
}

}  // namespace host
