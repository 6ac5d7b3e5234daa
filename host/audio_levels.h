// Peak and RMS levels of audio in dB relative to full scale.
#pragma once

#include <string>

#include "wav_file.h"

namespace host {

struct LevelSummary {
    double peakDb;  // -infinity for silence
    double rmsDb;   // over every sample of every channel
};

// Frames [from, to) of every channel; `to` is limited to the audio's length.
LevelSummary measureLevels(const AudioData& audio, size_t from, size_t to);
// "-12.3 dBFS", or "-inf dBFS" for silence.
std::string formatDb(double dB);

}  // namespace host
