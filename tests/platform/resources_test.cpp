#include "platform/resources.h"

#include <gtest/gtest.h>

TEST(Resources, FoundByExactNameAndType) {
    EXPECT_FALSE(findResource("QUAKE2", "PALETTE").empty());
    EXPECT_TRUE(findResource("QUAKE2", "palette").empty());
    EXPECT_TRUE(findResource("quake2", "PALETTE").empty());
    EXPECT_TRUE(findResource("NOSUCH", "PALETTE").empty());
    EXPECT_TRUE(findResource(nullptr, "PALETTE").empty());
}
