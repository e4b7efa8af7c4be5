// SHFileOperationA conformance. Expected values: learn.microsoft.com, "SHFileOperationA"
// (shellapi.h) and "SHFILEOPSTRUCTA": 0 is success and the result is not the last error;
// pFrom and pTo are double-NUL-terminated; copies recurse unless FOF_NORECURSION; deletes
// are permanent without FOF_ALLOWUNDO. The legacy DE_* numbers come from the same page's table.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/win32.h"
#include "tests/support/temp_machine.h"

namespace {

constexpr FILEOP_FLAGS kCopyFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;  // 0x614
constexpr FILEOP_FLAGS kDeleteFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;                    // 0x414

// A double-NUL-terminated list of the given paths.
std::string list(std::initializer_list<std::string> paths) {
  std::string text;
  for (const auto& path : paths) text += path + '\0';
  return text + '\0';
}

struct Outcome {
  int result;
  BOOL aborted;
};

class ShellFileOperationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_.write_file("C:\\src\\a.txt", "alpha");
    machine_.write_file("C:\\src\\m.txt", "middle");
    machine_.write_file("C:\\src\\sub\\b.txt", "bravo");
    machine_.write_file("C:\\src\\sub\\deeper\\c.txt", "charlie");
    ASSERT_TRUE(CreateDirectoryA("C:\\src\\empty", nullptr));
  }

  static Outcome run(UINT func, const std::string& from, const std::string& to, FILEOP_FLAGS flags) {
    SHFILEOPSTRUCTA op = {nullptr, func, from.c_str(), to.c_str(), flags, 0x55, &op, nullptr};
    int result = SHFileOperationA(&op);
    EXPECT_EQ(op.hNameMappings, nullptr);
    return {result, op.fAnyOperationsAborted};
  }
  static Outcome copy(const std::string& from, const std::string& to, FILEOP_FLAGS flags = kCopyFlags) {
    return run(FO_COPY, from, to, flags);
  }
  static Outcome remove(const std::string& from, FILEOP_FLAGS flags = kDeleteFlags) {
    return run(FO_DELETE, from, list({""}), flags);
  }

  bool is_folder(const std::string& path) const {
    struct stat st;
    return ::stat(machine_.host(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  txtest::TempMachine machine_;
};

TEST_F(ShellFileOperationTest, PatternCopiesTheWholeTreeIntoAnExistingFolder) {
  machine_.write_file("C:\\dst\\a.txt", "an older and longer text");
  machine_.write_file("C:\\dst\\keep.txt", "keep");
  Outcome out = copy(list({"C:\\src\\*"}), list({"C:\\dst"}));
  EXPECT_EQ(out.result, 0);
  EXPECT_FALSE(out.aborted);
  EXPECT_EQ(machine_.read_file("C:\\dst\\a.txt"), "alpha");  // overwritten and cut to the new size
  EXPECT_EQ(machine_.read_file("C:\\dst\\m.txt"), "middle");
  EXPECT_EQ(machine_.read_file("C:\\dst\\sub\\b.txt"), "bravo");
  EXPECT_EQ(machine_.read_file("C:\\dst\\sub\\deeper\\c.txt"), "charlie");
  EXPECT_TRUE(is_folder("C:\\dst\\empty"));
  EXPECT_EQ(machine_.read_file("C:\\dst\\keep.txt"), "keep");
  EXPECT_FALSE(machine_.exists("C:\\dst\\src")) << "the pattern copies the contents, not the folder";
  EXPECT_EQ(machine_.read_file("C:\\src\\sub\\deeper\\c.txt"), "charlie");

  // Copying again over the first copy succeeds as well (every question answered yes).
  EXPECT_EQ(copy(list({"C:\\src\\*"}), list({"C:\\dst"})).result, 0);
}

// Where each kind of source lands: into an existing folder, or as the destination itself.
TEST_F(ShellFileOperationTest, DestinationsForEachKindOfSource) {
  struct Case {
    std::string from, to;
    const char* expected;  // a file that must exist afterwards
    const char* content;
  } cases[] = {
      {list({"C:\\src\\*"}), list({"C:\\new\\deeper"}), "C:\\new\\deeper\\sub\\b.txt", "bravo"},  // created with parents
      {list({"C:\\src\\a.txt"}), list({"C:\\one\\renamed.txt"}), "C:\\one\\renamed.txt", "alpha"},
      {list({"C:\\src\\a.txt"}), list({"C:\\src\\sub"}), "C:\\src\\sub\\a.txt", "alpha"},
      {list({"C:\\src\\sub"}), list({"C:\\copy"}), "C:\\copy\\deeper\\c.txt", "charlie"},  // the folder as the new name
      {list({"C:\\src\\sub"}), list({"C:\\src\\empty"}), "C:\\src\\empty\\sub\\deeper\\c.txt", "charlie"},
      {list({"C:\\src\\a.txt", "c:\\SRC\\SUB"}), list({"C:\\two"}), "C:\\two\\sub\\b.txt", "bravo"},
      {list({"C:\\src\\?.txt"}), list({"C:\\three"}), "C:\\three\\a.txt", "alpha"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(copy(c.from, c.to).result, 0);
    EXPECT_EQ(machine_.read_file(c.expected), c.content);
  }
  EXPECT_EQ(machine_.read_file("C:\\two\\a.txt"), "alpha");  // names as they are on disk
  EXPECT_EQ(machine_.read_file("C:\\three\\m.txt"), "middle");
  EXPECT_FALSE(machine_.exists("C:\\three\\sub"));  // '?' stands for exactly one character
}

// CopyFile keeps the last-write time ("CopyFile" on learn.microsoft.com: "File attributes for
// the existing file are copied to the new file"; the write time is kept, as Explorer shows).
TEST_F(ShellFileOperationTest, CopyKeepsTheLastWriteTime) {
  const struct timespec times[2] = {{978307200, 0}, {978307200, 123456700}};  // 2001-01-01
  ASSERT_EQ(::utimensat(AT_FDCWD, machine_.host("C:\\src\\sub\\b.txt").c_str(), times, 0), 0);
  ASSERT_EQ(copy(list({"C:\\src\\*"}), list({"C:\\dst"})).result, 0);
  struct stat st;
  ASSERT_EQ(::stat(machine_.host("C:\\dst\\sub\\b.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 978307200);
  EXPECT_EQ(st.st_mtim.tv_nsec, 123456700);
}

// A missing source has no documented code; current Windows answers ERROR_FILE_NOT_FOUND (2),
// older versions 0x7C or 0x402. This pins 2, for a missing file and a missing folder alike,
// and that nothing is created or deleted.
TEST_F(ShellFileOperationTest, MissingSourcesGiveFileNotFound) {
  for (const char* source : {"C:\\src\\none.txt", "C:\\nofolder\\*", "C:\\nofolder\\a.txt", "C:\\none"}) {
    SCOPED_TRACE(source);
    Outcome copied = copy(list({source}), list({"C:\\dst"}));
    EXPECT_EQ(copied.result, ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(copied.aborted);
    EXPECT_FALSE(machine_.exists("C:\\dst"));
    EXPECT_EQ(remove(list({"C:\\src\\a.txt", source})).result, ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(machine_.exists("C:\\src\\a.txt")) << "sources are all found before anything is done";
  }
  // A pattern that matches nothing in an existing folder leaves nothing to do: success.
  EXPECT_EQ(copy(list({"C:\\src\\*.none"}), list({"C:\\dst"})).result, 0);
}

TEST_F(ShellFileOperationTest, RefusedRequests) {
  EXPECT_EQ(SHFileOperationA(nullptr), ERROR_INVALID_PARAMETER);
  struct Case {
    const char* what;
    UINT func;
    std::string from, to;
    FILEOP_FLAGS flags;
    int result;
  } cases[] = {
      {"move is not offered", FO_MOVE, list({"C:\\src\\a.txt"}), list({"C:\\dst"}), kCopyFlags, ERROR_NOT_SUPPORTED},
      {"rename is not offered", FO_RENAME, list({"C:\\src\\a.txt"}), list({"C:\\src\\z.txt"}), 0, ERROR_NOT_SUPPORTED},
      {"unknown operation", 9, list({"C:\\src\\a.txt"}), list({"C:\\dst"}), 0, ERROR_INVALID_PARAMETER},
      {"empty source list", FO_COPY, list({}), list({"C:\\dst"}), kCopyFlags, ERROR_INVALID_PARAMETER},
      {"empty destination list", FO_COPY, list({"C:\\src\\a.txt"}), list({}), kCopyFlags, ERROR_INVALID_PARAMETER},
      {"several destinations", FO_COPY, list({"C:\\src\\a.txt"}), list({"C:\\d1", "C:\\d2"}), kCopyFlags, DE_INVALIDFILES},
      {"multiple destination files", FO_COPY, list({"C:\\src\\a.txt"}), list({"C:\\d1"}),
       kCopyFlags | FOF_MULTIDESTFILES, ERROR_INVALID_PARAMETER},
      {"wildcard in a folder", FO_COPY, list({"C:\\s*c\\a.txt"}), list({"C:\\dst"}), kCopyFlags, DE_INVALIDFILES},
      {"wildcard in the destination", FO_COPY, list({"C:\\src\\a.txt"}), list({"C:\\d*"}), kCopyFlags, DE_INVALIDFILES},
      {"forbidden character", FO_DELETE, list({"C:\\src\\a|b"}), list({""}), kDeleteFlags, DE_INVALIDFILES},
      {"drive root", FO_DELETE, list({"C:\\"}), list({""}), kDeleteFlags, DE_ROOTDIR},
      {"copy onto itself", FO_COPY, list({"C:\\src\\a.txt"}), list({"C:\\src"}), kCopyFlags, DE_SAMEFILE},
      {"folder into itself", FO_COPY, list({"C:\\src"}), list({"C:\\src\\sub"}), kCopyFlags, DE_DESTSUBTREE},
      {"folder where a file stands", FO_COPY, list({"C:\\src\\sub"}), list({"C:\\src\\a.txt\\x"}), kCopyFlags,
       DE_FLDDESTISFILE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Outcome out = run(c.func, c.from, c.to, c.flags);
    EXPECT_EQ(out.result, c.result);
    EXPECT_TRUE(out.aborted);
  }
  EXPECT_EQ(machine_.read_file("C:\\src\\a.txt"), "alpha");
  EXPECT_FALSE(machine_.exists("C:\\dst"));
  EXPECT_FALSE(machine_.exists("C:\\src\\sub\\sub"));
}

// The source is read sharing read and write (as a copy of a log another program is writing
// must work), so only a handle that refuses read sharing blocks it. The operation then stops
// with that file's error; files copied before it stay, the blocked one is not created.
TEST_F(ShellFileOperationTest, SourceHeldWithoutReadSharingStopsTheCopy) {
  struct Case {
    DWORD access, share;
    int result;
  } cases[] = {
      {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0},
      {GENERIC_READ, FILE_SHARE_READ, 0},
      {GENERIC_READ | GENERIC_WRITE, 0, ERROR_SHARING_VIOLATION},
      {GENERIC_READ, FILE_SHARE_WRITE, ERROR_SHARING_VIOLATION},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.share);
    if (machine_.exists("C:\\dst")) {
      ASSERT_EQ(remove(list({"C:\\dst"})).result, 0);
    }
    HANDLE held = CreateFileA("C:\\src\\m.txt", c.access, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Outcome out = copy(list({"C:\\src\\*"}), list({"C:\\dst"}));
    CloseHandle(held);
    EXPECT_EQ(out.result, c.result);
    EXPECT_EQ(out.aborted, c.result != 0);
    EXPECT_EQ(machine_.read_file("C:\\dst\\a.txt"), "alpha");
    EXPECT_EQ(machine_.exists("C:\\dst\\m.txt"), c.result == 0);
  }
}

TEST_F(ShellFileOperationTest, NoRecursionStaysAtTheFirstLevel) {
  EXPECT_EQ(copy(list({"C:\\src\\*"}), list({"C:\\flat"}), kCopyFlags | FOF_NORECURSION).result, 0);
  EXPECT_EQ(machine_.read_file("C:\\flat\\a.txt"), "alpha");
  EXPECT_FALSE(machine_.exists("C:\\flat\\sub"));
  EXPECT_EQ(copy(list({"C:\\src\\sub"}), list({"C:\\named"}), kCopyFlags | FOF_NORECURSION).result, 0);
  EXPECT_EQ(machine_.read_file("C:\\named\\b.txt"), "bravo");
  EXPECT_FALSE(machine_.exists("C:\\named\\deeper"));
  EXPECT_EQ(copy(list({"C:\\src\\*"}), list({"C:\\files"}), kCopyFlags | FOF_FILESONLY).result, 0);
  EXPECT_TRUE(machine_.exists("C:\\files\\m.txt"));
  EXPECT_FALSE(machine_.exists("C:\\files\\empty"));

  // A named folder's files go; the folder stays because a sub-folder was not entered.
  Outcome out = remove(list({"C:\\src\\sub"}), kDeleteFlags | FOF_NORECURSION);
  EXPECT_EQ(out.result, ERROR_DIR_NOT_EMPTY);
  EXPECT_FALSE(machine_.exists("C:\\src\\sub\\b.txt"));
  EXPECT_TRUE(machine_.exists("C:\\src\\sub\\deeper\\c.txt"));
}

// FO_DELETE removes whole trees permanently. FOF_ALLOWUNDO would send them to the Recycle
// Bin; this machine has none, so they are deleted permanently as well.
TEST_F(ShellFileOperationTest, DeleteRemovesWholeTrees) {
  for (FILEOP_FLAGS flags : {kDeleteFlags, static_cast<FILEOP_FLAGS>(kDeleteFlags | FOF_ALLOWUNDO)}) {
    SCOPED_TRACE(flags);
    ASSERT_EQ(copy(list({"C:\\src\\*"}), list({"C:\\dst"})).result, 0);
    Outcome out = remove(list({"C:\\dst"}), flags);
    EXPECT_EQ(out.result, 0);
    EXPECT_FALSE(out.aborted);
    EXPECT_FALSE(machine_.exists("C:\\dst"));
  }
  // A pattern deletes what it matches and leaves the folder.
  EXPECT_EQ(remove(list({"C:\\src\\*"})).result, 0);
  EXPECT_TRUE(is_folder("C:\\src"));
  EXPECT_FALSE(machine_.exists("C:\\src\\sub"));
  EXPECT_FALSE(machine_.exists("C:\\src\\a.txt"));
}

// DeleteFileA's rules hold inside a tree: a file open without delete sharing stops the
// delete with ERROR_SHARING_VIOLATION; with delete sharing it goes.
TEST_F(ShellFileOperationTest, DeleteStopsAtAFileHeldWithoutDeleteSharing) {
  HANDLE held = CreateFileA("C:\\src\\sub\\deeper\\c.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Outcome out = remove(list({"C:\\src"}));
  CloseHandle(held);
  EXPECT_EQ(out.result, ERROR_SHARING_VIOLATION);
  EXPECT_TRUE(out.aborted);
  EXPECT_TRUE(machine_.exists("C:\\src\\sub\\deeper\\c.txt"));

  held = CreateFileA("C:\\src\\sub\\deeper\\c.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(remove(list({"C:\\src"})).result, 0);
  CloseHandle(held);
  EXPECT_FALSE(machine_.exists("C:\\src"));
}

}  // namespace
