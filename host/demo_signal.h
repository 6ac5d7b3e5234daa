// The built-in demo recording: a few bars of chords over a steady hiss, with
// the hiss alone in front so a noise profile can be learnt from it.
#pragma once

#include "audio_file.h"

namespace host {

constexpr double kDemoLeadInSeconds = 1.5;
constexpr double kDemoSeconds = 6.0;
constexpr uint32_t kDemoSampleRate = 44100;

// Stereo, 16-bit PCM; the same samples on every run and platform.
AudioData makeDemoSignal();

}  // namespace host
