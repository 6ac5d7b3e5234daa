// The torture list every plug-in goes through, and Vexlan's own checks.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "plugin_settings.h"
#include "validation.h"

namespace host {

namespace {

using namespace vexlan;

std::string format(const char* pattern, double a = 0, double b = 0, double c = 0) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

uint8_t noiseByte(uint32_t& seed) {
    noiseSample(seed);
    return uint8_t(seed >> 24);
}

AudioBlock blockFor(const AEffect* effect, int frames) { return AudioBlock(effect->numInputs, effect->numOutputs, frames); }

CheckResult notLoaded(const RunningInstance& instance) { return checkFailed("cannot create an instance: " + instance.error); }

CheckResult loadAndClose(const ValidationTarget& target) {
    constexpr int kLibraryLoads = 10;
    for (int round = 0; round < kLibraryLoads; ++round) {
        RunningInstance instance(target.path);
        if (!instance.ok()) return checkFailed(format("load %.0f: ", round + 1) + instance.error);
    }
    // Many instances of one loaded library at once, closed in creation order.
    constexpr int kInstances = 24;
    RunningInstance first(target.path);
    if (!first.ok()) return notLoaded(first);
    std::vector<std::unique_ptr<RunningInstance>> open;
    for (int i = 0; i < kInstances; ++i) {
        open.push_back(std::make_unique<RunningInstance>(target.path));
        if (!open.back()->ok()) return checkFailed(format("instance %.0f: ", i + 1) + open.back()->error);
    }
    open.clear();
    return checkPassed(format("%.0f loads and closes, then %.0f instances at once", kLibraryLoads, kInstances + 1));
}

struct TextQuery {
    const char* what;
    int32_t opcode;
    bool perParameter;
    int genericBytes;  // buffer a DAW hands over, terminator included
    int vexlanBytes;   // Vexlan's own limit, terminator included
};

constexpr TextQuery kTextQueries[] = {
    {"effect name", effGetEffectName, false, 64, kNameTextMax + 1},
    {"vendor", effGetVendorString, false, 64, kVendorTextMax + 1},
    {"product", effGetProductString, false, 64, kNameTextMax + 1},
    {"program name", effGetProgramName, false, 64, kParamTextMax + 1},
    {"parameter name", effGetParamName, true, 256, kParamTextMax + 1},
    {"parameter unit", effGetParamLabel, true, 256, kParamTextMax + 1},
    {"parameter display", effGetParamDisplay, true, 256, kParamTextMax + 1},
};

constexpr uint8_t kUnwritten = 0xA5;
constexpr int kProbeBytes = 4096;

// Empty when the answer is terminated within `bytes` and nothing beyond was
// touched; otherwise what went wrong.
std::string probeText(const RunningInstance& instance, const TextQuery& query, int32_t index, int bytes) {
    std::vector<uint8_t> buffer(kProbeBytes, kUnwritten);
    instance.dispatch(query.opcode, index, 0, buffer.data());
    const auto end = std::find(buffer.begin(), buffer.end(), uint8_t(0));
    const long length = long(end - buffer.begin());
    const bool untouchedBeyond =
        std::all_of(buffer.begin() + bytes, buffer.end(), [](uint8_t b) { return b == kUnwritten; });
    if (length < bytes && untouchedBeyond) return {};
    std::string where = query.what;
    if (query.perParameter) where += format(" %.0f", index);
    return where + format(": %.0f characters, limit %.0f", double(length), bytes - 1);
}

std::string probePins(const RunningInstance& instance) {
    for (int32_t opcode : {int32_t(effGetInputProperties), int32_t(effGetOutputProperties)}) {
        const int count = opcode == effGetInputProperties ? instance.effect->numInputs : instance.effect->numOutputs;
        for (int pin = 0; pin < count; ++pin) {
            VstPinProperties properties;
            std::memset(&properties, kUnwritten, sizeof properties);
            if (!instance.dispatch(opcode, pin, 0, &properties)) continue;
            if (!std::memchr(properties.label, 0, sizeof properties.label)) {
                return format("pin %.0f label is not terminated within 64 bytes", pin);
            }
        }
    }
    return {};
}

CheckResult checkTextBounds(const ValidationTarget& target, bool vexlanLimits) {
    RunningInstance instance(target.path);
    if (!instance.ok()) return notLoaded(instance);
    int queries = 0;
    for (const TextQuery& query : kTextQueries) {
        const int count = query.perParameter ? instance.effect->numParams : 1;
        for (int32_t index = 0; index < count; ++index, ++queries) {
            const std::string problem =
                probeText(instance, query, index, vexlanLimits ? query.vexlanBytes : query.genericBytes);
            if (!problem.empty()) return checkFailed(problem);
        }
    }
    const std::string pins = probePins(instance);
    if (!pins.empty()) return checkFailed(pins);
    return checkPassed(format("%.0f text queries and every pin label within bounds", queries));
}

CheckResult textQueries(const ValidationTarget& target) { return checkTextBounds(target, false); }

CheckResult vexlanTextLimits(const ValidationTarget& target) { return checkTextBounds(target, true); }

CheckResult parameterSweep(const ValidationTarget& target) {
    RunningInstance instance(target.path);
    if (!instance.ok()) return notLoaded(instance);
    AEffect* effect = instance.effect;
    instance.resume();
    AudioBlock block = blockFor(effect, kAnnouncedBlockSize);
    uint32_t seed = 1;
    constexpr int kSteps = 20;
    const TextQuery& display = *std::find_if(std::begin(kTextQueries), std::end(kTextQueries),
                                             [](const TextQuery& query) { return query.opcode == effGetParamDisplay; });
    for (int32_t index = 0; index < effect->numParams; ++index) {
        const float initial = effect->getParameter(effect, index);
        for (int step = 0; step <= kSteps; ++step) {
            const float value = float(step) / kSteps;
            effect->setParameter(effect, index, value);
            const float readBack = effect->getParameter(effect, index);
            if (!(readBack >= 0.0f && readBack <= 1.0f)) {
                return checkFailed(format("parameter %.0f set to %.2f reads back %g", index, value, readBack));
            }
            const std::string problem = probeText(instance, display, index, display.genericBytes);
            if (!problem.empty()) return checkFailed(problem + format(" at %.2f", value));
            block.fillNoise(seed, 0.5f);
            if (!processFinite(effect, block, kAnnouncedBlockSize)) {
                return checkFailed(format("parameter %.0f at %.2f: output not finite", index, value));
            }
        }
        effect->setParameter(effect, index, initial);
    }
    return checkPassed(format("%.0f parameters x %.0f values while processing", effect->numParams, kSteps + 1));
}

CheckResult blockSizes(const ValidationTarget& target) {
    RunningInstance instance(target.path);
    if (!instance.ok()) return notLoaded(instance);
    instance.resume();
    const int sizes[] = {0, 1, 2, 3, 7, 64, 333, 511, 512, 513, 1000, 4097, 16384, 65536};
    AudioBlock block = blockFor(instance.effect, 65536);
    uint32_t seed = 2;
    for (int size : sizes) {
        block.fillNoise(seed, 0.5f);
        if (!processFinite(instance.effect, block, size)) return checkFailed(format("block of %.0f: output not finite", size));
    }
    return checkPassed(format("0 to %.0f samples per call, announced %.0f", sizes[std::size(sizes) - 1],
                              kAnnouncedBlockSize));
}

CheckResult sampleRates(const ValidationTarget& target) {
    RunningInstance instance(target.path);
    if (!instance.ok()) return notLoaded(instance);
    const double rates[] = {8000, 11025, 1234.5678, 22050, 44100, 48000, 88200, 96000, 176400, 192000, 352800, 384000};
    AudioBlock block = blockFor(instance.effect, kAnnouncedBlockSize);
    uint32_t seed = 3;
    for (double rate : rates) {
        instance.suspend();
        instance.dispatch(effSetSampleRate, 0, 0, nullptr, float(rate));
        instance.resume();
        for (int i = 0; i < 16; ++i) {
            block.fillNoise(seed, 0.5f);
            if (!processFinite(instance.effect, block, kAnnouncedBlockSize)) {
                return checkFailed(format("at %.4f Hz: output not finite", rate));
            }
        }
    }
    return checkPassed("8000 to 384000 Hz and 1234.5678 Hz");
}

CheckResult processOutsideResume(const ValidationTarget& target) {
    RunningInstance instance(target.path);
    if (!instance.ok()) return notLoaded(instance);
    AudioBlock block = blockFor(instance.effect, kAnnouncedBlockSize);
    uint32_t seed = 4;
    block.fillNoise(seed, 0.5f);
    if (!processFinite(instance.effect, block, kAnnouncedBlockSize)) return checkFailed("before resume: output not finite");
    instance.resume();
    block.fillNoise(seed, 0.5f);
    if (!processFinite(instance.effect, block, kAnnouncedBlockSize)) return checkFailed("resumed: output not finite");
    instance.suspend();
    block.fillNoise(seed, 0.5f);
    if (!processFinite(instance.effect, block, kAnnouncedBlockSize)) return checkFailed("after suspend: output not finite");
    return checkPassed("before resume and after suspend");
}

CheckResult suspendResumeCycles(const ValidationTarget& target) {
    RunningInstance instance(target.path);
    if (!instance.ok()) return notLoaded(instance);
    AudioBlock block = blockFor(instance.effect, kAnnouncedBlockSize);
    uint32_t seed = 5;
    constexpr int kCycles = 50;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        instance.resume();
        block.fillNoise(seed, 0.5f);
        if (!processFinite(instance.effect, block, kAnnouncedBlockSize)) {
            return checkFailed(format("cycle %.0f: output not finite", cycle));
        }
        instance.suspend();
    }
    return checkPassed(format("%.0f cycles, processing in each", kCycles));
}

// Delay of the largest output sample after an impulse on every input; -1
// when the output stays below -60 dB, -2 when it is not finite.
long impulseDelay(RunningInstance& instance) {
    AEffect* effect = instance.effect;
    instance.resume();
    AudioBlock block = blockFor(effect, kAnnouncedBlockSize);
    const long total = long(std::max(effect->initialDelay, 0)) + 16384;
    float peak = 0.0f;
    long peakAt = -1;
    for (long start = 0; start < total; start += kAnnouncedBlockSize) {
        block.fill(0.0f);
        if (start == 0) {
            for (std::vector<float>& channel : block.inputs) channel[0] = 1.0f;
        }
        if (!processFinite(effect, block, kAnnouncedBlockSize)) return -2;
        if (block.outputs.empty()) continue;
        for (int i = 0; i < kAnnouncedBlockSize; ++i) {
            const float magnitude = std::fabs(block.outputs[0][size_t(i)]);
            if (magnitude > peak) {
                peak = magnitude;
                peakAt = start + i;
            }
        }
    }
    return peak >= 1e-3f ? peakAt : -1;
}

CheckResult latencyMatchesDelay(const ValidationTarget& target) {
    RunningInstance instance(target.path);
    if (!instance.ok()) return notLoaded(instance);
    const long delay = impulseDelay(instance);
    const long reported = instance.effect->initialDelay;
    if (delay == -2) return checkFailed("output not finite");
    if (delay == -1) return checkSkipped("no response to an impulse, so no delay to measure");
    if (delay != reported) return checkFailed(format("reports %.0f samples, an impulse comes out after %.0f", reported, delay));
    return checkPassed(format("%.0f samples reported and measured", reported));
}

CheckResult finiteOutputs(const ValidationTarget& target) {
    RunningInstance instance(target.path);
    if (!instance.ok()) return notLoaded(instance);
    instance.resume();
    AudioBlock block = blockFor(instance.effect, kAnnouncedBlockSize);
    struct Input {
        const char* name;
        float value;  // NaN: full-scale noise
    };
    const Input kInputs[] = {{"silence", 0.0f}, {"denormals", 1e-40f}, {"DC", 1.0f}, {"full-scale noise", NAN},
                             {"silence after noise", 0.0f}};
    uint32_t seed = 6;
    for (const Input& input : kInputs) {
        for (int i = 0; i < 32; ++i) {
            if (std::isnan(input.value)) {
                block.fillNoise(seed, 1.0f);
            } else {
                block.fill(input.value);
            }
            if (!processFinite(instance.effect, block, kAnnouncedBlockSize)) {
                return checkFailed(std::string(input.name) + ": output not finite");
            }
        }
    }
    return checkPassed("silence, denormals, DC and full-scale noise");
}

// Every parameter moved off its default, so a saved state says something.
void moveParameters(AEffect* effect) {
    for (int32_t index = 0; index < effect->numParams; ++index) {
        effect->setParameter(effect, index, float(index % 5 + 1) / 7.0f);
    }
}

CheckResult stateRoundTrip(const ValidationTarget& target) {
    RunningInstance first(target.path);
    RunningInstance second(target.path);
    if (!first.ok() || !second.ok()) return notLoaded(first.ok() ? second : first);
    moveParameters(first.effect);
    const std::vector<uint8_t> saved = first.saveState();
    if (!(first.effect->flags & effFlagsProgramChunks)) {
        for (int32_t index = 0; index < first.effect->numParams; ++index) {
            second.effect->setParameter(second.effect, index, first.effect->getParameter(first.effect, index));
        }
    } else {
        if (saved.empty()) return checkFailed("the plug-in keeps chunks but saved none");
        first.loadChunk(saved);
        if (first.saveState() != saved) return checkFailed("save, load, save: the second chunk differs");
        second.loadChunk(saved);
    }
    if (second.saveState() != saved) return checkFailed("the state loaded into another instance saves differently");
    return checkPassed(format("%.0f bytes saved, loaded and saved again byte for byte", double(saved.size())));
}

CheckResult badChunks(const ValidationTarget& target) {
    RunningInstance instance(target.path);
    if (!instance.ok()) return notLoaded(instance);
    if (!(instance.effect->flags & effFlagsProgramChunks)) return checkSkipped("the plug-in keeps no chunks");
    moveParameters(instance.effect);
    const std::vector<uint8_t> saved = instance.saveState();
    instance.resume();
    AudioBlock block = blockFor(instance.effect, kAnnouncedBlockSize);
    uint32_t seed = 7;
    int loads = 0;
    auto survive = [&](const std::vector<uint8_t>& chunk) {
        instance.loadChunk(chunk);
        ++loads;
        block.fillNoise(seed, 0.5f);
        return processFinite(instance.effect, block, kAnnouncedBlockSize);
    };
    auto random = [&](size_t size, size_t keepFromSaved) {
        std::vector<uint8_t> chunk(size);
        for (size_t i = 0; i < size; ++i) {
            chunk[i] = i < keepFromSaved && i < saved.size() ? saved[i] : noiseByte(seed);
        }
        return chunk;
    };
    if (!survive({})) return checkFailed("after an empty chunk: output not finite");
    const size_t step = std::max<size_t>(1, saved.size() / 256);
    for (size_t length = 1; length < saved.size(); length += step) {
        if (!survive(std::vector<uint8_t>(saved.begin(), saved.begin() + long(length)))) {
            return checkFailed(format("after a chunk cut to %.0f bytes: output not finite", double(length)));
        }
    }
    // Random bytes may decode to any gain, so only a crash fails here; the
    // good state must then bring everything back.
    int unfinished = 0;
    for (int i = 0; i < 64; ++i) {
        // Half of them keep the saved chunk's first bytes, to get past its header.
        const size_t size = 1 + size_t(std::fabs(noiseSample(seed)) * 4095.0f);
        if (!survive(random(size, i % 2 ? 16 : 0))) ++unfinished;
    }
    for (int i = 0; i < 3; ++i) {
        if (!survive(random(1 << 20, 0))) ++unfinished;
    }
    instance.loadChunk(saved);
    if (instance.saveState() != saved) return checkFailed("the good state no longer loads and saves back unchanged");
    instance.suspend();
    instance.resume();
    for (int i = 0; i < 32; ++i) {
        block.fillNoise(seed, 0.5f);
        if (!processFinite(instance.effect, block, kAnnouncedBlockSize)) {
            return checkFailed("after restoring the good state: output not finite");
        }
    }
    return checkPassed(format("%.0f empty, truncated and random chunks (3 of 1 MB), %.0f random ones gave "
                              "non-finite output; the good state restores and processes",
                              loads, unfinished));
}

CheckResult processingWhileChanging(const ValidationTarget& target) {
    RunningInstance instance(target.path);
    if (!instance.ok()) return notLoaded(instance);
    AEffect* effect = instance.effect;
    moveParameters(effect);
    const std::vector<uint8_t> saved = instance.saveState();
    instance.resume();
    std::atomic<bool> done{false};
    std::atomic<bool> finite{true};
    constexpr int kBlocks = 600;
    std::thread audio([&] {
        AudioBlock block = blockFor(effect, kAnnouncedBlockSize);
        uint32_t seed = 8;
        for (int i = 0; i < kBlocks; ++i) {
            block.fillNoise(seed, 0.5f);
            if (!processFinite(effect, block, kAnnouncedBlockSize)) finite = false;
        }
        done = true;
    });
    uint32_t seed = 9;
    long changes = 0;
    char text[kProbeBytes];
    while (!done) {
        if (effect->numParams > 0) {
            const int32_t index = int32_t(changes % effect->numParams);
            effect->setParameter(effect, index, std::fabs(noiseSample(seed)));
            effect->getParameter(effect, index);
            instance.dispatch(effGetParamDisplay, index, 0, text);
        }
        if (changes % 8 == 0) instance.saveState();
        if (changes % 16 == 0) instance.loadChunk(saved);
        ++changes;
    }
    audio.join();
    if (!finite) return checkFailed("output not finite");
    return checkPassed(format("%.0f blocks processed during %.0f parameter and state changes", kBlocks, double(changes)));
}

CheckResult vexlanLatencyFollowsFftSize(const ValidationTarget& target) {
    for (int size : {128, 1024, 32768}) {
        RunningInstance instance(target.path);
        if (!instance.ok()) return notLoaded(instance);
        PluginSettings settings;
        settings.fftSize = size;
        std::string error;
        if (!applySettings(instance.effect, settings, kValidationRate, error)) return checkFailed(error);
        if (instance.effect->initialDelay != size) {
            return checkFailed(format("FFT size %.0f reports %.0f samples", size, instance.effect->initialDelay));
        }
        const long delay = impulseDelay(instance);
        if (delay != size) return checkFailed(format("FFT size %.0f: an impulse comes out after %.0f", size, delay));
    }
    return checkPassed("FFT sizes 128, 1024 and 32768 report and delay by their size");
}

}  // namespace

