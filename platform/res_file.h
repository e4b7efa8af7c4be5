// Reader of the compiled resource format (.res), as resource compilers write it and the
// program carries it: a first empty 32-byte entry, then one header and data block per resource.
//
//   header: DataSize, HeaderSize (DWORDs), TYPE, NAME (each 0xFFFF and a 16-bit ordinal, or a
//           NUL-terminated UTF-16 string), padding to a DWORD, DataVersion (DWORD), MemoryFlags,
//           LanguageId (WORDs), Version, Characteristics (DWORDs)
//   data:   DataSize bytes, padded to a DWORD before the next header
//
// The reader checks every length against the bytes it was given and refuses the whole input
// at the first inconsistency: it never reads outside them.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace platform {

// A resource type or name: an ordinal, or a string. Strings compare without regard to ASCII
// letter case, since resource compilers store names in upper case and the loader upper-cases
// the name it is asked for.
struct ResourceId {
  bool is_ordinal = true;
  WORD ordinal = 0;
  std::u16string name;

  static ResourceId from_ordinal(WORD value) { return ResourceId{true, value, {}}; }
  static ResourceId from_name(std::u16string value) { return ResourceId{false, 0, std::move(value)}; }
  bool matches(const ResourceId& other) const;
};

struct ResourceEntry {
  ResourceId type;
  ResourceId name;
  WORD language = 0;
  WORD memory_flags = 0;
  DWORD data_version = 0;
  DWORD version = 0;
  DWORD characteristics = 0;
  std::span<const BYTE> data;  // within the bytes that were parsed
};

// Every resource of a .res image in file order, or nothing when the image is malformed.
std::optional<std::vector<ResourceEntry>> parse_res_file(std::span<const BYTE> bytes);

}  // namespace platform
