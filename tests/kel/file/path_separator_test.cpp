#include "kel/file/path_separator.h"

#include <gtest/gtest.h>

TEST(PathSeparator, IsSlashOnPosix) { EXPECT_EQ('/', kel::file::pathSeparator); }
