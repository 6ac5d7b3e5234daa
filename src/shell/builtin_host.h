// The host's part the plug-in carries itself (host_extensions), for hosts
// that know nothing of the extension functions. In such a host every name
// resolves to the built-in set, and on Windows the plug-in registers the
// fader window classes its dialogs use in its own module.
#pragma once

#include "shell/host_api.h"

namespace vexlan {

// Every entry of `api` from the built-in set.
void fillBuiltInHostApi(HostApi& api);

// Called for the first and the last instance. They do nothing unless the
// built-in set is in use; the classes go with the last instance.
void registerBuiltInWindowClasses();
void unregisterBuiltInWindowClasses();

}  // namespace vexlan
