#include "shell/builtin_host.h"

#include "faders.h"
#include "host_functions.h"
#include "shell/process_state.h"

namespace vexlan {

void fillBuiltInHostApi(HostApi& api) {
    for (int i = 0; i < kHostFunctionCount; ++i) {
        setHostApiEntry(api, i, host::findHostFunction(kHostFunctionNames[i].name));
    }
}

void registerBuiltInWindowClasses() {
    if (!processState.builtInHostApi) return;
#if defined(_WIN32)
    processState.faderClassesRegistered = host::registerFaderClassesIn(processState.moduleHandle);
#endif
}

void unregisterBuiltInWindowClasses() {
    if (!processState.faderClassesRegistered) return;
#if defined(_WIN32)
    host::unregisterFaderClassesIn(processState.moduleHandle);
#endif
    processState.faderClassesRegistered = false;
}

}  // namespace vexlan
