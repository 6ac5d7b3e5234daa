// The measured spectra behind the graph: per frame pass, the magnitude of the
// input before and of the output after processing, for the channels the
// metering choice selects.
//
// The analysis buffer holds 2N floats by transform position: the output
// spectrum in 0..N-1, the input spectrum in N..2N-1, both as amplitudes
// (a sine of amplitude a centred on a bin reads about a).
#pragma once

#include <cstdint>

namespace vexlan {

struct PluginInstance;
struct FrameSettings;

enum MeteringSource : int32_t {
    kMeterAverage = 0,
    kMeterSum = 1,
    kMeterMax = 2,
    kMeterNone = 3,
    kMeterPairBase = 16,     // 16 + k: channels k+1 and k+2
    kMeterChannelBase = 144, // 144 + k: channel k+1
};

// How one channel group (c, c+1) feeds the analysis.
struct MeteringWeights {
    double weightA;  // channel c
    double weightB;  // channel c+1
    bool metered;
    bool larger;     // combine the two channels by the larger value, not the sum
};

MeteringWeights meteringWeights(int32_t source, int32_t channel, int32_t channelCount);

// Where and how one group writes: the first metered group of a frame pass
// stores, every later one adds.
struct GroupCapture {
    float* analysis;  // null when this group is not captured
    int32_t fftSize;
    MeteringWeights weights;
    bool add;
};

// `firstOfPass` tells whether no earlier group of this frame pass was metered.
GroupCapture groupCapture(PluginInstance& instance, const FrameSettings& settings,
                          const MeteringWeights& weights, bool firstOfPass);

// From the unscaled forward spectra. With `channelAOnly`, channel c's
// spectrum stands for both terms (Convolve replaces B by A).
void captureInput(const GroupCapture& capture, const float* spectrumA, const float* spectrumB, bool channelAOnly);
// The same from magnitudes already taken: |A| and |B| of positions start ..
// start + count - 1, interleaved as spectrumMagnitudes leaves them.
void captureInputMagnitudes(const GroupCapture& capture, const double* magnitudes, int32_t start, int32_t count);
// From the processed spectra, which already carry the 1/N of the gain.
void captureOutput(const GroupCapture& capture, const float* spectrumA, const float* spectrumB);
// Both halves at once from a packed spectrum Z (the forward transform of
// 0.5 a + i 0.5 b, before the split), for a real gain G that is the same at
// bins k and N - k: the input of channel c reads |Z(k) + conj Z(N-k)|, that
// of channel c+1 |Z(k) - conj Z(N-k)|, and the output |2 G(k)| x offset times
// that. Bins above N/2 read zero, as after a one-sided split. The packed
// spectrum then takes factor x G, in the same sweep; without a capture that
// product is all that happens.
void captureAndApplyPackedGain(const GroupCapture& capture, float* packed, const float* gain, float factor,
                               double offset);
// After a frame pass in which no group was metered.
void clearAnalysis(PluginInstance& instance);

}  // namespace vexlan
