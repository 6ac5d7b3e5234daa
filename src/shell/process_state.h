// The few values shared by every instance of the loaded library. Changed only
// by VSTPluginMain, effClose and library attach.
#pragma once

#include <cstdint>

#include "shell/host_api.h"
#include "shell/vst2_abi.h"

namespace vexlan {

struct ProcessState {
    void* moduleHandle = nullptr;
    HostCallback hostCallback = nullptr;
    HostApi hostApi{};
    bool hostApiFetched = false;
    int32_t instanceCount = 0;
    // Octave offset of note names, from the host's "midioctoffs".
    int32_t noteOctaveOffset = 0;
    bool windowClassRegistered = false;
};

extern ProcessState processState;

// Calls the host callback if there is one; 0 otherwise.
intptr_t callHost(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                  float opt);

}  // namespace vexlan
