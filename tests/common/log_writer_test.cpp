// The log writer, through real writer processes. Writers run under faketime where the
// result depends on the date, so the day's file name is known.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "common/log_writer.h"
#include "tests/support/process.h"
#include "tests/support/temp_machine.h"

namespace {

const char* kFolder = "C:\\talvex\\log\\conlog";

class LogWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(machine_.host(kFolder)); }

  // Runs the writer, at a fixed local time when `when` is given.
  void write(const std::string& mask, long records, int threads = 1, int sleep_ms = 0, const std::string& text = "msg",
             const std::string& when = "2026-03-07 12:00:00", const std::string& level = "8") {
    std::vector<std::string> argv;
    if (!when.empty()) argv = {"/usr/bin/faketime", "-f", "@" + when};
    for (const std::string& a : {txtest::helper_path("tx_log_writer"), std::string(kFolder), mask,
                                 std::to_string(records), std::to_string(threads), std::to_string(sleep_ms), text,
                                 level}) {
      argv.push_back(a);
    }
    auto result = txtest::run_process(argv);
    ASSERT_EQ(result.exit_code, 0) << result.output;
  }

  std::string day_file(int day) const {
    char name[64];
    std::snprintf(name, sizeof name, "%s\\Log_%02d.log", kFolder, day);
    return name;
  }

  std::vector<std::string> records(int day) const {
    std::string text = machine_.read_file(day_file(day));
    std::vector<std::string> out;
    std::size_t start = 0, end;
    while ((end = text.find("\r\n", start)) != std::string::npos) {
      out.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    EXPECT_EQ(start, text.size()) << "the file must end with a whole record";
    return out;
  }

  txtest::TempMachine machine_;
};

TEST_F(LogWriterTest, RecordFormatInTheDaysFile) {
  write("0x1003F", 1, 1, 0, "execute new!!");
  auto lines = records(7);
  ASSERT_EQ(lines.size(), 1u);
  std::regex format(R"(\[2026/03/07 12:00:0\d\.\d{3}\]\[TXCOINF1\]\[\d+\]\[\d+\] execute new!! t0 #0)");
  EXPECT_TRUE(std::regex_match(lines[0], format)) << lines[0];
}

TEST_F(LogWriterTest, LevelMaskDecidesWhetherAndWhere) {
  struct Case {
    const char* mask;
    const char* level;
    bool to_file;
    bool to_debug;
  } cases[] = {
      {"0x1003F", "8", true, false},
      {"0x1003F", "2", true, false},
      {"0x10000", "8", false, false},  // the file destination alone lets no record through
      {"0x10004", "8", false, false},
      {"0x10004", "4", true, false},
      {"0x3F", "8", false, true},      // without LOG_TO_FILE records go to the debugger output
      {"0", "8", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.mask) + " level " + c.level);
    std::filesystem::remove(machine_.host(day_file(7)));
    std::filesystem::remove(machine_.root() + "/debug.log");
    write(c.mask, 1, 1, 0, "msg", "2026-03-07 12:00:00", c.level);
    EXPECT_EQ(machine_.exists(day_file(7)), c.to_file);
    EXPECT_EQ(std::filesystem::exists(machine_.root() + "/debug.log"), c.to_debug);
  }
}

