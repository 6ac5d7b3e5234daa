// `vexlan-host info [PLUGIN]`: what a host sees of a plug-in.
#pragma once

#include <iostream>
#include <string>

#include "cli_options.h"

namespace host {

// Prints the report on the plug-in at `pluginPath` (empty: the one beside the
// program), put into the state `settings` ask for, to `out`, a problem to
// `error`. Returns 0, or 1 when the plug-in cannot be loaded, makes no
// instance or refuses the settings.
int runInfoCommand(const std::string& pluginPath, const PluginSettings& settings = {},
                   std::ostream& out = std::cout, std::ostream& error = std::cerr);

}  // namespace host
