// The saved state: one opaque byte block the host keeps in its project.
//
// Layout (little-endian): an int32 marker (0x129C: points only; 0x129B: the
// compressed table follows; 0x129A: 4096 raw float32 follow, read only), the
// body (graph range, FFT size, parameters 0 and 1, edit mode, point count,
// the points) and the tail (processing mode, parameters 2 to 6, editor size,
// channel word, parameter 7, eight reserved bytes).
#pragma once

#include <cstdint>

namespace vexlan {

struct PluginInstance;

// Serialises the state into a process-wide chunk queue and stores the
// queue's address in *data (null when nothing was written). Returns the byte
// count. Takes no instance lock.
//
// Each saving thread has a queue of its own (up to eight threads; a ninth
// takes over the least recently used queue), and a process-wide lock is held
// while the bytes are written. The returned bytes therefore stay valid until
// the same thread saves again, from any instance, and at least until eight
// other threads have saved since. A host copies them before either happens.
int32_t saveStateChunk(PluginInstance& instance, void** data);

// Loads any prefix of the layout under stateLock then displayLock and
// returns 1; a block is never rejected. Fields the block lacks keep their
// current values, except parameters 6 and 7 (1.0), the edit mode ("Precise")
// and the channel word (two channels, stereo pairs).
//
// Stored values outside their valid range are ignored like absent fields:
// an FFT size that is not a power of two from 128 to 32768, an edit mode
// outside 0..2 and a processing mode outside 0..4 keep the value the field
// had; so does any float that is not finite. The channel count follows
// setChannelCount (0 gives 2, above 128 gives 128). Table values that are
// not finite become 0.
int32_t loadStateChunk(PluginInstance& instance, const void* data, int32_t size);

// The reading half of loadStateChunk: takes the fields of `size` bytes into
// the instance by the same rules, without locks and without applying them
// (no channel count, graph, analysis buffer or host call), and returns the
// channel word (count in bits 0-7, metering source in 16-23, layout in
// 24-25). Cheap enough to run on millions of arbitrary blocks.
uint32_t readStateFields(PluginInstance& instance, const uint8_t* bytes, int32_t size);

}  // namespace vexlan
