#include <gtest/gtest.h>
#include "bridge/bridge.h"
TEST(Smoke, Builds) { EXPECT_TRUE(wb::Variant().IsEmpty()); }
