// Puts a plug-in instance into the state the command line asks for: a saved
// state file, the state-only settings (mode, FFT size, curve, noise profile)
// through an edited state chunk, then parameters by name in real units.
#pragma once

#include <string>
#include <vector>

#include "cli_options.h"
#include "shell/vst2_abi.h"
#include "state_file.h"

namespace host {

// A parameter as the plug-in describes it through the interface.
struct HostParameter {
    int index = 0;
    std::string name;
    std::string unit;
    bool decibel = false;       // unit "dB": real values in dB, normalised = amplitude
    double normalisedTop = 1.0;  // top of the normalised range the plug-in reports
    double realMinimum = 0.0;    // linear parameters: the real value at 0 ...
    double realMaximum = 1.0;    // ... and at the top of the range
};

std::vector<HostParameter> describeParameters(vexlan::AEffect* effect);
// Case-insensitive; null when no parameter has that name.
const HostParameter* findParameter(const std::vector<HostParameter>& parameters, const std::string& name);
// "-inf" or dB for dB parameters, real units otherwise. False with `error`
// for text that is no number or a value outside the parameter's range.
bool toNormalised(const HostParameter& parameter, const std::string& text, double& value, std::string& error);

// The plug-in's state chunk, taken apart.
bool readPluginState(vexlan::AEffect* effect, StateChunk& chunk, std::string& error);
void loadPluginState(vexlan::AEffect* effect, const std::vector<uint8_t>& chunk);

// Applies `settings` in order: state file, chunk settings (noise learning
// selects Subtract mode), parameters, then a noise profile learnt from the
// --learn-noise file; sections of the input are the caller's to learn.
// `sampleRate` is the rate the audio will run at (0: take the noise file's).
bool applySettings(vexlan::AEffect* effect, const PluginSettings& settings, double sampleRate, std::string& error);

}  // namespace host
