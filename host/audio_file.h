// Audio files as the host streams them: a reader and a writer that move
// interleaved float32 frames in blocks, so memory does not grow with a
// file's length. The native build reads and writes through libsndfile (WAV,
// WAVE_FORMAT_EXTENSIBLE, RF64, W64, FLAC, AIFF, Ogg Vorbis); the Windows
// build has its own WAV code behind the same functions.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace host {

constexpr int kMaxAudioChannels = 128;

enum class SampleEncoding { Pcm, Float };
enum class FileType { Wav, Rf64, W64, Flac, Aiff, Ogg };

struct AudioFormat {
    FileType type = FileType::Wav;
    SampleEncoding encoding = SampleEncoding::Pcm;
    int bitsPerSample = 16;  // PCM 8, 16, 24, 32; float 32, 64 (Ogg Vorbis: float 32)
    int channels = 0;
    uint32_t sampleRate = 0;
    bool extensible = false;  // WAV written as WAVE_FORMAT_EXTENSIBLE
};

// A whole file in memory, one vector per channel: for short signals only.
struct AudioData {
    AudioFormat format;
    std::vector<std::vector<float>> channels;
};

size_t frameCount(const AudioData& audio);
// Zeroed channels of the format's count, sized to `frames`.
AudioData makeAudio(const AudioFormat& format, size_t frames);

struct AudioReaderState;
struct AudioWriterState;

struct AudioReader {
    std::string path;
    AudioFormat format;
    uint64_t frames = 0;
    std::unique_ptr<AudioReaderState> state;
    AudioReader();
    ~AudioReader();
};

struct AudioWriter {
    std::string path;           // where the file appears when finished
    std::string temporaryPath;  // written meanwhile, beside it
    AudioFormat format;
    std::unique_ptr<AudioWriterState> state;
    AudioWriter();
    // Removes the temporary file of a writer that was not finished.
    ~AudioWriter();
};

// False with a one-line `error` naming the file for anything that is not a
// readable audio file in a supported format.
bool openAudioReader(const std::string& path, AudioReader& reader, std::string& error);
// Up to `frames` interleaved frames into `samples`; `got` is less than
// `frames` only at the end of the file.
bool readAudioFrames(AudioReader& reader, float* samples, size_t frames, size_t& got, std::string& error);
bool seekAudioFrame(AudioReader& reader, uint64_t frame, std::string& error);

// Starts a file of `format` under a temporary name beside `path`; nothing
// appears at `path` before finishAudioWriter. `frames` is the expected
// length, which picks RF64 for WAV files too large for a plain header.
bool openAudioWriter(const std::string& path, const AudioFormat& format, uint64_t frames, AudioWriter& writer,
                     std::string& error);
// PCM is rounded and clipped to full scale.
bool writeAudioFrames(AudioWriter& writer, const float* samples, size_t frames, std::string& error);
// Completes the file and renames it into place; on failure removes it.
bool finishAudioWriter(AudioWriter& writer, std::string& error);

// The file types this build writes, by name: "wav", "flac", ...
bool parseFileType(const std::string& name, FileType& type);
bool canWriteFileType(FileType type);
// The format an output file gets: the input's, with the type that
// `typeName` (when not empty) or else the output's extension names, and the
// input's sample type where that type can hold it.
bool outputFormatFor(const AudioFormat& input, const std::string& outputPath, const std::string& typeName,
                     AudioFormat& output, std::string& error);
// The usual extension of a file type, with its dot.
const char* fileTypeExtension(FileType type);

bool readAudioFile(const std::string& path, AudioData& audio, std::string& error);
bool writeAudioFile(const std::string& path, const AudioData& audio, std::string& error);

}  // namespace host
