#include "plugin_session.h"

namespace host {

bool openSession(const std::string& path, PluginSession& session, std::string& error,
                 const HostOptions& options) {
    closeSession(session);
    const std::string file = path.empty() ? defaultPluginPath() : path;
    if (!loadPlugin(file, session.plugin, error)) return false;
    resetHost(options);
    session.effect = session.plugin.entry(&hostCallback);
    if (!session.effect || session.effect->magic != vexlan::kEffectMagic) {
        session.effect = nullptr;
        error = file + ": the plug-in created no instance";
        unloadPlugin(session.plugin);
        return false;
    }
    return true;
}

intptr_t dispatch(const PluginSession& session, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                  float opt) {
    vexlan::AEffect* effect = session.effect;
    return effect ? effect->dispatcher(effect, opcode, index, value, ptr, opt) : 0;
}

void closeSession(PluginSession& session) {
    if (session.effect) dispatch(session, vexlan::effClose);
    session.effect = nullptr;
    unloadPlugin(session.plugin);
}

}  // namespace host
