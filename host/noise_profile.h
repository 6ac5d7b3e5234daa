// A noise profile for the Subtract mode, measured by the host from a noise
// recording. The plug-in learns its profile only while its editor's
// "Automatically build noise profile" box is ticked, which nothing in the
// VST interface reaches; so the host measures the noise the way the plug-in
// does and hands the profile over as the gain table of a saved state.
#pragma once

#include <complex>
#include <vector>

#include "wav_file.h"

namespace host {

// In-place radix-2 transform, unscaled, natural order; size a power of two.
void forwardTransform(std::vector<std::complex<double>>& values);

// The 4096-entry table (entry k stands for k * 24000 / 4096 Hz) the plug-in
// would have learnt from the first `frames` frames of `noise` at FFT size
// `fftSize`: frames of fftSize samples a hop of fftSize / 2 apart after a
// lead of fftSize / 2 zeros, no window; each frame raises a bin's value 30 %
// of the way towards sqrt(2) * |X| / fftSize (the largest over the channels)
// when that lies above it. `legacy` is the quality setting that leaves out
// the top bin. Every table entry between two bins' entries takes the upper
// bin's value, so the plug-in reads back the measured value per bin (the
// largest of them where several bins share one entry).
std::vector<float> learnNoiseProfile(const AudioData& noise, size_t frames, int fftSize, bool legacy);

}  // namespace host
