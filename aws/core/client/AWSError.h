// Aws::Client::AWSError: the error of a failed request, as an error kind of the service, the
// service's exception name (an S3 error document's Code) and its message.
#pragma once

#include <utility>

#include "aws/core/utils/memory/stl/AWSString.h"

// <windows.h> maps GetMessage to GetMessageA or GetMessageW, which would rename the member
// below in every file that includes both. As the SDK does (aws-sdk-cpp issue 402), the macro
// is undefined here; include <windows.h> first.
#if defined(_WIN32) && defined(GetMessage)
#undef GetMessage
#endif

namespace Aws {
namespace Client {

template <typename ERROR_TYPE>
class AWSError {
 public:
  AWSError() = default;
  AWSError(ERROR_TYPE errorType, Aws::String exceptionName, Aws::String message, bool isRetryable)
      : m_errorType(errorType),
        m_exceptionName(std::move(exceptionName)),
        m_message(std::move(message)),
        m_isRetryable(isRetryable) {}

  // An error of another service's kinds, as the SDK converts core errors to a service's.
  template <typename OTHER_ERROR_TYPE>
  AWSError(const AWSError<OTHER_ERROR_TYPE>& other)  // NOLINT: implicit, as in the SDK
      : m_errorType(static_cast<ERROR_TYPE>(other.GetErrorType())),
        m_exceptionName(other.GetExceptionName()),
        m_message(other.GetMessage()),
        m_isRetryable(other.ShouldRetry()),
        m_responseCode(other.GetResponseCode()) {}

  ERROR_TYPE GetErrorType() const { return m_errorType; }
  const Aws::String& GetExceptionName() const { return m_exceptionName; }
  const Aws::String& GetMessage() const { return m_message; }
  bool ShouldRetry() const { return m_isRetryable; }
  // The HTTP status of the answer; 0 when no answer came.
  int GetResponseCode() const { return m_responseCode; }
  void SetResponseCode(int code) { m_responseCode = code; }

 private:
  ERROR_TYPE m_errorType{};
  Aws::String m_exceptionName;
  Aws::String m_message;
  bool m_isRetryable = false;
  int m_responseCode = 0;
};

}  // namespace Client
}  // namespace Aws
