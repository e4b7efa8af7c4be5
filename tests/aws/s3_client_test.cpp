// The S3 client's outcomes and retries, against a local stand-in for S3 with fixed answers.
#include "aws/s3/S3Client.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "aws/core/Aws.h"
#include "platform/curl_library.h"
#include "tests/support/mapped_library.h"
#include "tests/support/s3_peer.h"
#include "tests/support/temp_machine.h"

namespace {

const char kBucket[] = "stub-bucket";
const char kHost[] = "stub-bucket.s3.ap-northeast-2.amazonaws.com";

std::string body_bytes() {
  std::string bytes(300 * 1024, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  return bytes;
}

Aws::S3::Model::PutObjectOutcome put(long maxRetries, const std::shared_ptr<Aws::IOStream>& body) {
  Aws::Client::ClientConfiguration config;
  config.region = "ap-northeast-2";
  config.scheme = Aws::Http::Scheme::HTTP;
  config.retryStrategy = std::make_shared<Aws::Client::DefaultRetryStrategy>(maxRetries, 1);
  Aws::S3::S3Client client(Aws::Auth::AWSCredentials("AKIDEXAMPLE", "secret", ""), config,
                           Aws::Client::AWSAuthV4Signer::PayloadSigningPolicy::Never, true);
  Aws::S3::Model::PutObjectRequest request;
  request.WithBucket(kBucket).WithKey("k/a b.zip").WithACL(Aws::S3::Model::ObjectCannedACL::public_read);
  request.SetBody(body);
  return client.PutObject(request);
}

class S3ClientTest : public testing::Test {
 protected:
  void SetUp() override { Aws::InitAPI(options_); }
  void TearDown() override { Aws::ShutdownAPI(options_); }

  // Starts the stand-in with its answers; the lines it logged, one a request.
  void start_stub(const std::vector<std::string>& answers) {
    std::vector<std::string> argv = {txtest::find_program("python3"),
                                     std::string(TX_SOURCE_DIR) + "/tests/support/s3_stub.py", address_, log_};
    argv.insert(argv.end(), answers.begin(), answers.end());
    stub_ = std::make_unique<txtest::PeerProcess>(argv, std::vector<std::string>{});
    stub_->wait_listening(address_, 80);
    txtest::map_host(machine_, kHost, address_);
  }
  std::vector<std::string> requests() const {
    std::ifstream in(log_);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  Aws::SDKOptions options_;
  txtest::TempMachine machine_;
  std::string address_ = txtest::random_loopback_address();
  std::string log_ = machine_.root() + "/stub.log";
  std::unique_ptr<txtest::PeerProcess> stub_;
};

// 5xx answers and dropped connections are retried within the strategy's bound, each time with
// the whole body from its start; 4xx answers never are.
TEST_F(S3ClientTest, RetriesServerErrorsOnlyWithinTheBound) {
  struct Case {
    std::vector<std::string> answers;
    long max_retries;
    bool success;
    std::string name, message;
    std::size_t requests;
  } cases[] = {
      {{"503:xml", "500:text", "200"}, 3, true, "", "", 3},
      {{"503:xml"}, 2, false, "ServiceUnavailable", "stub says <ServiceUnavailable> & no", 3},
      {{"403:xml"}, 3, false, "AccessDenied", "stub says <AccessDenied> & no", 1},
      {{"404:text"}, 3, false, "HttpStatus404", "HTTP/1.1 404 Not Found", 1},
      {{"502:text"}, 0, false, "HttpStatus502", "HTTP/1.1 502 Bad Gateway", 1},
  };
  const std::string bytes = body_bytes();
  for (const Case& c : cases) {
    std::remove(log_.c_str());
    start_stub(c.answers);
    auto outcome = put(c.max_retries, std::make_shared<std::stringstream>(bytes));
    EXPECT_EQ(outcome.IsSuccess(), c.success) << c.answers[0];
    EXPECT_EQ(outcome.GetError().GetExceptionName(), c.name) << c.answers[0];
    EXPECT_EQ(outcome.GetError().GetMessage(), c.message) << c.answers[0];
    if (c.success) {
      EXPECT_EQ(outcome.GetResult().GetETag(), "\"0123456789abcdef\"");
    }
    std::vector<std::string> lines = requests();
    EXPECT_EQ(lines.size(), c.requests) << c.answers[0];
    for (const std::string& line : lines) EXPECT_EQ(line, "/k/a%20b.zip " + std::to_string(bytes.size()));
    stub_.reset();
  }
}

// libcurl stays loaded from the outermost InitAPI to its ShutdownAPI; a client used outside
// them loads it for each request and leaves nothing behind (a sanitized build keeps it).
TEST_F(S3ClientTest, LibcurlIsMappedOnlyWhileTheSdkOrARequestNeedsIt) {
  EXPECT_TRUE(txtest::library_mapped("libcurl.so"));
  Aws::ShutdownAPI(options_);
  EXPECT_EQ(txtest::library_mapped("libcurl.so"), !platform::kCurlUnloads);
  start_stub({"200"});
  EXPECT_TRUE(put(0, std::make_shared<std::stringstream>(body_bytes())).IsSuccess());
  EXPECT_EQ(requests().size(), 1u);
  EXPECT_EQ(txtest::library_mapped("libcurl.so"), !platform::kCurlUnloads);
  Aws::InitAPI(options_);  // for TearDown's ShutdownAPI
}

TEST_F(S3ClientTest, UnreachableEndpointIsATransportError) {
  txtest::map_host(machine_, kHost, address_);  // nothing listens there
  auto outcome = put(2, std::make_shared<std::stringstream>(body_bytes()));
  ASSERT_FALSE(outcome.IsSuccess());
  EXPECT_EQ(outcome.GetError().GetExceptionName(), "NetworkConnection");
  EXPECT_NE(outcome.GetError().GetMessage().find(std::string(kHost) + " port 80"), std::string::npos)
      << outcome.GetError().GetMessage();
  EXPECT_EQ(outcome.GetError().GetResponseCode(), 0);
}

TEST_F(S3ClientTest, UnopenedFileBodyIsRefusedBeforeSending) {
  start_stub({"200"});
  auto outcome = put(3, std::make_shared<Aws::FStream>("C:\\no\\such.zip", std::ios_base::in | std::ios_base::binary));
  EXPECT_EQ(outcome.GetError().GetExceptionName(), "MissingBody");
  EXPECT_EQ(outcome.GetError().GetMessage(), "The request body cannot be read: cannot open C:\\no\\such.zip");
  EXPECT_TRUE(requests().empty());
}

TEST(DefaultRetryStrategy, DoublesFromTheScaleAndStopsAtTheBound) {
  Aws::Client::DefaultRetryStrategy strategy;  // the SDK's defaults: 10 retries, 25 ms
  Aws::Client::AWSError<Aws::Client::CoreErrors> retryable(Aws::Client::CoreErrors::NETWORK_CONNECTION, "n", "m", true);
  Aws::Client::AWSError<Aws::Client::CoreErrors> final(Aws::Client::CoreErrors::ACCESS_DENIED, "n", "m", false);
  const long delays[] = {0, 50, 100, 200, 400, 800, 1600, 3200, 6400, 12800};
  for (long retries = 0; retries < 10; ++retries) {
    EXPECT_TRUE(strategy.ShouldRetry(retryable, retries));
    EXPECT_FALSE(strategy.ShouldRetry(final, retries));
    EXPECT_EQ(strategy.CalculateDelayBeforeNextRetry(retryable, retries), delays[retries]);
  }
  EXPECT_FALSE(strategy.ShouldRetry(retryable, 10));
}

}  // namespace
