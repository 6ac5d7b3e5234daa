#include "graph/quality_mode.h"

#include "shell/parameters.h"

namespace vexlan {

namespace {

constexpr double kQualityValues[kQualityChoiceCount] = {0.125, 0.0, 1.0};

}  // namespace

void setQualityMode(PluginInstance& instance, int32_t choice) {
    if (choice < 0 || choice >= kQualityChoiceCount) return;
    instance.paramValues[kParamQuality] = kQualityValues[choice];
    notifyParameterEdit(instance, kParamQuality);
    instance.tableChanged = 1;
}

int32_t qualityChoice(double value) {
    if (value > 0.5) return 2;
    if (value < 0.0625) return 1;
    return 0;
}

}  // namespace vexlan
