// The editor dialog (resource 101) that the host opens inside its editor
// window: the graph control and the controls for every setting, kept in step
// with the instance both ways. Windows only: the native build has no editor
// window. The dispatcher opens it through openEditorWindow (editor_link.h);
// the graph control and the dispatcher reach it through its private
// messages.
#pragma once

#include <cstdint>

namespace vexlan {

struct PluginInstance;

// Process-wide, shared by every open editor: raised around the editor's own
// writes to its controls, so the notifications those writes cause are not
// taken for a user's edits.
extern int32_t controlUpdateDepth;

// Every control from the instance (EDITOR_MSG_RELOAD); ends with
// updateModeControls.
void reloadEditorControls(PluginInstance& instance);
// Shows the controls of the current processing mode, hides the others
// (EDITOR_MSG_MODE_CONTROLS).
void updateModeControls(PluginInstance& instance);
// Rebuilds the metering list when the channel count or layout changed and
// selects the current source (EDITOR_MSG_METERING).
void fillMeteringCombo(PluginInstance& instance);

}  // namespace vexlan
