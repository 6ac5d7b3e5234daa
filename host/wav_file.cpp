#include "wav_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace host {

namespace {

constexpr uint16_t kTagPcm = 1;
constexpr uint16_t kTagFloat = 3;
constexpr uint16_t kTagExtensible = 0xFFFE;
// Bytes 2..15 of the KSDATAFORMAT_SUBTYPE_PCM / _IEEE_FLOAT GUIDs; bytes 0..1
// carry the plain format tag.
constexpr uint8_t kSubformatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t read16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t read32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
// Byte by byte: GCC 12 misreads a range insert after reserve() as an overflow.
void putTag(std::vector<uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(tag[i]));
}

bool supportedWidth(SampleEncoding encoding, int bits) {
    if (encoding == SampleEncoding::Pcm) return bits == 16 || bits == 24 || bits == 32;
    return bits == 32 || bits == 64;
}

std::string describe(SampleEncoding encoding, int bits) {
    return std::to_string(bits) + "-bit " + (encoding == SampleEncoding::Pcm ? "PCM" : "float");
}

bool parseFormatChunk(const uint8_t* p, uint32_t size, WavFormat& format, std::string& error) {
    if (size < 16) {
        error = "fmt chunk is too short";
        return false;
    }
    uint16_t tag = read16(p);
    format.channels = read16(p + 2);
    format.sampleRate = read32(p + 4);
    const uint16_t blockAlign = read16(p + 12);
    format.bitsPerSample = read16(p + 14);
    format.extensible = tag == kTagExtensible;
    format.validBits = 0;
    format.channelMask = 0;
    if (format.extensible) {
        if (size < 40 || read16(p + 16) < 22) {
            error = "extensible fmt chunk is too short";
            return false;
        }
        format.validBits = read16(p + 18);
        format.channelMask = read32(p + 20);
        tag = read16(p + 24);
        if (std::memcmp(p + 26, kSubformatTail, sizeof kSubformatTail) != 0) {
            error = "unsupported format: unknown extensible subformat";
            return false;
        }
        if (format.validBits > format.bitsPerSample) {
            error = "fmt chunk has more valid bits than its sample width";
            return false;
        }
    }
    if (tag != kTagPcm && tag != kTagFloat) {
        error = "unsupported format: WAV format tag " + std::to_string(tag);
        return false;
    }
    format.encoding = tag == kTagPcm ? SampleEncoding::Pcm : SampleEncoding::Float;
    if (format.channels < 1) {
        error = "WAV file has no channels";
        return false;
    }
    if (format.channels > kMaxAudioChannels) {
        error = "unsupported format: " + std::to_string(format.channels) + " channels (at most " +
                std::to_string(kMaxAudioChannels) + ")";
        return false;
    }
    if (!supportedWidth(format.encoding, format.bitsPerSample)) {
        error = "unsupported format: " + describe(format.encoding, format.bitsPerSample) + " samples";
        return false;
    }
    if (format.sampleRate == 0) {
        error = "WAV file has a sample rate of 0";
        return false;
    }
    if (blockAlign != format.channels * format.bitsPerSample / 8) {
        error = "fmt chunk block size does not match its channels and sample width";
        return false;
    }
    return true;
}

float decodeSample(const uint8_t* p, const WavFormat& format) {
    if (format.encoding == SampleEncoding::Float) {
        if (format.bitsPerSample == 32) {
            const uint32_t bits = read32(p);
            float value;
            std::memcpy(&value, &bits, 4);
            return value;
        }
        const uint64_t bits = uint64_t(read32(p)) | (uint64_t(read32(p + 4)) << 32);
        double value;
        std::memcpy(&value, &bits, 8);
        return float(value);
    }
    switch (format.bitsPerSample) {
        case 16:
            return float(int16_t(read16(p))) / 32768.0f;
        case 24:
            return float(int32_t(uint32_t(p[0] << 8) | uint32_t(p[1] << 16) | uint32_t(p[2]) << 24) >> 8) /
                   8388608.0f;
        default:
            return float(double(int32_t(read32(p))) / 2147483648.0);
    }
}

void encodeSample(std::vector<uint8_t>& out, float sample, const WavFormat& format) {
    if (format.encoding == SampleEncoding::Float) {
        if (format.bitsPerSample == 32) {
            uint32_t bits;
            std::memcpy(&bits, &sample, 4);
            put32(out, bits);
        } else {
            const double value = sample;
            uint64_t bits;
            std::memcpy(&bits, &value, 8);
            put32(out, uint32_t(bits));
            put32(out, uint32_t(bits >> 32));
        }
        return;
    }
    const double scale = std::ldexp(1.0, format.bitsPerSample - 1);
    double scaled = std::isnan(sample) ? 0.0 : std::nearbyint(double(sample) * scale);
    scaled = std::min(std::max(scaled, -scale), scale - 1);
    const uint32_t value = uint32_t(int32_t(int64_t(scaled)));
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
    if (format.bitsPerSample >= 24) out.push_back(uint8_t(value >> 16));
    if (format.bitsPerSample == 32) out.push_back(uint8_t(value >> 24));
}

std::string systemError() { return std::strerror(errno); }

bool replaceFile(const std::string& from, const std::string& to) {
#if defined(_WIN32)
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

int processId() {
#if defined(_WIN32)
    return int(GetCurrentProcessId());
#else
    return int(getpid());
#endif
}

}  // namespace

size_t frameCount(const AudioData& audio) { return audio.channels.empty() ? 0 : audio.channels[0].size(); }

