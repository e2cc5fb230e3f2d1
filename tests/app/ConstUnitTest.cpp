#include "app/ConstUnit.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

TEST(Settings, placeholder) { EXPECT_EQ(1, 1); }
