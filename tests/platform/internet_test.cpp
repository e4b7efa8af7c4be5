// Conformance of the Internet module against real HTTP(S) servers on loopback.
// Expected values: learn.microsoft.com, "InternetOpenUrlA", "InternetReadFile", "HttpQueryInfoA"
// and "WinINet error codes" (wininet.h).
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <string>

#include "platform/curl_library.h"
#include "platform/win32.h"
#include "tests/support/http_peer.h"
#include "tests/support/mapped_library.h"
#include "tests/support/temp_machine.h"
#include "tests/support/test_ca.h"

namespace {

constexpr DWORD kSentinel = 0xDEAD;

std::string pattern(std::size_t n) {
  std::string bytes(n, '\0');
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>(i % 256);
  return bytes;
}

class InternetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session_ = InternetOpenA("txnet-test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    ASSERT_NE(session_, nullptr);
  }
  void TearDown() override { InternetCloseHandle(session_); }

  void hosts(const std::string& lines) {
    machine_.write_file("C:\\Windows\\System32\\drivers\\etc\\hosts", "# test hosts\n" + lines);
  }

  HINTERNET open(const std::string& url, DWORD flags = 0) {
    return InternetOpenUrlA(session_, url.c_str(), nullptr, 0, flags, 0);
  }

  // The open's failure and its last error.
  DWORD open_error(const std::string& url, DWORD flags = 0) {
    SetLastError(kSentinel);
    HINTERNET file = open(url, flags);
    if (file) {
      InternetCloseHandle(file);
      return ERROR_SUCCESS;
    }
    return GetLastError();
  }

  static DWORD status(HINTERNET file) {
    DWORD value = 0, size = sizeof value;
    EXPECT_TRUE(HttpQueryInfoA(file, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr));
    return value;
  }

  // The whole body in reads of `size`; false (with *error) when a read failed.
  static bool read_all(HINTERNET file, std::string* body, DWORD size = 10240, DWORD* error = nullptr) {
    std::string buffer(size, '\0');
    for (;;) {
      DWORD got = 0xFFFF;
      SetLastError(kSentinel);
      if (!InternetReadFile(file, buffer.data(), size, &got)) {
        if (error) *error = GetLastError();
        return false;
      }
      if (got == 0) return true;
      body->append(buffer, 0, got);
    }
  }

  txtest::TempMachine machine_;
  HINTERNET session_ = nullptr;
};

TEST_F(InternetTest, ReadFillsTheBufferAndEndsWithTrueAndZeroBytes) {
  txtest::HttpPeer peer;
  HINTERNET file = open(peer.url("bytes/25000"));
  ASSERT_NE(file, nullptr);
  std::string buffer(10240, '\0'), body;
  DWORD sizes[] = {10240, 10240, 4520, 0, 0};
  for (DWORD expected : sizes) {
    DWORD got = 0xFFFF;
    SetLastError(kSentinel);
    ASSERT_TRUE(InternetReadFile(file, buffer.data(), 10240, &got));
    EXPECT_EQ(got, expected);
    body.append(buffer, 0, got);
  }
  EXPECT_EQ(body, pattern(25000));
  EXPECT_TRUE(InternetCloseHandle(file));
}

