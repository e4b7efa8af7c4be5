#include "aws/core/client/DefaultRetryStrategy.h"

namespace Aws {
namespace Client {

bool DefaultRetryStrategy::ShouldRetry(const AWSError<CoreErrors>& error, long attemptedRetries) const {
  return attemptedRetries < m_maxRetries && error.ShouldRetry();
}

long DefaultRetryStrategy::CalculateDelayBeforeNextRetry(const AWSError<CoreErrors>&, long attemptedRetries) const {
  if (attemptedRetries <= 0) return 0;
  return (1L << attemptedRetries) * m_scaleFactor;
}

}  // namespace Client
}  // namespace Aws
