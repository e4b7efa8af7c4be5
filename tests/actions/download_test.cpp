// DownloadUrlToFile against real local servers: a complete body replaces the target; every
// failure leaves the target as it was and no temporary file behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "actions/download.h"
#include "platform/win32.h"
#include "tests/support/http_peer.h"
#include "tests/support/temp_machine.h"
#include "tests/support/test_ca.h"

namespace {

const char kTarget[] = "C:\\talvex\\bin\\fetched.exe";
const char kTemp[] = "C:\\talvex\\bin\\fetched.exe.part";
const char kOld[] = "the previous, good file";

std::string pattern(std::size_t n) {
  std::string bytes(n, '\0');
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>(i % 256);
  return bytes;
}

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_.write_file(kTarget, kOld);
    machine_.write_file("C:\\Windows\\System32\\drivers\\etc\\hosts", "127.0.0.1 download.test closed.test\n");
  }

  int download(const std::string& url) { return DownloadUrlToFile(url.c_str(), kTarget); }

  void expect_untouched() {
    EXPECT_EQ(machine_.read_file(kTarget), kOld);
    EXPECT_FALSE(machine_.exists(kTemp));
  }

  txtest::TempMachine machine_;
};

TEST_F(DownloadTest, CompleteBodiesReplaceTheTarget) {
  txtest::HttpPeer peer;
  EXPECT_EQ(download(peer.url("bytes/25000")), 25000);
  EXPECT_EQ(machine_.read_file(kTarget), pattern(25000));
  EXPECT_FALSE(machine_.exists(kTemp));

  // A NUL near the start ends the marker test of that chunk: the body is stored whole.
  int size = download(peer.url("jpeg-marker"));
  std::string stored = machine_.read_file(kTarget);
  EXPECT_EQ(size, static_cast<int>(stored.size()));
  EXPECT_EQ(stored.substr(0, 4), "\xff\xd8\xff\xe0");
  EXPECT_NE(stored.find("<Error><Code>"), std::string::npos);
}

// An empty body arrives whole: the target is replaced by an empty file and the result is 0.
TEST_F(DownloadTest, EmptyBodyGivesAnEmptyFileAndZero) {
  txtest::HttpPeer peer;
  EXPECT_EQ(download(peer.url("empty")), 0);
  EXPECT_TRUE(machine_.exists(kTarget));
  EXPECT_EQ(machine_.read_file(kTarget), "");
  EXPECT_FALSE(machine_.exists(kTemp));
}

TEST_F(DownloadTest, FailuresKeepTheTarget) {
  txtest::HttpPeer peer;
  const std::string cases[] = {
      peer.url("s3error/403"),   // S3's error document with its status
      peer.url("s3error/200"),   // and the same document with a success status
      peer.url("marker-third"),  // the marker in the third chunk of a text body
      peer.url("notfound"),      // a web server's error page
      peer.url("drop/100000"),   // connection reset in mid-body
      peer.url("short/100000"),  // closed before Content-Length was reached
      "http://closed.test:" + std::to_string(txtest::closed_port()) + "/file.exe",
      "http://nowhere.invalid/file.exe",
  };
  for (const std::string& url : cases) {
    SCOPED_TRACE(url);
    EXPECT_EQ(download(url), 0);
    expect_untouched();
  }
}

TEST_F(DownloadTest, FailureLeavesAnAbsentTargetAbsent) {
  txtest::HttpPeer peer;
  std::filesystem::remove(machine_.host(kTarget));
  EXPECT_EQ(download(peer.url("short/100000")), 0);
  EXPECT_FALSE(machine_.exists(kTarget));
  EXPECT_FALSE(machine_.exists(kTemp));
}

// A target held open without FILE_SHARE_DELETE cannot be replaced (MoveFileExA gives 32).
TEST_F(DownloadTest, TargetInUseIsNotReplaced) {
  txtest::HttpPeer peer;
  HANDLE held = CreateFileA(kTarget, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(download(peer.url("bytes/25000")), 0);
  CloseHandle(held);
  expect_untouched();
}

// 50000 reads of 10240 bytes is the most a download may take; a longer body is refused
// rather than cut.
TEST_F(DownloadTest, BodyBeyondTheReadLimitFails) {
  txtest::HttpPeer peer;
  constexpr long long kLimit = 50000LL * 10240;
  EXPECT_EQ(download(peer.url("big/" + std::to_string(kLimit + 1))), 0);
  expect_untouched();
  EXPECT_EQ(download(peer.url("big/" + std::to_string(kLimit))), kLimit);
  EXPECT_EQ(std::filesystem::file_size(machine_.host(kTarget)), static_cast<std::uintmax_t>(kLimit));
}

TEST_F(DownloadTest, HttpsNeedsATrustedCertificate) {
  std::filesystem::create_directories(machine_.root() + "/pki");
  txtest::TestCa ca(machine_.root() + "/pki", "download.test");
  txtest::HttpPeer peer(ca.server_pem(), ca.server_key());
  std::string url = peer.url("bytes/25000", "download.test", true);
  EXPECT_EQ(download(url), 0);
  expect_untouched();

  std::filesystem::create_directories(machine_.root() + "/certs");
  std::filesystem::copy_file(ca.ca_pem(), machine_.root() + "/certs/test-ca.pem");
  EXPECT_EQ(download(url), 25000);
  EXPECT_EQ(machine_.read_file(kTarget), pattern(25000));
}

}  // namespace
