// Peak and RMS levels of audio in dB relative to full scale, gathered block
// by block.
#pragma once

#include <cstddef>
#include <string>

namespace host {

struct LevelMeter {
    double peak = 0.0;
    double sumOfSquares = 0.0;
    size_t count = 0;
};

struct LevelSummary {
    double peakDb;  // -infinity for silence
    double rmsDb;   // over every sample of every channel
};

void meterSamples(LevelMeter& meter, const float* samples, size_t count);
LevelSummary levelSummary(const LevelMeter& meter);
// "-12.3 dBFS", or "-inf dBFS" for silence.
std::string formatDb(double dB);

}  // namespace host
