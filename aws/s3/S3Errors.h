// Aws::S3::S3Errors: error kinds of the S3 client. The core kinds keep their values, so an
// error of the core converts to the same kind here; the exception name carries S3's own Code.
#pragma once

#include "aws/core/client/CoreErrors.h"

namespace Aws {
namespace S3 {

enum class S3Errors {
  INTERNAL_FAILURE = static_cast<int>(Aws::Client::CoreErrors::INTERNAL_FAILURE),
  NETWORK_CONNECTION = static_cast<int>(Aws::Client::CoreErrors::NETWORK_CONNECTION),
  REQUEST_TIMEOUT = static_cast<int>(Aws::Client::CoreErrors::REQUEST_TIMEOUT),
  ACCESS_DENIED = static_cast<int>(Aws::Client::CoreErrors::ACCESS_DENIED),
  SIGNATURE_DOES_NOT_MATCH = static_cast<int>(Aws::Client::CoreErrors::SIGNATURE_DOES_NOT_MATCH),
  SERVICE_UNAVAILABLE = static_cast<int>(Aws::Client::CoreErrors::SERVICE_UNAVAILABLE),
  UNKNOWN = static_cast<int>(Aws::Client::CoreErrors::UNKNOWN)
};

}  // namespace S3
}  // namespace Aws
