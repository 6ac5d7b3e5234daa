// WAV files as the host reads and writes them: PCM 16, 24 and 32 bit and
// IEEE float 32 and 64, plain or WAVE_FORMAT_EXTENSIBLE, 1 to 128 channels.
// Samples are held as float32 per channel, which is what the plug-in takes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

constexpr int kMaxAudioChannels = 128;

enum class SampleEncoding { Pcm, Float };

struct WavFormat {
    SampleEncoding encoding = SampleEncoding::Pcm;
    int bitsPerSample = 16;  // container width: 16, 24, 32 (PCM) or 32, 64 (float)
    int channels = 0;
    uint32_t sampleRate = 0;
    bool extensible = false;  // written back as WAVE_FORMAT_EXTENSIBLE
    int validBits = 0;        // extensible only; 0 means the container width
    uint32_t channelMask = 0;
};

struct AudioData {
    WavFormat format;
    std::vector<std::vector<float>> channels;  // one vector per channel, equal lengths
};

size_t frameCount(const AudioData& audio);
// Empty channels of the format's count, sized to `frames`.
AudioData makeAudio(const WavFormat& format, size_t frames);

// Decodes a whole file image. False with a one-line `error` for anything
// that is not a complete WAV file in a supported format.
bool decodeWav(const std::vector<uint8_t>& bytes, AudioData& audio, std::string& error);
// The file image of `audio` in its format; PCM is rounded and clipped.
std::vector<uint8_t> encodeWav(const AudioData& audio);

bool readFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
// Writes beside `path` under a temporary name and renames it into place, so
// a failure never leaves a partial file at `path`.
bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

bool readWav(const std::string& path, AudioData& audio, std::string& error);
bool writeWav(const std::string& path, const AudioData& audio, std::string& error);

}  // namespace host
