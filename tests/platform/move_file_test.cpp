// MoveFileExA conformance. Expected values: learn.microsoft.com, "MoveFileExA" (winbase.h)
// and "System Error Codes".
#include <gtest/gtest.h>

#include "platform/win32.h"
#include "tests/support/temp_machine.h"

namespace {

constexpr DWORD kSentinel = 0xDEAD;

class MoveFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_.write_file("C:\\data\\new.bin", "new");
    machine_.write_file("C:\\data\\old.bin", "old");
  }

  DWORD move_error(const char* from, const char* to, DWORD flags) {
    SetLastError(kSentinel);
    if (MoveFileExA(from, to, flags)) return ERROR_SUCCESS;
    return GetLastError();
  }

  txtest::TempMachine machine_;
};

TEST_F(MoveFileTest, ReplacesOnlyWithTheFlag) {
  EXPECT_EQ(move_error("C:\\data\\new.bin", "C:\\data\\old.bin", 0), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(machine_.read_file("C:\\data\\old.bin"), "old");
  EXPECT_EQ(move_error("C:\\data\\new.bin", "C:\\data\\old.bin", MOVEFILE_REPLACE_EXISTING),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(machine_.read_file("C:\\data\\old.bin"), "new");
  EXPECT_FALSE(machine_.exists("C:\\data\\new.bin"));
  EXPECT_EQ(move_error("C:\\data\\old.bin", "C:\\data\\moved.bin", 0), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(machine_.read_file("C:\\data\\moved.bin"), "new");
}

TEST_F(MoveFileTest, MissingSourceOrFolder) {
  EXPECT_EQ(move_error("C:\\data\\none.bin", "C:\\data\\x.bin", 0), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(move_error("C:\\nofolder\\none.bin", "C:\\data\\x.bin", 0), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(move_error("C:\\data\\new.bin", "C:\\nofolder\\x.bin", 0), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_TRUE(machine_.exists("C:\\data\\new.bin"));
}

// Renaming needs delete access to the moved file and to the file it replaces, so a handle
// that does not share delete blocks either side; one that shares it does not.
TEST_F(MoveFileTest, OpenHandlesWithoutShareDeleteBlock) {
  struct Case {
    const char* held;
    DWORD share;
    DWORD error;
  } cases[] = {
      {"C:\\data\\old.bin", FILE_SHARE_READ | FILE_SHARE_WRITE, ERROR_SHARING_VIOLATION},
      {"C:\\data\\new.bin", FILE_SHARE_READ | FILE_SHARE_WRITE, ERROR_SHARING_VIOLATION},
      {"C:\\data\\old.bin", FILE_SHARE_READ | FILE_SHARE_DELETE, ERROR_SUCCESS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.held);
    machine_.write_file("C:\\data\\new.bin", "new");
    machine_.write_file("C:\\data\\old.bin", "old");
    HANDLE handle = CreateFileA(c.held, GENERIC_READ, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(move_error("C:\\data\\new.bin", "C:\\data\\old.bin", MOVEFILE_REPLACE_EXISTING), c.error);
    CloseHandle(handle);
    EXPECT_EQ(machine_.read_file("C:\\data\\old.bin"), c.error == ERROR_SUCCESS ? "new" : "old");
  }
}

TEST_F(MoveFileTest, FolderTargetIsNotReplaced) {
  ASSERT_TRUE(CreateDirectoryA("C:\\data\\folder", nullptr));
  EXPECT_EQ(move_error("C:\\data\\new.bin", "C:\\data\\folder", MOVEFILE_REPLACE_EXISTING),
            static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(move_error(nullptr, "C:\\data\\x.bin", 0), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
