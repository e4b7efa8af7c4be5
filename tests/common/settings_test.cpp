// The settings lookups against a real hive file and a real settings file in the machine.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "common/settings.h"
#include "tests/support/temp_machine.h"

namespace {

const char kConfig[] = "C:\\talvex\\bin\\txconfig.ini";

class SettingsTest : public ::testing::Test {
 protected:
  void hive(const std::string& values) {
    std::ofstream out(machine_.root() + "/user.reg", std::ios::binary);
    out << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\talvex_v30]\r\n" << values;
  }
  void config(const std::string& lines) { machine_.write_file(kConfig, "[config]\r\n" + lines); }

  txtest::TempMachine machine_;
};

TEST_F(SettingsTest, HospitalIdComesFromTheRegistryFirst) {
  struct Case {
    const char* registry;
    const char* file;
    const char* expected;
  } cases[] = {
      {"\"hospitalid\"=\"\"\r\n", "hospitalid=66660001\r\n", "66660001"},        // empty text: the file is asked
      {"\"hospitalid\"=\"REG42\"\r\n", "hospitalid=FILE99\r\n", "REG42"},        // the file is not read
      {"", "hospitalid = \"quoted\" \r\n", "quoted"},                            // no value: the file
      {"", "", ""},                                                              // nowhere: empty
      {"\"hospitalid\"=dword:00000001\r\n", "hospitalid=FILE\r\n", "\x01"},      // type is not tested
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.registry);
    hive(c.registry);
    config(c.file);
    EXPECT_EQ(LookupHospitalId(), c.expected);
  }
}

TEST_F(SettingsTest, OversizedRegistryHospitalIdCountsAsAbsent) {
  hive("\"hospitalid\"=\"" + std::string(1500, 'r') + "\"\r\n");
  config("hospitalid=fromfile\r\n");
  EXPECT_EQ(LookupHospitalId(), "fromfile");
  // 1024 bytes without a NUL cannot be handed on as a text either.
  std::string hex = "\"hospitalid\"=hex:";
  for (int i = 0; i < 1024; ++i) hex += i ? ",41" : "41";
  hive(hex + "\r\n");
  EXPECT_EQ(LookupHospitalId(), "fromfile");
}

TEST_F(SettingsTest, ChartCodeFallsBackAndConvertsAsAtoi) {
  struct Case {
    const char* registry;
    const char* file;
    int expected;
  } cases[] = {
      {"", "chartcode=3030\r\n", 3030},
      {"\"chartcode\"=dword:00000000\r\n", "chartcode=3030\r\n", 3030},  // 0 counts as not set
      {"", "chartcode=12ab\r\n", 12},
      {"", "chartcode=  -7x\r\n", -7},
      {"", "", 0},
      {"\"chartcode\"=dword:00000007\r\n", "chartcode=99\r\n", 7},
      {"\"chartcode\"=hex:05\r\n", "chartcode=99\r\n", 5},  // shorter data is zero-extended
      {"\"chartcode\"=hex(b):01,00,00,00,00,00,00,00\r\n", "chartcode=99\r\n", 99},  // too long: not read
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.registry) + c.file);
    hive(c.registry);
    config(c.file);
    EXPECT_EQ(LookupChartCode(), c.expected);
  }
}

TEST_F(SettingsTest, ReadRegistryDwordAssignsOnlyWhatWasRead) {
  hive("\"level\"=dword:00010004\r\n");
  DWORD level = 0;
  ReadRegistryDword("level", level);
  EXPECT_EQ(level, 0x10004u);
  DWORD missing = 1234;
  ReadRegistryDword("nothere", missing);
  EXPECT_EQ(missing, 1234u);
}

TEST_F(SettingsTest, ConfigValuesAreCutTo1022Characters) {
  config("updatefilepath=" + std::string(1500, 'u') + "\r\n");
  EXPECT_EQ(ReadConfigString("updatefilepath"), std::string(1022, 'u'));
  EXPECT_EQ(ReadConfigString("missingkey"), "");
}

TEST_F(SettingsTest, GarbageStoresReadAsMissing) {
  std::ofstream(machine_.root() + "/user.reg", std::ios::binary)
      << "REGEDIT4\r\n\x01\x02garbage\r\n[HKEY_CURRENT_USER\\Software\\talvex_v30\r\n\"chartcode\"=dword:zz\r\n";
  machine_.write_file(kConfig, std::string("\0\xff\xfe[config\r\nchartcode=\0" "12\r\n", 24) + std::string(100000, 'x'));
  EXPECT_EQ(LookupHospitalId(), "");
  EXPECT_EQ(LookupChartCode(), 0);
}

}  // namespace
