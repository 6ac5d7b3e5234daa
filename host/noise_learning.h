// A noise profile learnt by the plug-in itself: sections of a recording run
// through it in Subtract mode with its automatic noise profile switched on
// (a private request of ours, since only its editor's check box reaches it
// otherwise). The profile stays in the plug-in's table and saved state.
#pragma once

#include <string>
#include <vector>

#include "cli_options.h"
#include "shell/vst2_abi.h"

namespace host {

// Learns from `sections` of the file at `path`, fed one after the other as
// one stream. `sampleRate` is the rate the audio will run at (0: the file's).
// False with `error` for a file at another rate, a section outside the file
// or too little noise for one frame.
bool learnNoise(vexlan::AEffect* effect, const std::string& path, const std::vector<NoiseSection>& sections,
                double sampleRate, std::string& error);

}  // namespace host