TEST_F(InternetTest, EmptyBodyEndsAtOnce) {
  txtest::HttpPeer peer;
  HINTERNET file = open(peer.url("empty"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(status(file), 200u);
  std::string body;
  EXPECT_TRUE(read_all(file, &body));
  EXPECT_EQ(body, "");
  InternetCloseHandle(file);
}

TEST_F(InternetTest, UserAgentOfTheSessionIsSent) {
  txtest::HttpPeer peer;
  HINTERNET file = open(peer.url("agent"));
  ASSERT_NE(file, nullptr);
  std::string body;
  EXPECT_TRUE(read_all(file, &body));
  EXPECT_EQ(body, "txnet-test");
  InternetCloseHandle(file);
}

// An HTTP error status is a response like any other: the open succeeds and the page is readable.
TEST_F(InternetTest, ErrorStatusOpensAndIsReadable) {
  txtest::HttpPeer peer;
  HINTERNET file = open(peer.url("notfound"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(status(file), 404u);
  std::string body;
  EXPECT_TRUE(read_all(file, &body));
  EXPECT_NE(body.find("404 Not Found"), std::string::npos);
  InternetCloseHandle(file);
}

// HttpQueryInfoA: on success the length excludes the NUL; when the buffer is short the call
// fails with ERROR_INSUFFICIENT_BUFFER and the length holds the size needed (NUL included).
TEST_F(InternetTest, QueryStatusBufferRules) {
  txtest::HttpPeer peer;
  HINTERNET file = open(peer.url("notfound"));
  ASSERT_NE(file, nullptr);

  char text[8] = "xxxxxxx";
  DWORD size = 4;
  SetLastError(kSentinel);
  ASSERT_TRUE(HttpQueryInfoA(file, HTTP_QUERY_STATUS_CODE, text, &size, nullptr));
  EXPECT_EQ(size, 3u);
  EXPECT_STREQ(text, "404");

  size = 3;
  SetLastError(kSentinel);
  EXPECT_FALSE(HttpQueryInfoA(file, HTTP_QUERY_STATUS_CODE, text, &size, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(size, 4u);

  DWORD number = 0;
  size = sizeof number - 1;
  SetLastError(kSentinel);
  EXPECT_FALSE(HttpQueryInfoA(file, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &number, &size, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(size, sizeof(DWORD));

  SetLastError(kSentinel);
  EXPECT_FALSE(HttpQueryInfoA(session_, HTTP_QUERY_STATUS_CODE, text, &size, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_TYPE));
  InternetCloseHandle(file);
}

// A transfer that ends before its body does is a failed read, never the end of the body.
TEST_F(InternetTest, BrokenTransfersFailTheRead) {
  txtest::HttpPeer peer;
  struct Case {
    const char* path;
    DWORD error;
  } cases[] = {
      {"drop/100000", ERROR_INTERNET_CONNECTION_RESET},     // connection reset mid-body
      {"short/100000", ERROR_INTERNET_CONNECTION_ABORTED},  // closed before Content-Length was reached
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    HINTERNET file = open(peer.url(c.path));
    ASSERT_NE(file, nullptr);
    std::string body;
    DWORD error = 0;
    EXPECT_FALSE(read_all(file, &body, 10240, &error));
    EXPECT_EQ(error, c.error);
    EXPECT_LT(body.size(), 100000u);
    InternetCloseHandle(file);
  }
}

// The receive time-out (INTERNET_OPTION_RECEIVE_TIMEOUT) also bounds a stall in mid-body.
TEST_F(InternetTest, StallInMidBodyTimesOut) {
  txtest::HttpPeer peer;
  DWORD timeout = 500;
  ASSERT_TRUE(InternetSetOptionA(session_, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout));
  HINTERNET file = open(peer.url("stall/100000"));
  ASSERT_NE(file, nullptr);
  std::string body;
  DWORD error = 0;
  EXPECT_FALSE(read_all(file, &body, 10240, &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
  EXPECT_EQ(body, pattern(1000));
  InternetCloseHandle(file);

  SetLastError(kSentinel);
  EXPECT_FALSE(InternetSetOptionA(session_, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, 2));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_BAD_OPTION_LENGTH));
}

TEST_F(InternetTest, OpenFailuresCarryWinInetErrors) {
  int closed = txtest::closed_port();
  hosts("127.0.0.1 closed.test\n");
  struct Case {
    std::string url;
    DWORD error;
  } cases[] = {
      {"http://closed.test:" + std::to_string(closed) + "/", ERROR_INTERNET_CANNOT_CONNECT},
      {"http://127.0.0.1:" + std::to_string(closed) + "/", ERROR_INTERNET_CANNOT_CONNECT},
      // Not in the hosts file and unknown to the resolver.
      {"http://nowhere.invalid/", ERROR_INTERNET_NAME_NOT_RESOLVED},
      {"gopher://127.0.0.1/", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
      {"no url at all", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
      {"http://[::1/", ERROR_INTERNET_INVALID_URL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(open_error(c.url), c.error);
  }
}

TEST_F(InternetTest, HandlesAreChecked) {
  txtest::HttpPeer peer;
  char buffer[16];
  DWORD got = 0;
  SetLastError(kSentinel);
  EXPECT_FALSE(InternetReadFile(session_, buffer, sizeof buffer, &got));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_TYPE));

  HINTERNET file = open(peer.url("bytes/10"));
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(InternetCloseHandle(file));
  SetLastError(kSentinel);
  EXPECT_FALSE(InternetCloseHandle(file));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(kSentinel);
  EXPECT_FALSE(InternetReadFile(file, buffer, sizeof buffer, &got));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(kSentinel);
  EXPECT_EQ(InternetOpenUrlA(reinterpret_cast<HINTERNET>(0x1234), peer.url("bytes/1").c_str(), nullptr, 0, 0, 0),
            nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// WinINet follows redirects of a GET by itself unless INTERNET_FLAG_NO_AUTO_REDIRECT is given
// (InternetOpenUrlA's flags). The limit pins the "WinINet error codes" text of
// ERROR_HTTP_REDIRECT_FAILED ("default is five attempts"), which no test on Windows confirmed.
TEST_F(InternetTest, RedirectsAreFollowed) {
  txtest::HttpPeer peer;
  for (const char* code : {"301", "302", "303", "307", "308"}) {
    SCOPED_TRACE(code);
    HINTERNET file = open(peer.url(std::string("redirect/") + code + "/2/bytes/300"));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(status(file), 200u);
    std::string body;
    EXPECT_TRUE(read_all(file, &body));
    EXPECT_EQ(body, pattern(300));
    InternetCloseHandle(file);
  }
  EXPECT_EQ(open_error(peer.url("redirect/302/5/bytes/1")), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(open_error(peer.url("redirect/302/6/bytes/1")), static_cast<DWORD>(ERROR_HTTP_REDIRECT_FAILED));

  HINTERNET file = open(peer.url("redirect/302/1/bytes/1"), INTERNET_FLAG_NO_AUTO_REDIRECT);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(status(file), 302u);
  InternetCloseHandle(file);
}

// Every hop is resolved through the hosts file, not only the first.
TEST_F(InternetTest, RedirectToAnotherHostUsesTheHostsFile) {
  txtest::HttpPeer peer;
  hosts("127.0.0.1 first.test\n127.0.0.1   second.test   # a comment\n");
  HINTERNET file = open(peer.url("to/302?" + peer.url("bytes/50", "second.test"), "first.test"));
  ASSERT_NE(file, nullptr);
  std::string body;
  EXPECT_TRUE(read_all(file, &body));
  EXPECT_EQ(body, pattern(50));
  InternetCloseHandle(file);
}

class InternetTlsTest : public InternetTest {
 protected:
  void SetUp() override {
    InternetTest::SetUp();
    std::filesystem::create_directories(machine_.root() + "/pki");
    ca_ = std::make_unique<txtest::TestCa>(machine_.root() + "/pki", "download.test");
    hosts("127.0.0.1 download.test other.test\n");
  }
  void trust_ca() {
    std::filesystem::create_directories(machine_.root() + "/certs");
    std::filesystem::copy_file(ca_->ca_pem(), machine_.root() + "/certs/test-ca.pem");
  }
  std::unique_ptr<txtest::TestCa> ca_;
};

TEST_F(InternetTlsTest, TrustedCertificateOpens) {
  trust_ca();
  txtest::HttpPeer peer(ca_->server_pem(), ca_->server_key());
  HINTERNET file = open(peer.url("bytes/5000", "download.test", true));
  ASSERT_NE(file, nullptr) << GetLastError();
  std::string body;
  EXPECT_TRUE(read_all(file, &body));
  EXPECT_EQ(body, pattern(5000));
  InternetCloseHandle(file);
}

// Certificate failures fail the open when no INTERNET_FLAG_IGNORE_CERT_* flag is given.
TEST_F(InternetTlsTest, CertificateErrorsFailTheOpen) {
  txtest::HttpPeer peer(ca_->server_pem(), ca_->server_key());
  EXPECT_EQ(open_error(peer.url("bytes/1", "download.test", true)), static_cast<DWORD>(ERROR_INTERNET_INVALID_CA));
  trust_ca();
  EXPECT_EQ(open_error(peer.url("bytes/1", "other.test", true)),
            static_cast<DWORD>(ERROR_INTERNET_SEC_CERT_CN_INVALID));
}

// http to https is followed; https to http needs INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP
// (InternetOpenUrlA's flags). The error number without the flag is unverified: it pins
// ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR, the code WinINet names for that redirect.
TEST_F(InternetTlsTest, RedirectsBetweenSchemes) {
  trust_ca();
  txtest::HttpPeer secure(ca_->server_pem(), ca_->server_key());
  txtest::HttpPeer plain;
  EXPECT_EQ(open_error(plain.url("to/302?" + secure.url("bytes/1", "download.test", true))),
            static_cast<DWORD>(ERROR_SUCCESS));
  std::string down = secure.url("to/302?" + plain.url("bytes/1"), "download.test", true);
  EXPECT_EQ(open_error(down), static_cast<DWORD>(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR));
  EXPECT_EQ(open_error(down, INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP), static_cast<DWORD>(ERROR_SUCCESS));
}

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer's runtime (compiler-rt's allocator interface).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
// AddressSanitizer quarantines freed memory, so the process grows with every chunk a stream
// ever allocated; what the stream holds is the live heap.
long held_kib() { return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024); }
#else
long held_kib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}
#endif

// The body streams: reading a large body never holds more than a chunk beside the caller's buffer.
TEST_F(InternetTest, LargeBodyStreamsInBoundedMemory) {
  txtest::HttpPeer peer;
  constexpr std::size_t kSize = 96u << 20;
  HINTERNET file = open(peer.url("big/" + std::to_string(kSize)));
  ASSERT_NE(file, nullptr);
  const long before = held_kib();
  long most = before;
  char buffer[10240];
  std::size_t total = 0;
  DWORD got = 0;
  while (InternetReadFile(file, buffer, sizeof buffer, &got) && got > 0) {
    total += got;
    most = std::max(most, held_kib());
  }
  EXPECT_EQ(total, kSize);
  EXPECT_LT(most - before, 16 * 1024);
  InternetCloseHandle(file);
}

// libcurl is loaded by the first Internet handle and unloaded with the last, whichever kind it
// is (a sanitized build keeps it); the next session loads it again.
TEST(InternetLibraryTest, LibcurlIsMappedOnlyWhileAHandleIsOpen) {
  txtest::TempMachine machine;
  txtest::HttpPeer peer;
  if (platform::kCurlUnloads) {
    EXPECT_FALSE(txtest::library_mapped("libcurl.so"));
  }
  for (int round = 0; round < 2; ++round) {
    HINTERNET session = InternetOpenA("txnet-test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    ASSERT_NE(session, nullptr);
    EXPECT_TRUE(txtest::library_mapped("libcurl.so"));
    HINTERNET file = InternetOpenUrlA(session, peer.url("bytes/25000").c_str(), nullptr, 0, 0, 0);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(InternetCloseHandle(session));
    EXPECT_TRUE(txtest::library_mapped("libcurl.so")) << "the open URL still needs it";
    std::string buffer(30000, '\0');
    DWORD got = 0;
    EXPECT_TRUE(InternetReadFile(file, buffer.data(), 30000, &got));
    EXPECT_EQ(buffer.substr(0, got), pattern(25000).substr(0, got));
    EXPECT_GT(got, 0u);
    EXPECT_TRUE(InternetCloseHandle(file));
    EXPECT_EQ(txtest::library_mapped("libcurl.so"), !platform::kCurlUnloads) << "round " << round;
  }
}

}  // namespace
