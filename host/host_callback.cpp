#include "host_callback.h"

#include <atomic>
#include <cstring>

#include "faders.h"
#include "host_functions.h"

namespace host {

HostState& hostState() {
    static HostState state;
    return state;
}

void resetHost(const HostOptions& options) {
    HostState& state = hostState();
    std::lock_guard<std::mutex> hold(state.mutex);
    state.options = options;
    state.calls.clear();
    state.lookups.clear();
    resetExtensionState(options.midiOctaveOffset, options.removeToolWindowFlag);
}

std::vector<HostCall> recordedCalls() {
    HostState& state = hostState();
    std::lock_guard<std::mutex> hold(state.mutex);
    return state.calls;
}

namespace {

std::atomic<bool> foreignHost{false};

}  // namespace

void setForeignHost(bool foreign) { foreignHost = foreign; }

bool isForeignHost() { return foreignHost; }

void startHost() {
#if defined(_WIN32)
    registerFaderClasses();
#endif
}

namespace {

intptr_t lookUpExtension(int32_t index, const char* name) {
    if (index != vexlan::kHostLookupIndex || !name) return 0;
    HostState& state = hostState();
    std::lock_guard<std::mutex> hold(state.mutex);
    state.lookups.emplace_back(name);
    if (foreignHost || state.options.withheld.count(name)) return 0;
    return reinterpret_cast<intptr_t>(findHostFunction(name));
}

intptr_t answerCanDo(const char* capability) {
    if (!capability) return 0;
    if (std::strcmp(capability, "quovarLoadStateContext") == 0) {
        HostState& state = hostState();
        std::lock_guard<std::mutex> hold(state.mutex);
        return state.options.loadStateContextAnswer;
    }
    return 0;
}

void recordCall(int32_t opcode, int32_t index, intptr_t value, float opt) {
    HostState& state = hostState();
    std::lock_guard<std::mutex> hold(state.mutex);
    state.calls.push_back({opcode, index, value, opt});
}

}  // namespace

intptr_t VST_CALL hostCallback(vexlan::AEffect*, int32_t opcode, int32_t index, intptr_t value,
                               void* ptr, float opt) {
    switch (opcode) {
        case vexlan::kHostLookupOpcode:
            return lookUpExtension(index, static_cast<const char*>(ptr));
        case vexlan::audioMasterVersion:
            return kHostVersion;
        case vexlan::audioMasterCanDo:
            return answerCanDo(static_cast<const char*>(ptr));
        case vexlan::audioMasterAutomate:
        case vexlan::audioMasterBeginEdit:
        case vexlan::audioMasterEndEdit:
            recordCall(opcode, index, value, opt);
            return 0;
        default:
            return 0;
    }
}

}  // namespace host