AudioData makeAudio(const WavFormat& format, size_t frames) {
    AudioData audio;
    audio.format = format;
    audio.channels.assign(size_t(format.channels), std::vector<float>(frames, 0.0f));
    return audio;
}

bool decodeWav(const std::vector<uint8_t>& bytes, AudioData& audio, std::string& error) {
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        error = "not a WAV file";
        return false;
    }
    // The RIFF size is often wrong in files from streaming writers; the
    // chunks themselves and the real file size decide.
    WavFormat format;
    bool haveFormat = false;
    size_t position = 12;
    while (true) {
        if (position + 8 > bytes.size()) {
            error = haveFormat ? "truncated WAV file: no data chunk" : "truncated WAV file: no fmt chunk";
            return false;
        }
        const uint8_t* header = bytes.data() + position;
        const uint32_t size = read32(header + 4);
        const size_t body = position + 8;
        const size_t available = bytes.size() - body;
        if (std::memcmp(header, "fmt ", 4) == 0) {
            if (size > available) {
                error = "truncated WAV file: fmt chunk";
                return false;
            }
            if (!parseFormatChunk(bytes.data() + body, size, format, error)) return false;
            haveFormat = true;
        } else if (std::memcmp(header, "data", 4) == 0) {
            if (!haveFormat) {
                error = "WAV data chunk comes before its fmt chunk";
                return false;
            }
            const size_t frameBytes = size_t(format.channels) * size_t(format.bitsPerSample / 8);
            if (size > available || size % frameBytes != 0) {
                error = "truncated WAV file: the data chunk holds " + std::to_string(size) + " bytes, " +
                        std::to_string(std::min<size_t>(size, available)) + " present";
                return false;
            }
            const size_t frames = size / frameBytes;
            audio = makeAudio(format, frames);
            const uint8_t* sample = bytes.data() + body;
            const size_t sampleBytes = size_t(format.bitsPerSample / 8);
            for (size_t frame = 0; frame < frames; ++frame) {
                for (int channel = 0; channel < format.channels; ++channel) {
                    audio.channels[size_t(channel)][frame] = decodeSample(sample, format);
                    sample += sampleBytes;
                }
            }
            return true;
        }
        if (size > available) {
            error = "truncated WAV file";
            return false;
        }
        position = body + size + (size & 1);
    }
}

std::vector<uint8_t> encodeWav(const AudioData& audio) {
    const WavFormat& format = audio.format;
    const size_t frames = frameCount(audio);
    const uint32_t sampleBytes = uint32_t(format.bitsPerSample / 8);
    const uint32_t blockAlign = uint32_t(format.channels) * sampleBytes;
    const uint32_t dataBytes = uint32_t(frames * blockAlign);
    const bool isFloat = format.encoding == SampleEncoding::Float;
    const uint16_t tag = isFloat ? kTagFloat : kTagPcm;
    const uint32_t formatBytes = format.extensible ? 40 : (isFloat ? 18 : 16);
    // Non-PCM data carries a fact chunk with the frame count.
    const bool withFact = isFloat || format.extensible;
    const uint32_t riffBytes = 4 + 8 + formatBytes + (withFact ? 12 : 0) + 8 + dataBytes + (dataBytes & 1);

    std::vector<uint8_t> out;
    out.reserve(riffBytes + 8);
    putTag(out, "RIFF");
    put32(out, riffBytes);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, formatBytes);
    put16(out, format.extensible ? kTagExtensible : tag);
    put16(out, uint32_t(format.channels));
    put32(out, format.sampleRate);
    put32(out, format.sampleRate * blockAlign);
    put16(out, blockAlign);
    put16(out, uint32_t(format.bitsPerSample));
    if (format.extensible) {
        put16(out, 22);
        put16(out, uint32_t(format.validBits > 0 ? format.validBits : format.bitsPerSample));
        put32(out, format.channelMask);
        put16(out, tag);
        out.insert(out.end(), kSubformatTail, kSubformatTail + sizeof kSubformatTail);
    } else if (isFloat) {
        put16(out, 0);
    }
    if (withFact) {
        putTag(out, "fact");
        put32(out, 4);
        put32(out, uint32_t(frames));
    }
    putTag(out, "data");
    put32(out, dataBytes);
    for (size_t frame = 0; frame < frames; ++frame) {
        for (const std::vector<float>& channel : audio.channels) encodeSample(out, channel[frame], format);
    }
    if (dataBytes & 1) out.push_back(0);
    return out;
}

bool readFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot open " + path + ": " + systemError();
        return false;
    }
    bytes.clear();
    uint8_t buffer[1 << 16];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    const std::string temporary = path + ".part" + std::to_string(processId());
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        error = "cannot create " + path + ": " + systemError();
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || !replaceFile(temporary, path)) {
        error = "cannot write " + path + (written && closed ? "" : ": " + systemError());
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool readWav(const std::string& path, AudioData& audio, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!readFileBytes(path, bytes, error)) return false;
    if (!decodeWav(bytes, audio, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool writeWav(const std::string& path, const AudioData& audio, std::string& error) {
    const uint64_t dataBytes =
        uint64_t(frameCount(audio)) * uint64_t(audio.format.channels) * uint64_t(audio.format.bitsPerSample / 8);
    if (dataBytes > 0xFFFFFF00u) {
        error = "cannot write " + path + ": more audio than a WAV file can hold";
        return false;
    }
    return writeFileAtomically(path, encodeWav(audio), error);
}

}  // namespace host
