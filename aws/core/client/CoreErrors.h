// Error kinds common to every service client (a subset of the SDK's CoreErrors).
#pragma once

namespace Aws {
namespace Client {

enum class CoreErrors {
  INTERNAL_FAILURE,
  NETWORK_CONNECTION,  // no answer: the connection could not be made or broke
  REQUEST_TIMEOUT,     // connected, but the transfer stalled past the request time-out
  ACCESS_DENIED,
  SIGNATURE_DOES_NOT_MATCH,
  SERVICE_UNAVAILABLE,
  UNKNOWN
};

}  // namespace Client
}  // namespace Aws
