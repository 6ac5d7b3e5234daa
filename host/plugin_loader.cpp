#include "plugin_loader.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>
#endif

namespace host {

#if defined(_WIN32)

bool loadPlugin(const std::string& path, LoadedPlugin& plugin, std::string& error) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    auto entry = reinterpret_cast<PluginEntry>(reinterpret_cast<void*>(GetProcAddress(module, "VSTPluginMain")));
    if (!entry) {
        FreeLibrary(module);
        error = path + " has no VSTPluginMain";
        return false;
    }
    plugin.module = module;
    plugin.entry = entry;
    return true;
}

void unloadPlugin(LoadedPlugin& plugin) {
    if (plugin.module) FreeLibrary(static_cast<HMODULE>(plugin.module));
    plugin = {};
}

std::string defaultPluginPath() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    const size_t slash = folder.find_last_of("\\/");
    folder = slash == std::string::npos ? "." : folder.substr(0, slash);
    return folder + "\\vexlan.dll";
}

#else

bool loadPlugin(const std::string& path, LoadedPlugin& plugin, std::string& error) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* reason = dlerror();
        error = reason ? reason : ("cannot load " + path);
        return false;
    }
    auto entry = reinterpret_cast<PluginEntry>(dlsym(module, "VSTPluginMain"));
    if (!entry) {
        dlclose(module);
        error = path + " has no VSTPluginMain";
        return false;
    }
    plugin.module = module;
    plugin.entry = entry;
    return true;
}

void unloadPlugin(LoadedPlugin& plugin) {
    if (plugin.module) dlclose(plugin.module);
    plugin = {};
}

std::string defaultPluginPath() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string folder = length > 0 ? std::string(path, size_t(length)) : std::string(".");
    const size_t slash = folder.find_last_of('/');
    folder = slash == std::string::npos ? "." : folder.substr(0, slash);
    return folder + "/vexlan.so";
}

#endif

}  // namespace host
