// txsend against a real window in a helper process (tests/helpers/tx_window_host.cpp, whose
// procedure answers WM_COPYDATA with the FNV-1a hash of the delivered bytes, -1 for NULL).
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/support/process.h"
#include "tests/support/temp_machine.h"

namespace {

constexpr char kName[] = "txsend target";

std::string fnv1a(const std::string& bytes) {
  std::uint32_t hash = 2166136261u;
  for (unsigned char c : bytes) hash = (hash ^ c) * 16777619u;
  return std::to_string(hash);
}

txtest::ProcessResult txsend(std::vector<std::string> args, const char* window = kName) {
  std::vector<std::string> argv{txtest::bin_path("txsend")};
  if (window) argv.insert(argv.end(), {"--window", window});
  argv.insert(argv.end(), args.begin(), args.end());
  return txtest::run_process(argv);
}

class Txsend : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = txtest::start_process({txtest::helper_path("tx_window_host"), kName, kName, machine_.root() + "/log"});
    for (int i = 0; i < 1000 && !FindWindowA(kName, kName); ++i) Sleep(10);
    ASSERT_NE(FindWindowA(kName, kName), nullptr);
  }
  void TearDown() override {
    if (host_ > 0) {
      ::kill(host_, SIGKILL);
      txtest::wait_process(host_);
    }
  }
  txtest::TempMachine machine_;
  pid_t host_ = -1;
};

TEST_F(Txsend, DeliversEachFormAndPrintsTheAnswer) {
  struct Case {
    std::vector<std::string> args;
    std::string output;
  } cases[] = {
      {{"copydata", "3", "abc"}, fnv1a("abc") + "\n"},
      {{"copydata", "5", "ab"}, fnv1a(std::string("ab\0\0\0", 5)) + "\n"},  // zero-padded to cbData
      {{"copydata", "2"}, "-1\n"},                                          // no text: lpData NULL
      {{"send", "1025"}, "0\n"},
      {{"send", "0x401"}, "0\n"},
      {{"post", "2425"}, "posted\n"},
      {{"command", "104"}, "1104\n"},
  };
  for (const auto& c : cases) {
    auto result = txsend(c.args);
    EXPECT_EQ(result.exit_code, 0) << c.args[0] << " " << c.args[1];
    EXPECT_EQ(result.output, c.output) << c.args[0] << " " << c.args[1];
  }
}

TEST_F(Txsend, SaysWhenALongerTextArrivesCut) {
  auto result = txsend({"copydata", "3", "abcdef"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_NE(result.output.find("only the first 3 arrive"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find(fnv1a("abc")), std::string::npos) << result.output;
}

TEST_F(Txsend, BadArgumentsGiveUsageAndStatusOne) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"frob"}, {"post"}, {"post", "x"}, {"send", "-1"}, {"command", "70000"}, {"close", "now"},
           {"copydata"}, {"copydata", "3", "a", "b"}}) {
    auto result = txsend(args);
    EXPECT_EQ(result.exit_code, 1) << (args.empty() ? "" : args[0]);
    EXPECT_NE(result.output.find("usage"), std::string::npos) << result.output;
  }
}

// One process, many requests: each line is answered as it is read, a bad line with "error",
// and the exit status is the worst line's.
TEST_F(Txsend, RequestsFromStandardInputAreAnsweredLineByLine) {
  const std::string script = "printf 'copydata 5 a b\\nfrob\\r\\ncommand 104' | '" + txtest::bin_path("txsend") +
                             "' --window '" + kName + "' -";
  auto result = txtest::run_process({"/bin/sh", "-c", script});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.output, fnv1a(std::string("a b\0\0", 5)) + "\ntxsend: not a request: frob\nerror\n1104\n");
}

TEST_F(Txsend, CloseEndsTheWindowAndAMissingWindowIsStatusTwo) {
  auto closed = txsend({"close"});
  EXPECT_EQ(closed.exit_code, 0) << closed.output;
  EXPECT_EQ(txtest::wait_process(host_), 0);
  host_ = -1;
  for (const char* verb : {"close", "post"}) {
    auto result = verb == std::string("post") ? txsend({"post", "2425"}) : txsend({"close"});
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_NE(result.output.find("no window \"txsend target\""), std::string::npos) << result.output;
  }
  EXPECT_EQ(txsend({"close"}, nullptr).exit_code, 2);  // the default window is not running either
}

}  // namespace
