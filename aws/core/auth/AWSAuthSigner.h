// Aws::Client::AWSAuthV4Signer: Signature Version 4. Only its payload-signing policy is
// public here; the client signs with it internally.
//
// Never asks for UNSIGNED-PAYLOAD, but as in the SDK a request over plain HTTP is signed with
// its payload's SHA-256 all the same, since nothing else would protect the body in transit.
#pragma once

namespace Aws {
namespace Client {

class AWSAuthV4Signer {
 public:
  enum class PayloadSigningPolicy {
    RequestDependent,  // as the request asks; for S3 uploads as for Never
    Always,
    Never
  };
};

}  // namespace Client
}  // namespace Aws
