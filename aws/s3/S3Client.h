// Aws::S3::S3Client: the S3 operations the log upload uses, PutObject only.
//
// Endpoint: derived from bucket and region, never overridden: with virtual addressing and a
// bucket that is a DNS name, BUCKET.s3.REGION.amazonaws.com/KEY, otherwise
// s3.REGION.amazonaws.com/BUCKET/KEY (s3.amazonaws.com for us-east-1, .amazonaws.com.cn for
// China). Host names are looked up in the machine's hosts file first, as on Windows.
// Requests are signed with Signature Version 4 for "s3" in the configured region, sent with
// the configuration's time-outs and retried by its retry strategy: transport failures and
// 5xx answers only. The body is streamed from its stream, never held whole.
#pragma once

#include <memory>

#include "aws/core/auth/AWSAuthSigner.h"
#include "aws/core/auth/AWSCredentials.h"
#include "aws/core/client/AWSError.h"
#include "aws/core/client/ClientConfiguration.h"
#include "aws/core/utils/Outcome.h"
#include "aws/s3/S3Errors.h"
#include "aws/s3/model/PutObjectRequest.h"
#include "aws/s3/model/PutObjectResult.h"

namespace Aws {
namespace S3 {

namespace Model {
using PutObjectOutcome = Aws::Utils::Outcome<PutObjectResult, Aws::Client::AWSError<S3Errors>>;
}  // namespace Model

class S3Client {
 public:
  S3Client(const Aws::Auth::AWSCredentials& credentials, const Aws::Client::ClientConfiguration& clientConfiguration,
           Aws::Client::AWSAuthV4Signer::PayloadSigningPolicy signPayloads =
               Aws::Client::AWSAuthV4Signer::PayloadSigningPolicy::Never,
           bool useVirtualAddressing = true);

  // Failures with no answer from S3: "NetworkConnection" or "RequestTimeout" with what the
  // transport reported; a body stream that cannot be read: "MissingBody" (see the source).
  // An answer of 300 or more: its error document's Code and Message, or, for a body that is
  // no error document, "HttpStatusNNN" and the status line.
  Model::PutObjectOutcome PutObject(const Model::PutObjectRequest& request) const;

 private:
  Aws::Auth::AWSCredentials m_credentials;
  Aws::Client::ClientConfiguration m_configuration;
  Aws::Client::AWSAuthV4Signer::PayloadSigningPolicy m_signPayloads;
  bool m_useVirtualAddressing;
};

}  // namespace S3
}  // namespace Aws
