// One plug-in instance as a host holds it: the loaded library, the instance
// made through VSTPluginMain with this host's callback, the dispatcher, and
// the close.
#pragma once

#include <string>

#include "host_callback.h"
#include "plugin_loader.h"

namespace host {

struct PluginSession {
    LoadedPlugin plugin;
    vexlan::AEffect* effect = nullptr;
};

// Loads `path` (empty: the plug-in beside the program), installs `options` as the host's configuration (there is one
// per process; earlier records are forgotten) and creates an instance. False
// with `error` set when the library cannot be loaded or the plug-in refuses.
bool openSession(const std::string& path, PluginSession& session, std::string& error,
                 const HostOptions& options = {});
// The instance's dispatcher; 0 without an instance.
intptr_t dispatch(const PluginSession& session, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                  void* ptr = nullptr, float opt = 0.0f);
// Closes the instance (effClose) and unloads the library.
void closeSession(PluginSession& session);

}  // namespace host
