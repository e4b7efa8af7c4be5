// The log upload job in this process, against a local moto S3 server at the log bucket's
// virtual host name that checks no signatures (tests/support/open_s3.h): what is checked here
// is the job's paths, key, records and lifecycle.
#include "logupload/log_uploader.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "common/log_writer.h"
#include "logupload/deployment_values.h"
#include "platform/win32.h"
#include "tests/support/find_program.h"
#include "tests/support/open_s3.h"
#include "tests/support/process.h"
#include "tests/support/temp_machine.h"

namespace {

const char kRecordFolder[] = "C:\\records";
const char kStaging[] = "C:\\talvex\\bulogzip";
const char kArchive[] = "C:\\talvex\\bulogzip.zip";

std::string read_host_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A machine whose computer is named `computer`, set before the layer's first call of the
// process, with a log folder of two files and the records of this process kept apart from it.
class LogUploadTest : public ::testing::Test {
 protected:
  void name_computer(const std::string& computer) {
    std::ofstream(machine_.root() + "/machine.ini", std::ios::binary)
        << "[machine]\r\ncomputername=" << computer << "\r\ncodepage=949\r\n";
    machine_.write_file("C:\\talvex\\log\\conlog\\Log_09.log", "a record\r\n");
    machine_.write_file("C:\\talvex\\log\\app.log", "another\r\n");
    std::snprintf(g_szLogFolder, sizeof g_szLogFolder, "%s", kRecordFolder);
    std::snprintf(g_szLogPrefix, sizeof g_szLogPrefix, "%s", "TXCO");
    g_nLogLevel = LOG_LEVEL_DEFAULT;
    CreateDirectoryA(kRecordFolder, nullptr);
    s3_ = std::make_unique<txtest::OpenS3>(machine_);
  }

  static void run(const std::string& hospital, int chart) {
    CLogUploader job;
    job.m_strHospitalId = hospital;
    job.m_nChartCode = chart;
    job.OnExcuteV30();
  }

  std::string records() const {
    std::string all;
    for (int day = 1; day <= 31; ++day) {
      char name[32];
      std::snprintf(name, sizeof name, "\\Log_%02d.log", day);
      all += read_host_file(machine_.host(std::string(kRecordFolder) + name));
    }
    return all;
  }
  std::string debug_channel() const { return read_host_file(machine_.root() + "/debug.log"); }
  std::string scratch() const { return machine_.root() + "/fetched.zip"; }

  static std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  }

  txtest::TempMachine machine_;
  std::unique_ptr<txtest::OpenS3> s3_;
};

const char kStagedNames[] = "bulogzip\\\nbulogzip\\app.log\nbulogzip\\conlog\\\nbulogzip\\conlog\\Log_09.log\n";

TEST(PercentEncode, KeepsUnreservedBytesAndEscapesEveryOther) {
  struct Case {
    std::string text, encoded;
  } cases[] = {
      {"", ""},
      {"OFFICE PC", "OFFICE%20PC"},
      {"DESK~1", "DESK%7E1"},
      {"PC-09.A_B", "PC-09.A_B"},
      {"azAZ09", "azAZ09"},
      {"a/b%c+", "a%2Fb%25c%2B"},
      {"\xB0", "%B0"},
      {std::string("\x00\x01\x7F\xFF", 4), "%00%01%7F%FF"},
  };
  for (const auto& c : cases) EXPECT_EQ(PercentEncode(c.text), c.encoded) << c.encoded;
  // Every byte: unchanged exactly when unreserved, otherwise its two upper-case digits.
  for (int b = 0; b < 256; ++b) {
    std::string encoded = PercentEncode(std::string(1, static_cast<char>(b)));
    bool unreserved = std::isalnum(b) || b == '-' || b == '.' || b == '_';
    char escaped[4];
    std::snprintf(escaped, sizeof escaped, "%%%02X", b);
    EXPECT_EQ(encoded, unreserved ? std::string(1, static_cast<char>(b)) : std::string(escaped)) << b;
  }
}

