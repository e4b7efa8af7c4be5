// Accelerator tables as the program carries them (RT_ACCELERATOR): 8-byte entries of flags,
// key, command and padding; the last entry has 0x80 in its flags.
#pragma once

#include <optional>
#include <span>

#include "platform/types.h"
#include "platform/user.h"

namespace platform {

constexpr BYTE kLastAcceleratorEntry = 0x80;

// The command of the table's entry that the key message `msg` selects, if any.
std::optional<WORD> accelerator_command(std::span<const BYTE> table, const MSG& msg);

}  // namespace platform
