// Name lookup through the machine's hosts file, as Windows reads
// C:\Windows\System32\drivers\etc\hosts before it asks DNS.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The address the machine's hosts file gives `host` (the first line naming it; names compare
// without regard to case), or nullopt when the file does not name it. Lines hold an address
// and one or more names; '#' starts a comment; lines with an address that does not parse
// are skipped.
std::optional<std::string> hosts_file_address(std::string_view host);

// The same lookup in the given text of a hosts file.
std::optional<std::string> hosts_text_address(std::string_view text, std::string_view host);

}  // namespace platform
