#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "shell/growable_buffer.h"

using namespace vexlan;

namespace {

struct BufferGuard {
    GrowableBuffer& buffer;
    ~BufferGuard() { freeBuffer(buffer); }
};

}  // namespace

// A block is given back only when a caller allows a shrink: the audio path
// never does, so it never frees what it will need again.
TEST(GrowableBuffer, TheBlockStaysUnlessAShrinkIsAllowed) {
    GrowableBuffer buffer;
    BufferGuard guard{buffer};
    void* block = resizeBuffer(buffer, 100000, false);
    ASSERT_NE(block, nullptr);
    const int32_t allocated = buffer.allocated;
    EXPECT_GT(allocated, 100000) << "growth leaves room for more";
    // Growing within the block, shrinking without leave, and a negative size
    // (taken as 0) all keep it.
    EXPECT_EQ(resizeBuffer(buffer, allocated, false), block);
    EXPECT_EQ(resizeBuffer(buffer, 10, false), block);
    EXPECT_EQ(resizeBuffer(buffer, -5, false), nullptr);
    EXPECT_EQ(buffer.size, 0);
    EXPECT_EQ(buffer.data, block);
    EXPECT_EQ(buffer.allocated, allocated);

    // With leave, a shrink to a fraction of the block gives memory back, and
    // one to 0 frees it all.
    resizeBuffer(buffer, 100000, false);
    resizeBuffer(buffer, 1000, true);
    EXPECT_LT(buffer.allocated, allocated);
    EXPECT_EQ(buffer.size, 1000);
    EXPECT_EQ(resizeBuffer(buffer, 0, true), nullptr);
    EXPECT_EQ(buffer.data, nullptr);
    EXPECT_EQ(buffer.allocated, 0);
}

TEST(GrowableBuffer, DataStartsOnACacheLineAndKeepsItsContentsThroughEveryMove) {
    GrowableBuffer buffer;
    BufferGuard guard{buffer};
    // A small granularity reallocates on almost every step; blocks allocated
    // in between leave the allocator handing out differently aligned blocks.
    buffer.granularity = 8;
    std::vector<std::vector<char>> clutter;
    std::vector<unsigned char> expected;
    for (int step = 0; step < 24; ++step) {
        const size_t kept = expected.size();
        expected.resize(kept * 3 / 2 + 5 + step % 7);
        for (size_t i = kept; i < expected.size(); ++i) expected[i] = static_cast<unsigned char>(i * 7 + 3);
        auto* bytes = static_cast<unsigned char*>(resizeBuffer(buffer, int32_t(expected.size()), false));
        ASSERT_EQ(buffer.size, int32_t(expected.size()));
        ASSERT_EQ(reinterpret_cast<uintptr_t>(bytes) % kBufferAlignment, 0u) << "step " << step;
        ASSERT_EQ(std::memcmp(bytes, expected.data(), kept), 0) << "step " << step;
        std::memcpy(bytes + kept, expected.data() + kept, expected.size() - kept);
        clutter.emplace_back(size_t(17 + step * 13));
    }
    // Shrinking past the threshold moves the block too.
    auto* bytes = static_cast<unsigned char*>(resizeBuffer(buffer, 40, true));
    ASSERT_EQ(reinterpret_cast<uintptr_t>(bytes) % kBufferAlignment, 0u);
    EXPECT_EQ(std::memcmp(bytes, expected.data(), 40), 0);
}

TEST(ChannelQueue, AppendConsumeCompactAndRestartAtTheFrontWhenDrained) {
    ChannelQueue queue;
    BufferGuard guard{queue.buffer};
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
    // A null source appends zeros, here over the 3 left from before.
    ASSERT_TRUE(appendToQueue(queue, nullptr, 2 * sizeof(float)));
    consumeFromQueue(queue, sizeof(float));
    const int32_t allocated = queue.buffer.allocated;
    compactQueue(queue);
    EXPECT_EQ(queue.readPosition, 0);
    EXPECT_EQ(queue.buffer.allocated, allocated);
    ASSERT_EQ(queue.buffer.size, int32_t(3 * sizeof(float)));
    const float* data = bufferAs<float>(queue.buffer);
    EXPECT_EQ(data[0], 5.0f);
    EXPECT_EQ(data[1], 0.0f);
    EXPECT_EQ(data[2], 0.0f);
}
