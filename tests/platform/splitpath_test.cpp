// Conformance: _splitpath and _splitpath_s (learn.microsoft.com/cpp/c-runtime-library/
// reference/splitpath-s-wsplitpath-s). The dot rules for ".profile" and ".." are marked
// unverified in the project's notes: they are pinned here as "the extension starts at the
// last dot of the last name", which is what the documentation's description implies.
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/win32.h"

namespace {

TEST(SplitPath, Parts) {
  struct Case {
    const char *path, *drive, *dir, *fname, *ext;
  } cases[] = {
      {"C:\\talvex\\bulogzip", "C:", "\\talvex\\", "bulogzip", ""},
      {"C:\\data\\logs.old", "C:", "\\data\\", "logs", ".old"},
      {"http://host/dl/updater.exe", "", "http://host/dl/", "updater", ".exe"},
      {"http://host/a.b/noext", "", "http://host/a.b/", "noext", ""},
      {"C:foo", "C:", "", "foo", ""},
      {"a.b.c", "", "", "a.b", ".c"},
      {".profile", "", "", "", ".profile"},
      {"..", "", "", ".", "."},
      {"dir/", "", "dir/", "", ""},
      {"", "", "", "", ""},
  };
  for (const auto& c : cases) {
    char drive[_MAX_DRIVE], dir[_MAX_DIR], fname[_MAX_FNAME], ext[_MAX_EXT];
    _splitpath(c.path, drive, dir, fname, ext);
    EXPECT_STREQ(drive, c.drive) << c.path;
    EXPECT_STREQ(dir, c.dir) << c.path;
    EXPECT_STREQ(fname, c.fname) << c.path;
    EXPECT_STREQ(ext, c.ext) << c.path;
    char d2[_MAX_DRIVE], p2[_MAX_DIR], f2[_MAX_FNAME], e2[_MAX_EXT];
    EXPECT_EQ(_splitpath_s(c.path, d2, p2, f2, e2), 0) << c.path;
    EXPECT_STREQ(f2, c.fname) << c.path;
    EXPECT_STREQ(e2, c.ext) << c.path;
  }
}

TEST(SplitPath, SecureFormErrors) {
  char fname[8] = "x", ext[5] = "x";
  // A part that does not fit: every buffer cleared, ERANGE.
  EXPECT_EQ(_splitpath_s("C:\\d\\longname.txt", nullptr, 0, nullptr, 0, fname, sizeof fname, ext, sizeof ext), ERANGE);
  EXPECT_STREQ(fname, "");
  EXPECT_STREQ(ext, "");
  // Exactly fitting parts: 7 characters and the NUL.
  EXPECT_EQ(_splitpath_s("C:\\d\\seven77.txt", nullptr, 0, nullptr, 0, fname, sizeof fname, ext, sizeof ext), 0);
  EXPECT_STREQ(fname, "seven77");
  EXPECT_EQ(_splitpath_s(nullptr, nullptr, 0, nullptr, 0, fname, sizeof fname, ext, sizeof ext), EINVAL);
  EXPECT_EQ(_splitpath_s("a", nullptr, 0, nullptr, 0, fname, 0, ext, sizeof ext), EINVAL);  // buffer without size
  EXPECT_EQ(_splitpath_s("a", nullptr, 5, nullptr, 0, fname, sizeof fname, ext, sizeof ext), EINVAL);
}

}  // namespace
