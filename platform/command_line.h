// Windows command lines: how CommandLineToArgvW splits one into arguments, and which names
// CreateProcess tries for the program when it is given no application name.
//
// Narrow text in the machine's code page works unchanged: no byte of a double-byte character
// of the supported code pages is a space, a tab, a quotation mark or a backslash.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The arguments, argv[0] first. argv[0] ends at the next quotation mark when it starts with
// one, otherwise at the first space or tab, and backslashes are not escapes in it; a command
// line that starts with white space has an empty argv[0]. In later arguments 2n backslashes
// and a quotation mark give n backslashes and toggle quoting, 2n+1 backslashes and a
// quotation mark give n backslashes and a literal quotation mark, other backslashes are
// literal, and two quotation marks inside a quoted part give one literal quotation mark.
// An empty command line gives no arguments.
std::vector<std::string> split_command_line(std::string_view command_line);

// The program names CreateProcess tries, in order, before any ".exe" is added: the quoted
// first token alone, or for an unquoted one every prefix that ends before a space or tab
// and finally the whole line ("c:\program files\a b" gives "c:\program", "c:\program
// files\a", "c:\program files\a b"). Leading white space is skipped.
std::vector<std::string> program_name_candidates(std::string_view command_line);

}  // namespace platform
