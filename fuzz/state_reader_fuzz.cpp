// The state reader without audio: arbitrary bytes read as a saved state into
// the fields of one instance that every input shares, with no graph
// evaluated, no table encoded and nothing applied. Far cheaper per input than
// the whole-instance target, so it explores the table's token stream and the
// field parsing much deeper.
#include <climits>
#include <cstdint>

#include "fuzz_host.h"
#include "shell/plugin_instance.h"
#include "shell/state_chunk.h"
#include "shell/vst2_abi.h"

using namespace vexlan;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > size_t(INT32_MAX)) return 0;
    // Each input is read over whatever the previous one left.
    static AEffect* effect = VSTPluginMain(fuzzhost::callback);
    fuzzhost::require(effect != nullptr);
    PluginInstance& instance = *instanceOf(effect);
    readStateFields(instance, data, int32_t(size));
    fuzzhost::checkReadFields(instance);
    return 0;
}
