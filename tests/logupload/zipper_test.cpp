// CZipper against real readers: minizip's own unzip and Info-ZIP's zipinfo and unzip.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <minizip/unzip.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "logupload/zipper.h"
#include "tests/support/process.h"
#include "tests/support/temp_machine.h"

extern char** environ;

namespace {

using Names = std::vector<std::string>;

struct Entry {
  std::string name;
  unsigned long dos_date = 0;
  unsigned long external_fa = 0;
  unsigned long method = 0;
  unsigned long flag = 0;
  std::string data;
};

// Every entry in the archive's order, read with minizip's reader.
std::vector<Entry> read_archive(const std::string& host_path) {
  std::vector<Entry> entries;
  unzFile zip = unzOpen64(host_path.c_str());
  if (!zip) {
    ADD_FAILURE() << "minizip cannot open " << host_path;
    return entries;
  }
  for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
    unz_file_info64 info;
    char name[1024];
    if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) break;
    Entry entry{name, info.dosDate, info.external_fa, info.compression_method, info.flag, {}};
    if (unzOpenCurrentFile(zip) == UNZ_OK) {
      char buffer[4096];
      int n;
      while ((n = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0) entry.data.append(buffer, n);
      EXPECT_EQ(n, 0) << "reading " << entry.name;
      EXPECT_EQ(unzCloseCurrentFile(zip), UNZ_OK) << "CRC of " << entry.name;
    }
    entries.push_back(std::move(entry));
  }
  unzClose(zip);
  return entries;
}

std::vector<std::string> names_of(const std::vector<Entry>& entries) {
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.name);
  return names;
}

// The names as Info-ZIP's zipinfo lists them, one a line.
std::vector<std::string> zipinfo_names(const std::string& host_path) {
  auto result = txtest::run_process({"/usr/bin/zipinfo", "-1", host_path});
  EXPECT_EQ(result.exit_code, 0) << result.output;
  std::vector<std::string> names;
  std::istringstream lines(result.output);
  for (std::string line; std::getline(lines, line);) names.push_back(line);
  return names;
}

void make_folder(const txtest::TempMachine& machine, const std::string& windows_path) {
  std::filesystem::create_directories(machine.host(windows_path));
}

