// Conformance: kernel32 files and folders as the product relies on them.
// Expected values: learn.microsoft.com (CreateDirectoryA, CreateFileA, DeleteFileA,
// GetFileAttributesA, FindFirstFileA, GetFullPathNameA) and the notes beside each case.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/support/temp_machine.h"

namespace {

constexpr DWORD kSentinel = 0xDEAD;

struct Expect {
  BOOL result;
  DWORD error;  // checked only when result is FALSE
};

void expect_call(const char* what, BOOL result, Expect expected) {
  EXPECT_EQ(!!result, !!expected.result) << what;
  if (!expected.result) {
    EXPECT_EQ(GetLastError(), expected.error) << what;
  }
}

TEST(CreateDirectory, ResultsAndErrors) {
  txtest::TempMachine machine;
  machine.write_file("C:\\file.txt", "x");
  struct Case {
    const char* path;
    Expect expected;
  } cases[] = {
      {"C:\\talvex", {TRUE, 0}},
      {"C:\\talvex", {FALSE, ERROR_ALREADY_EXISTS}},
      {"C:\\TALVEX\\", {FALSE, ERROR_ALREADY_EXISTS}},  // trailing separator accepted, case ignored
      {"C:\\talvex\\log\\", {TRUE, 0}},
      {"C:\\missing\\child", {FALSE, ERROR_PATH_NOT_FOUND}},  // only the last name is created
      {"C:\\file.txt", {FALSE, ERROR_ALREADY_EXISTS}},        // a file of that name exists
      // The drive root: reports disagree between 183 and 5; this layer answers 5.
      {"C:\\", {FALSE, ERROR_ACCESS_DENIED}},
  };
  for (const auto& c : cases) {
    SetLastError(kSentinel);
    expect_call(c.path, CreateDirectoryA(c.path, nullptr), c.expected);
  }
  EXPECT_TRUE(machine.exists("C:\\talvex\\log"));
}

TEST(Files, CreateFileDispositions) {
  txtest::TempMachine machine;
  const char* path = "C:\\data.bin";
  SetLastError(kSentinel);
  EXPECT_EQ(CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  SetLastError(kSentinel);
  EXPECT_EQ(CreateFileA("C:\\nofolder\\x", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  // CREATE_ALWAYS on a new file: last error 0; on an existing one: 183, and it is emptied.
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(h, "hello", 5, &written, nullptr));
  EXPECT_EQ(written, 5u);
  CloseHandle(h);
  h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(GetFileSize(h, nullptr), 0u);
  CloseHandle(h);

  SetLastError(kSentinel);
  EXPECT_EQ(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));

  // A folder is not a file.
  ASSERT_TRUE(CreateDirectoryA("C:\\dir", nullptr));
  SetLastError(kSentinel);
  EXPECT_EQ(CreateFileA("C:\\dir", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(Files, ReadFileReportsZeroBytesAtTheEnd) {
  txtest::TempMachine machine;
  machine.write_file("C:\\r.txt", "abc");
  HANDLE h = CreateFileA("C:\\r.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  char buffer[8];
  DWORD read = 99;
  EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(read, 3u);
  EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(read, 0u);
  CloseHandle(h);
  SetLastError(kSentinel);
  EXPECT_FALSE(ReadFile(h, buffer, sizeof buffer, &read, nullptr));  // closed handle
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(kSentinel);
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Files, AttributesAndDeletion) {
  txtest::TempMachine machine;
  machine.write_file("C:\\f.txt", "x");
  ASSERT_TRUE(CreateDirectoryA("C:\\d", nullptr));
  EXPECT_EQ(GetFileAttributesA("C:\\f.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributesA("C:\\d"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  SetLastError(kSentinel);
  EXPECT_EQ(GetFileAttributesA("C:\\none"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  SetLastError(kSentinel);
  EXPECT_EQ(GetFileAttributesA("C:\\none\\x"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  SetLastError(kSentinel);
  EXPECT_FALSE(DeleteFileA("C:\\d"));  // DeleteFile does not remove folders
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  SetLastError(kSentinel);
  EXPECT_FALSE(DeleteFileA("C:\\none"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(DeleteFileA("C:\\F.TXT"));
  EXPECT_FALSE(machine.exists("C:\\f.txt"));
}

TEST(Files, GetFullPathNameBufferRules) {
  txtest::TempMachine machine;
  char buffer[16];
  LPSTR name = nullptr;
  // Fits: length without the NUL; one short: the size needed with the NUL.
  EXPECT_EQ(GetFullPathNameA("c:/a/b.zip", sizeof buffer, buffer, &name), 10u);
  EXPECT_STREQ(buffer, "C:\\a\\b.zip");
  EXPECT_STREQ(name, "b.zip");
  EXPECT_EQ(GetFullPathNameA("C:\\a\\b.zip", 10, buffer, nullptr), 11u);
  EXPECT_EQ(GetFullPathNameA("C:\\a\\b.zip", 11, buffer, nullptr), 10u);
}

std::vector<std::string> list(const char* pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern, &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(data.cFileName);
  } while (FindNextFileA(find, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  FindClose(find);
  return names;
}

TEST(Find, WildcardsDotEntriesAndErrors) {
  txtest::TempMachine machine;
  machine.write_file("C:\\w\\b.log", "1");
  machine.write_file("C:\\w\\A.txt", "22");
  machine.write_file("C:\\w\\noext", "");
  using Names = std::vector<std::string>;
  // "*.*" matches every name, also names without a dot; "." and ".." come first.
  EXPECT_EQ(list("C:\\w\\*.*"), (Names{".", "..", "A.txt", "b.log", "noext"}));
  EXPECT_EQ(list("C:\\w\\*.LOG"), (Names{"b.log"}));
  EXPECT_EQ(list("C:\\w\\?.txt"), (Names{"A.txt"}));
  // No wildcard: the entry itself, under its stored name (a folder's own entry too).
  EXPECT_EQ(list("C:\\W\\a.TXT"), (Names{"A.txt"}));
  EXPECT_EQ(list("C:\\w"), (Names{"w"}));
  // A drive root lists no "." and "..".
  Names root = list("C:\\*");
  EXPECT_TRUE(std::find(root.begin(), root.end(), ".") == root.end());

  WIN32_FIND_DATAA data;
  struct Case {
    const char* pattern;
    DWORD error;
  } failures[] = {
      {"C:\\w\\*.zip", ERROR_FILE_NOT_FOUND},  // no match
      {"C:\\w\\", ERROR_FILE_NOT_FOUND},       // a trailing separator names nothing
      {"C:\\nothere\\*", ERROR_PATH_NOT_FOUND},
  };
  for (const auto& c : failures) {
    SetLastError(kSentinel);
    EXPECT_EQ(FindFirstFileA(c.pattern, &data), INVALID_HANDLE_VALUE) << c.pattern;
    EXPECT_EQ(GetLastError(), c.error) << c.pattern;
  }

  HANDLE find = FindFirstFileA("C:\\w\\A.txt", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.nFileSizeLow, 2u);
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  FindClose(find);
}

}  // namespace
