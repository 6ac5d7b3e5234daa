// The WAV reader and writer against files written by sox: the checked-in
// ones everywhere, and freshly made ones where sox is installed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "file_test_support.h"
#include "wav_file.h"

namespace {

using host::AudioData;
using host::SampleEncoding;
using host::WavFormat;

constexpr uint32_t kRate = 8000;
constexpr size_t kFrames = 32;

struct SoxCase {
    const char* name;
    SampleEncoding encoding;
    int bits;
    int channels;
    bool plainHeader;  // sox's "wavpcm" type: no extensible header for wide PCM
    bool extensible;   // what sox writes
};

// Every sample format sox writes as WAV: extensible for wide PCM and more
// than two channels, plain float always.
constexpr SoxCase kSoxCases[] = {
    {"pcm16_mono", SampleEncoding::Pcm, 16, 1, false, false},
    {"pcm16_stereo", SampleEncoding::Pcm, 16, 2, false, false},
    {"pcm16_6ch", SampleEncoding::Pcm, 16, 6, false, true},
    {"pcm24_stereo", SampleEncoding::Pcm, 24, 2, false, true},
    {"pcm24_plain", SampleEncoding::Pcm, 24, 2, true, false},
    {"pcm32_stereo", SampleEncoding::Pcm, 32, 2, false, true},
    {"float32_mono", SampleEncoding::Float, 32, 1, false, false},
    {"float32_3ch", SampleEncoding::Float, 32, 3, false, false},
    {"float64_stereo", SampleEncoding::Float, 64, 2, false, false},
};

// A signed integer of `bits` bits for each frame and channel: both extremes
// first, then scrambled values; 32-bit values keep 24 significant bits so
// that they are exact in float32.
int64_t patternInteger(size_t frame, int channel, int bits) {
    const int64_t lowest = -(int64_t(1) << (bits - 1));
    if (frame == 0) return lowest;
    if (frame == 1) return -lowest - 1;
    const uint64_t hash = (uint64_t(frame) * 2654435761u + uint64_t(channel) * 40503u + 12345u) * 0x9E3779B97F4A7C15ull;
    int64_t value = int64_t(hash >> (64 - bits)) + lowest;
    if (bits == 32) value &= ~int64_t(0xFF);
    return value;
}

// Float files hold 24-bit fractions (sox clips anything beyond full scale).
double patternFloat(size_t frame, int channel) {
    return double(patternInteger(frame, channel, 24)) / 8388608.0;
}

float expectedSample(const SoxCase& format, size_t frame, int channel) {
    if (format.encoding == SampleEncoding::Float) return float(patternFloat(frame, channel));
    return float(double(patternInteger(frame, channel, format.bits)) / std::ldexp(1.0, format.bits - 1));
}

std::vector<uint8_t> rawPattern(const SoxCase& format) {
    std::vector<uint8_t> raw;
    for (size_t frame = 0; frame < kFrames; ++frame) {
        for (int channel = 0; channel < format.channels; ++channel) {
            uint64_t bits;
            if (format.encoding == SampleEncoding::Pcm) {
                bits = uint64_t(patternInteger(frame, channel, format.bits));
            } else if (format.bits == 32) {
                const float value = float(patternFloat(frame, channel));
                uint32_t word;
                std::memcpy(&word, &value, 4);
                bits = word;
            } else {
                const double value = patternFloat(frame, channel);
                std::memcpy(&bits, &value, 8);
            }
            for (int byte = 0; byte < format.bits / 8; ++byte) raw.push_back(uint8_t(bits >> (8 * byte)));
        }
    }
    return raw;
}

void expectMatchesPattern(const SoxCase& format, const std::vector<uint8_t>& file) {
    AudioData audio;
    std::string error;
    ASSERT_TRUE(host::decodeWav(file, audio, error)) << format.name << ": " << error;
    EXPECT_EQ(audio.format.encoding, format.encoding) << format.name;
    EXPECT_EQ(audio.format.bitsPerSample, format.bits) << format.name;
    EXPECT_EQ(audio.format.channels, format.channels) << format.name;
    EXPECT_EQ(audio.format.sampleRate, kRate) << format.name;
    EXPECT_EQ(audio.format.extensible, format.extensible) << format.name;
    ASSERT_EQ(host::frameCount(audio), kFrames) << format.name;
    for (size_t frame = 0; frame < kFrames; ++frame) {
        for (int channel = 0; channel < format.channels; ++channel) {
            ASSERT_EQ(audio.channels[size_t(channel)][frame], expectedSample(format, frame, channel))
                << format.name << " frame " << frame << " channel " << channel;
        }
    }
    // Written back in the format it was read in, the file is sox's byte for byte.
    EXPECT_EQ(host::encodeWav(audio), file) << format.name;
}

// What sox writes for the raw pattern.
std::vector<uint8_t> soxWav(const SoxCase& format, const filetest::ScratchFolder& folder) {
    const std::string raw = folder.file(std::string(format.name) + ".raw");
    const std::string wav = folder.file(std::string(format.name) + ".wav");
    filetest::writeBytes(raw, rawPattern(format));
    const std::string command = "sox -V1 -t raw -r " + std::to_string(kRate) + " -e " +
                                (format.encoding == SampleEncoding::Pcm ? "signed-integer" : "floating-point") +
                                " -b " + std::to_string(format.bits) + " -c " + std::to_string(format.channels) +
                                " " + raw + (format.plainHeader ? " -t wavpcm " : " ") + wav;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return filetest::readBytes(wav);
}

std::string fixturePath(const SoxCase& format) { return filetest::dataFolder() + "/" + format.name + ".wav"; }

TEST(WavSoxFiles, CheckedInFilesReadAsTheirPatternAndWriteBackIdentically) {
    for (const SoxCase& format : kSoxCases) {
        const std::vector<uint8_t> file = filetest::readBytes(fixturePath(format));
        ASSERT_FALSE(file.empty()) << "missing " << fixturePath(format);
        expectMatchesPattern(format, file);
    }
}

TEST(WavSoxFiles, FreshSoxOutputMatchesTheCheckedInFiles) {
    if (!filetest::haveSox()) GTEST_SKIP() << "sox is not installed";
    filetest::ScratchFolder folder;
    // VEXLAN_WRITE_WAV_FIXTURES=1 refreshes the checked-in files from sox.
    const bool refresh = std::getenv("VEXLAN_WRITE_WAV_FIXTURES") != nullptr;
    for (const SoxCase& format : kSoxCases) {
        const std::vector<uint8_t> fresh = soxWav(format, folder);
        ASSERT_FALSE(fresh.empty()) << format.name;
        expectMatchesPattern(format, fresh);
        if (refresh) filetest::writeBytes(fixturePath(format), fresh);
        EXPECT_EQ(filetest::readBytes(fixturePath(format)), fresh) << format.name;
    }
}

TEST(WavSoxFiles, SoxReadsWhatTheWriterWritesInEveryFormat) {
    if (!filetest::haveSox()) GTEST_SKIP() << "sox is not installed";
    filetest::ScratchFolder folder;
    for (const SoxCase& format : kSoxCases) {
        AudioData audio;
        audio.format.encoding = format.encoding;
        audio.format.bitsPerSample = format.bits;
        audio.format.channels = format.channels;
        audio.format.sampleRate = kRate;
        audio.format.extensible = !format.extensible;  // the other header form than sox's own
        audio.channels.assign(size_t(format.channels), std::vector<float>(kFrames));
        for (size_t frame = 0; frame < kFrames; ++frame) {
            for (int channel = 0; channel < format.channels; ++channel) {
                audio.channels[size_t(channel)][frame] = expectedSample(format, frame, channel);
            }
        }
        const std::string wav = folder.file(std::string(format.name) + ".wav");
        const std::string raw = folder.file(std::string(format.name) + ".out.raw");
        std::string error;
        ASSERT_TRUE(host::writeWav(wav, audio, error)) << error;
        const std::string command = "sox -V1 " + wav + " -t raw " + raw;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        EXPECT_EQ(filetest::readBytes(raw), rawPattern(format)) << format.name;
    }
}

AudioData ramp(SampleEncoding encoding, int bits, int channels, size_t frames) {
    AudioData audio;
    audio.format.encoding = encoding;
    audio.format.bitsPerSample = bits;
    audio.format.channels = channels;
    audio.format.sampleRate = 44100;
    audio.channels.assign(size_t(channels), std::vector<float>(frames));
    for (int c = 0; c < channels; ++c) {
        for (size_t i = 0; i < frames; ++i) audio.channels[size_t(c)][i] = float(int(i * 5 + size_t(c) * 3) % 128 - 64) / 64.0f;
    }
    return audio;
}

TEST(WavFormats, ExtensibleFloatAndManyChannelsRoundTrip) {
    for (int bits : {32, 64}) {
        AudioData audio = ramp(SampleEncoding::Float, bits, 3, 10);
        audio.format.extensible = true;
        audio.format.channelMask = 0x7;
        const std::vector<uint8_t> bytes = host::encodeWav(audio);
        EXPECT_EQ(bytes[20], 0xFE);  // WAVE_FORMAT_EXTENSIBLE
        EXPECT_EQ(bytes[44], 3);     // float subformat
        AudioData back;
        std::string error;
        ASSERT_TRUE(host::decodeWav(bytes, back, error)) << error;
        EXPECT_TRUE(back.format.extensible);
        EXPECT_EQ(back.format.channelMask, 0x7u);
        EXPECT_EQ(back.format.encoding, SampleEncoding::Float);
        EXPECT_EQ(back.channels, audio.channels);
    }
    const AudioData wide = ramp(SampleEncoding::Pcm, 24, host::kMaxAudioChannels, 5);
    AudioData back;
    std::string error;
    ASSERT_TRUE(host::decodeWav(host::encodeWav(wide), back, error)) << error;
    EXPECT_EQ(back.channels, wide.channels);
}

TEST(WavFormats, PcmIsRoundedAndClippedAtFullScale) {
    AudioData audio = ramp(SampleEncoding::Pcm, 16, 1, 6);
    audio.channels[0] = {1.5f, -1.5f, 0.5f, -1.0f, 1.0f / 65536.0f, std::nanf("")};
    AudioData back;
    std::string error;
    ASSERT_TRUE(host::decodeWav(host::encodeWav(audio), back, error)) << error;
    const std::vector<float> expected = {32767.0f / 32768.0f, -1.0f, 0.5f, -1.0f, 0.0f, 0.0f};
    EXPECT_EQ(back.channels[0], expected);
}

TEST(WavFormats, UnknownChunksAndOddPaddingAreSkipped) {
    const AudioData audio = ramp(SampleEncoding::Pcm, 16, 2, 4);
    std::vector<uint8_t> bytes = host::encodeWav(audio);
    // A three-byte chunk (plus its pad byte) between fmt and data.
    const std::vector<uint8_t> extra = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    bytes.insert(bytes.begin() + 36, extra.begin(), extra.end());
    AudioData back;
    std::string error;
    ASSERT_TRUE(host::decodeWav(bytes, back, error)) << error;
    EXPECT_EQ(back.channels, audio.channels);
}

std::string decodeError(const std::vector<uint8_t>& bytes) {
    AudioData audio;
    std::string error;
    EXPECT_FALSE(host::decodeWav(bytes, audio, error));
    return error;
}

void setWord16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
    bytes[at] = uint8_t(value);
    bytes[at + 1] = uint8_t(value >> 8);
}

