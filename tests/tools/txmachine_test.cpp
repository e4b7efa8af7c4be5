// txmachine as an operator runs it: a real process on the test's machine folder.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/temp_machine.h"

namespace {

txtest::ProcessResult txmachine(std::vector<std::string> args) {
  args.insert(args.begin(), txtest::bin_path("txmachine"));
  return txtest::run_process(args);
}

TEST(Txmachine, SetsWhatTheLookupsRead) {
  txtest::TempMachine machine;
  ASSERT_EQ(txmachine({"init"}).exit_code, 0);
  EXPECT_EQ(txmachine({"reg", "set", "hospitalid", "sz", "66660001"}).exit_code, 0);
  EXPECT_EQ(txmachine({"reg", "set", "level", "dword", "0x10004"}).exit_code, 0);
  EXPECT_EQ(txmachine({"ini", "set", "chartcode", "3030"}).exit_code, 0);
  auto lookup = txmachine({"lookup"});
  ASSERT_EQ(lookup.exit_code, 0);
  EXPECT_NE(lookup.output.find("hospital identifier: \"66660001\""), std::string::npos) << lookup.output;
  EXPECT_NE(lookup.output.find("chart code:          3030"), std::string::npos) << lookup.output;
  EXPECT_NE(lookup.output.find("0x00010004"), std::string::npos) << lookup.output;
  EXPECT_EQ(txmachine({"reg", "get", "level"}).output, "dword 65540 (0x00010004)\n");
  EXPECT_EQ(txmachine({"ini", "get", "chartcode"}).output, "3030\n");

  std::ifstream hive(machine.root() + "/user.reg", std::ios::binary);
  std::stringstream text;
  text << hive.rdbuf();
  EXPECT_NE(text.str().find("[HKEY_CURRENT_USER\\Software\\talvex_v30]"), std::string::npos);
  EXPECT_NE(text.str().find("\"level\"=dword:00010004"), std::string::npos);

  // Korean text goes in as UTF-8 and is stored in code page 949.
  EXPECT_EQ(txmachine({"ini", "set", "hospitalid", "\xED\x83\x88\xEB\xB2\xA1\xEC\x8A\xA4"}).exit_code, 0);
  EXPECT_EQ(machine.read_file("C:\\talvex\\bin\\txconfig.ini").find("\xC5\xBB\xBA\xA4\xBD\xBA") != std::string::npos,
            true);
}

TEST(Txmachine, BadInputIsRefusedWithAReason) {
  txtest::TempMachine machine;
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* says;
  } cases[] = {
      {{"reg", "set", "level", "qword", "1"}, 2, "unknown type"},
      {{"reg", "set", "level", "dword", "4294967296"}, 2, "not a number from 0 to 4294967295"},
      {{"reg", "set", "level", "dword", "-1"}, 2, "not a number"},
      {{"reg", "set", "chartcode", "sz", "3030"}, 2, "reads 'chartcode' as dword"},
      {{"reg", "get", "chartcode"}, 1, "is not set"},
      {{"ini", "get", "x", "--file", "C:\\nowhere\\none.ini"}, 1, "does not exist"},
      {{"ini", "set", "k", "v", "--file", "C:\\bad<name>.ini"}, 1, "Windows error 123"},
      {{"frobnicate"}, 2, "unknown command"},
      {{}, 2, "missing command"},
  };
  for (const auto& c : cases) {
    auto result = txmachine(c.args);
    EXPECT_EQ(result.exit_code, c.status) << result.output;
    EXPECT_NE(result.output.find(c.says), std::string::npos) << result.output;
  }
}

}  // namespace
