// Aws::Auth::AWSCredentials: an access key ID, its secret and an optional session token.
#pragma once

#include "aws/core/utils/memory/stl/AWSString.h"

namespace Aws {
namespace Auth {

class AWSCredentials {
 public:
  AWSCredentials() = default;
  AWSCredentials(const Aws::String& accessKeyId, const Aws::String& secretKey, const Aws::String& sessionToken = "")
      : m_accessKeyId(accessKeyId), m_secretKey(secretKey), m_sessionToken(sessionToken) {}

  const Aws::String& GetAWSAccessKeyId() const { return m_accessKeyId; }
  const Aws::String& GetAWSSecretKey() const { return m_secretKey; }
  const Aws::String& GetSessionToken() const { return m_sessionToken; }

 private:
  Aws::String m_accessKeyId;
  Aws::String m_secretKey;
  Aws::String m_sessionToken;
};

}  // namespace Auth
}  // namespace Aws
