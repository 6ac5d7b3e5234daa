// The native build's audio files: libsndfile does the containers and codecs.
// PCM goes through its integer interface, whose samples are left-aligned in
// 32 bits, so that a value read and written back is the same value: its
// float interface scales by 2^(bits-1) on reading but 2^(bits-1) - 1 on
// writing.
#include <emmintrin.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "audio_file.h"
#include "file_io.h"

namespace host {

// Closes its file however it goes, also when a reader is opened again.
struct AudioReaderState {
    SNDFILE* file = nullptr;
    std::vector<int32_t> integers;

    ~AudioReaderState() {
        if (file) sf_close(file);
    }
};

struct AudioWriterState {
    SNDFILE* file = nullptr;
    std::vector<int32_t> integers;
};

namespace {

struct TypeCode {
    FileType type;
    int major;
};

constexpr TypeCode kTypeCodes[] = {
    {FileType::Wav, SF_FORMAT_WAV},   {FileType::Wav, SF_FORMAT_WAVEX}, {FileType::Rf64, SF_FORMAT_RF64},
    {FileType::W64, SF_FORMAT_W64},   {FileType::Flac, SF_FORMAT_FLAC}, {FileType::Aiff, SF_FORMAT_AIFF},
    {FileType::Ogg, SF_FORMAT_OGG},
};

// A plain WAV header counts bytes in 32 bits; anything near that is RF64.
constexpr uint64_t kLargestWavData = 0xFFFFFF00u;

bool describeFormat(const SF_INFO& info, AudioFormat& format) {
    const int major = info.format & SF_FORMAT_TYPEMASK;
    bool known = false;
    for (const TypeCode& code : kTypeCodes) {
        if (code.major == major) {
            format.type = code.type;
            known = true;
        }
    }
    if (!known) return false;
    format.extensible = major == SF_FORMAT_WAVEX;
    format.channels = info.channels;
    format.sampleRate = uint32_t(info.samplerate);
    switch (info.format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
            format.encoding = SampleEncoding::Pcm;
            format.bitsPerSample = 8;
            return true;
        case SF_FORMAT_PCM_16:
            format.encoding = SampleEncoding::Pcm;
            format.bitsPerSample = 16;
            return true;
        case SF_FORMAT_PCM_24:
            format.encoding = SampleEncoding::Pcm;
            format.bitsPerSample = 24;
            return true;
        case SF_FORMAT_PCM_32:
            format.encoding = SampleEncoding::Pcm;
            format.bitsPerSample = 32;
            return true;
        case SF_FORMAT_FLOAT:
        case SF_FORMAT_VORBIS:
            format.encoding = SampleEncoding::Float;
            format.bitsPerSample = 32;
            return true;
        case SF_FORMAT_DOUBLE:
            format.encoding = SampleEncoding::Float;
            format.bitsPerSample = 64;
            return true;
        default:
            return false;
    }
}

int majorCode(const AudioFormat& format, uint64_t frames) {
    switch (format.type) {
        case FileType::Wav: {
            const uint64_t bytes = frames * uint64_t(format.channels) * uint64_t(format.bitsPerSample / 8);
            if (bytes > kLargestWavData) return SF_FORMAT_RF64;
            return format.extensible ? SF_FORMAT_WAVEX : SF_FORMAT_WAV;
        }
        case FileType::Rf64: return SF_FORMAT_RF64;
        case FileType::W64: return SF_FORMAT_W64;
        case FileType::Flac: return SF_FORMAT_FLAC;
        case FileType::Aiff: return SF_FORMAT_AIFF;
        case FileType::Ogg: return SF_FORMAT_OGG;
    }
    return 0;
}

int subtypeCode(const AudioFormat& format) {
    if (format.type == FileType::Ogg) return SF_FORMAT_VORBIS;
    if (format.encoding == SampleEncoding::Float) return format.bitsPerSample == 64 ? SF_FORMAT_DOUBLE : SF_FORMAT_FLOAT;
    switch (format.bitsPerSample) {
        case 8: return format.type == FileType::Wav || format.type == FileType::Rf64 || format.type == FileType::W64
                           ? SF_FORMAT_PCM_U8
                           : SF_FORMAT_PCM_S8;
        case 16: return SF_FORMAT_PCM_16;
        case 24: return SF_FORMAT_PCM_24;
        default: return SF_FORMAT_PCM_32;
    }
}

bool isInteger(const AudioFormat& format) {
    return format.encoding == SampleEncoding::Pcm && format.type != FileType::Ogg;
}

}  // namespace

AudioReader::AudioReader() = default;
AudioReader::~AudioReader() = default;

AudioWriter::AudioWriter() = default;
AudioWriter::~AudioWriter() {
    if (state && state->file) {
        sf_close(state->file);
        std::remove(temporaryPath.c_str());
    }
}

bool canWriteFileType(FileType) { return true; }

bool openAudioReader(const std::string& path, AudioReader& reader, std::string& error) {
    // Checked apart, so a missing file is named as such.
    std::FILE* probe = std::fopen(path.c_str(), "rb");
    if (!probe) {
        error = "cannot open " + path + ": " + systemError();
        return false;
    }
    std::fclose(probe);
    reader.path = path;
    reader.state = std::make_unique<AudioReaderState>();
    SF_INFO info{};
    reader.state->file = sf_open(path.c_str(), SFM_READ, &info);
    if (!reader.state->file) {
        error = path + ": not an audio file this program reads (" + sf_strerror(nullptr) + ")";
        return false;
    }
    if (!describeFormat(info, reader.format)) {
        error = path + ": unsupported format: the file's container or sample type";
        return false;
    }
    if (info.channels > kMaxAudioChannels) {
        error = path + ": unsupported format: " + std::to_string(info.channels) + " channels (at most " +
                std::to_string(kMaxAudioChannels) + ")";
        return false;
    }
    reader.frames = info.frames > 0 ? uint64_t(info.frames) : 0;
    return true;
}

bool readAudioFrames(AudioReader& reader, float* samples, size_t frames, size_t& got, std::string& error) {
    AudioReaderState& state = *reader.state;
    const size_t count = frames * size_t(reader.format.channels);
    sf_count_t read;
    if (isInteger(reader.format)) {
        if (state.integers.size() < count) state.integers.resize(count);
        read = sf_readf_int(state.file, state.integers.data(), sf_count_t(frames));
        const size_t values = size_t(std::max<sf_count_t>(read, 0)) * size_t(reader.format.channels);
        for (size_t i = 0; i < values; ++i) samples[i] = float(double(state.integers[i]) * (1.0 / 2147483648.0));
    } else {
        read = sf_readf_float(state.file, samples, sf_count_t(frames));
    }
    if (read < 0 || sf_error(state.file) != SF_ERR_NO_ERROR) {
        error = "cannot read " + reader.path + ": " + sf_strerror(state.file);
        return false;
    }
    got = size_t(read);
    return true;
}

bool seekAudioFrame(AudioReader& reader, uint64_t frame, std::string& error) {
    if (sf_seek(reader.state->file, sf_count_t(frame), SEEK_SET) < 0) {
        error = "cannot seek in " + reader.path + ": " + sf_strerror(reader.state->file);
        return false;
    }
    return true;
}

bool openAudioWriter(const std::string& path, const AudioFormat& format, uint64_t frames, AudioWriter& writer,
                     std::string& error) {
    writer.path = path;
    writer.temporaryPath = temporaryPathFor(path);
    writer.format = format;
    writer.state = std::make_unique<AudioWriterState>();
    SF_INFO info{};
    info.channels = format.channels;
    info.samplerate = int(format.sampleRate);
    info.format = majorCode(format, frames) | subtypeCode(format);
    if (!sf_format_check(&info)) {
        error = "cannot write " + path + ": the file type does not hold these samples";
        return false;
    }
    writer.state->file = sf_open(writer.temporaryPath.c_str(), SFM_WRITE, &info);
    if (!writer.state->file) {
        error = "cannot create " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    // Readers that scale float data by its PEAK chunk would not read back
    // the samples written.
    sf_command(writer.state->file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    return true;
}

bool writeAudioFrames(AudioWriter& writer, const float* samples, size_t frames, std::string& error) {
    AudioWriterState& state = *writer.state;
    const size_t count = frames * size_t(writer.format.channels);
    sf_count_t written;
    if (isInteger(writer.format)) {
        if (state.integers.size() < count) state.integers.resize(count);
        const int bits = writer.format.bitsPerSample;
        const double scale = std::ldexp(1.0, bits - 1);
        for (size_t i = 0; i < count; ++i) {
            double value = double(samples[i]) * scale;
            value = value == value ? std::min(std::max(value, -scale), scale - 1.0) : 0.0;
            // Rounds to nearest even, as nearbyint does, without a call.
            const int32_t rounded = _mm_cvtsd_si32(_mm_set_sd(value));
            state.integers[i] = int32_t(uint32_t(rounded) << (32 - bits));
        }
        written = sf_writef_int(state.file, state.integers.data(), sf_count_t(frames));
    } else {
        written = sf_writef_float(state.file, samples, sf_count_t(frames));
    }
    if (written != sf_count_t(frames)) {
        error = "cannot write " + writer.path + ": " + sf_strerror(state.file);
        return false;
    }
    return true;
}

bool finishAudioWriter(AudioWriter& writer, std::string& error) {
    const int closed = sf_close(writer.state->file);
    writer.state->file = nullptr;
    if (closed != 0 || !replaceFile(writer.temporaryPath, writer.path)) {
        error = "cannot write " + writer.path + (closed != 0 ? std::string(": ") + sf_error_number(closed) : ": " + systemError());
        std::remove(writer.temporaryPath.c_str());
        return false;
    }
    return true;
}

}  // namespace host
