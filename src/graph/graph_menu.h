// The graph control's two right-button menus (resource 104): which items
// are checked or greyed, and what each command does to the instance.
#pragma once

#include <cstdint>

namespace vexlan {

struct PluginInstance;

constexpr int kGraphMenuResource = 104;
// Pop-up positions inside the menu resource.
constexpr int kPointMenu = 0;
constexpr int kGraphMenu = 1;

enum GraphMenuCommand : int32_t {
    kCmdSetPoint = 40001,
    kCmdRemovePoint = 40002,
    kCmdSetPointToZeroDb = 40003,
    kCmdInsertPoint = 40004,
    kCmdResetGraph = 40005,
    kCmdEditModeFirst = 40006,  // 40006..40008: edit modes 0..2
    kCmdEditModeLast = 40008,
    kCmdFftSizeFirst = 40009,  // 40009..40017: 128..32768
    kCmdFftSizeLast = 40017,
    kCmdQualityFirst = 40018,  // 40018..40020: quality choices 0..2
    kCmdQualityLast = 40020,
    kCmdProcessingModeFirst = 40021,  // 40021..40025: processing modes 0..4
    kCmdProcessingModeLast = 40025,
    kCmdReduceArtifacts = 40026,
    kCmdShowAnalysis = 40027,
};

// The graph menu's state as shown: "Insert point" greyed in "Precise", and
// the items that carry a check mark.
struct GraphMenuMarks {
    bool insertGreyed;
    int32_t checkedCount;
    int32_t checked[6];
};

GraphMenuMarks prepareGraphMenu(const PluginInstance& instance);

// "Remove point" and "Set to 0db" on point `index`; "Set..." goes through
// the Set point dialog instead. Any other command does nothing.
void applyPointMenuCommand(PluginInstance& instance, int32_t index, int32_t command);

// A graph menu command; (frequency, gain) is where the menu was opened, the
// place "Insert point" puts the new point. 0 (dismissed) does nothing.
void applyGraphMenuCommand(PluginInstance& instance, int32_t command, double frequency, double gain);

}  // namespace vexlan
