// The checks behind `vexlan-host validate`: what a DAW puts any VST 2
// plug-in through (load and close, text bounds, parameters, block sizes and
// rates, suspend and resume, latency, state, bad chunks, threads, editor),
// and a few more for Vexlan's own promises. A crash ends the run: the lines
// printed so far show which check caused it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plugin_loader.h"
#include "shell/vst2_abi.h"

namespace host {

enum class CheckStatus { Pass, Fail, Skip };

struct CheckResult {
    CheckStatus status;
    std::string detail;
};

CheckResult checkPassed(const std::string& detail);
CheckResult checkFailed(const std::string& detail);
CheckResult checkSkipped(const std::string& detail);

struct ValidationTarget {
    std::string path;
    bool ours = false;  // Vexlan itself: its own checks run too
};

struct ValidationCheck {
    const char* name;
    CheckResult (*run)(const ValidationTarget& target);
    bool oursOnly;
};

// Every check in the order they run.
std::vector<ValidationCheck> validationChecks();
// The editor checks (Windows; elsewhere they report that there is no editor).
std::vector<ValidationCheck> editorChecks();

constexpr float kValidationRate = 44100.0f;
constexpr int kAnnouncedBlockSize = 512;

// One instance as a DAW holds it: its own load of the library, created with
// the host's callback, opened and given a rate and block size, not yet
// resumed. The holder suspends and closes it and unloads the library.
class RunningInstance {
public:
    explicit RunningInstance(const std::string& path);
    ~RunningInstance();
    RunningInstance(const RunningInstance&) = delete;
    RunningInstance& operator=(const RunningInstance&) = delete;

    bool ok() const { return effect != nullptr; }
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f) const;
    void resume();
    void suspend();
    // effClose now (and no suspend first), as a DAW closing a live instance.
    void close();
    // The state as the host would save it: the chunk, or every parameter's
    // value as four bytes when the plug-in keeps no chunks.
    std::vector<uint8_t> saveState() const;
    // Loads a chunk; 0 when the plug-in refused or keeps no chunks.
    intptr_t loadChunk(const std::vector<uint8_t>& chunk) const;

    vexlan::AEffect* effect = nullptr;
    std::string error;

private:
    LoadedPlugin plugin_;
    bool resumed_ = false;
};

// Input and output buffers for a plug-in's channels. Outputs are filled with
// NaN before each call, so a sample the plug-in did not write shows as not
// finite.
struct AudioBlock {
    AudioBlock(int inputs, int outputs, int frames);
    std::vector<std::vector<float>> inputs;
    std::vector<std::vector<float>> outputs;
    std::vector<float*> inputPointers;
    std::vector<float*> outputPointers;
    void fillNoise(uint32_t& seed, float amplitude);
    void fill(float value);
    // Adds channels (never removes any) so the plug-in's counts fit.
    void fitChannels(int inputs, int outputs);
};

// processReplacing over the first `frames`; true when every sample of the
// plug-in's outputs is finite.
bool processFinite(vexlan::AEffect* effect, AudioBlock& block, int frames);

// Deterministic noise in -1..1.
float noiseSample(uint32_t& seed);

}  // namespace host
