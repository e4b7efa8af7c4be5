// Conformance: GetPrivateProfileStringA, GetPrivateProfileIntA, WritePrivateProfileStringA.
// Sources: learn.microsoft.com (nf-winbase-getprivateprofilestringa, -getprivateprofileint,
// -writeprivateprofilestringa) and the black-box results of
// github.com/WelliSolutions/IniFileFormatReverseEngineering run against Windows 10.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/codepage.h"
#include "platform/win32.h"
#include "tests/support/temp_machine.h"

namespace {

constexpr DWORD kSentinel = 0xDEAD;
constexpr const char* kFile = "C:\\cfg\\test.ini";

struct Read {
  DWORD result;
  DWORD error;
  std::string text;  // the first `result` characters, plus what follows when asked
};

// Reads into a buffer of `size` with guard bytes behind it, and checks nothing past it moved.
Read read_string(const char* section, const char* key, const char* fallback, DWORD size,
                 const char* file = kFile, std::size_t extra = 1) {
  std::string buffer(size + 8, 'X');
  SetLastError(kSentinel);
  DWORD result = GetPrivateProfileStringA(section, key, fallback, size ? buffer.data() : nullptr, size, file);
  DWORD error = GetLastError();
  EXPECT_EQ(buffer.substr(size), std::string(8, 'X')) << "written past nSize " << size;
  std::size_t shown = std::min<std::size_t>(result + extra, size);
  return {result, error, buffer.substr(0, shown)};
}

std::string value_of(const char* section, const char* key, const char* file = kFile) {
  return read_string(section, key, "<default>", 4096, file, 0).text;
}

std::string utf16le(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

// The layout rules of the reverse-engineering suite (documentation/GetPrivateProfileString.md,
// Comments.md), one line each.
const char kRules[] =
    "stray=before any section\r\n"
    "[Main]\r\n"
    "Name = Value Case  \r\n"
    "quoted = \"  spaced  \"\r\n"
    "single='x'\n"
    "mismatch=\"x'\r\n"
    "nested=\"\"twice\"\"\r\n"
    "semi=a;b\r\n"
    ";comment=hidden\r\n"
    "   ; indented=hidden\r\n"
    "#hash=seen\r\n"
    "dup=first\r\n"
    "dup=second\r\n"
    "blanks=\t\vtabs\t \r\n"
    "  [  Spaced  ] text after the bracket\r"
    "k=v\r\n"
    "[MAIN]\r\n"
    "later=hidden\r\n"
    "[open\r\n"
    "k2=v2";

TEST(ProfileRead, LayoutRulesOfWindows) {
  txtest::TempMachine machine;
  machine.write_file(kFile, kRules);
  struct Case {
    const char* section;
    const char* key;
    const char* value;
  } cases[] = {
      {"main", "NAME", "Value Case"},     // names case-insensitive, value keeps case, blanks cut
      {" Main ", " Name ", "Value Case"},  // spaces around the caller's names are ignored
      {"Main", "quoted", "  spaced  "},   // one pair of outer quotes goes, blanks inside stay
      {"Main", "single", "x"},
      {"Main", "mismatch", "\"x'"},       // mismatched quotes stay
      {"Main", "nested", "\"twice\""},    // only the outermost pair
      {"Main", "semi", "a;b"},            // no end-of-line comments
      {"Main", ";comment", "<default>"},  // ';' starts a comment line
      {"Main", "; indented", "<default>"},
      {"Main", "#hash", "seen"},          // '#' is not a comment
      {"Main", "dup", "first"},           // the first duplicate wins
      {"Main", "blanks", "tabs"},         // space, tab and vertical tab are cut
      {"Spaced", "k", "v"},               // blanks inside [ ] ignored, text after ] ignored
      {"Main", "later", "<default>"},     // only the first copy of a section is searched
      {"open", "k2", "v2"},               // a missing ] ends the name at the line end
      {"Main", "stray", "<default>"},     // lines before the first section are ignored
      {"Main", "missing", "<default>"},
      {"Nowhere", "k", "<default>"},
  };
  for (const auto& c : cases) {
    Read r = read_string(c.section, c.key, "<default>", 64, kFile, 0);
    EXPECT_EQ(r.text, c.value) << c.section << "/" << c.key;
    EXPECT_EQ(r.result, std::string(c.value).size()) << c.section << "/" << c.key;
  }
}

TEST(ProfileRead, BufferSizesCutTheValue) {
  txtest::TempMachine machine;
  machine.write_file(kFile, "[s]\r\nk=abcdef\r\n");
  // A value that does not fit is cut to nSize - 1 and NUL-terminated; the reverse-engineering
  // suite observed ERROR_MORE_DATA then. nSize < 2 gives 0.
  struct Case {
    DWORD size;
    DWORD result;
    DWORD error;
    std::string text;
  } cases[] = {
      {64, 6, ERROR_SUCCESS, std::string("abcdef\0", 7)},
      {7, 6, ERROR_SUCCESS, std::string("abcdef\0", 7)},  // exact fit
      {6, 5, ERROR_MORE_DATA, std::string("abcde\0", 6)},  // one short
      {2, 1, ERROR_MORE_DATA, std::string("a\0", 2)},
      {1, 0, ERROR_MORE_DATA, std::string("\0", 1)},
      {0, 0, ERROR_MORE_DATA, ""},
  };
  for (const auto& c : cases) {
    Read r = read_string("s", "k", "default", c.size);
    EXPECT_EQ(r.result, c.result) << "nSize " << c.size;
    EXPECT_EQ(r.error, c.error) << "nSize " << c.size;
    EXPECT_EQ(r.text, c.text) << "nSize " << c.size;
  }
}

TEST(ProfileRead, LongValueIsCutToTheBuffer) {
  txtest::TempMachine machine;
  std::string value(1500, 'v');
  machine.write_file(kFile, "[s]\r\nk=" + value + "\r\n");
  Read r = read_string("s", "k", nullptr, 1023);
  EXPECT_EQ(r.result, 1022u);
  EXPECT_EQ(r.text, value.substr(0, 1022) + '\0');
  EXPECT_EQ(r.error, static_cast<DWORD>(ERROR_MORE_DATA));
}

TEST(ProfileRead, DefaultValue) {
  txtest::TempMachine machine;
  machine.write_file(kFile, "[s]\r\nk=v\r\n");
  // NULL is ""; trailing spaces, and only spaces, are cut; the default is cut to nSize too.
  struct Case {
    const char* fallback;
    DWORD size;
    std::string text;
  } cases[] = {
      {nullptr, 16, std::string("\0", 1)},
      {"", 16, std::string("\0", 1)},
      {"dflt   ", 16, std::string("dflt\0", 5)},
      {"  dflt\t ", 16, std::string("  dflt\t\0", 8)},
      {"dflt", 5, std::string("dflt\0", 5)},
      {"dflt", 4, std::string("dfl\0", 4)},
  };
  for (const auto& c : cases) {
    Read r = read_string("s", "missing", c.fallback, c.size);
    EXPECT_EQ(r.text, c.text) << (c.fallback ? c.fallback : "NULL") << " nSize " << c.size;
    EXPECT_EQ(r.result, c.text.size() - 1);
  }
  // Which error a cut default leaves is not documented: ERROR_MORE_DATA, as for a cut value.
  EXPECT_EQ(read_string("s", "missing", "dflt", 4).error, static_cast<DWORD>(ERROR_MORE_DATA));
  // A missing key of a file that exists is not documented either: the layer reports success.
  EXPECT_EQ(read_string("s", "missing", "dflt", 16).error, static_cast<DWORD>(ERROR_SUCCESS));
}

TEST(ProfileRead, MissingOrLockedFileGivesTheDefaultAndFileNotFound) {
  txtest::TempMachine machine;
  for (const char* file : {"C:\\cfg\\absent.ini", "C:\\no\\folder\\absent.ini"}) {
    Read r = read_string("s", "k", "dflt", 16, file);
    EXPECT_EQ(r.text, std::string("dflt\0", 5)) << file;
    EXPECT_EQ(r.error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << file;
  }
  // A handle that shares nothing keeps the reader out; the reader sees no file.
  machine.write_file(kFile, "[s]\r\nk=v\r\n");
  HANDLE exclusive = CreateFileA(kFile, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  Read r = read_string("s", "k", "dflt", 16);
  EXPECT_EQ(r.text, std::string("dflt\0", 5));
  EXPECT_EQ(r.error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  CloseHandle(exclusive);
  EXPECT_EQ(value_of("s", "k"), "v");
}

TEST(ProfileRead, NameWithoutFolderIsInTheWindowsFolder) {
  txtest::TempMachine machine;
  machine.write_file("C:\\Windows\\app.ini", "[s]\r\nk=windows\r\n");
  EXPECT_EQ(value_of("s", "k", "app.ini"), "windows");
  EXPECT_EQ(value_of("s", "k", "APP.INI"), "windows");
}

TEST(ProfileRead, ListsOfSectionsAndKeys) {
  txtest::TempMachine machine;
  machine.write_file(kFile, "[one]\r\na=1\r\n;c=x\r\nbb=2\r\na=3\r\n[two]\r\n[one]\r\nzz=4\r\n");
  // Each name NUL-terminated, the list ends in a second NUL; duplicates are listed again.
  const std::string sections("one\0two\0one\0", 12);
  const std::string keys("a\0bb\0a\0", 7);
  struct Case {
    const char* section;
    std::string list;
  } cases[] = {{nullptr, sections}, {"ONE", keys}};
  for (const auto& c : cases) {
    const DWORD n = static_cast<DWORD>(c.list.size());
    const char* what = c.section ? "keys" : "sections";
    Read fit = read_string(c.section, nullptr, "dflt", n + 1);  // exact fit
    EXPECT_EQ(fit.result, n) << what;
    EXPECT_EQ(fit.text, c.list + '\0') << what;
    EXPECT_EQ(fit.error, static_cast<DWORD>(ERROR_SUCCESS)) << what;
    // One short: cut to nSize - 2 and still double-NUL-terminated.
    Read shortened = read_string(c.section, nullptr, "dflt", n, kFile, 2);
    EXPECT_EQ(shortened.result, n - 2) << what;
    EXPECT_EQ(shortened.text, c.list.substr(0, n - 2) + std::string(2, '\0')) << what;
    EXPECT_EQ(shortened.error, static_cast<DWORD>(ERROR_MORE_DATA)) << what;
    // nSize < 2 returns 0 rather than nSize - 2.
    for (DWORD size : {0u, 1u, 2u}) EXPECT_EQ(read_string(c.section, nullptr, "dflt", size).result, 0u) << size;
    EXPECT_EQ(read_string(c.section, nullptr, "dflt", 2, kFile, 2).text, std::string(2, '\0'));
  }
  // The list forms do not use the default (pinned: not documented): an empty list is "\0\0".
  Read empty = read_string("absent", nullptr, "dflt", 16);
  EXPECT_EQ(empty.result, 0u);
  EXPECT_EQ(empty.text, std::string(1, '\0'));
  EXPECT_EQ(read_string("two", nullptr, "dflt", 16, kFile, 2).text, std::string(2, '\0'));
}

TEST(ProfileRead, BinaryBytesAndHugeLinesAreHarmless) {
  txtest::TempMachine machine;
  std::string bytes = "[s]\r\n";
  for (int i = 0; i < 4096; ++i) bytes.push_back(static_cast<char>((i * 7919) & 0xFF));
  bytes += "\r\n" + std::string(2 * 1024 * 1024, 'L') + "\r\n";
  bytes += "[t]\r\nhuge=" + std::string(300000, 'h') + "\r\nk=after\r\n";
  machine.write_file(kFile, bytes);
  EXPECT_EQ(value_of("t", "k"), "after");
  Read r = read_string("t", "huge", nullptr, 100);
  EXPECT_EQ(r.result, 99u);
  EXPECT_LT(read_string(nullptr, nullptr, nullptr, 4096).result, 4096u);
  machine.write_file(kFile, std::string("\xFF\xFE\x00", 3));  // a BOM and half a character
  EXPECT_EQ(value_of("s", "k"), "<default>");
}

TEST(ProfileRead, Utf16FileIsReadInTheAnsiCodePage) {
  txtest::TempMachine machine;
  machine.write_file(kFile, utf16le(u"[S]\r\nname=\uD55C\uAE00\r\n"));
  EXPECT_EQ(value_of("s", "name"), platform::utf16_to_ansi(u"\uD55C\uAE00"));
}

TEST(ProfileRead, Utf8BomSpoilsTheFirstLine) {
  txtest::TempMachine machine;
  machine.write_file(kFile, "\xEF\xBB\xBF[first]\r\nk=1\r\n[second]\r\nk=2\r\n");
  EXPECT_EQ(value_of("first", "k"), "<default>");
  EXPECT_EQ(value_of("second", "k"), "2");
}

TEST(ProfileInt, LeadingDecimalDigits) {
  txtest::TempMachine machine;
  machine.write_file(kFile,
                     "[n]\r\nplain=42\r\npadded=  7  \r\ntail=55zz\r\nword=abc\r\nempty=\r\n"
                     "negative=-5\r\nhex=0x10\r\nquoted=\"12\"\r\n");
  // The documented contract: the integer the value starts with; the default when the key is
  // missing. Pinned: a value below zero gives 0 (as the documentation said before it was
  // shortened), "0x" is not read as hexadecimal, and a value without digits gives 0.
  struct Case {
    const char* key;
    UINT value;
  } cases[] = {{"plain", 42},  {"PADDED", 7}, {"tail", 55}, {"word", 0},   {"empty", 0},
               {"negative", 0}, {"hex", 0},    {"quoted", 12}, {"absent", 99}};
  for (const auto& c : cases) {
    SetLastError(kSentinel);
    EXPECT_EQ(GetPrivateProfileIntA("N", c.key, 99, kFile), c.value) << c.key;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << c.key;
  }
  SetLastError(kSentinel);
  EXPECT_EQ(GetPrivateProfileIntA("n", "plain", -1, "C:\\cfg\\absent.ini"), static_cast<UINT>(-1));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

BOOL write(const char* section, const char* key, const char* value, DWORD* error, const char* file = kFile) {
  SetLastError(kSentinel);
  BOOL ok = WritePrivateProfileStringA(section, key, value, file);
  *error = GetLastError();
  return ok;
}

TEST(ProfileWrite, EditsKeepEveryOtherLineByteForByte) {
  txtest::TempMachine machine;
  const std::string original =
      "; header comment  \n"
      "[Alpha]\r\n"
      "  Key = old value \r\n"
      "other=1\n"
      "; trailing comment\r\n"
      "\r\n"
      "[Beta]\r\n"
      "b=2";
  struct Case {
    const char* name;
    const char* section;
    const char* key;
    const char* value;
    std::string expected;
  } cases[] = {
      {"replace keeps the file's key spelling and the line's own ending", "alpha", "KEY", "new",
       "; header comment  \n[Alpha]\r\nKey=new\r\nother=1\n; trailing comment\r\n\r\n[Beta]\r\nb=2"},
      {"a new key follows the section's last entry", " ALPHA ", " added ", "x y ",
       "; header comment  \n[Alpha]\r\n  Key = old value \r\nother=1\nadded=x y \r\n; trailing comment\r\n\r\n"
       "[Beta]\r\nb=2"},
      {"a new key after a last line without an ending", "beta", "c", "3",
       "; header comment  \n[Alpha]\r\n  Key = old value \r\nother=1\n; trailing comment\r\n\r\n[Beta]\r\nb=2\r\n"
       "c=3\r\n"},
      {"a new section goes at the end after a blank line", "Gamma", "g", "1",
       "; header comment  \n[Alpha]\r\n  Key = old value \r\nother=1\n; trailing comment\r\n\r\n[Beta]\r\nb=2\r\n"
       "\r\n[Gamma]\r\ng=1\r\n"},
      {"NULL value deletes the key", "Alpha", "key", nullptr,
       "; header comment  \n[Alpha]\r\nother=1\n; trailing comment\r\n\r\n[Beta]\r\nb=2"},
      {"NULL key deletes the section but not its comments", "alpha", nullptr, nullptr,
       "; header comment  \n; trailing comment\r\n\r\n[Beta]\r\nb=2"},
      {"deleting what is not there changes nothing", "Alpha", "absent", nullptr, original},
      {"deleting a section that is not there changes nothing", "absent", nullptr, "ignored", original},
  };
  for (const auto& c : cases) {
    machine.write_file(kFile, original);
    DWORD error = 0;
    EXPECT_TRUE(write(c.section, c.key, c.value, &error)) << c.name;
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SUCCESS)) << c.name;
    EXPECT_EQ(machine.read_file(kFile), c.expected) << c.name;
  }
}

TEST(ProfileWrite, NewSectionSpacing) {
  txtest::TempMachine machine;
  struct Case {
    std::string before;
    std::string after;
  } cases[] = {
      {"", "[s]\r\nk=v\r\n"},
      {"[a]\r\nx=1\r\n", "[a]\r\nx=1\r\n\r\n[s]\r\nk=v\r\n"},
      {"[a]\r\nx=1", "[a]\r\nx=1\r\n\r\n[s]\r\nk=v\r\n"},
      {"[a]\r\nx=1\r\n\r\n", "[a]\r\nx=1\r\n\r\n[s]\r\nk=v\r\n"},  // already ends blank
  };
  for (const auto& c : cases) {
    machine.write_file(kFile, c.before);
    DWORD error = 0;
    EXPECT_TRUE(write("s", "k", "v", &error));
    EXPECT_EQ(machine.read_file(kFile), c.after) << c.before;
  }
}

TEST(ProfileWrite, WriteThenRead) {
  txtest::TempMachine machine;
  ASSERT_TRUE(CreateDirectoryA("C:\\cfg", nullptr));
  DWORD error = 0;
  ASSERT_TRUE(write("Section", "Key", "Mixed Case", &error));
  ASSERT_TRUE(write("Section", "Second", "2", &error));
  ASSERT_TRUE(write("SECTION", "key", "Replaced", &error));
  EXPECT_EQ(value_of("section", "KEY"), "Replaced");
  EXPECT_EQ(GetPrivateProfileIntA("Section", "Second", 0, kFile), 2u);
  EXPECT_EQ(machine.read_file(kFile), "[Section]\r\nKey=Replaced\r\nSecond=2\r\n");
  ASSERT_TRUE(write("Section", "Key", nullptr, &error));
  EXPECT_EQ(value_of("Section", "Key"), "<default>");
  ASSERT_TRUE(write("Section", nullptr, nullptr, &error));
  EXPECT_EQ(read_string(nullptr, nullptr, nullptr, 16).result, 0u);
}

TEST(ProfileWrite, CreatesTheFileButNotItsFolder) {
  txtest::TempMachine machine;
  machine.write_file("C:\\cfg\\other", "");
  DWORD error = 0;
  // Observed by the reverse-engineering suite: a created file still reports
  // ERROR_FILE_NOT_FOUND, with success.
  EXPECT_TRUE(write("s", "k", "v", &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(machine.read_file(kFile), "[s]\r\nk=v\r\n");

  EXPECT_FALSE(write("s", "k", "v", &error, "C:\\missing\\folder\\new.ini"));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(machine.exists("C:\\missing"));

  EXPECT_TRUE(write("s", "k", nullptr, &error, "C:\\cfg\\never.ini"));  // nothing to delete
  EXPECT_FALSE(machine.exists("C:\\cfg\\never.ini"));

  EXPECT_TRUE(write("s", "k", "win", &error, "plain.ini"));
  EXPECT_EQ(machine.read_file("C:\\Windows\\plain.ini"), "[s]\r\nk=win\r\n");
}

TEST(ProfileWrite, RefusalsAndFlush) {
  txtest::TempMachine machine;
  DWORD error = 0;
  // All three NULL flushes the (absent) cache and returns FALSE, as documented.
  EXPECT_FALSE(write(nullptr, nullptr, nullptr, &error));
  EXPECT_FALSE(write(nullptr, "k", "v", &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  machine.write_file(kFile, "[s]\r\nk=v\r\n");
  ASSERT_EQ(::chmod(machine.host(kFile).c_str(), 0444), 0);
  EXPECT_FALSE(write("s", "k", "w", &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  ASSERT_EQ(::chmod(machine.host(kFile).c_str(), 0644), 0);

  HANDLE reader = CreateFileA(kFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(write("s", "k", "w", &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(reader);
  EXPECT_EQ(machine.read_file(kFile), "[s]\r\nk=v\r\n");
}

TEST(ProfileWrite, Utf16FileStaysUtf16) {
  txtest::TempMachine machine;
  machine.write_file(kFile, utf16le(u"[S]\r\nold=\uD55C\r\n"));
  const std::string hangul = platform::utf16_to_ansi(u"\uAE00");
  DWORD error = 0;
  ASSERT_TRUE(write("S", "new", hangul.c_str(), &error));
  ASSERT_TRUE(write("T", "k", "v", &error));
  EXPECT_EQ(machine.read_file(kFile), utf16le(u"[S]\r\nold=\uD55C\r\nnew=\uAE00\r\n\r\n[T]\r\nk=v\r\n"));
  EXPECT_EQ(value_of("s", "new"), hangul);

  machine.write_file(kFile, "\xFF\xFE");  // nothing but the byte order mark
  ASSERT_TRUE(write("S", "k", "v", &error));
  EXPECT_EQ(machine.read_file(kFile), utf16le(u"[S]\r\nk=v\r\n"));
}

// Writers of threads and of processes each add their own keys at once; none is lost, and a
// reader never sees a half-written file.
TEST(ProfileWrite, ConcurrentWritersLoseNothing) {
  txtest::TempMachine machine;
  ASSERT_TRUE(CreateDirectoryA("C:\\cfg", nullptr));
  DWORD error = 0;
  ASSERT_TRUE(write("s", "stable", "yes", &error));
  constexpr int kWriters = 3;
  constexpr int kKeys = 20;
  auto write_keys = [](const std::string& prefix) {
    for (int i = 0; i < kKeys; ++i) {
      std::string key = prefix + std::to_string(i);
      if (!WritePrivateProfileStringA("s", key.c_str(), "v", kFile)) return false;
    }
    return true;
  };

  std::vector<pid_t> children;
  for (int p = 0; p < kWriters; ++p) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) ::_exit(write_keys("p" + std::to_string(p) + "_") ? 0 : 1);
    children.push_back(pid);
  }
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!done) {
      char buffer[8];
      if (GetPrivateProfileStringA("s", "stable", "", buffer, sizeof buffer, kFile) != 3) ++torn;
    }
  });
  std::vector<std::thread> threads;
  std::atomic<int> failed{0};
  for (int t = 0; t < kWriters; ++t) {
    threads.emplace_back([&, t] {
      if (!write_keys("t" + std::to_string(t) + "_")) ++failed;
    });
  }
  for (auto& thread : threads) thread.join();
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  done = true;
  reader.join();
  EXPECT_EQ(failed.load(), 0);
  EXPECT_EQ(torn.load(), 0);
  for (const char* kind : {"p", "t"}) {
    for (int w = 0; w < kWriters; ++w) {
      for (int i = 0; i < kKeys; ++i) {
        std::string key = kind + std::to_string(w) + "_" + std::to_string(i);
        EXPECT_EQ(value_of("s", key.c_str()), "v") << key;
      }
    }
  }
}

}  // namespace
