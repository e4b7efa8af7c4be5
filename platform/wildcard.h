// DOS wildcard matching as the Windows file functions apply it to one name: '*' stands for
// any run of characters, '?' for one, letter case is ignored, and a pattern ending in ".*"
// also matches names without a dot ("*.*" matches every name).
#pragma once

#include <string_view>

namespace platform {

bool dos_wildcard_match(std::string_view pattern, std::string_view name);

}  // namespace platform
