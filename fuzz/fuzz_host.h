// The host the fuzz programs load the plug-in into: it answers the extension
// lookup for the names the plug-in cannot do without and nothing else.
#pragma once

#include <cstdint>

#include "shell/plugin_instance.h"
#include "shell/vst2_abi.h"

namespace fuzzhost {

// Offers a stand-in for every required host function and leaves the
// optional ones out, so no call site reaches a stand-in of the wrong type.
// The fuzzed paths draw nothing and open no editor, so no stand-in is
// called. "quovarLoadStateContext" gets 0: the channel count is always taken
// from the block.
intptr_t VST_CALL callback(vexlan::AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                           void* ptr, float opt);

// Aborts, so the fuzzer keeps the input, when the condition fails.
void require(bool condition);

// What reading a state must leave, whatever the bytes: settings the
// processor and the editor can work with.
void checkReadFields(const vexlan::PluginInstance& instance);

// The same after a whole load, and a latency and pins that match them.
void checkLoadedSettings(const vexlan::PluginInstance& instance);

}  // namespace fuzzhost
