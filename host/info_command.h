// `vexlan-host info [PLUGIN]`: what a host sees of a plug-in.
#pragma once

#include <iostream>
#include <string>

namespace host {

// Prints the report on the plug-in at `pluginPath` (empty: the one beside the
// program) to `out`, a problem to `error`. Returns 0, or 1 when the plug-in
// cannot be loaded or makes no instance.
int runInfoCommand(const std::string& pluginPath, std::ostream& out = std::cout,
                   std::ostream& error = std::cerr);

}  // namespace host
