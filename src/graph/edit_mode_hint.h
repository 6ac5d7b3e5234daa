// The one-line hint the editor shows for each edit mode.
#pragma once

#include <cstdint>

namespace vexlan {

struct PluginInstance;

// Dialog item of the editor's hint text.
constexpr int kHintTextControlId = 1028;

// The hint for edit mode 0..2; an empty text for any other value.
const char* editModeHint(int32_t mode);
// Shows the hint of the instance's edit mode when the editor is open.
void showEditModeHint(PluginInstance& instance);

}  // namespace vexlan
