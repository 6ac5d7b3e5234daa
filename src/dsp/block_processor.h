// The body of processReplacing: host blocks in, a fixed-latency stream of
// overlapping, transformed, modified and rejoined frames out.
#pragma once

#include <cstdint>

namespace vexlan {

struct PluginInstance;

// Writes exactly `frames` samples to each of numInputs output channels.
void processBlock(PluginInstance& instance, float** inputs, float** outputs, int32_t frames);

}  // namespace vexlan
