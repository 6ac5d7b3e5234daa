// The Windows build's audio files: WAV only, PCM 16, 24 and 32 bit and IEEE
// float 32 and 64, plain or WAVE_FORMAT_EXTENSIBLE, 1 to 128 channels, read
// and written in blocks.
#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "audio_file.h"
#include "file_io.h"

namespace host {

// Closes its file however it goes, also when a reader is opened again.
struct AudioReaderState {
    std::FILE* file = nullptr;
    uint64_t framesLeft = 0;
    uint64_t dataStart = 0;
    std::vector<uint8_t> bytes;

    ~AudioReaderState() {
        if (file) std::fclose(file);
    }
};

struct AudioWriterState {
    std::FILE* file = nullptr;
    uint64_t frames = 0;
    uint32_t sizeOffset = 0;  // where the data chunk's size goes
    uint32_t factOffset = 0;  // where the fact chunk's frame count goes; 0 without one
    std::vector<uint8_t> bytes;
};

namespace {

constexpr uint16_t kTagPcm = 1;
constexpr uint16_t kTagFloat = 3;
constexpr uint16_t kTagExtensible = 0xFFFE;
// Bytes 2..15 of the KSDATAFORMAT_SUBTYPE_PCM / _IEEE_FLOAT GUIDs; bytes 0..1
// carry the plain format tag.
constexpr uint8_t kSubformatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr uint64_t kLargestWavData = 0xFFFFFF00u;

uint16_t read16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t read32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void write32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
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

bool parseFormatChunk(const uint8_t* p, uint32_t size, AudioFormat& format, std::string& error) {
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
    if (format.extensible) {
        if (size < 40 || read16(p + 16) < 22) {
            error = "extensible fmt chunk is too short";
            return false;
        }
        tag = read16(p + 24);
        if (std::memcmp(p + 26, kSubformatTail, sizeof kSubformatTail) != 0) {
            error = "unsupported format: unknown extensible subformat";
            return false;
        }
        if (read16(p + 18) > format.bitsPerSample) {
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

// One loop per sample type, so that nothing but the conversion runs per sample.
void decodeSamples(const uint8_t* p, float* samples, size_t count, const AudioFormat& format) {
    if (format.encoding == SampleEncoding::Float && format.bitsPerSample == 32) {
        std::memcpy(samples, p, count * 4);  // x86 is little-endian as the file
        return;
    }
    if (format.encoding == SampleEncoding::Float) {
        for (size_t i = 0; i < count; ++i, p += 8) {
            double value;
            std::memcpy(&value, p, 8);
            samples[i] = float(value);
        }
        return;
    }
    switch (format.bitsPerSample) {
        case 16:
            for (size_t i = 0; i < count; ++i, p += 2) samples[i] = float(int16_t(read16(p))) * (1.0f / 32768.0f);
            return;
        case 24:
            for (size_t i = 0; i < count; ++i, p += 3) {
                const int32_t value = int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24) >> 8;
                samples[i] = float(value) * (1.0f / 8388608.0f);
            }
            return;
        default:
            for (size_t i = 0; i < count; ++i, p += 4) samples[i] = float(double(int32_t(read32(p))) / 2147483648.0);
            return;
    }
}

void encodeSamples(const float* samples, uint8_t* p, size_t count, const AudioFormat& format) {
    if (format.encoding == SampleEncoding::Float && format.bitsPerSample == 32) {
        std::memcpy(p, samples, count * 4);
        return;
    }
    if (format.encoding == SampleEncoding::Float) {
        for (size_t i = 0; i < count; ++i, p += 8) {
            const double value = samples[i];
            std::memcpy(p, &value, 8);
        }
        return;
    }
    const int bytes = format.bitsPerSample / 8;
    const double scale = std::ldexp(1.0, format.bitsPerSample - 1);
    for (size_t i = 0; i < count; ++i) {
        double value = double(samples[i]) * scale;
        value = value == value ? std::min(std::max(value, -scale), scale - 1.0) : 0.0;
        // Rounds to nearest even, as nearbyint does, without a call.
        const uint32_t word = uint32_t(_mm_cvtsd_si32(_mm_set_sd(value)));
        for (int byte = 0; byte < bytes; ++byte) *p++ = uint8_t(word >> (8 * byte));
    }
}

size_t frameBytes(const AudioFormat& format) { return size_t(format.channels) * size_t(format.bitsPerSample / 8); }

bool readExactly(std::FILE* file, uint8_t* bytes, size_t count) { return std::fread(bytes, 1, count, file) == count; }

uint64_t fileSize(std::FILE* file) {
    _fseeki64(file, 0, SEEK_END);
    const int64_t size = _ftelli64(file);
    return size > 0 ? uint64_t(size) : 0;
}

// Finds the fmt and data chunks; leaves the file at the first sample. The
// RIFF size is often wrong in files from streaming writers; the chunks
// themselves and the real file size decide.
bool parseHeader(std::FILE* file, AudioReader& reader, std::string& error) {
    const uint64_t size = fileSize(file);
    _fseeki64(file, 0, SEEK_SET);
    uint8_t header[12];
    if (!readExactly(file, header, 12) || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0) {
        error = "not a WAV file";
        return false;
    }
    bool haveFormat = false;
    uint64_t position = 12;
    while (true) {
        uint8_t chunk[8];
        if (position + 8 > size || !readExactly(file, chunk, 8)) {
            error = haveFormat ? "truncated WAV file: no data chunk" : "truncated WAV file: no fmt chunk";
            return false;
        }
        const uint32_t chunkSize = read32(chunk + 4);
        const uint64_t body = position + 8;
        const uint64_t available = size - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            std::vector<uint8_t> bytes(chunkSize);
            if (chunkSize > available || !readExactly(file, bytes.data(), chunkSize)) {
                error = "truncated WAV file: fmt chunk";
                return false;
            }
            if (!parseFormatChunk(bytes.data(), chunkSize, reader.format, error)) return false;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                error = "WAV data chunk comes before its fmt chunk";
                return false;
            }
            if (chunkSize > available || chunkSize % frameBytes(reader.format) != 0) {
                error = "truncated WAV file: the data chunk holds " + std::to_string(chunkSize) + " bytes, " +
                        std::to_string(std::min<uint64_t>(chunkSize, available)) + " present";
                return false;
            }
            reader.frames = chunkSize / frameBytes(reader.format);
            reader.state->dataStart = body;
            reader.state->framesLeft = reader.frames;
            return true;
        } else if (chunkSize > available) {
            error = "truncated WAV file";
            return false;
        }
        position = body + chunkSize + (chunkSize & 1);
        _fseeki64(file, int64_t(position), SEEK_SET);
    }
}

std::vector<uint8_t> headerBytes(const AudioFormat& format, uint64_t frames, AudioWriterState& state) {
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
        put16(out, uint32_t(format.bitsPerSample));
        put32(out, 0);
        put16(out, tag);
        out.insert(out.end(), kSubformatTail, kSubformatTail + sizeof kSubformatTail);
    } else if (isFloat) {
        put16(out, 0);
    }
    state.factOffset = 0;
    if (withFact) {
        putTag(out, "fact");
        put32(out, 4);
        state.factOffset = uint32_t(out.size());
        put32(out, uint32_t(frames));
    }
    putTag(out, "data");
    state.sizeOffset = uint32_t(out.size());
    put32(out, dataBytes);
    return out;
}

}  // namespace

