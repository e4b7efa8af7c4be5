#include "aws/s3/S3Client.h"

#include <chrono>
#include <optional>
#include <ctime>
#include <thread>
#include <vector>

#include "aws/src/error_document.h"
#include "aws/src/http_transport.h"
#include "aws/src/s3_request.h"
#include "aws/src/sigv4.h"

namespace Aws {
namespace S3 {

using Aws::Client::AWSError;
using Aws::Client::CoreErrors;

namespace {

CoreErrors kind_of_code(const std::string& code) {
  if (code == "AccessDenied") return CoreErrors::ACCESS_DENIED;
  if (code == "SignatureDoesNotMatch") return CoreErrors::SIGNATURE_DOES_NOT_MATCH;
  if (code == "ServiceUnavailable" || code == "SlowDown") return CoreErrors::SERVICE_UNAVAILABLE;
  if (code == "InternalError") return CoreErrors::INTERNAL_FAILURE;
  return CoreErrors::UNKNOWN;
}

// The error of an answer of 300 or more. Only 5xx answers are retried: a 4xx says the request
// itself is wrong, and sending it again would get the same answer.
AWSError<CoreErrors> answer_error(const txaws::TransportResult& answer) {
  bool retryable = answer.status >= 500;
  AWSError<CoreErrors> error;
  if (auto document = txaws::parse_error_document(answer.body)) {
    error = AWSError<CoreErrors>(kind_of_code(document->code), document->code, document->message, retryable);
  } else {
    // No error document (a proxy's page, an empty body): the status stands for the name.
    error = AWSError<CoreErrors>(CoreErrors::UNKNOWN, "HttpStatus" + std::to_string(answer.status),
                                 answer.status_line, retryable);
  }
  error.SetResponseCode(static_cast<int>(answer.status));
  return error;
}

// The size of the body from its start, and the stream left at its start; nullopt when the
// stream cannot be measured.
std::optional<std::uint64_t> body_length(std::istream& body) {
  body.seekg(0, std::ios_base::end);
  std::streamoff end = body.tellg();
  body.seekg(0, std::ios_base::beg);
  if (!body || end < 0) return std::nullopt;
  return static_cast<std::uint64_t>(end);
}

// Hex SHA-256 of the body, read once in large pieces and rewound; nullopt when it reads short.
std::optional<std::string> body_hash(std::istream& body, std::uint64_t length) {
  txaws::Sha256 hash;
  std::vector<char> piece(1024 * 1024);
  std::uint64_t done = 0;
  while (done < length) {
    body.read(piece.data(), static_cast<std::streamsize>(std::min<std::uint64_t>(piece.size(), length - done)));
    auto got = static_cast<std::size_t>(body.gcount());
    if (got == 0) return std::nullopt;
    hash.update(piece.data(), got);
    done += got;
  }
  body.clear();
  body.seekg(0, std::ios_base::beg);
  if (!body) return std::nullopt;
  return hash.hex_final();
}

// A body stream that is missing or failed (a file stream whose file could not be opened) is
// refused before anything is sent: the SDK leaves that case undefined, and an empty or partial
// object under the key would look like a successful upload. Reported as "MissingBody".
AWSError<CoreErrors> missing_body(const std::shared_ptr<Aws::IOStream>& body) {
  std::string message = "The request body cannot be read";
  if (auto* file = dynamic_cast<const Aws::FStream*>(body.get())) message += ": cannot open " + file->path();
  return AWSError<CoreErrors>(CoreErrors::INTERNAL_FAILURE, "MissingBody", message, false);
}

}  // namespace

S3Client::S3Client(const Aws::Auth::AWSCredentials& credentials,
                   const Aws::Client::ClientConfiguration& clientConfiguration,
                   Aws::Client::AWSAuthV4Signer::PayloadSigningPolicy signPayloads, bool useVirtualAddressing)
    : m_credentials(credentials),
      m_configuration(clientConfiguration),
      m_signPayloads(signPayloads),
      m_useVirtualAddressing(useVirtualAddressing) {}

Model::PutObjectOutcome S3Client::PutObject(const Model::PutObjectRequest& request) const {
  const std::shared_ptr<Aws::IOStream>& body = request.GetBody();
  if (!body || !*body) return AWSError<S3Errors>(missing_body(body));
  std::optional<std::uint64_t> length = body_length(*body);
  if (!length) return AWSError<S3Errors>(missing_body(body));

  // As in the SDK's signer, a plain-HTTP request is signed with its payload whatever the
  // policy says: over HTTP nothing else protects the body.
  std::string payload_hash = "UNSIGNED-PAYLOAD";
  bool https = m_configuration.scheme == Aws::Http::Scheme::HTTPS;
  if (!https || m_signPayloads == Aws::Client::AWSAuthV4Signer::PayloadSigningPolicy::Always) {
    std::optional<std::string> hash = body_hash(*body, *length);
    if (!hash) return AWSError<S3Errors>(missing_body(body));
    payload_hash = *hash;
  }

  for (long retries = 0;; ++retries) {
    // Each attempt is signed anew: a signature is valid for 15 minutes from its date.
    txaws::PreparedRequest prepared = txaws::prepare_put_object(
        request, m_credentials, m_configuration, m_useVirtualAddressing, *length, payload_hash, std::time(nullptr));
    txaws::TransportRequest transport;
    transport.url = prepared.url;
    transport.host = prepared.host;
    transport.port = prepared.port;
    transport.headers = std::move(prepared.headers);
    transport.body = body.get();
    transport.length = *length;
    transport.connect_timeout_ms = m_configuration.connectTimeoutMs;
    transport.request_timeout_ms = m_configuration.requestTimeoutMs;
    transport.verify_ssl = m_configuration.verifySSL;
    transport.ca_file = m_configuration.caFile;
    transport.user_agent = m_configuration.userAgent;

    body->clear();
    body->seekg(0, std::ios_base::beg);
    txaws::TransportResult result = txaws::send_put(transport);
    if (result.answered && result.status < 300) {
      Model::PutObjectResult stored;
      stored.SetETag(result.etag);
      return stored;
    }
    AWSError<CoreErrors> error =
        result.answered ? answer_error(result)
                        : AWSError<CoreErrors>(result.failure, result.failure_name, result.failure_message,
                                               !result.body_failed);
    if (!m_configuration.retryStrategy || !m_configuration.retryStrategy->ShouldRetry(error, retries)) {
      return AWSError<S3Errors>(error);
    }
    long delay = m_configuration.retryStrategy->CalculateDelayBeforeNextRetry(error, retries);
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
  }
}

}  // namespace S3
}  // namespace Aws
