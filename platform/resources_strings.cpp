// user32 LoadStringW over the program's string tables. A table block holds strings
// id & ~15 to id | 15 as sixteen (16-bit length, UTF-16 text) records, with no terminators.
#include <cstring>
#include <optional>
#include <span>

#include "platform/kernel.h"
#include "platform/resources.h"
#include "platform/resources_find.h"

namespace {

constexpr WORD kRtString = 6;

// Offset and length (in UTF-16 units) of string `index` of a block, within the block's bytes.
std::optional<std::pair<size_t, size_t>> locate(std::span<const BYTE> block, UINT index) {
  size_t at = 0;
  for (UINT i = 0;; ++i) {
    WORD length = 0;
    if (block.size() < at + sizeof length) return std::nullopt;
    std::memcpy(&length, block.data() + at, sizeof length);
    at += sizeof length;
    if (block.size() - at < size_t{length} * 2) return std::nullopt;
    if (i == index) return std::make_pair(at, size_t{length});
    at += size_t{length} * 2;
  }
}

}  // namespace

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax) {
  if (!buffer || bufferMax < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const WORD block_id = static_cast<WORD>((id & 0xFFFF) / 16 + 1);
  const platform::ResourceEntry* entry =
      platform::find_resource(instance, platform::ResourceId::from_ordinal(kRtString),
                              platform::ResourceId::from_ordinal(block_id), platform::kAnyLanguage);
  if (!entry) return 0;
  std::optional<std::pair<size_t, size_t>> found = locate(entry->data, id % 16);
  if (!found) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  const auto [offset, length] = *found;
  const BYTE* text = entry->data.data() + offset;
  if (bufferMax == 0) {
    // The caller gets a read-only pointer into the resource itself; the text has no NUL.
    const WCHAR* pointer = reinterpret_cast<const WCHAR*>(text);
    std::memcpy(buffer, &pointer, sizeof pointer);
    return static_cast<int>(length);
  }
  const size_t copied = std::min(length, static_cast<size_t>(bufferMax) - 1);
  std::memcpy(buffer, text, copied * sizeof(WCHAR));
  buffer[copied] = 0;
  return static_cast<int>(copied);
}
