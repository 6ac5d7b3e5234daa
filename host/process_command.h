// `vexlan-host process` and `save-state`: audio files through the plug-in as
// a DAW runs it, one or a whole batch, and a state kept in a file.
#pragma once

#include <string>

#include "cli_options.h"

namespace host {

// The plug-in path as given on the command line, made absolute: dlopen reads
// a bare file name as a library to search for, not as a file here.
std::string pluginPathToLoad(const std::string& path);

int runProcessCommand(const CommandLine& line);
int runSaveStateCommand(const CommandLine& line);

}  // namespace host
