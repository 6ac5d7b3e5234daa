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
    // The host answered none of the required names: hostApi holds the
    // plug-in's built-in set (builtin_host.h).
    bool builtInHostApi = false;
    // The built-in fader window classes are registered in moduleHandle.
    bool faderClassesRegistered = false;
    int32_t instanceCount = 0;
    // The host's "midioctoffs" value, kept as the pointer it hands out so a
    // change in the host's preferences shows at the next read; null when the
    // host has none.
    const int32_t* noteOctaveOffsetSource = nullptr;
    bool windowClassRegistered = false;
};

extern ProcessState processState;

// Octave offset of note names: the host's current "midioctoffs", or 1
// (440 Hz reads A4) when the host has none.
int32_t noteOctaveOffset();

// Calls the host callback if there is one; 0 otherwise.
intptr_t callHost(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                  float opt);

}  // namespace vexlan
