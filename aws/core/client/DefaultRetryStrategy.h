// The SDK's default retry strategy: a retryable error is retried up to maxRetries times,
// waiting 0 ms before the first retry and 2^n * scaleFactor ms before retry n after that
// (with the defaults at most 10 retries and about 25.6 s of waiting in all).
#pragma once

#include "aws/core/client/RetryStrategy.h"

namespace Aws {
namespace Client {

class DefaultRetryStrategy : public RetryStrategy {
 public:
  explicit DefaultRetryStrategy(long maxRetries = 10, long scaleFactor = 25)
      : m_scaleFactor(scaleFactor), m_maxRetries(maxRetries) {}

  bool ShouldRetry(const AWSError<CoreErrors>& error, long attemptedRetries) const override;
  long CalculateDelayBeforeNextRetry(const AWSError<CoreErrors>& error, long attemptedRetries) const override;

 protected:
  long m_scaleFactor;
  long m_maxRetries;
};

}  // namespace Client
}  // namespace Aws
