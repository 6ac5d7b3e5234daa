// Loads arbitrary bytes as a saved state, runs a few blocks of audio through
// the instance and saves it again. Whatever the bytes, nothing may read or
// write out of bounds, and the loaded settings must be ones the processor
// and the editor can work with.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz_host.h"
#include "shell/plugin_instance.h"
#include "shell/vst2_abi.h"

using namespace vexlan;

namespace {

constexpr int kBlockFrames = 512;
constexpr int kBlocks = 3;

struct AudioBuffers {
    std::vector<float> input;
    std::vector<float> output;
    float* inputs[kMaxChannels];
    float* outputs[kMaxChannels];

    AudioBuffers() : input(size_t(kMaxChannels) * kBlockFrames), output(input.size()) {
        for (int c = 0; c < kMaxChannels; ++c) {
            inputs[c] = input.data() + size_t(c) * kBlockFrames;
            outputs[c] = output.data() + size_t(c) * kBlockFrames;
            for (int i = 0; i < kBlockFrames; ++i) {
                inputs[c][i] = float(0.5 * std::sin(0.05 * (i + 1) * (c + 1)) + 0.01 * ((i * 7919 + c) % 13 - 6));
            }
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static AudioBuffers audio;
    AEffect* effect = VSTPluginMain(fuzzhost::callback);
    if (!effect) std::abort();
    std::vector<uint8_t> block(data, data + size);
    effect->dispatcher(effect, effSetChunk, 0, intptr_t(block.size()), block.data(), 0.0f);
    fuzzhost::checkLoadedSettings(*instanceOf(effect));

    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    for (int b = 0; b < kBlocks; ++b) effect->processReplacing(effect, audio.inputs, audio.outputs, kBlockFrames);

    void* saved = nullptr;
    const intptr_t savedSize = effect->dispatcher(effect, effGetChunk, 0, 0, &saved, 0.0f);
    fuzzhost::require(savedSize > 0 && saved != nullptr);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return 0;
}
