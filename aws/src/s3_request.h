// The signed form of a PutObject request: where it goes and the headers it carries.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "aws/core/auth/AWSCredentials.h"
#include "aws/core/client/ClientConfiguration.h"
#include "aws/s3/model/PutObjectRequest.h"
#include "aws/src/sigv4.h"

namespace txaws {

struct PreparedRequest {
  std::string url;
  std::string host;  // without the port
  int port = 0;
  std::vector<std::pair<std::string, std::string>> headers;  // Authorization last
  SigningResult signing;
};

// The endpoint host of a bucket in a region and the path of a key under it.
struct ObjectLocation {
  std::string host;
  std::string path;  // encoded once
};
ObjectLocation object_location(const std::string& bucket, const std::string& key, const std::string& region,
                               bool virtual_addressing);

// The request signed at `now`, for a body of content_length bytes whose payload hash is given
// (hex SHA-256, or UNSIGNED-PAYLOAD).
PreparedRequest prepare_put_object(const Aws::S3::Model::PutObjectRequest& request,
                                   const Aws::Auth::AWSCredentials& credentials,
                                   const Aws::Client::ClientConfiguration& configuration, bool virtual_addressing,
                                   std::uint64_t content_length, const std::string& payload_hash, std::time_t now);

}  // namespace txaws
