// The saved state: one opaque byte block the host keeps in its project.
#pragma once

#include <cstdint>

namespace vexlan {

struct PluginInstance;

// Serialises into the process-wide chunk queue; *data receives its address
// (valid until the next save of any instance). Returns the byte count.
int32_t saveStateChunk(PluginInstance& instance, void** data);
// Loads any prefix of the layout; never rejects a block. Returns 1.
int32_t loadStateChunk(PluginInstance& instance, const void* data, int32_t size);

}  // namespace vexlan
