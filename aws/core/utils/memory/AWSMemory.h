// Aws::MakeShared: the SDK's shared-object factory. The allocation tag names the caller for
// the SDK's memory tracking; without a custom memory manager it has no effect, as here.
#pragma once

#include <memory>
#include <utility>

namespace Aws {

template <typename T, typename... ArgTypes>
std::shared_ptr<T> MakeShared(const char* allocationTag, ArgTypes&&... args) {
  static_cast<void>(allocationTag);
  return std::make_shared<T>(std::forward<ArgTypes>(args)...);
}

}  // namespace Aws
