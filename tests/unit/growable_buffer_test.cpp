#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "shell/growable_buffer.h"

using namespace vexlan;

namespace {

struct BufferGuard {
    GrowableBuffer buffer;
    ~BufferGuard() { freeBuffer(buffer); }
};

struct QueueGuard {
    ChannelQueue queue;
    ~QueueGuard() { freeBuffer(queue.buffer); }
};

}  // namespace

TEST(GrowableBuffer, GrowthFollowsPageRoundedSteps) {
    BufferGuard guard;
    GrowableBuffer& buffer = guard.buffer;
    ASSERT_NE(resizeBuffer(buffer, 5000, false), nullptr);
    EXPECT_EQ(buffer.size, 5000);
    EXPECT_EQ(buffer.allocated, 8096);

    // Within the block: the size moves, the block does not.
    void* block = buffer.data;
    EXPECT_EQ(resizeBuffer(buffer, 8096, false), block);
    EXPECT_EQ(buffer.allocated, 8096);

    // A large request takes half of itself as the step, page-rounded.
    ASSERT_NE(resizeBuffer(buffer, 100000, false), nullptr);
    EXPECT_EQ(buffer.allocated, (100000 + 49152 + 96) / 4096 * 4096 - 96);
    EXPECT_EQ(buffer.allocated % 4096, 4096 - 96);
}

TEST(GrowableBuffer, StepIsCappedAtFourMegabytes) {
    BufferGuard guard;
    ASSERT_NE(resizeBuffer(guard.buffer, 20'000'000, false), nullptr);
    EXPECT_EQ(guard.buffer.allocated, (20'000'000 + 4'194'304 + 96) / 4096 * 4096 - 96);
}

TEST(GrowableBuffer, SmallGranularityAddsHalfTheRequest) {
    BufferGuard guard;
    guard.buffer.granularity = 16;
    ASSERT_NE(resizeBuffer(guard.buffer, 100, false), nullptr);
    EXPECT_EQ(guard.buffer.allocated, 150);
    ASSERT_NE(resizeBuffer(guard.buffer, 10, false), nullptr);
    EXPECT_EQ(guard.buffer.allocated, 150) << "shrinking was not allowed";
}

TEST(GrowableBuffer, SameSizeNeverReallocates) {
    BufferGuard guard;
    GrowableBuffer& buffer = guard.buffer;
    resizeBuffer(buffer, 3000, false);
    const GrowableBuffer before = buffer;
    EXPECT_EQ(resizeBuffer(buffer, 3000, true), before.data);
    EXPECT_EQ(buffer.data, before.data);
    EXPECT_EQ(buffer.allocated, before.allocated);
}

TEST(GrowableBuffer, ShrinkReleasesOnlyPastTheThreshold) {
    BufferGuard guard;
    GrowableBuffer& buffer = guard.buffer;
    resizeBuffer(buffer, 100000, false);
    const int32_t allocated = buffer.allocated;  // 147360
    const int32_t threshold = std::max(1, std::min(allocated - 4 * 4096, allocated / 2));

    resizeBuffer(buffer, threshold, true);
    EXPECT_EQ(buffer.allocated, allocated) << "at the threshold the block is kept";
    resizeBuffer(buffer, threshold - 1, true);
    EXPECT_LT(buffer.allocated, allocated);
    EXPECT_EQ(buffer.size, threshold - 1);

    EXPECT_EQ(resizeBuffer(buffer, 0, true), nullptr);
    EXPECT_EQ(buffer.data, nullptr);
    EXPECT_EQ(buffer.allocated, 0);
    EXPECT_EQ(buffer.size, 0);
}

TEST(GrowableBuffer, ZeroWithoutShrinkKeepsTheBlockAndNegativeMeansZero) {
    BufferGuard guard;
    GrowableBuffer& buffer = guard.buffer;
    resizeBuffer(buffer, 1000, false);
    EXPECT_EQ(resizeBuffer(buffer, -5, false), nullptr);
    EXPECT_EQ(buffer.size, 0);
    EXPECT_NE(buffer.data, nullptr);
    EXPECT_GT(buffer.allocated, 0);
}

