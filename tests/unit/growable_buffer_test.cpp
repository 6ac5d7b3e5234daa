#include <gtest/gtest.h>

#include "shell/growable_buffer.h"

using namespace vexlan;

TEST(GrowableBuffer, GrowsInPageSteps) {
    GrowableBuffer buffer;
    ASSERT_NE(resizeBuffer(buffer, 5000, false), nullptr);
    EXPECT_EQ(buffer.size, 5000);
    EXPECT_EQ(buffer.allocated, 8096);
    freeBuffer(buffer);
}
