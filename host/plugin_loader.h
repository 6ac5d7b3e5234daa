// Loads a plug-in library as a DAW does and finds its entry point.
#pragma once

#include <string>

#include "shell/vst2_abi.h"

namespace host {

using PluginEntry = vexlan::AEffect*(VST_CALL*)(vexlan::HostCallback);

struct LoadedPlugin {
    void* module = nullptr;
    PluginEntry entry = nullptr;
};

// False with `error` set when the file cannot be loaded or has no VSTPluginMain.
bool loadPlugin(const std::string& path, LoadedPlugin& plugin, std::string& error);
void unloadPlugin(LoadedPlugin& plugin);
// The plug-in built beside the running program (vexlan.dll or vexlan.so).
std::string defaultPluginPath();

}  // namespace host