// The key is "<hospital>/<computer>_<chart code, at least five digits>.zip"; every run ends
// with the archive deleted, whatever the upload did.
TEST_F(LogUploadTest, KeysForHospitalsAndChartCodes) {
  name_computer("OFFICE-PC3");
  struct Case {
    const char* hospital;
    int chart;
    const char* key;
  } cases[] = {
      {"66660001", 3030, "66660001/OFFICE-PC3_03030.zip"},
      {"", 3030, "/OFFICE-PC3_03030.zip"},
      {"H1", 0, "H1/OFFICE-PC3_00000.zip"},
      {"H1", 123456, "H1/OFFICE-PC3_123456.zip"},
      {"H1", -7, "H1/OFFICE-PC3_-0007.zip"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    run(c.hospital, c.chart);
    std::string text = records();
    EXPECT_EQ(count(text, std::string("[OnExcuteV30]data[") + c.key + "]\r\n"), 1u);
    EXPECT_EQ(count(text, std::string("[OnExcuteV30]Start Log Upload[") + c.hospital + "][" +
                              std::to_string(c.chart) + "]\r\n"),
              1u);
    EXPECT_FALSE(machine_.exists(kArchive));
    EXPECT_FALSE(machine_.exists(kStaging));
  }
  // The key with the empty hospital is checked through its record only: moto's server folds
  // the path's leading "//" away.
  const std::string keys = s3_->keys();
  for (const auto& c : cases) {
    if (*c.hospital) {
      EXPECT_NE(keys.find(std::string(c.key) + "\n"), std::string::npos) << c.key;
    }
  }
  EXPECT_EQ(s3_->archive_names("66660001/OFFICE-PC3_03030.zip", scratch()), kStagedNames);
  EXPECT_EQ(count(debug_channel(), "upload done\n"), 5u);
}

struct NameCase {
  const char* computer;
  const char* encoded;
  const char* label;
};

void PrintTo(const NameCase& c, std::ostream* out) { *out << c.computer; }

class ComputerNameTest : public LogUploadTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(ComputerNameTest, NameIsPercentEncodedInTheKey) {
  name_computer(GetParam().computer);
  run("66660001", 3030);
  const std::string key = std::string("66660001/") + GetParam().encoded + "_03030.zip";
  EXPECT_EQ(count(records(), "[OnExcuteV30]data[" + key + "]\r\n"), 1u);
  EXPECT_EQ(s3_->keys(), key + "\n");  // stored under the encoded text itself
  EXPECT_FALSE(machine_.exists(kArchive));
}

INSTANTIATE_TEST_SUITE_P(Names, ComputerNameTest,
                         ::testing::Values(NameCase{"OFFICE PC", "OFFICE%20PC", "Space"},
                                           NameCase{"DESK~1", "DESK%7E1", "Tilde"},
                                           NameCase{"PC-09.A_B", "PC-09.A_B", "Unreserved"}),
                         [](const ::testing::TestParamInfo<NameCase>& info) { return std::string(info.param.label); });

TEST_F(LogUploadTest, MissingLogFolderStopsAfterTheCopy) {
  name_computer("OFFICE-PC3");
  std::filesystem::remove_all(machine_.host("C:\\talvex\\log"));
  run("66660001", 3030);
  EXPECT_EQ(count(records(), "[OnExcuteV30]Failed Copy Dir[C:\\talvex\\log][C:\\talvex\\bulogzip]\r\n"), 1u);
  EXPECT_EQ(records().find("[OnExcuteV30]data["), std::string::npos);
  ASSERT_TRUE(std::filesystem::is_directory(machine_.host(kStaging)));
  EXPECT_TRUE(std::filesystem::is_empty(machine_.host(kStaging)));
  EXPECT_FALSE(machine_.exists(kArchive));
  EXPECT_EQ(s3_->keys(), "");
}

// What a run that stopped early leaves is taken up by the next: an old staging folder is
// copied into and goes into the archive; an old archive is replaced, never appended to.
TEST_F(LogUploadTest, LeftoversOfAnEarlierRunAreTakenUp) {
  name_computer("OFFICE-PC3");
  machine_.write_file(kArchive, std::string("PK\x03\x04 an archive a stopped run left behind"));
  machine_.write_file("C:\\talvex\\bulogzip\\old.log", "old");
  run("66660001", 3030);
  EXPECT_EQ(s3_->archive_names("66660001/OFFICE-PC3_03030.zip", scratch()),
            std::string(kStagedNames) + "bulogzip\\old.log\n");
  int tested = txtest::run_process({txtest::find_program("unzip"), "-tq", scratch()}).exit_code;
  EXPECT_TRUE(tested == 0 || tested == 1) << "1: only the warning about backslashes in names";
  EXPECT_FALSE(machine_.exists(kArchive));
  EXPECT_FALSE(machine_.exists(kStaging));
}

// The key must fit its 256-byte buffer: 255 characters go, a longer key refuses the run
// before anything is made on disk.
TEST_F(LogUploadTest, KeyLongerThan255CharactersRefusesTheRun) {
  name_computer("OFFICE-PC3");
  const std::size_t fixed = std::strlen("/OFFICE-PC3_03030.zip");
  run(std::string(256 - fixed, 'h'), 3030);
  EXPECT_EQ(count(records(), "[OnExcuteV30]Object Key Too Long[256]\r\n"), 1u);
  EXPECT_EQ(records().find("[OnExcuteV30]data["), std::string::npos);
  EXPECT_FALSE(machine_.exists(kStaging));
  EXPECT_FALSE(machine_.exists(kArchive));
  EXPECT_EQ(s3_->keys(), "");

  const std::string longest = std::string(255 - fixed, 'h') + "/OFFICE-PC3_03030.zip";
  run(std::string(255 - fixed, 'h'), 3030);
  EXPECT_EQ(count(records(), "[OnExcuteV30]data[" + longest + "]\r\n"), 1u);
  EXPECT_EQ(s3_->keys(), longest + "\n");
}

// Two threads start runs at once: the second waits for the whole first run, so each run's
// records follow one another and each object is a whole archive of the logs.
TEST_F(LogUploadTest, RunsFromTwoThreadsNeverOverlap) {
  name_computer("OFFICE-PC3");
  std::thread first([] { run("A", 1); });
  std::thread second([] { run("B", 2); });
  first.join();
  second.join();
  std::string text = records();
  std::size_t start_a = text.find("Start Log Upload[A]"), start_b = text.find("Start Log Upload[B]");
  std::size_t data_a = text.find("data[A/"), data_b = text.find("data[B/");
  ASSERT_NE(start_a, std::string::npos);
  ASSERT_NE(start_b, std::string::npos);
  if (start_a < start_b) {
    EXPECT_LT(data_a, start_b);
  } else {
    EXPECT_LT(data_b, start_a);
  }
  EXPECT_EQ(s3_->archive_names("A/OFFICE-PC3_00001.zip", scratch()), kStagedNames);
  EXPECT_EQ(s3_->archive_names("B/OFFICE-PC3_00002.zip", scratch()), kStagedNames);
  EXPECT_FALSE(machine_.exists(kArchive));
}

}  // namespace
