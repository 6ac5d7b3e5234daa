// What a frame's spectra go through between the forward and the inverse
// transform: the mapping of the 4096-entry table onto transform positions
// (and the noise-profile learning) and the per-mode gain stage.
//
// Spectra are N complex values, interleaved floats, at transform positions.
// `filter` holds 2N complex values: G (the gain applied to the spectra) in the
// lower N, T (table values at transform positions, real) in the upper N.
#pragma once

#include <cstdint>

namespace vexlan {

struct PluginInstance;
struct GroupCapture;

// Settings read once per processing call, before any frame.
struct FrameSettings {
    int32_t fftSize;
    int32_t hopSize;
    int32_t log2Size;
    int32_t mode;
    bool analysisOn;
    bool reduceArtifacts;  // never in Subtract
    bool legacy;           // either legacy quality setting
    bool oldest;           // the legacy setting with bit-reversed bands
    double sampleRate;
    double gainScale;      // 1/N: the transforms are unscaled
    double graphOffset;
    double gateFloor;
    double exponent;       // compressor: 1/ratio - 1
};

FrameSettings deriveFrameSettings(const PluginInstance& instance);

// Learning flags of buildBinFilter: which spectra feed the noise profile.
constexpr int kLearnFromA = 1;
constexpr int kLearnFromB = 2;

// Writes T for every position; in EQ also G, in Subtract copies T into G.
// With learning flags, raises `table` towards the measured noise magnitudes.
void buildBinFilter(const FrameSettings& settings, float* table, int learnFlags, const float* spectrumA,
                    const float* spectrumB, float* filter);

// Runs the input capture (in the dynamics modes and Subtract from the
// magnitudes they take anyway) and fills G (EQ to Convolve) or rewrites the
// spectra (Subtract). Returns whether G is purely real, so the apply step may
// use the cheaper real product.
bool runModeStage(const FrameSettings& settings, float* spectrumA, float* spectrumB, float* filter, bool pair,
                  const GroupCapture& capture);

// Multiplies both spectra by G, position by position.
void applyGain(const float* filter, float* spectrumA, float* spectrumB, int32_t n, bool realGain);

}  // namespace vexlan
