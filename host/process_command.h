// `vexlan-host process` and `save-state`: audio through the plug-in as a DAW
// runs it, and a state kept in a file.
#pragma once

#include <functional>
#include <string>

#include "cli_options.h"
#include "shell/vst2_abi.h"
#include "wav_file.h"

namespace host {

struct ProcessRun {
    int blockSize = 512;
    // Feeds initialDelay zeros after the input and drops the first
    // initialDelay output samples, so the output lines up with the input.
    bool latencyCompensation = true;
    // Called after every block with the frames done and the frames in all.
    std::function<void(size_t done, size_t total)> progress;
};

// Resumes the plug-in at the audio's rate and channel count, runs every
// frame through processReplacing in blocks, suspends it again. The result
// has the input's format and length. False with `error` when the plug-in
// cannot take the channel count.
bool processAudio(vexlan::AEffect* effect, const AudioData& input, const ProcessRun& run, AudioData& output,
                  std::string& error);

// The plug-in path as given on the command line, made absolute: dlopen reads
// a bare file name as a library to search for, not as a file here.
std::string pluginPathToLoad(const std::string& path);

int runProcessCommand(const CommandLine& line);
int runSaveStateCommand(const CommandLine& line);

}  // namespace host
