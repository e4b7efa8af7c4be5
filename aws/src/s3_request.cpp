#include "aws/src/s3_request.h"

namespace txaws {

namespace {

// A bucket name that can stand as a host name label sequence: 3 to 63 characters of lower-case
// letters, digits, '-' and '.', beginning and ending with a letter or digit, no empty label.
// Other names go in the path, as the SDK does.
bool is_dns_bucket(const std::string& bucket) {
  if (bucket.size() < 3 || bucket.size() > 63) return false;
  auto alnum = [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); };
  if (!alnum(bucket.front()) || !alnum(bucket.back())) return false;
  char previous = 0;
  for (char c : bucket) {
    if (!alnum(c) && c != '-' && c != '.') return false;
    if (c == '.' && (previous == '.' || previous == '-')) return false;
    if (c == '-' && previous == '.') return false;
    previous = c;
  }
  return true;
}

std::string service_host(const std::string& region) {
  if (region == "us-east-1") return "s3.amazonaws.com";
  if (region.rfind("cn-", 0) == 0) return "s3." + region + ".amazonaws.com.cn";
  return "s3." + region + ".amazonaws.com";
}

}  // namespace

ObjectLocation object_location(const std::string& bucket, const std::string& key, const std::string& region,
                               bool virtual_addressing) {
  std::string encoded_key = uri_encode(key, true);
  if (virtual_addressing && is_dns_bucket(bucket)) return {bucket + "." + service_host(region), "/" + encoded_key};
  return {service_host(region), "/" + uri_encode(bucket, false) + "/" + encoded_key};
}

PreparedRequest prepare_put_object(const Aws::S3::Model::PutObjectRequest& request,
                                   const Aws::Auth::AWSCredentials& credentials,
                                   const Aws::Client::ClientConfiguration& configuration, bool virtual_addressing,
                                   std::uint64_t content_length, const std::string& payload_hash, std::time_t now) {
  ObjectLocation location = object_location(request.GetBucket(), request.GetKey(), configuration.region,
                                            virtual_addressing);
  bool https = configuration.scheme == Aws::Http::Scheme::HTTPS;
  PreparedRequest prepared;
  prepared.host = location.host;
  prepared.port = https ? 443 : 80;
  prepared.url = (https ? "https://" : "http://") + location.host + location.path;

  SigningRequest signing;
  signing.method = "PUT";
  signing.canonical_uri = location.path;
  signing.payload_hash = payload_hash;
  signing.amz_date = amz_date(now);
  signing.region = configuration.region;
  signing.service = "s3";
  signing.headers = {{"Host", location.host},
                     {"Content-Length", std::to_string(content_length)},
                     {"Content-Type", request.GetContentType()},
                     {"x-amz-content-sha256", payload_hash},
                     {"x-amz-date", signing.amz_date}};
  std::string acl = Aws::S3::Model::ObjectCannedACLMapper::GetNameForObjectCannedACL(request.GetACL());
  if (!acl.empty()) signing.headers.emplace_back("x-amz-acl", acl);
  if (!credentials.GetSessionToken().empty())
    signing.headers.emplace_back("x-amz-security-token", credentials.GetSessionToken());

  prepared.signing = sign_v4(signing, credentials.GetAWSAccessKeyId(), credentials.GetAWSSecretKey());
  prepared.headers = std::move(signing.headers);
  prepared.headers.emplace_back("Authorization", prepared.signing.authorization);
  return prepared;
}

}  // namespace txaws
