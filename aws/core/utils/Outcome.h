// Aws::Utils::Outcome: the result of a request or the error that ended it.
#pragma once

#include <utility>

namespace Aws {
namespace Utils {

template <typename R, typename E>
class Outcome {
 public:
  Outcome() = default;
  Outcome(const R& result) : m_result(result), m_success(true) {}  // NOLINT: implicit, as in the SDK
  Outcome(R&& result) : m_result(std::move(result)), m_success(true) {}  // NOLINT
  Outcome(const E& error) : m_error(error) {}  // NOLINT
  Outcome(E&& error) : m_error(std::move(error)) {}  // NOLINT

  bool IsSuccess() const { return m_success; }
  const R& GetResult() const { return m_result; }
  const E& GetError() const { return m_error; }

 private:
  R m_result{};
  E m_error{};
  bool m_success = false;
};

}  // namespace Utils
}  // namespace Aws
