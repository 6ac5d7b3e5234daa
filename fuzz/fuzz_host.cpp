#include "fuzz_host.h"

#include <cstring>

#include "shell/host_api.h"

namespace fuzzhost {

namespace {

void requiredHostFunction() {}

}  // namespace

intptr_t VST_CALL callback(vexlan::AEffect*, int32_t opcode, int32_t index, intptr_t, void* ptr, float) {
    if (opcode != vexlan::kHostLookupOpcode || index != vexlan::kHostLookupIndex || !ptr) return 0;
    const char* name = static_cast<const char*>(ptr);
    for (const vexlan::HostFunctionName& function : vexlan::kHostFunctionNames) {
        if (function.required && std::strcmp(function.name, name) == 0) {
            return reinterpret_cast<intptr_t>(&requiredHostFunction);
        }
    }
    return 0;
}

}  // namespace fuzzhost
