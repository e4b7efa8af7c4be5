// Kernel handles: small integers (multiples of 4, as on Windows) that name objects of the
// layer. A handle names its object until CloseHandle; a stale or foreign value is refused
// with ERROR_INVALID_HANDLE instead of being followed.
#pragma once

#include <memory>

#include "platform/types.h"

namespace platform {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
};

HANDLE insert_handle(std::shared_ptr<KernelObject> object);

// The object a handle names, if it is a T; null otherwise (last error left alone).
std::shared_ptr<KernelObject> lookup_handle(HANDLE handle);
template <class T>
std::shared_ptr<T> lookup_handle_as(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(lookup_handle(handle));
}

// Removes the handle; the object ends when the last user lets go of it. False for a handle
// that names nothing.
bool remove_handle(HANDLE handle);

}  // namespace platform
