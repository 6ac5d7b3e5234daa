#include "graph/edit_mode_hint.h"

#include "shell/plugin_instance.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace vexlan {

namespace {

constexpr const char* kPointsHint = "Hint: shift moves segments, ctrl moves all points";
constexpr const char* kPreciseHint = "Hint: shift draws line, ctrl moves all";
constexpr const char* kEditModeHints[] = {kPointsHint, kPreciseHint, kPointsHint};
constexpr int32_t kEditModeCount = int32_t(sizeof kEditModeHints / sizeof kEditModeHints[0]);

}  // namespace

const char* editModeHint(int32_t mode) {
    return mode >= 0 && mode < kEditModeCount ? kEditModeHints[mode] : "";
}

#if defined(_WIN32)

void showEditModeHint(PluginInstance& instance) {
    if (!instance.editorWindow) return;
    SetDlgItemTextA(static_cast<HWND>(instance.editorWindow), kHintTextControlId,
                    editModeHint(instance.editMode));
}

#else

// The native build has no editor window.
void showEditModeHint(PluginInstance&) {}

#endif

}  // namespace vexlan
