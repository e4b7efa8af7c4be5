// Conformance: share modes between handles (learn.microsoft.com, "Creating and Opening
// Files": a second open must be compatible with every open handle's sharing, and every open
// handle must share what the second one asks for).
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>

#include "platform/win32.h"
#include "tests/support/temp_machine.h"

namespace {

HANDLE open_file(DWORD access, DWORD share) {
  return CreateFileA("C:\\shared.txt", access, share, nullptr, OPEN_ALWAYS, 0, nullptr);
}

TEST(ShareModes, SecondOpenAgainstFirstHandle) {
  txtest::TempMachine machine;
  const DWORD R = GENERIC_READ, W = GENERIC_WRITE, SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE,
              SD = FILE_SHARE_DELETE;
  struct Case {
    DWORD first_access, first_share, second_access, second_share;
    bool second_opens;
  } cases[] = {
      {R, 0, R, SR | SW, false},            // share mode 0: nobody else
      {R, SR, R, SR, true},                 // readers sharing reads
      {R, SR, W, SR | SW, false},           // first does not share writes
      {W, SR | SW, R, SR, false},           // second would not share the first's write access
      {W, SR | SW, R, SR | SW, true},
      {R | W, SR | SW | SD, R | W, SR | SW | SD, true},
      {R, SR, R, 0, false},                 // second refuses the read the first holds
  };
  for (const auto& c : cases) {
    HANDLE first = open_file(c.first_access, c.first_share);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    SetLastError(0xDEAD);
    HANDLE second = open_file(c.second_access, c.second_share);
    EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.second_opens)
        << c.first_access << "/" << c.first_share << " then " << c.second_access << "/" << c.second_share;
    if (second == INVALID_HANDLE_VALUE) {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    } else {
      CloseHandle(second);
    }
    CloseHandle(first);
  }
}

TEST(ShareModes, DeleteNeedsEveryHandleToShareDelete) {
  txtest::TempMachine machine;
  HANDLE h = open_file(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  SetLastError(0xDEAD);
  EXPECT_FALSE(DeleteFileA("C:\\shared.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(h);
  h = open_file(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE);
  EXPECT_TRUE(DeleteFileA("C:\\shared.txt"));
  CloseHandle(h);
}

TEST(ShareModes, RuntimeOpensMapShareFlags) {
  txtest::TempMachine machine;
  FILE* exclusive = _fsopen("C:\\shared.txt", "ab", _SH_DENYRW);
  ASSERT_NE(exclusive, nullptr);
  errno = 0;
  EXPECT_EQ(_fsopen("C:\\shared.txt", "rb", _SH_DENYNO), nullptr);
  EXPECT_EQ(errno, EACCES);  // the runtime reports a sharing violation as EACCES
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  fclose(exclusive);
  FILE* reader = _fsopen("C:\\shared.txt", "rb", _SH_DENYWR);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(_fsopen("C:\\shared.txt", "ab", _SH_DENYNO), nullptr);  // the reader denies writing
  FILE* second_reader = _fsopen("C:\\shared.txt", "rb", _SH_DENYWR);
  EXPECT_NE(second_reader, nullptr);
  fclose(second_reader);
  fclose(reader);
  errno = 0;
  EXPECT_EQ(_fsopen("C:\\missing\\x.txt", "rb", _SH_DENYNO), nullptr);
  EXPECT_EQ(errno, ENOENT);
}

}  // namespace
