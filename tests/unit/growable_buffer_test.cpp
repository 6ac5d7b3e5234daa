#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "shell/growable_buffer.h"

using namespace vexlan;

namespace {

struct BufferGuard {
    GrowableBuffer& buffer;
    ~BufferGuard() { freeBuffer(buffer); }
};

}  // namespace

TEST(GrowableBuffer, GrowthAddsHalfTheRequestPageRoundedAndCapped) {
    struct Case {
        int32_t granularity;
        int32_t request;
        int32_t allocated;
    };
    const Case cases[] = {
        {4096, 5000, 8096},            // a page at least; blocks end 96 bytes short of a page
        {4096, 100000, 147360},        // half the request, rounded down to pages
        {4096, 20'000'000, 24190880},  // at most 4 MiB more
        {16, 100, 150},                // below a page: half the request as it is
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request);
        GrowableBuffer buffer;
        BufferGuard guard{buffer};
        buffer.granularity = c.granularity;
        ASSERT_NE(resizeBuffer(buffer, c.request, false), nullptr);
        EXPECT_EQ(buffer.size, c.request);
        EXPECT_EQ(buffer.allocated, c.allocated);
    }
}

TEST(GrowableBuffer, TheBlockStaysUntilAShrinkPastTheThreshold) {
    GrowableBuffer buffer;
    BufferGuard guard{buffer};
    void* block = resizeBuffer(buffer, 100000, false);
    ASSERT_EQ(buffer.allocated, 147360);
    // Growing within the block, the same size, shrinking without leave, and
    // a negative size (taken as 0) all keep it.
    EXPECT_EQ(resizeBuffer(buffer, 147360, false), block);
    EXPECT_EQ(resizeBuffer(buffer, 147360, true), block);
    EXPECT_EQ(resizeBuffer(buffer, 10, false), block);
    EXPECT_EQ(resizeBuffer(buffer, -5, false), nullptr);
    EXPECT_EQ(buffer.size, 0);
    EXPECT_EQ(buffer.data, block);
    EXPECT_EQ(buffer.allocated, 147360);

    // The threshold: half the block here, as that is less than the block
    // minus four pages.
    resizeBuffer(buffer, 100000, false);
    resizeBuffer(buffer, 73680, true);
    EXPECT_EQ(buffer.allocated, 147360) << "at the threshold the block is kept";
    resizeBuffer(buffer, 73679, true);
    EXPECT_LT(buffer.allocated, 147360);
    EXPECT_EQ(buffer.size, 73679);

    EXPECT_EQ(resizeBuffer(buffer, 0, true), nullptr);
    EXPECT_EQ(buffer.data, nullptr);
    EXPECT_EQ(buffer.allocated, 0);
    EXPECT_EQ(buffer.size, 0);
}

TEST(GrowableBuffer, DataStartsOnACacheLineAndKeepsItsContentsThroughEveryMove) {
    GrowableBuffer buffer;
    BufferGuard guard{buffer};
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