TEST(GrowableBuffer, DataStartsOnACacheLineAndKeepsItsContentsThroughEveryMove) {
    BufferGuard guard;
    GrowableBuffer& buffer = guard.buffer;
    // A small granularity reallocates on almost every step; blocks allocated
    // in between leave the allocator handing out differently aligned blocks.
    buffer.granularity = 8;
    std::vector<std::vector<char>> clutter;
    int32_t size = 0;
    for (int step = 0; step < 40; ++step) {
        const int32_t kept = size;
        size = size * 3 / 2 + 5 + step % 7;
        auto* bytes = static_cast<unsigned char*>(resizeBuffer(buffer, size, false));
        ASSERT_EQ(buffer.size, size);
        ASSERT_EQ(reinterpret_cast<uintptr_t>(bytes) % kBufferAlignment, 0u) << "step " << step;
        for (int32_t i = 0; i < kept; ++i) ASSERT_EQ(bytes[i], static_cast<unsigned char>(i * 7 + 3)) << i;
        for (int32_t i = kept; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + 3);
        clutter.emplace_back(size_t(17 + step * 13));
    }
    // Shrinking past the threshold moves the block too.
    auto* bytes = static_cast<unsigned char*>(resizeBuffer(buffer, 40, true));
    ASSERT_EQ(reinterpret_cast<uintptr_t>(bytes) % kBufferAlignment, 0u);
    for (int32_t i = 0; i < 40; ++i) ASSERT_EQ(bytes[i], static_cast<unsigned char>(i * 7 + 3)) << i;
}

TEST(GrowableBuffer, GrowthKeepsTheContents) {
    BufferGuard guard;
    GrowableBuffer& buffer = guard.buffer;
    auto* bytes = static_cast<unsigned char*>(resizeBuffer(buffer, 4000, false));
    for (int i = 0; i < 4000; ++i) bytes[i] = static_cast<unsigned char>(i * 7);
    bytes = static_cast<unsigned char*>(resizeBuffer(buffer, 400000, false));
    ASSERT_NE(bytes, nullptr);
    for (int i = 0; i < 4000; ++i) ASSERT_EQ(bytes[i], static_cast<unsigned char>(i * 7)) << i;
}

TEST(ChannelQueue, FifoRestartsAtTheFrontWhenDrained) {
    QueueGuard guard;
    ChannelQueue& queue = guard.queue;
    const float first[3] = {1, 2, 3};
    ASSERT_TRUE(appendToQueue(queue, first, sizeof first));
    consumeFromQueue(queue, 2 * sizeof(float));
    EXPECT_EQ(queuedBytes(queue), int32_t(sizeof(float)));
    EXPECT_EQ(bufferAs<float>(queue.buffer)[queue.readPosition / 4], 3.0f);

    consumeFromQueue(queue, 100);  // never past the end
    EXPECT_EQ(queue.readPosition, queue.buffer.size);
    const float second[2] = {4, 5};
    ASSERT_TRUE(appendToQueue(queue, second, sizeof second));
    EXPECT_EQ(queue.readPosition, 0) << "a drained queue restarts at the front";
    EXPECT_EQ(queue.buffer.size, int32_t(sizeof second));
    EXPECT_EQ(bufferAs<float>(queue.buffer)[0], 4.0f);
}

TEST(ChannelQueue, CompactMovesQueuedBytesToTheFront) {
    QueueGuard guard;
    ChannelQueue& queue = guard.queue;
    const float samples[5] = {1, 2, 3, 4, 5};
    appendToQueue(queue, samples, sizeof samples);
    consumeFromQueue(queue, 3 * sizeof(float));
    const int32_t allocated = queue.buffer.allocated;
    compactQueue(queue);
    EXPECT_EQ(queue.readPosition, 0);
    EXPECT_EQ(queue.buffer.size, int32_t(2 * sizeof(float)));
    EXPECT_EQ(queue.buffer.allocated, allocated);
    EXPECT_EQ(bufferAs<float>(queue.buffer)[0], 4.0f);
    EXPECT_EQ(bufferAs<float>(queue.buffer)[1], 5.0f);
}

TEST(ChannelQueue, NullSourceAppendsZeros) {
    QueueGuard guard;
    ChannelQueue& queue = guard.queue;
    const float one = 1.0f;
    appendToQueue(queue, &one, sizeof one);
    appendToQueue(queue, nullptr, 3 * sizeof(float));
    ASSERT_EQ(queuedBytes(queue), int32_t(4 * sizeof(float)));
    const float* data = bufferAs<float>(queue.buffer);
    EXPECT_EQ(data[0], 1.0f);
    EXPECT_EQ(data[1], 0.0f);
    EXPECT_EQ(data[3], 0.0f);
}