AudioReader::AudioReader() = default;
AudioReader::~AudioReader() = default;

AudioWriter::AudioWriter() = default;
AudioWriter::~AudioWriter() {
    if (state && state->file) {
        std::fclose(state->file);
        std::remove(temporaryPath.c_str());
    }
}

bool canWriteFileType(FileType type) { return type == FileType::Wav; }

bool openAudioReader(const std::string& path, AudioReader& reader, std::string& error) {
    reader.path = path;
    reader.state = std::make_unique<AudioReaderState>();
    reader.state->file = std::fopen(path.c_str(), "rb");
    if (!reader.state->file) {
        error = "cannot open " + path + ": " + systemError();
        return false;
    }
    if (!parseHeader(reader.state->file, reader, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool readAudioFrames(AudioReader& reader, float* samples, size_t frames, size_t& got, std::string& error) {
    AudioReaderState& state = *reader.state;
    got = size_t(std::min<uint64_t>(frames, state.framesLeft));
    const size_t sampleBytes = size_t(reader.format.bitsPerSample / 8);
    const size_t count = got * size_t(reader.format.channels);
    state.bytes.resize(count * sampleBytes);
    if (!readExactly(state.file, state.bytes.data(), state.bytes.size())) {
        error = "cannot read " + reader.path;
        return false;
    }
    decodeSamples(state.bytes.data(), samples, count, reader.format);
    state.framesLeft -= got;
    return true;
}

bool seekAudioFrame(AudioReader& reader, uint64_t frame, std::string& error) {
    AudioReaderState& state = *reader.state;
    frame = std::min(frame, reader.frames);
    if (_fseeki64(state.file, int64_t(state.dataStart + frame * frameBytes(reader.format)), SEEK_SET) != 0) {
        error = "cannot seek in " + reader.path;
        return false;
    }
    state.framesLeft = reader.frames - frame;
    return true;
}

bool openAudioWriter(const std::string& path, const AudioFormat& format, uint64_t frames, AudioWriter& writer,
                     std::string& error) {
    writer.path = path;
    writer.temporaryPath = temporaryPathFor(path);
    writer.format = format;
    writer.state = std::make_unique<AudioWriterState>();
    if (!supportedWidth(format.encoding, format.bitsPerSample)) {
        error = "cannot write " + path + ": " + describe(format.encoding, format.bitsPerSample) + " samples";
        return false;
    }
    if (frames * frameBytes(format) > kLargestWavData) {
        error = "cannot write " + path + ": more audio than a WAV file can hold";
        return false;
    }
    writer.state->file = std::fopen(writer.temporaryPath.c_str(), "wb");
    if (!writer.state->file) {
        error = "cannot create " + path + ": " + systemError();
        return false;
    }
    const std::vector<uint8_t> header = headerBytes(format, frames, *writer.state);
    if (std::fwrite(header.data(), 1, header.size(), writer.state->file) != header.size()) {
        error = "cannot write " + path + ": " + systemError();
        return false;
    }
    return true;
}

bool writeAudioFrames(AudioWriter& writer, const float* samples, size_t frames, std::string& error) {
    AudioWriterState& state = *writer.state;
    if ((state.frames + frames) * frameBytes(writer.format) > kLargestWavData) {
        error = "cannot write " + writer.path + ": more audio than a WAV file can hold";
        return false;
    }
    const size_t count = frames * size_t(writer.format.channels);
    state.bytes.resize(count * size_t(writer.format.bitsPerSample / 8));
    encodeSamples(samples, state.bytes.data(), count, writer.format);
    if (std::fwrite(state.bytes.data(), 1, state.bytes.size(), state.file) != state.bytes.size()) {
        error = "cannot write " + writer.path + ": " + systemError();
        return false;
    }
    state.frames += frames;
    return true;
}

bool finishAudioWriter(AudioWriter& writer, std::string& error) {
    AudioWriterState& state = *writer.state;
    // The header was written for the expected length; the sizes follow what came.
    const uint32_t dataBytes = uint32_t(state.frames * frameBytes(writer.format));
    bool ok = true;
    if (dataBytes & 1) ok = std::fputc(0, state.file) != EOF;
    uint8_t word[4];
    write32(word, state.sizeOffset + 4 + dataBytes + (dataBytes & 1) - 8);
    ok = ok && _fseeki64(state.file, 4, SEEK_SET) == 0 && std::fwrite(word, 1, 4, state.file) == 4;
    if (state.factOffset) {
        write32(word, uint32_t(state.frames));
        ok = ok && _fseeki64(state.file, state.factOffset, SEEK_SET) == 0 && std::fwrite(word, 1, 4, state.file) == 4;
    }
    write32(word, dataBytes);
    ok = ok && _fseeki64(state.file, state.sizeOffset, SEEK_SET) == 0 && std::fwrite(word, 1, 4, state.file) == 4;
    const bool closed = std::fclose(state.file) == 0;
    state.file = nullptr;
    if (!ok || !closed || !replaceFile(writer.temporaryPath, writer.path)) {
        error = "cannot write " + writer.path + ": " + systemError();
        std::remove(writer.temporaryPath.c_str());
        return false;
    }
    return true;
}

}  // namespace host
