// The quality choice shared by the graph menu and the editor's selector.
#pragma once

#include "shell/plugin_instance.h"

namespace vexlan {

// Choice 0 "Best quality", 1 "Legacy 2007-2016", 2 "Legacy 2006-2007":
// sets "Legacy Compatibility Modes" to 0.125, 0.0 or 1.0, reports the edit
// to the host and rebuilds the filter. Other choices are ignored.
void setQualityMode(PluginInstance& instance, int choice);

}  // namespace vexlan
