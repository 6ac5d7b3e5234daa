#include "validate_command.h"

#include <cstring>

#include "host_callback.h"
#include "validation.h"

namespace host {

namespace {

const char* statusWord(CheckStatus status) {
    switch (status) {
        case CheckStatus::Pass: return "PASS";
        case CheckStatus::Fail: return "FAIL";
        case CheckStatus::Skip: return "SKIP";
    }
    return "?";
}

// Vexlan is told apart by its identifier and name, so a plug-in of another
// maker never gets its checks.
bool isVexlan(const RunningInstance& instance) {
    char name[256] = {};
    instance.dispatch(vexlan::effGetEffectName, 0, 0, name);
    name[sizeof name - 1] = '\0';
    return instance.effect->uniqueID == vexlan::fourCharCode('V', 'x', 'l', 'n') &&
           std::strcmp(name, "Vexlan (FFT EQ+Dynamics Processor)") == 0;
}

}  // namespace

int runValidateCommand(const std::string& pluginPath, std::ostream& out) {
    const std::string path = pluginPath.empty() ? defaultPluginPath() : pluginPath;
    ValidationTarget target{path, false};
    out << "validating " << path << (isForeignHost() ? " in a foreign host" : " in the maker's host") << '\n';
    {
        RunningInstance probe(path);
        if (!probe.ok()) {
            out << "FAIL  load: " << probe.error << "\nchecks: 0 passed, 1 failed, 0 skipped" << std::endl;
            return 1;
        }
        target.ours = isVexlan(probe);
    }
    int counts[3] = {0, 0, 0};
    for (const ValidationCheck& check : validationChecks()) {
        if (check.oursOnly && !target.ours) continue;
        const CheckResult result = check.run(target);
        ++counts[int(result.status)];
        // Flushed at once: if the next check crashes the host, this line stays.
        out << statusWord(result.status) << "  " << check.name << ": " << result.detail << std::endl;
    }
    out << "checks: " << counts[int(CheckStatus::Pass)] << " passed, " << counts[int(CheckStatus::Fail)]
        << " failed, " << counts[int(CheckStatus::Skip)] << " skipped" << std::endl;
    return counts[int(CheckStatus::Fail)] ? 1 : 0;
}

}  // namespace host
