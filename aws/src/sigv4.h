// AWS Signature Version 4 for header-based authentication of S3 requests, over libcrypto.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace txaws {

// A-Z a-z 0-9 - . _ ~ kept, every other byte as upper-case %XX; '/' kept when keep_slash.
// S3 object keys are encoded once this way in the path.
std::string uri_encode(std::string_view text, bool keep_slash);

std::string hex_sha256(std::string_view bytes);

// Incremental SHA-256, for bodies read in pieces.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  void update(const void* data, std::size_t size);
  std::string hex_final();

 private:
  void* context_;
};

// "yyyymmddThhmmssZ" of a UTC time.
std::string amz_date(std::time_t when);

struct SigningRequest {
  std::string method;
  std::string canonical_uri;    // the path as sent, already encoded
  std::string canonical_query;  // sorted, encoded name=value pairs joined by '&'
  // Every header here is signed; names in any case, values as sent.
  std::vector<std::pair<std::string, std::string>> headers;
  std::string payload_hash;  // hex SHA-256 of the body, or UNSIGNED-PAYLOAD
  std::string amz_date;      // as in x-amz-date
  std::string region;
  std::string service;
};

struct SigningResult {
  std::string canonical_request;
  std::string string_to_sign;
  std::string signed_headers;
  std::string signature;
  std::string authorization;  // the Authorization header's value
};

SigningResult sign_v4(const SigningRequest& request, std::string_view access_key_id, std::string_view secret_key);

}  // namespace txaws
