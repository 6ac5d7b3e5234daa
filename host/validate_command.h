// `vexlan-host validate [PLUGIN]`: runs the validation checks against a
// plug-in, one line per check and a summary.
#pragma once

#include <iostream>
#include <string>

namespace host {

// 0 when no check failed, 1 otherwise.
int runValidateCommand(const std::string& pluginPath, std::ostream& out = std::cout);

}  // namespace host
