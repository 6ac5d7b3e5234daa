// Audio through a plug-in as a DAW runs it: resumed at a rate and channel
// count, fed in blocks, suspended. Memory depends on the block size and the
// plug-in's latency, never on the length of the audio.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "shell/vst2_abi.h"

namespace host {

// Fills `samples` with up to `frames` interleaved frames; `got` is less
// than `frames` only at the end.
using FrameSource = std::function<bool(float* samples, size_t frames, size_t& got, std::string& error)>;
// Interleaved output frames and, when asked for, the input frames they
// stand for, aligned (else null).
using FrameSink = std::function<bool(const float* output, const float* input, size_t frames, std::string& error)>;

struct PluginRun {
    int blockSize = 512;
    // Feeds initialDelay frames of silence after the input and drops the
    // first initialDelay output frames, so the output lines up with the input.
    bool latencyCompensation = true;
    // Hands the sink the input aligned with each output block.
    bool alignedInput = false;
    // Called after every block with the output frames done so far.
    std::function<void(size_t done)> progress;
};

// Sets the rate, the block size and the channel count, then resumes the
// plug-in. False with `error` when it does not take the channel count.
bool resumePlugin(vexlan::AEffect* effect, double sampleRate, int channels, int blockSize, std::string& error);
void suspendPlugin(vexlan::AEffect* effect);

// Runs everything `source` gives through the resumed plug-in into `sink`:
// as many frames come out as went in. The source and the sink move several
// blocks at a time, so that files are read and written in large pieces.
bool runPlugin(vexlan::AEffect* effect, int channels, const PluginRun& run, const FrameSource& source,
               const FrameSink& sink, std::string& error);

}  // namespace host