std::vector<ValidationCheck> validationChecks() {
    std::vector<ValidationCheck> checks = {
        {"load and close", loadAndClose, false},
        {"text queries", textQueries, false},
        {"parameter sweep", parameterSweep, false},
        {"block sizes", blockSizes, false},
        {"sample rates", sampleRates, false},
        {"processing outside resume", processOutsideResume, false},
        {"suspend and resume", suspendResumeCycles, false},
        {"latency", latencyMatchesDelay, false},
        {"finite outputs", finiteOutputs, false},
        {"state round trip", stateRoundTrip, false},
        {"bad chunks", badChunks, false},
        {"processing while changing", processingWhileChanging, false},
    };
    for (const ValidationCheck& check : editorChecks()) checks.push_back(check);
    checks.push_back({"Vexlan text limits", vexlanTextLimits, true});
    checks.push_back({"Vexlan latency per FFT size", vexlanLatencyFollowsFftSize, true});
    return checks;
}

#if !defined(_WIN32)

namespace {

CheckResult noEditorHere(const ValidationTarget&) { return checkSkipped("this build has no editor windows"); }

}  // namespace

std::vector<ValidationCheck> editorChecks() {
    return {
        {"editor opened twice", noEditorHere, false},
        {"editor opened while processing", noEditorHere, false},
        {"effClose with the editor open", noEditorHere, false},
    };
}

#endif

}  // namespace host
