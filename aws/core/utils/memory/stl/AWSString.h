// Aws::String: the SDK's string type, here the standard string with the standard allocator.
#pragma once

#include <string>

namespace Aws {
using String = std::string;
}  // namespace Aws