// A file held open by another process through the layer until the object goes: its
// standard input is closed then, which ends the helper even if this test fails.
class HeldFile {
 public:
  HeldFile(const std::string& windows_path, const char* share) {
    int to_child[2];
    int from_child[2];
    if (pipe2(to_child, O_CLOEXEC) != 0 || pipe2(from_child, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, to_child[0], 0);
    posix_spawn_file_actions_adddup2(&actions, from_child[1], 1);
    std::string program = txtest::helper_path("tx_hold_file");
    char* argv[] = {program.data(), const_cast<char*>(windows_path.c_str()), const_cast<char*>(share), nullptr};
    int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(to_child[0]);
    ::close(from_child[1]);
    stdin_ = to_child[1];
    if (rc != 0) throw std::runtime_error("cannot start " + program);
    char line[64] = {};
    ssize_t n = ::read(from_child[0], line, sizeof line - 1);
    ::close(from_child[0]);
    status_ = n > 0 ? std::string(line, static_cast<size_t>(n)) : std::string();
  }
  ~HeldFile() {
    ::close(stdin_);
    txtest::wait_process(pid_);
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  bool held() const { return status_ == "held\n"; }

 private:
  pid_t pid_ = -1;
  int stdin_ = -1;
  std::string status_;
};

std::string random_bytes(size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(generator());
  return bytes;
}

TEST(Zipper, EmptyFolderGivesOnlyItsOwnEntry) {
  txtest::TempMachine machine;
  make_folder(machine, "C:\\talvex\\bulogzip");
  ASSERT_TRUE(CZipper::ArchiveDirectory("C:\\talvex\\bulogzip"));

  std::string archive = machine.host("C:\\talvex\\bulogzip.zip");
  auto entries = read_archive(archive);
  ASSERT_EQ(names_of(entries), (Names{"bulogzip\\"}));
  EXPECT_EQ(entries[0].external_fa, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(entries[0].data.empty());
  EXPECT_EQ(zipinfo_names(archive), (Names{"bulogzip\\"}));
}

// The layer lists a folder sorted by upper-cased name, so the expected order is fixed.
TEST(Zipper, TreeIsWalkedDepthFirstWithBackslashNamesAndDotNamesLeftOut) {
  txtest::TempMachine machine;
  const std::string big = random_bytes(100000, 1);  // many 2048-byte blocks, incompressible
  std::string every_byte;
  for (int i = 0; i < 256; ++i) every_byte += static_cast<char>(i);
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "[INFO] line " + std::to_string(i) + "\r\n";
  machine.write_file("C:\\talvex\\bulogzip\\a.log", text);
  machine.write_file("C:\\talvex\\bulogzip\\conlog\\Log_09.log", every_byte);
  machine.write_file("C:\\talvex\\bulogzip\\conlog\\deep\\x.bin", big);
  machine.write_file("C:\\talvex\\bulogzip\\conlog\\.dotfile", "hidden");
  machine.write_file("C:\\talvex\\bulogzip\\.cache\\inner.log", "under a dot folder");
  machine.write_file("C:\\talvex\\bulogzip\\.hidden", "hidden");
  machine.write_file("C:\\talvex\\bulogzip\\empty.txt", "");
  make_folder(machine, "C:\\talvex\\bulogzip\\emptydir");
  machine.write_file("C:\\talvex\\bulogzip\\z.log", "last");
  ASSERT_TRUE(CZipper::ArchiveDirectory("C:\\talvex\\bulogzip"));

  const std::vector<std::string> expected = {
      "bulogzip\\",
      "bulogzip\\a.log",
      "bulogzip\\conlog\\",
      "bulogzip\\conlog\\deep\\",
      "bulogzip\\conlog\\deep\\x.bin",
      "bulogzip\\conlog\\Log_09.log",
      "bulogzip\\empty.txt",
      "bulogzip\\emptydir\\",
      "bulogzip\\z.log",
  };
  std::string archive = machine.host("C:\\talvex\\bulogzip.zip");
  auto entries = read_archive(archive);
  ASSERT_EQ(names_of(entries), expected);
  EXPECT_EQ(zipinfo_names(archive), expected);
  for (const auto& e : entries) {
    bool folder = e.name.back() == '\\';
    EXPECT_EQ(e.external_fa, folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE) << e.name;
    EXPECT_EQ(e.method, static_cast<unsigned long>(Z_DEFLATED)) << e.name;
    EXPECT_EQ(e.flag & 6u, 0u) << e.name << ": deflated at the default level (normal)";
  }
  EXPECT_EQ(entries[1].data, text);
  EXPECT_EQ(entries[4].data, big);
  EXPECT_EQ(entries[5].data, every_byte);

  // Info-ZIP's own extraction gives the same bytes (it turns the backslashes into folders).
  std::string out = machine.root() + "/extracted";
  auto unzip = txtest::run_process({"/usr/bin/unzip", "-q", archive, "-d", out});
  EXPECT_TRUE(unzip.exit_code == 0 || unzip.exit_code == 1) << unzip.output;  // 1: backslash warning only
  auto extracted = [&](const std::string& relative) {
    std::ifstream in(out + "/" + relative, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  };
  EXPECT_EQ(extracted("bulogzip/a.log"), text);
  EXPECT_EQ(extracted("bulogzip/conlog/deep/x.bin"), big);
  EXPECT_EQ(extracted("bulogzip/conlog/Log_09.log"), every_byte);
  EXPECT_TRUE(std::filesystem::is_regular_file(out + "/bulogzip/empty.txt"));
  EXPECT_TRUE(std::filesystem::is_directory(out + "/bulogzip/emptydir"));
}

// The holder either shares nothing, or shares everything as a log writer might: the zipper's
// own open, which shares nothing, must fail in both cases.
TEST(Zipper, FileHeldOpenElsewhereIsLeftOutAndTheWalkGoesOn) {
  for (const char* share : {"share-none", "share-all"}) {
    SCOPED_TRACE(share);
    txtest::TempMachine machine;
    machine.write_file("C:\\talvex\\bulogzip\\a.log", "a");
    machine.write_file("C:\\talvex\\bulogzip\\b.log", "b is being written");
    machine.write_file("C:\\talvex\\bulogzip\\c.log", "c");
    std::string archive = machine.host("C:\\talvex\\bulogzip.zip");
    {
      HeldFile held("C:\\talvex\\bulogzip\\b.log", share);
      ASSERT_TRUE(held.held());
      ASSERT_TRUE(CZipper::ArchiveDirectory("C:\\talvex\\bulogzip"));
      EXPECT_EQ(names_of(read_archive(archive)), (Names{"bulogzip\\", "bulogzip\\a.log", "bulogzip\\c.log"}));

      CZipper zipper;
      ASSERT_TRUE(zipper.OpenArchive("C:\\talvex\\other.zip"));
      EXPECT_FALSE(zipper.AddFile("C:\\talvex\\bulogzip\\b.log"));
      EXPECT_TRUE(zipper.AddFile("C:\\talvex\\bulogzip\\a.log"));
    }
    EXPECT_EQ(names_of(read_archive(machine.host("C:\\talvex\\other.zip"))), (Names{"bulogzip\\a.log"}));
    // Released, the same file is packed: the hold alone kept it out.
    ASSERT_TRUE(CZipper::ArchiveDirectory("C:\\talvex\\bulogzip"));
    EXPECT_EQ(names_of(read_archive(archive)),
              (Names{"bulogzip\\", "bulogzip\\a.log", "bulogzip\\b.log", "bulogzip\\c.log"}));
  }
}

TEST(Zipper, ArchiveIsNamedAfterTheFolderWithTheExtensionZip) {
  struct Case {
    const char* folder;
    const char* archive;
    const char* not_written;
    const char* first_entry;
  };
  const Case cases[] = {
      {"C:\\data\\logs.old", "C:\\data\\logs.zip", "C:\\data\\logs.old.zip", "logs.old\\"},
      {"C:\\talvex\\bulogzip", "C:\\talvex\\bulogzip.zip", "C:\\talvex\\bulogzip\\bulogzip.zip", "bulogzip\\"},
      {"c:\\v1.2\\x.tar.gz", "C:\\v1.2\\x.tar.zip", "C:\\v1.2\\x.zip", "x.tar.gz\\"},
  };
  for (const auto& c : cases) {
    txtest::TempMachine machine;
    machine.write_file(std::string(c.folder) + "\\f.txt", "f");
    ASSERT_TRUE(CZipper::ArchiveDirectory(c.folder)) << c.folder;
    ASSERT_TRUE(machine.exists(c.archive)) << c.folder;
    EXPECT_FALSE(machine.exists(c.not_written)) << c.folder;
    EXPECT_EQ(names_of(read_archive(machine.host(c.archive))), (Names{c.first_entry, std::string(c.first_entry) + "f.txt"}))
        << c.folder;
  }
}

// The same instant packed in two time zones: minizip gets the local time, month 0 to 11 and
// the full year, and stores it as a DOS date and time.
TEST(Zipper, EntryTimesAreLocalTimes) {
  txtest::TempMachine machine;
  machine.write_file("C:\\talvex\\bulogzip\\a.log", "a");
  // 2024-03-10 12:34:56 UTC, on the file and on its folder.
  struct timespec times[2] = {{1710074096, 0}, {1710074096, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, machine.host("C:\\talvex\\bulogzip\\a.log").c_str(), times, 0), 0);
  ASSERT_EQ(utimensat(AT_FDCWD, machine.host("C:\\talvex\\bulogzip").c_str(), times, 0), 0);

  auto dos = [](int year, int month, int day, int hour, int minute, int second) {
    return static_cast<unsigned long>(((year - 1980) << 25) | (month << 21) | (day << 16) | (hour << 11) |
                                      (minute << 5) | (second / 2));
  };
  struct Zone {
    const char* tz;
    unsigned long expected;
  };
  const Zone zones[] = {
      {"UTC0", dos(2024, 3, 10, 12, 34, 56)},
      {"KST-9", dos(2024, 3, 10, 21, 34, 56)},   // nine hours east of UTC
      {"HST10", dos(2024, 3, 10, 2, 34, 56)},    // ten hours west
  };
  for (const auto& zone : zones) {
    ::setenv("TZ", zone.tz, 1);
    ::tzset();
    ASSERT_TRUE(CZipper::ArchiveDirectory("C:\\talvex\\bulogzip"));
    auto entries = read_archive(machine.host("C:\\talvex\\bulogzip.zip"));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].dos_date, zone.expected) << zone.tz << " folder";
    EXPECT_EQ(entries[1].dos_date, zone.expected) << zone.tz << " file";
  }

  SYSTEMTIME time;
  std::memset(&time, 0x55, sizeof time);
  EXPECT_FALSE(CZipper::GetFileLocalWriteTime("C:\\talvex\\missing.log", time));
  EXPECT_EQ(time.wYear, 0);
  EXPECT_EQ(time.wMonth, 0);
  EXPECT_EQ(time.wSecond, 0);
}

TEST(Zipper, LeftoverArchiveIsReplacedNotAppendedTo) {
  txtest::TempMachine machine;
  // An earlier run's archive, larger than the new one, made by Info-ZIP.
  machine.write_file("C:\\talvex\\old\\old.txt", random_bytes(300000, 2));
  std::string archive = machine.host("C:\\talvex\\bulogzip.zip");
  auto zip = txtest::run_process({"/bin/sh", "-c", "cd '" + machine.host("C:\\talvex") + "' && zip -q -r '" +
                                                       archive + "' old"});
  ASSERT_EQ(zip.exit_code, 0) << zip.output;
  auto old_size = std::filesystem::file_size(archive);

  machine.write_file("C:\\talvex\\bulogzip\\new.log", "new");
  ASSERT_TRUE(CZipper::ArchiveDirectory("C:\\talvex\\bulogzip"));
  EXPECT_EQ(names_of(read_archive(archive)), (Names{"bulogzip\\", "bulogzip\\new.log"}));
  EXPECT_LT(std::filesystem::file_size(archive), old_size / 10);
  auto test = txtest::run_process({"/usr/bin/unzip", "-tq", archive});
  EXPECT_EQ(test.output.find("extra bytes"), std::string::npos) << test.output;
}

// Entry paths of MAX_PATH characters or more are skipped; the walk goes on past them. The
// longest path the ANSI functions take, MAX_PATH - 1 characters, is still packed.
TEST(Zipper, PathsOfMaxPathOrMoreAreSkipped) {
  txtest::TempMachine machine;
  const std::string folder = "C:\\t\\bulogzip";  // 13 characters
  auto name_for = [&](size_t total) { return std::string(total - folder.size() - 1, 'n'); };
  const std::string fits = name_for(MAX_PATH - 1);
  const std::string too_long = fits + "x";  // MAX_PATH characters; sorts after fits
  // A folder whose own path fits but whose listing pattern (path\*.*) would not.
  const std::string crowded = name_for(MAX_PATH - 3);
  machine.write_file(folder + "\\" + fits, "fits");
  machine.write_file(folder + "\\" + too_long, "too long");
  machine.write_file(folder + "\\" + crowded + "\\f", "fits, but cannot be listed");
  machine.write_file(folder + "\\zz.log", "after");
  ASSERT_EQ((folder + "\\" + too_long).size(), static_cast<size_t>(MAX_PATH));

  ASSERT_TRUE(CZipper::ArchiveDirectory(folder.c_str()));
  EXPECT_EQ(names_of(read_archive(machine.host("C:\\t\\bulogzip.zip"))), (Names{"bulogzip\\", "bulogzip\\" + crowded + "\\",
                          "bulogzip\\" + fits, "bulogzip\\zz.log"}));

  CZipper zipper;
  ASSERT_TRUE(zipper.OpenArchive("C:\\t\\direct.zip"));
  const std::string over = folder + "\\" + std::string(400, 'q');
  EXPECT_FALSE(zipper.AddFile(over.c_str()));
  EXPECT_FALSE(zipper.AddDirectory(over.c_str()));
  EXPECT_FALSE(CZipper::ArchiveDirectory(over.c_str()));
  EXPECT_FALSE(zipper.OpenArchive(over.c_str()));
}

TEST(Zipper, RefusesWorkWithoutAnArchiveOrOutsideItsFolder) {
  txtest::TempMachine machine;
  machine.write_file("C:\\talvex\\bulogzip\\a.log", "a");
  machine.write_file("C:\\elsewhere\\b.log", "b");
  CZipper zipper;
  EXPECT_FALSE(zipper.AddFile("C:\\talvex\\bulogzip\\a.log"));
  EXPECT_FALSE(zipper.AddDirectory("C:\\talvex\\bulogzip"));
  EXPECT_FALSE(zipper.OpenArchive(""));
  EXPECT_FALSE(zipper.OpenArchive(nullptr));
  EXPECT_FALSE(zipper.OpenArchive("C:\\missing\\folder\\a.zip"));
  EXPECT_FALSE(machine.exists("C:\\missing"));

  ASSERT_TRUE(zipper.OpenArchive("C:\\talvex\\a.zip"));
  EXPECT_FALSE(zipper.AddFile("C:\\elsewhere\\b.log"));
  EXPECT_FALSE(zipper.AddDirectory("C:\\elsewhere"));
  EXPECT_FALSE(zipper.AddFile("C:\\talvex\\bulogzip\\missing.log"));
  EXPECT_TRUE(zipper.AddFile("c:\\TALVEX\\bulogzip\\a.log"));  // the base folder in another case
  // Opening another archive completes the first one.
  ASSERT_TRUE(zipper.OpenArchive("C:\\talvex\\b.zip"));
  EXPECT_EQ(names_of(read_archive(machine.host("C:\\talvex\\a.zip"))), (Names{"bulogzip\\a.log"}));
}

}  // namespace
