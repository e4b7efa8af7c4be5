// Aws::Client::RetryStrategy: whether and when a failed request is sent again.
#pragma once

#include "aws/core/client/AWSError.h"
#include "aws/core/client/CoreErrors.h"

namespace Aws {
namespace Client {

class RetryStrategy {
 public:
  virtual ~RetryStrategy() = default;
  // attemptedRetries counts the retries made so far (0 after the first attempt).
  virtual bool ShouldRetry(const AWSError<CoreErrors>& error, long attemptedRetries) const = 0;
  // Milliseconds to wait before the next attempt.
  virtual long CalculateDelayBeforeNextRetry(const AWSError<CoreErrors>& error, long attemptedRetries) const = 0;
};

}  // namespace Client
}  // namespace Aws
