// `vexlan-host info --cpu`: what each FFT size costs before a user picks
// one: its latency at a sample rate, and the CPU time the plug-in takes on
// this machine for a second of stereo audio in each processing mode.
#pragma once

#include <string>

#include "cli_options.h"

namespace host {

// Prints the table to stdout; 1 with a message on stderr when the plug-in
// cannot be loaded or refuses the settings.
int runCpuReport(const std::string& pluginPath, const PluginSettings& settings, double sampleRate);

}  // namespace host
