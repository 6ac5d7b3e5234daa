// Heap byte buffers that grow in steps and never shrink on the audio path,
// and the sample FIFOs built on them.
//
// Users call resizeBuffer and treat it as failed unless `size` afterwards
// equals the request: a failed growth keeps the old block (data may still be
// non-null).
#pragma once

#include <cstdint>

namespace vexlan {

constexpr int32_t kDefaultGranularity = 4096;
// Data starts on a cache line: a 64-byte vector load from anywhere else
// touches two lines.
constexpr int32_t kBufferAlignment = 64;

struct GrowableBuffer {
    void* data = nullptr;   // kBufferAlignment-aligned, inside block
    void* block = nullptr;  // as the allocator returned it, with alignment slack
    int32_t allocated = 0;
    int32_t size = 0;
    int32_t granularity = kDefaultGranularity;
};

// Resizes to n bytes; returns the data, or null when the size ends at 0.
void* resizeBuffer(GrowableBuffer& buffer, int32_t n, bool allowShrink);
void freeBuffer(GrowableBuffer& buffer);

template <typename T>
T* bufferAs(const GrowableBuffer& buffer) {
    return static_cast<T*>(buffer.data);
}

// Bytes between readPosition and buffer.size are queued.
struct ChannelQueue {
    GrowableBuffer buffer;
    int32_t readPosition = 0;
};

inline int32_t queuedBytes(const ChannelQueue& queue) {
    return queue.buffer.size - queue.readPosition;
}

// Appends `bytes` bytes (zeros when `source` is null). Returns false, queue
// unchanged, when the block cannot grow.
bool appendToQueue(ChannelQueue& queue, const void* source, int32_t bytes);
// Advances the read position by `bytes`, kept within 0..size.
void consumeFromQueue(ChannelQueue& queue, int32_t bytes);
// Moves the queued bytes to the front (the block is kept).
void compactQueue(ChannelQueue& queue);
// Empties the queue, keeping its memory.
void clearQueue(ChannelQueue& queue);

}  // namespace vexlan
