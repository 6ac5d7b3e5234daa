#include "graph/graph_menu.h"

#include "graph/graph_model.h"
#include "graph/quality_mode.h"
#include "shell/editor_link.h"
#include "shell/parameters.h"
#include "shell/plugin_instance.h"

namespace vexlan {

namespace {

// The FFT-size items count from 40002 + log2(128).
constexpr int32_t kFftSizeCommandBase = 40002;

bool isOn(double switchValue) { return switchValue >= 0.5; }

int32_t log2Of(int32_t size) {
    int32_t bits = 0;
    while (size > 1) {
        size >>= 1;
        ++bits;
    }
    return bits;
}

bool within(int32_t command, int32_t first, int32_t last) { return command >= first && command <= last; }

void insertPoint(PluginInstance& instance, double frequency, double gain) {
    const int32_t count = activePointCount(instance);
    if (count >= kMaxGraphPoints) return;
    instance.points[count] = {frequency, gain};
    instance.pointCount = count + 1;
    evaluateGraph(instance);
    instance.tableChanged = 1;
}

// Switch parameters flip between 0 and 1 and restart the analysis display.
void toggleSwitch(PluginInstance& instance, int32_t parameter) {
    {
        LockHold state(instance.stateLock);
        double& value = instance.paramValues[parameter];
        value = value > 0.5 ? 0.0 : 1.0;
    }
    resetAnalysis(instance, true);
    notifyParameterEdit(instance, parameter);
}

}  // namespace

GraphMenuMarks prepareGraphMenu(const PluginInstance& instance) {
    GraphMenuMarks marks{};
    marks.insertGreyed = instance.editMode == kEditPrecise;
    auto check = [&marks](int32_t command) { marks.checked[marks.checkedCount++] = command; };
    check(kCmdProcessingModeFirst + instance.processingMode);
    check(kFftSizeCommandBase + log2Of(instance.fftSize));
    check(kCmdQualityFirst + qualityChoice(instance.paramValues[kParamQuality]));
    check(kCmdEditModeFirst + instance.editMode);
    if (isOn(instance.paramValues[kParamShowAnalysis])) check(kCmdShowAnalysis);
    if (isOn(instance.paramValues[kParamReduceArtifacts])) check(kCmdReduceArtifacts);
    return marks;
}

void applyPointMenuCommand(PluginInstance& instance, int32_t index, int32_t command) {
    if (index < 0 || index >= activePointCount(instance)) return;
    if (command == kCmdRemovePoint) {
        removePoint(instance, index);
    } else if (command == kCmdSetPointToZeroDb) {
        instance.points[index].gain = 0.0;
        evaluateGraph(instance);
        instance.tableChanged = 1;
    }
}

void applyGraphMenuCommand(PluginInstance& instance, int32_t command, double frequency, double gain) {
    bool reloadEditor = true;
    if (command == kCmdInsertPoint) {
        insertPoint(instance, frequency, gain);
        reloadEditor = false;
    } else if (command == kCmdResetGraph) {
        resetGraph(instance);
        reloadEditor = false;
    } else if (within(command, kCmdEditModeFirst, kCmdEditModeLast)) {
        setEditMode(instance, command - kCmdEditModeFirst);
    } else if (within(command, kCmdFftSizeFirst, kCmdFftSizeLast)) {
        setFftSize(instance, int32_t(1) << (command - kFftSizeCommandBase));
    } else if (within(command, kCmdQualityFirst, kCmdQualityLast)) {
        setQualityMode(instance, command - kCmdQualityFirst);
    } else if (within(command, kCmdProcessingModeFirst, kCmdProcessingModeLast)) {
        instance.autoNoiseProfile = 0;
        instance.processingMode = command - kCmdProcessingModeFirst;
        postEditorMessage(instance, EDITOR_MSG_MODE_CONTROLS);
    } else if (command == kCmdReduceArtifacts || command == kCmdShowAnalysis) {
        toggleSwitch(instance, command == kCmdShowAnalysis ? kParamShowAnalysis : kParamReduceArtifacts);
        reloadEditor = false;
    } else {
        reloadEditor = false;
    }
    if (reloadEditor) sendEditorMessage(instance, EDITOR_MSG_RELOAD);
}

}  // namespace vexlan
