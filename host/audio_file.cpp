#include "audio_file.h"

#include <algorithm>
#include <cctype>

namespace host {

namespace {

struct TypeName {
    const char* name;
    FileType type;
};

// Extensions as well as --format names.
constexpr TypeName kTypeNames[] = {
    {"wav", FileType::Wav},   {"rf64", FileType::Rf64}, {"w64", FileType::W64}, {"flac", FileType::Flac},
    {"aiff", FileType::Aiff}, {"aif", FileType::Aiff},  {"ogg", FileType::Ogg}, {"oga", FileType::Ogg},
};

std::string lowerCase(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string extensionOf(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return lowerCase(path.substr(dot + 1));
}

}  // namespace

size_t frameCount(const AudioData& audio) { return audio.channels.empty() ? 0 : audio.channels[0].size(); }

AudioData makeAudio(const AudioFormat& format, size_t frames) {
    AudioData audio;
    audio.format = format;
    audio.channels.assign(size_t(format.channels), std::vector<float>(frames, 0.0f));
    return audio;
}

bool parseFileType(const std::string& name, FileType& type) {
    for (const TypeName& entry : kTypeNames) {
        if (lowerCase(name) == entry.name) {
            type = entry.type;
            return true;
        }
    }
    return false;
}

const char* fileTypeExtension(FileType type) {
    switch (type) {
        case FileType::Wav: return ".wav";
        case FileType::Rf64: return ".rf64";
        case FileType::W64: return ".w64";
        case FileType::Flac: return ".flac";
        case FileType::Aiff: return ".aiff";
        case FileType::Ogg: return ".ogg";
    }
    return "";
}

bool outputFormatFor(const AudioFormat& input, const std::string& outputPath, const std::string& typeName,
                     AudioFormat& output, std::string& error) {
    output = input;
    if (!typeName.empty()) {
        if (!parseFileType(typeName, output.type)) {
            error = "unknown --format \"" + typeName + "\" (wav, rf64, w64, flac, aiff or ogg)";
            return false;
        }
    } else {
        FileType named;
        if (parseFileType(extensionOf(outputPath), named)) output.type = named;
    }
    if (!canWriteFileType(output.type)) {
        error = "cannot write " + outputPath + ": this build writes WAV files only";
        return false;
    }
    const bool fromVorbis = input.type == FileType::Ogg;
    switch (output.type) {
        case FileType::Ogg:
            output.encoding = SampleEncoding::Float;
            output.bitsPerSample = 32;
            break;
        case FileType::Flac:
            // FLAC holds integers of up to 24 bits.
            if (fromVorbis || output.encoding == SampleEncoding::Float || output.bitsPerSample > 24) {
                output.encoding = SampleEncoding::Pcm;
                output.bitsPerSample = 24;
            }
            break;
        default:
            if (fromVorbis) {
                output.encoding = SampleEncoding::Float;
                output.bitsPerSample = 32;
            }
            break;
    }
    if (output.type == FileType::Wav && input.type != FileType::Wav) {
        output.extensible = output.channels > 2 || (output.encoding == SampleEncoding::Pcm && output.bitsPerSample > 16);
    }
    return true;
}

bool readAudioFile(const std::string& path, AudioData& audio, std::string& error) {
    AudioReader reader;
    if (!openAudioReader(path, reader, error)) return false;
    const size_t channels = size_t(reader.format.channels);
    audio = makeAudio(reader.format, size_t(reader.frames));
    std::vector<float> block(4096 * channels);
    size_t done = 0;
    while (true) {
        size_t got = 0;
        if (!readAudioFrames(reader, block.data(), 4096, got, error)) return false;
        if (got == 0) break;
        for (size_t c = 0; c < channels; ++c) {
            std::vector<float>& channel = audio.channels[c];
            if (channel.size() < done + got) channel.resize(done + got);
            for (size_t i = 0; i < got; ++i) channel[done + i] = block[i * channels + c];
        }
        done += got;
    }
    for (std::vector<float>& channel : audio.channels) channel.resize(done);
    return true;
}

bool writeAudioFile(const std::string& path, const AudioData& audio, std::string& error) {
    AudioWriter writer;
    const size_t frames = frameCount(audio);
    if (!openAudioWriter(path, audio.format, frames, writer, error)) return false;
    const size_t channels = audio.channels.size();
    std::vector<float> block;
    for (size_t start = 0; start < frames; start += 4096) {
        const size_t length = std::min<size_t>(4096, frames - start);
        block.resize(length * channels);
        for (size_t i = 0; i < length; ++i) {
            for (size_t c = 0; c < channels; ++c) block[i * channels + c] = audio.channels[c][start + i];
        }
        if (!writeAudioFrames(writer, block.data(), length, error)) return false;
    }
    return finishAudioWriter(writer, error);
}

}  // namespace host
