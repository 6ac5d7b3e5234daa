#include "test_host.h"

#include <cstring>

#include "shell/process_state.h"

namespace testhost {

namespace {

TestHost host;

// One do-nothing function serves every extension name: tests that reach the
// host's drawing or fader functions belong to the host stand-in's suite.
void unusedHostFunction() {}

void* configVar(const char* name, int* size) {
    if (std::strcmp(name, "midioctoffs") != 0) return nullptr;
    if (size) *size = 4;
    return &host.octaveOffset;
}

}  // namespace

TestHost& currentHost() { return host; }

void resetHost() { host = TestHost{}; }

void forgetHostFunctions() { vexlan::processState.hostApiFetched = false; }

intptr_t VST_CALL hostCallback(vexlan::AEffect*, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                               float opt) {
    (void)value;
    switch (opcode) {
        case vexlan::kHostLookupOpcode: {
            if (index != vexlan::kHostLookupIndex || !ptr) return 0;
            const std::string name = static_cast<const char*>(ptr);
            host.lookups.push_back(name);
            if (host.withheld.count(name)) return 0;
            if (name == "get_config_var") return reinterpret_cast<intptr_t>(&configVar);
            return reinterpret_cast<intptr_t>(&unusedHostFunction);
        }
        case vexlan::audioMasterVersion:
            return 2400;
        case vexlan::audioMasterCanDo:
            if (ptr && std::strcmp(static_cast<const char*>(ptr), "quovarLoadStateContext") == 0) {
                return host.loadStateContextAnswer;
            }
            return 0;
        case vexlan::audioMasterAutomate:
        case vexlan::audioMasterBeginEdit:
        case vexlan::audioMasterEndEdit:
            host.calls.push_back({opcode, index, opt});
            return 0;
        default:
            return 0;
    }
}

Instance::Instance() : effect_(VSTPluginMain(hostCallback)) {}

Instance::~Instance() {
    if (effect_) effect_->dispatcher(effect_, vexlan::effClose, 0, 0, nullptr, 0.0f);
}

intptr_t Instance::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) const {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

}  // namespace testhost
