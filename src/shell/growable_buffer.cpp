#include "shell/growable_buffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace vexlan {

namespace {

constexpr int32_t kPage = 4096;
constexpr int32_t kMaxStep = 4194304;
// Keeps the block size just below a page multiple, leaving room for the
// allocator's own header and the alignment slack.
constexpr int32_t kAllocatorSlack = 96;
static_assert(kBufferAlignment - 1 + 16 <= kAllocatorSlack, "a 16-byte allocator header must still fit");

int32_t newAllocation(int32_t n, int32_t granularity) {
    if (n < 1) return 0;
    if (granularity < kPage) return int32_t(std::min<int64_t>(int64_t(n) + std::max(n / 2, granularity), INT32_MAX));
    int32_t step = std::max(n / 2, granularity) / kPage * kPage;
    step = std::clamp(step, kPage, kMaxStep);
    const int64_t total = (int64_t(n) + step + kAllocatorSlack) / kPage * kPage - kAllocatorSlack;
    return int32_t(std::min<int64_t>(total, INT32_MAX));
}

void* resultOf(const GrowableBuffer& buffer) { return buffer.size > 0 ? buffer.data : nullptr; }

size_t blockBytes(int32_t allocated) { return size_t(allocated) + kBufferAlignment - 1; }

char* alignedStart(void* block) {
    const uintptr_t address = reinterpret_cast<uintptr_t>(block);
    return reinterpret_cast<char*>((address + kBufferAlignment - 1) & ~uintptr_t(kBufferAlignment - 1));
}

}  // namespace

void* resizeBuffer(GrowableBuffer& buffer, int32_t n, bool allowShrink) {
    if (n < 0) n = 0;
    if (n == buffer.size) return resultOf(buffer);

    int32_t threshold = 0;
    if (allowShrink && n < buffer.size) {
        threshold = std::max(1, std::min(buffer.allocated - 4 * buffer.granularity, buffer.allocated / 2));
    }
    if (n > buffer.allocated || n < threshold) {
        const int32_t target = newAllocation(n, buffer.granularity);
        if (target != buffer.allocated) {
            if (target == 0) {
                freeBuffer(buffer);
                return nullptr;
            }
            // A fresh block rather than realloc: realloc would keep the bytes
            // at their old offset from the block start, and the aligned start
            // of the new block may lie elsewhere, costing a second move. On
            // failure the buffer is left as it was.
            void* block = std::malloc(blockBytes(target));
            if (!block) return resultOf(buffer);
            char* data = alignedStart(block);
            if (buffer.data) std::memcpy(data, buffer.data, size_t(std::min(n, buffer.size)));
            std::free(buffer.block);
            buffer.block = block;
            buffer.data = data;
            buffer.allocated = target;
        }
    }
    buffer.size = n;
    return resultOf(buffer);
}

void freeBuffer(GrowableBuffer& buffer) {
    std::free(buffer.block);
    buffer.block = nullptr;
    buffer.data = nullptr;
    buffer.allocated = 0;
    buffer.size = 0;
}

bool appendToQueue(ChannelQueue& queue, const void* source, int32_t bytes) {
    if (bytes <= 0) return true;
    if (queue.readPosition >= queue.buffer.size) {
        queue.readPosition = 0;
        queue.buffer.size = 0;
    }
    const int32_t oldSize = queue.buffer.size;
    resizeBuffer(queue.buffer, oldSize + bytes, false);
    if (queue.buffer.size != oldSize + bytes) return false;
    char* end = static_cast<char*>(queue.buffer.data) + oldSize;
    if (source) {
        std::memcpy(end, source, size_t(bytes));
    } else {
        std::memset(end, 0, size_t(bytes));
    }
    return true;
}

void consumeFromQueue(ChannelQueue& queue, int32_t bytes) {
    queue.readPosition = std::clamp(queue.readPosition + bytes, 0, queue.buffer.size);
}

void compactQueue(ChannelQueue& queue) {
    const int32_t queued = queuedBytes(queue);
    if (queued > 0 && queue.readPosition > 0) {
        char* base = static_cast<char*>(queue.buffer.data);
        std::memmove(base, base + queue.readPosition, size_t(queued));
    }
    queue.buffer.size = std::max(queued, 0);
    queue.readPosition = 0;
}

void clearQueue(ChannelQueue& queue) {
    queue.readPosition = 0;
    queue.buffer.size = 0;
}

}  // namespace vexlan
