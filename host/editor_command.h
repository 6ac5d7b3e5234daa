// `vexlan-host editor [PLUGIN]`: the plug-in's editor in a window of its own,
// as a DAW shows it. Only the Windows build has editor windows.
#pragma once

#include "cli_options.h"

namespace host {

int runEditorCommand(const CommandLine& line);

}  // namespace host
