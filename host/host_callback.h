// The host's side of the VST 2 callback. A callback is a bare function
// pointer, so the host's configuration and what it records live in one
// process-wide state that programs and tests configure and reset.
#pragma once

#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "shell/vst2_abi.h"

namespace host {

constexpr intptr_t kHostVersion = 2400;

struct HostOptions {
    // Extension names the lookup answers with 0, as a host that lacks them.
    std::set<std::string> withheld;
    // Answer to audioMasterCanDo "quovarLoadStateContext".
    intptr_t loadStateContextAnswer = 0;
    // Installed into the extension functions' state (host_functions.h).
    int32_t midiOctaveOffset = 0;
    bool removeToolWindowFlag = false;
};

// One automate, begin-edit or end-edit call as the plug-in made it.
struct HostCall {
    int32_t opcode;
    int32_t index;
    intptr_t value;
    float opt;
};

struct HostState {
    HostOptions options;
    std::vector<HostCall> calls;
    std::vector<std::string> lookups;  // every name asked for, in order
    std::mutex mutex;  // the plug-in may call back from its audio thread
};

HostState& hostState();
// Forgets every record (the extension functions' too) and installs `options`.
void resetHost(const HostOptions& options = {});
// A copy of the recorded edit calls, safe against a concurrent callback.
std::vector<HostCall> recordedCalls();

// A foreign host answers the extension lookup with 0 for every name (and
// registers no fader classes), as a DAW that knows nothing of them. The
// switch outlives resetHost.
void setForeignHost(bool foreign);
bool isForeignHost();

// What the host does once when it starts (registers its fader window classes
// on Windows; natively there are no windows to prepare).
void startHost();

intptr_t VST_CALL hostCallback(vexlan::AEffect* effect, int32_t opcode, int32_t index,
                               intptr_t value, void* ptr, float opt);

}  // namespace host
