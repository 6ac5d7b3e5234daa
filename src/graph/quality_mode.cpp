#include "graph/quality_mode.h"

#include "shell/parameters.h"

namespace vexlan {

void setQualityMode(PluginInstance& instance, int choice) {
    constexpr double kQualityValues[] = {0.125, 0.0, 1.0};
    if (choice < 0 || choice > 2) return;
    {
        LockHold state(instance.stateLock);
        instance.paramValues[kParamQuality] = kQualityValues[choice];
    }
    notifyParameterEdit(instance, kParamQuality);
    instance.tableChanged = 1;
}

}  // namespace vexlan
