#include "host_test_support.h"

#include <atomic>
#include <filesystem>
#include <system_error>

#include "plugin_loader.h"

#if defined(_WIN32)
#include <process.h>
#define CURRENT_PROCESS_ID _getpid()
#else
#include <unistd.h>
#define CURRENT_PROCESS_ID getpid()
#endif

namespace hosttest {

namespace fs = std::filesystem;

PluginCopy::PluginCopy() {
    static std::atomic<int> counter{0};
    const fs::path original = host::defaultPluginPath();
    const std::string name = "vexlan-copy-" + std::to_string(CURRENT_PROCESS_ID) + "-" +
                             std::to_string(counter++) + original.extension().string();
    const fs::path copy = fs::temp_directory_path() / name;
    std::error_code error;
    fs::copy_file(original, copy, fs::copy_options::overwrite_existing, error);
    if (!error) path_ = copy.string();
}

PluginCopy::~PluginCopy() {
    std::error_code error;
    if (!path_.empty()) fs::remove(path_, error);
}

uint32_t pixel(vexlan::VizeBitmap* bitmap, int x, int y) { return uint32_t(host::vizeGetPixel(bitmap, x, y)); }

int channel(uint32_t colour, int shift) { return int((colour >> shift) & 0xFF); }

}  // namespace hosttest
