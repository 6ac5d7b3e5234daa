// A minimal host for in-process tests: answers the extension lookup with
// do-nothing functions, records the calls a host would see, and creates
// instances through VSTPluginMain.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "shell/plugin_instance.h"

namespace testhost {

struct HostCall {
    int32_t opcode;
    int32_t index;
    float value;
};

struct TestHost {
    std::set<std::string> withheld;     // extension names the host lacks
    intptr_t loadStateContextAnswer = 0;  // answer to "quovarLoadStateContext"
    std::vector<HostCall> calls;        // automate, begin-edit and end-edit, in order
    std::vector<std::string> lookups;   // names asked for, in order
    int32_t octaveOffset = 0;
};

// The host the callback answers for; tests set it before creating instances.
TestHost& currentHost();
void resetHost();

intptr_t VST_CALL hostCallback(vexlan::AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                               void* ptr, float opt);

// Forgets that the host functions were fetched, so the next VSTPluginMain
// looks them up again (as in a freshly loaded library).
void forgetHostFunctions();

// An instance created through VSTPluginMain with the current host; closed
// through the dispatcher when the holder goes.
class Instance {
public:
    Instance();
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;
    vexlan::AEffect* effect() const { return effect_; }
    vexlan::PluginInstance& operator*() const { return *vexlan::instanceOf(effect_); }
    vexlan::PluginInstance* operator->() const { return vexlan::instanceOf(effect_); }
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f) const;

private:
    vexlan::AEffect* effect_;
};

}  // namespace testhost