TEST(WavFormats, BadFilesAreRefusedWithTheirReason) {
    const std::vector<uint8_t> good = host::encodeWav(ramp(SampleEncoding::Pcm, 16, 2, 8));
    EXPECT_EQ(decodeError({}), "not a WAV file");
    EXPECT_EQ(decodeError(std::vector<uint8_t>(good.begin(), good.begin() + 4)), "not a WAV file");
    std::vector<uint8_t> text(100, 'x');
    EXPECT_EQ(decodeError(text), "not a WAV file");

    EXPECT_NE(decodeError(std::vector<uint8_t>(good.begin(), good.end() - 1)).find("truncated"), std::string::npos);
    EXPECT_NE(decodeError(std::vector<uint8_t>(good.begin(), good.begin() + 30)).find("truncated"), std::string::npos);
    EXPECT_NE(decodeError(std::vector<uint8_t>(good.begin(), good.begin() + 40)).find("truncated"), std::string::npos);

    std::vector<uint8_t> eightBit = good;
    setWord16(eightBit, 32, 2);   // block align
    setWord16(eightBit, 34, 8);   // bits per sample
    EXPECT_EQ(decodeError(eightBit), "unsupported format: 8-bit PCM samples");

    std::vector<uint8_t> adpcm = good;
    setWord16(adpcm, 20, 2);
    EXPECT_EQ(decodeError(adpcm), "unsupported format: WAV format tag 2");

    std::vector<uint8_t> tooWide = host::encodeWav(ramp(SampleEncoding::Pcm, 16, 1, 0));
    setWord16(tooWide, 22, 129);
    setWord16(tooWide, 32, 258);
    EXPECT_EQ(decodeError(tooWide), "unsupported format: 129 channels (at most 128)");

    std::vector<uint8_t> noChannels = good;
    setWord16(noChannels, 22, 0);
    EXPECT_EQ(decodeError(noChannels), "WAV file has no channels");
}

TEST(WavFiles, MissingFileAndAtomicWrites) {
    filetest::ScratchFolder folder;
    AudioData audio;
    std::string error;
    EXPECT_FALSE(host::readWav(folder.file("absent.wav"), audio, error));
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;

    const AudioData first = ramp(SampleEncoding::Pcm, 16, 1, 4);
    const AudioData second = ramp(SampleEncoding::Float, 32, 2, 9);
    const std::string path = folder.file("out.wav");
    ASSERT_TRUE(host::writeWav(path, first, error)) << error;
    ASSERT_TRUE(host::writeWav(path, second, error)) << error;  // replaces the file in place
    ASSERT_TRUE(host::readWav(path, audio, error)) << error;
    EXPECT_EQ(audio.channels, second.channels);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.wav"});  // no temporary left

    EXPECT_FALSE(host::writeWav(folder.file("no-such-folder/out.wav"), first, error));
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.wav"});
}

}  // namespace
