// The host's noise-profile measurement: its transform, the learning rule
// and the placing of bins on the 4096-entry table.
#include <gtest/gtest.h>

#include <cmath>

#include "noise_profile.h"

namespace {

const double kPi = std::acos(-1.0);

TEST(NoiseProfile, TransformMatchesADirectDft) {
    for (size_t size : {2u, 8u, 64u, 256u}) {
        std::vector<std::complex<double>> values(size);
        for (size_t i = 0; i < size; ++i) values[i] = {std::sin(1.3 * double(i * i)), std::cos(0.7 * double(i))};
        std::vector<std::complex<double>> transformed = values;
        host::forwardTransform(transformed);
        for (size_t k = 0; k < size; ++k) {
            std::complex<double> sum = 0.0;
            for (size_t n = 0; n < size; ++n) sum += values[n] * std::polar(1.0, -2.0 * kPi * double(k * n) / double(size));
            ASSERT_NEAR(std::abs(transformed[k] - sum), 0.0, 1e-9 * double(size)) << size << " bin " << k;
        }
    }
}

host::AudioData sineInChannel(int channels, int channel, double amplitude, double frequency, uint32_t rate,
                              size_t frames) {
    host::WavFormat format;
    format.channels = channels;
    format.sampleRate = rate;
    host::AudioData audio = host::makeAudio(format, frames);
    for (size_t i = 0; i < frames; ++i) {
        audio.channels[size_t(channel)][i] = float(amplitude * std::sin(2.0 * kPi * frequency * double(i) / rate));
    }
    return audio;
}

TEST(NoiseProfile, ABinCentredSineIsLearntAtItsMeasuredLevelOnItsTableEntries) {
    // 48 kHz and N = 256: table entries per bin = 4096 / 129, bin 16 is 3000 Hz.
    const double amplitude = 0.25;
    const host::AudioData audio = sineInChannel(2, 1, amplitude, 3000.0, 48000, 256 * 40);
    const std::vector<float> table = host::learnNoiseProfile(audio, host::frameCount(audio), 256, false);
    ASSERT_EQ(table.size(), 4096u);
    // sqrt(2) * |X| / N with |X| = a N / 2, reached after many frames.
    const double measured = std::sqrt(2.0) * amplitude / 2.0;
    const double step = 4096.0 / 129.0;
    const size_t first = size_t(15 * step) + 1;
    const size_t last = size_t(16 * step);
    for (size_t entry = first; entry <= last; ++entry) EXPECT_NEAR(table[entry], measured, 1e-4) << entry;
    // Only the first frame, half zeros, leaks into the neighbouring bins.
    EXPECT_LT(table[first - 1], 0.15 * measured);
    EXPECT_LT(table[last + 1], 0.15 * measured);
    EXPECT_LT(table[size_t(10 * step)], 0.01 * measured);
    EXPECT_LT(table[4095], 0.01 * measured);
}

TEST(NoiseProfile, ProfileOnlyRisesAndStepsThirtyPercentPerFrame) {
    const double amplitude = 0.5;
    const size_t size = 256;
    host::AudioData audio = sineInChannel(1, 0, amplitude, 3000.0, 48000, size * 40);
    // The level drops tenfold for the last quarter: the profile keeps the louder level.
    for (size_t i = size * 30; i < size * 40; ++i) audio.channels[0][i] *= 0.1f;
    const size_t entry = size_t(16 * 4096.0 / 129.0);
    const double measured = std::sqrt(2.0) * amplitude / 2.0;
    const std::vector<float> table = host::learnNoiseProfile(audio, host::frameCount(audio), int(size), false);
    EXPECT_NEAR(table[entry], measured, 1e-3);

    // Frames: the first holds half a frame of zeros in front, so its
    // measurement is half; then each full frame moves 30 % of the rest.
    const std::vector<float> early = host::learnNoiseProfile(audio, size, int(size), false);
    const double afterFirst = 0.3 * measured / 2.0;
    const double afterSecond = 0.3 * measured + 0.7 * afterFirst;
    EXPECT_NEAR(early[entry], afterSecond, 1e-4);
}

TEST(NoiseProfile, LegacyLayoutAndOtherRatesPlaceBinsLikeThePlugin) {
    // Legacy quality: 128 bins at 48 kHz, 32 entries each, bin 16 ends at 512.
    const host::AudioData audio = sineInChannel(1, 0, 0.25, 3000.0, 48000, 256 * 40);
    const std::vector<float> legacy = host::learnNoiseProfile(audio, host::frameCount(audio), 256, true);
    EXPECT_GT(legacy[512], 0.1f);
    EXPECT_GT(legacy[481], 0.1f);
    EXPECT_LT(legacy[480], 0.05f);
    EXPECT_LT(legacy[513], 0.05f);
    EXPECT_LT(legacy[320], 2e-3f);

    // 24 kHz: the table's 24 kHz grid spans twice the Nyquist range, so bin
    // b (of 129) ends at entry b * (4096 / 129) / 2 and the top half of the
    // table repeats the last bin.
    const host::AudioData slow = sineInChannel(1, 0, 0.25, 1500.0, 24000, 256 * 40);
    const std::vector<float> table = host::learnNoiseProfile(slow, host::frameCount(slow), 256, false);
    const size_t end = size_t(16 * (4096.0 / 129.0) / 2.0);
    EXPECT_GT(table[end], 0.1f);
    EXPECT_LT(table[end + 1], 0.05f);
    EXPECT_LT(table[end / 2], 2e-3f);
    EXPECT_EQ(table[4095], table[size_t(128 * (4096.0 / 129.0) / 2.0)]);
}

}  // namespace