TEST_F(LogWriterTest, DebuggerRecordsHaveNoDate) {
  write("0x3F", 1, 1, 0, "hello", "2026-03-07 12:00:00", "2");
  std::ifstream in(machine_.root() + "/debug.log", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_TRUE(std::regex_match(text.str(), std::regex(R"(\[TXCOERR\]\[\d+\]\[\d+\] hello t0 #0\r\n)"))) << text.str();
}

TEST_F(LogWriterTest, RecordsFollowTheDayAcrossMidnight) {
  // Starts half a second before midnight; the second record is written after it.
  write("0x1003F", 2, 1, 1000, "tick", "2026-03-07 23:59:59.5");
  auto before = records(7), after = records(8);
  ASSERT_EQ(before.size(), 1u);
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(before[0].substr(0, 12), "[2026/03/07 ");
  EXPECT_EQ(after[0].substr(0, 12), "[2026/03/08 ");
}

TEST_F(LogWriterTest, FirstRecordDiscardsADaysFileOfThreeMegabytes) {
  for (long size : {LOG_ROTATE_SIZE - 1, LOG_ROTATE_SIZE}) {
    SCOPED_TRACE(size);
    machine_.write_file(day_file(7), std::string(static_cast<std::size_t>(size), 'x'));
    write("0x1003F", 1);
    auto file_size = static_cast<long>(std::filesystem::file_size(machine_.host(day_file(7))));
    auto lines = records(7);
    if (size < LOG_ROTATE_SIZE) {
      EXPECT_GT(file_size, size) << "kept and appended to";
    } else {
      ASSERT_EQ(lines.size(), 1u) << "discarded; the record starts a new file";
    }
  }
}

TEST_F(LogWriterTest, OnlyTheFirstRecordOfAProcessMeasures) {
  machine_.write_file(day_file(7), "");
  // The first record finds a small file; the writer then grows it past the limit itself
  // with further records, which never measure again.
  std::string big(LOG_MESSAGE_MAX, 'b');
  write("0x1003F", 70, 1, 0, big);
  EXPECT_GT(static_cast<long>(std::filesystem::file_size(machine_.host(day_file(7)))), LOG_ROTATE_SIZE);
  EXPECT_EQ(records(7).size(), 70u);
}

TEST_F(LogWriterTest, OverlongMessagesAreCutAndStillEndTheRecord) {
  std::string big(60000, 'm');
  write("0x1003F", 1, 1, 0, big);
  auto lines = records(7);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size() + 2, static_cast<std::size_t>(LOG_MESSAGE_MAX - 1));
}

TEST_F(LogWriterTest, TwoThreadsOfOneProcessLoseNothing) {
  write("0x1003F", 10000, 2);
  auto lines = records(7);
  EXPECT_EQ(lines.size(), 20000u);
}

// Each record holds the file exclusively: the other process's opens wait for it, so nothing
// interleaves and nothing is lost.
TEST_F(LogWriterTest, TwoProcessesNeverInterleaveAndLoseNothing) {
  std::vector<std::string> argv_a = {"/usr/bin/faketime", "-f", "@2026-03-07 12:00:00",
                                     txtest::helper_path("tx_log_writer"), kFolder, "0x1003F", "3000", "1", "0", "A"};
  std::vector<std::string> argv_b = argv_a;
  argv_b.back() = "B";
  pid_t a = txtest::start_process(argv_a);
  pid_t b = txtest::start_process(argv_b);
  ASSERT_EQ(txtest::wait_process(a), 0);
  ASSERT_EQ(txtest::wait_process(b), 0);
  std::regex whole(R"(\[2026/03/07 12:\d\d:\d\d\.\d{3}\]\[TXCOINF1\]\[\d+\]\[\d+\] [AB] t0 #\d+)");
  auto lines = records(7);
  EXPECT_EQ(lines.size(), 6000u);
  for (const auto& line : lines) ASSERT_TRUE(std::regex_match(line, whole)) << line;
}

}  // namespace

namespace {

TEST(LogWriterFlag, AFilteredCallTouchesNothing) {
  txtest::TempMachine machine;
  std::snprintf(g_szLogFolder, sizeof g_szLogFolder, "%s", "C:\\");
  g_nLogLevel = LOG_TO_FILE | LOG_LEVEL_WARNING;
  WriteLog(LOG_LEVEL_INFO, "INF1", GetCurrentThreadId(), __LINE__, "filtered");
  EXPECT_EQ(g_bLogFirstWrite, 1);
  EXPECT_FALSE(std::filesystem::exists(machine.root() + "/debug.log"));
}

}  // namespace
