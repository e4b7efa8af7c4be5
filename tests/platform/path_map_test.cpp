// Conformance: how Windows paths of the machine map to its folder.
#include <gtest/gtest.h>

#include "platform/path_map.h"
#include "platform/win32.h"
#include "tests/support/temp_machine.h"

namespace {

TEST(PathMap, FullPathsNormaliseLikeWin32) {
  txtest::TempMachine machine;
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"C:\\talvex\\log\\conlog", "C:\\talvex\\log\\conlog"},
      {"c:/talvex/bin/", "C:\\talvex\\bin"},
      {"C:\\a\\.\\b\\..\\c", "C:\\a\\c"},
      {"C:\\a\\..\\..\\..", "C:\\"},
      {"C:\\name.  ", "C:\\name"},  // trailing dots and spaces are cut
      {"\\rooted\\x", "C:\\rooted\\x"},
      {"C:\\\\double\\\\sep", "C:\\double\\sep"},
  };
  for (const auto& c : cases) {
    DWORD error = 0;
    EXPECT_EQ(platform::full_windows_path(c.in, &error), c.out) << c.in;
  }
}

TEST(PathMap, ForbiddenNamesAreRefusedWithInvalidName) {
  txtest::TempMachine machine;
  for (const char* name : {"C:\\a<b", "C:\\a>b", "C:\\a|b", "C:\\a\"b", "C:\\a?b", "C:\\a*b", "C:\\x:y",
                           "C:\\ctl\x01name"}) {
    SetLastError(0xDEAD);
    EXPECT_FALSE(CreateDirectoryA(name, nullptr)) << name;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME)) << name;
  }
}

TEST(PathMap, OtherDrivesDoNotExist) {
  txtest::TempMachine machine;
  SetLastError(0xDEAD);
  EXPECT_EQ(GetFileAttributesA("D:\\x"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(PathMap, LookupIgnoresLetterCaseAndKeepsTheStoredName) {
  txtest::TempMachine machine;
  machine.write_file("C:\\Talvex\\Bin\\TxConfig.ini", "x");
  EXPECT_NE(GetFileAttributesA("C:\\TALVEX\\bin\\txconfig.INI"), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(CreateDirectoryA("c:\\talvex\\bin\\new", nullptr));
  EXPECT_TRUE(machine.exists("C:\\Talvex\\Bin\\new"));
}

TEST(PathMap, AnsiNamesAreStoredAsUtf8) {
  txtest::TempMachine machine;
  // "탈벡스" in code page 949.
  const char name[] = "C:\\\xC5\xBB\xBA\xA4\xBD\xBA";
  ASSERT_TRUE(CreateDirectoryA(name, nullptr));
  EXPECT_TRUE(machine.exists("C:\\\xED\x83\x88\xEB\xB2\xA1\xEC\x8A\xA4"));
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(name, &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, name + 3);
  FindClose(find);
}

}  // namespace
