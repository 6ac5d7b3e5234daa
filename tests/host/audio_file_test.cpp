// Audio files read and written in blocks, against files written and read by
// sox: the checked-in WAV files everywhere, and every container and sample
// type this build handles where sox is installed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "audio_file.h"
#include "file_test_support.h"

namespace {

using filetest::readBack;
using filetest::writeAudio;
using host::AudioData;
using host::AudioFormat;
using host::FileType;
using host::SampleEncoding;

constexpr uint32_t kRate = 8000;
// Several reads and writes of the 4096-frame blocks the whole-file helpers use.
constexpr size_t kFrames = 9000;

struct SoxCase {
    const char* name;
    FileType type;
    const char* soxType;  // sox's -t for the file; null: sox does not write it
    SampleEncoding encoding;
    int bits;
    int channels;
    bool extensible;  // what sox writes, for WAV
};

// Every sample type from 16 bits up (the Windows build's own WAV code takes
// no fewer) of every container sox writes; the checked-in WAV files
// are the first ones. (sox reads float W64 files through a scaled integer
// path, so W64 goes through sox with PCM; float W64 and RF64, which sox does
// not write, are read back by this build itself.)
constexpr SoxCase kSoxCases[] = {
    {"pcm16_mono", FileType::Wav, "wav", SampleEncoding::Pcm, 16, 1, false},
    {"pcm16_stereo", FileType::Wav, "wav", SampleEncoding::Pcm, 16, 2, false},
    {"pcm16_6ch", FileType::Wav, "wav", SampleEncoding::Pcm, 16, 6, true},
    {"pcm24_stereo", FileType::Wav, "wav", SampleEncoding::Pcm, 24, 2, true},
    {"pcm24_plain", FileType::Wav, "wavpcm", SampleEncoding::Pcm, 24, 2, false},
    {"pcm32_stereo", FileType::Wav, "wav", SampleEncoding::Pcm, 32, 2, true},
    {"float32_mono", FileType::Wav, "wav", SampleEncoding::Float, 32, 1, false},
    {"float32_3ch", FileType::Wav, "wav", SampleEncoding::Float, 32, 3, false},
    {"float64_stereo", FileType::Wav, "wav", SampleEncoding::Float, 64, 2, false},
    {"w64_pcm24", FileType::W64, "w64", SampleEncoding::Pcm, 24, 2, false},
    {"flac_pcm16", FileType::Flac, "flac", SampleEncoding::Pcm, 16, 2, false},
    {"flac_pcm24", FileType::Flac, "flac", SampleEncoding::Pcm, 24, 6, false},
    {"aiff_pcm16", FileType::Aiff, "aiff", SampleEncoding::Pcm, 16, 2, false},
    {"aiff_pcm24", FileType::Aiff, "aiff", SampleEncoding::Pcm, 24, 1, false},
    {"aiff_pcm32", FileType::Aiff, "aiff", SampleEncoding::Pcm, 32, 2, false},
    {"rf64_pcm24", FileType::Rf64, nullptr, SampleEncoding::Pcm, 24, 2, false},
    {"w64_float32", FileType::W64, nullptr, SampleEncoding::Float, 32, 3, false},
};
constexpr size_t kCheckedInCases = 9;

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
double patternFloat(size_t frame, int channel) { return double(patternInteger(frame, channel, 24)) / 8388608.0; }

float expectedSample(const SoxCase& format, size_t frame, int channel) {
    if (format.encoding == SampleEncoding::Float) return float(patternFloat(frame, channel));
    return float(double(patternInteger(frame, channel, format.bits)) / std::ldexp(1.0, format.bits - 1));
}

std::vector<uint8_t> rawPattern(const SoxCase& format, size_t frames) {
    std::vector<uint8_t> raw;
    for (size_t frame = 0; frame < frames; ++frame) {
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

std::string rawOptions(const SoxCase& format) {
    return "-t raw -r " + std::to_string(kRate) + " -e " +
           (format.encoding == SampleEncoding::Pcm ? "signed-integer" : "floating-point") + " -b " +
           std::to_string(format.bits) + " -c " + std::to_string(format.channels);
}

void expectMatchesPattern(const SoxCase& format, const AudioData& audio, size_t frames) {
    EXPECT_EQ(audio.format.type, format.type) << format.name;
    EXPECT_EQ(audio.format.encoding, format.encoding) << format.name;
    EXPECT_EQ(audio.format.bitsPerSample, format.bits) << format.name;
    EXPECT_EQ(audio.format.channels, format.channels) << format.name;
    EXPECT_EQ(audio.format.sampleRate, kRate) << format.name;
    if (format.type == FileType::Wav) {
        EXPECT_EQ(audio.format.extensible, format.extensible) << format.name;
    }
    ASSERT_EQ(host::frameCount(audio), frames) << format.name;
    for (size_t frame = 0; frame < frames; ++frame) {
        for (int channel = 0; channel < format.channels; ++channel) {
            ASSERT_EQ(audio.channels[size_t(channel)][frame], expectedSample(format, frame, channel))
                << format.name << " frame " << frame << " channel " << channel;
        }
    }
}

TEST(AudioFiles, CheckedInSoxFilesReadAsTheirPattern) {
    for (size_t i = 0; i < kCheckedInCases; ++i) {
        const SoxCase& format = kSoxCases[i];
        expectMatchesPattern(format, readBack(filetest::dataFolder() + "/" + format.name + ".wav"), 32);
    }
}

// sox writes, we read, we write the same format, sox reads: the samples
// come through unchanged.
TEST(AudioFiles, RoundTripThroughSoxInEveryFormat) {
    const bool sox = filetest::haveSox();
    filetest::ScratchFolder folder;
    for (const SoxCase& format : kSoxCases) {
        if (!host::canWriteFileType(format.type) || (format.soxType && !sox)) continue;
        if (!format.soxType) {
            const AudioFormat own = {format.type, format.encoding, format.bits, format.channels, kRate};
            AudioData audio = host::makeAudio(own, kFrames);
            for (int c = 0; c < format.channels; ++c) {
                for (size_t i = 0; i < kFrames; ++i) audio.channels[size_t(c)][i] = expectedSample(format, i, c);
            }
            writeAudio(folder.file(format.name), audio);
            expectMatchesPattern(format, readBack(folder.file(format.name)), kFrames);
            continue;
        }
        const std::string raw = folder.file(std::string(format.name) + ".raw");
        const std::string file = folder.file(std::string(format.name) + "." + format.soxType);
        const std::string ours = folder.file(std::string(format.name) + ".ours." + format.soxType);
        const std::string back = folder.file(std::string(format.name) + ".back.raw");
        filetest::writeBytes(raw, rawPattern(format, kFrames));
        const std::string in = "sox -V1 " + rawOptions(format) + " " + raw + " -t " + format.soxType + " " + file;
        ASSERT_EQ(std::system(in.c_str()), 0) << in;
        const AudioData audio = readBack(file);
        expectMatchesPattern(format, audio, kFrames);
        writeAudio(ours, audio);
        const std::string out = "sox -V1 -t " + std::string(format.soxType) + " " + ours + " " + rawOptions(format) +
                                " " + back;
        ASSERT_EQ(std::system(out.c_str()), 0) << out;
        EXPECT_EQ(filetest::readBytes(back), rawPattern(format, kFrames)) << format.name;
    }
    if (!sox) GTEST_SKIP() << "sox is not installed: only the types this build reads back itself were checked";
}

TEST(AudioFiles, OggVorbisComesThroughCloseToTheOriginal) {
    if (!filetest::haveSox() || !host::canWriteFileType(FileType::Ogg)) GTEST_SKIP() << "no Ogg Vorbis here";
    filetest::ScratchFolder folder;
    const std::string ogg = folder.file("tone.ogg");
    const std::string command = "sox -V1 -n -r 44100 -c 2 " + ogg + " synth 1 sine 1000 vol 0.5";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const AudioData audio = readBack(ogg);
    EXPECT_EQ(audio.format.type, FileType::Ogg);
    EXPECT_EQ(host::frameCount(audio), 44100u);
    writeAudio(folder.file("ours.ogg"), audio);
    const AudioData again = readBack(folder.file("ours.ogg"));
    ASSERT_EQ(host::frameCount(again), 44100u);
    double signal = 0.0;
    double difference = 0.0;
    for (size_t i = 0; i < 44100; ++i) {
        const double expected = 0.5 * std::sin(2.0 * std::acos(-1.0) * 1000.0 * double(i) / 44100.0);
        signal += expected * expected;
        difference += (again.channels[1][i] - expected) * (again.channels[1][i] - expected);
    }
    // A lossy codec, twice: within -20 dB of the tone.
    EXPECT_LT(10.0 * std::log10(difference / signal), -20.0);
}

TEST(AudioFiles, PcmIsRoundedAndClippedAtFullScale) {
    filetest::ScratchFolder folder;
    AudioData audio = host::makeAudio({FileType::Wav, SampleEncoding::Pcm, 16, 1, kRate}, 0);
    audio.channels[0] = {1.5f, -1.5f, 0.5f, -1.0f, 1.0f / 65536.0f, 3.0f / 65536.0f, std::nanf("")};
    writeAudio(folder.file("clip.wav"), audio);
    // Halves round to even.
    const std::vector<float> expected = {32767.0f / 32768.0f, -1.0f, 0.5f, -1.0f, 0.0f, 2.0f / 32768.0f, 0.0f};
    EXPECT_EQ(readBack(folder.file("clip.wav")).channels, std::vector<std::vector<float>>{expected});
}

// The output's type: --format, else the output's extension, else the
// input's; the sample type stays where the new type can hold it.
TEST(AudioFiles, OutputFormatFollowsFormatNameExtensionAndInput) {
    const AudioFormat pcm24 = {FileType::Flac, SampleEncoding::Pcm, 24, 2};
    const AudioFormat float64 = {FileType::Wav, SampleEncoding::Float, 64, 2};
    const AudioFormat vorbis = {FileType::Ogg, SampleEncoding::Float, 32, 2};
    const struct {
        AudioFormat input;
        const char* path;
        const char* typeName;
        FileType type;
        SampleEncoding encoding;
        int bits;
        bool extensible;
    } cases[] = {
        {pcm24, "out.wav", "", FileType::Wav, SampleEncoding::Pcm, 24, true},
        {pcm24, "out", "", FileType::Flac, SampleEncoding::Pcm, 24, false},
        {pcm24, "out.wav", "aiff", FileType::Aiff, SampleEncoding::Pcm, 24, false},
        {float64, "dir.flac/out.AIF", "", FileType::Aiff, SampleEncoding::Float, 64, false},
        {float64, "out.flac", "", FileType::Flac, SampleEncoding::Pcm, 24, false},
        {vorbis, "out.wav", "RF64", FileType::Rf64, SampleEncoding::Float, 32, false},
    };
    for (const auto& test : cases) {
        AudioFormat output;
        std::string error;
        if (!host::canWriteFileType(test.type)) {
            EXPECT_FALSE(host::outputFormatFor(test.input, test.path, test.typeName, output, error));
            EXPECT_NE(error.find("WAV files only"), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(host::outputFormatFor(test.input, test.path, test.typeName, output, error)) << error;
        EXPECT_EQ(output.type, test.type) << test.path;
        EXPECT_EQ(output.encoding, test.encoding) << test.path;
        EXPECT_EQ(output.bitsPerSample, test.bits) << test.path;
        EXPECT_EQ(output.extensible, test.extensible) << test.path;
    }
}

// A missing input and an output that cannot be created are among the process
// command's refusals.
TEST(AudioFiles, WritesReplaceTheFileOnlyWhenFinished) {
    filetest::ScratchFolder folder;
    const AudioData first = host::makeAudio({FileType::Wav, SampleEncoding::Pcm, 16, 1, kRate}, 4);
    AudioData second = host::makeAudio({FileType::Wav, SampleEncoding::Float, 32, 2, kRate}, 9);
    second.channels[1][8] = 0.25f;
    const std::string path = folder.file("out.wav");
    writeAudio(path, first);
    std::string error;
    {
        // Until it is finished the new file exists only under its temporary name.
        host::AudioWriter writer;
        ASSERT_TRUE(host::openAudioWriter(path, second.format, 9, writer, error)) << error;
        EXPECT_EQ(folder.entries().size(), 2u);
        EXPECT_EQ(readBack(path).channels, first.channels);
    }
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.wav"});  // an unfinished file is removed
    writeAudio(path, second);  // replaces the file in place
    EXPECT_EQ(readBack(path).channels, second.channels);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.wav"});
}

}  // namespace
