#include <gtest/gtest.h>

#include "common/settings.h"
#include "tests/support/temp_machine.h"

namespace {

TEST(CreateDirectoryPath, CreatesEveryPrefixEndingInASeparatorButNotTheLastName) {
  txtest::TempMachine machine;
  EXPECT_EQ(CreateDirectoryPath("C:\\talvex\\log\\conlog"), 1);
  EXPECT_TRUE(machine.exists("C:\\talvex"));
  EXPECT_TRUE(machine.exists("C:\\talvex\\log"));
  EXPECT_FALSE(machine.exists("C:\\talvex\\log\\conlog"));
  // Run again: the last prefix already exists, which still counts as success.
  EXPECT_EQ(CreateDirectoryPath("C:\\talvex\\log\\conlog"), 1);
}

TEST(CreateDirectoryPath, OnlyTheLastCallCounts) {
  txtest::TempMachine machine;
  machine.write_file("C:\\blocker", "a file where a folder should be");
  EXPECT_EQ(CreateDirectoryPath("C:\\blocker\\sub\\x"), 0);  // "C:\blocker\sub\" has no parent folder
  EXPECT_EQ(CreateDirectoryPath("C:\\a<b\\x"), 0);            // ERROR_INVALID_NAME
  EXPECT_EQ(CreateDirectoryPath("nosseparator"), 0);
  std::string deep = "C:\\" + std::string(300, 'd') + "\\x";
  EXPECT_EQ(CreateDirectoryPath(deep.c_str()), 0);
}

}  // namespace
