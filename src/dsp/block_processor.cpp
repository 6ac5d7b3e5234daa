#include "dsp/block_processor.h"

#include <cstring>

#include "shell/plugin_instance.h"

namespace vexlan {

void processBlock(PluginInstance& instance, float** /*inputs*/, float** outputs, int32_t frames) {
    LockHold state(instance.stateLock);
    if (frames <= 0) return;
    for (int c = 0; c < instance.effect.numInputs; ++c) std::memset(outputs[c], 0, sizeof(float) * size_t(frames));
}

}  // namespace vexlan
