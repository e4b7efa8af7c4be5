// The .res reader. Offsets are size_t on a 64-bit host, so no sum of two 32-bit fields wraps.
#include "platform/res_file.h"

#include <cstring>

namespace platform {
namespace {

constexpr size_t kFixedTail = 16;     // DataVersion, MemoryFlags, LanguageId, Version, Characteristics
constexpr size_t kMinimumHeader = 32;  // two sizes, two ordinals, the fixed tail

size_t align4(size_t offset) { return (offset + 3) & ~size_t{3}; }

char16_t upper_ascii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

class Cursor {
 public:
  explicit Cursor(std::span<const BYTE> bytes) : bytes_(bytes) {}

  bool word(size_t at, WORD& out) const { return read(at, &out, sizeof out); }
  bool dword(size_t at, DWORD& out) const { return read(at, &out, sizeof out); }

  // A TYPE or NAME field starting at `at` and ending before `limit`; `at` moves past it.
  bool id(size_t& at, size_t limit, ResourceId& out) const {
    WORD first = 0;
    if (at + 2 > limit || !word(at, first)) return false;
    if (first == 0xFFFF) {
      if (at + 4 > limit || !word(at + 2, out.ordinal)) return false;
      out.is_ordinal = true;
      at += 4;
      return true;
    }
    out.is_ordinal = false;
    out.name.clear();
    for (;;) {
      WORD unit = 0;
      if (at + 2 > limit || !word(at, unit)) return false;
      at += 2;
      if (unit == 0) return true;
      out.name.push_back(static_cast<char16_t>(unit));
    }
  }

 private:
  bool read(size_t at, void* out, size_t size) const {
    if (at > bytes_.size() || bytes_.size() - at < size) return false;
    std::memcpy(out, bytes_.data() + at, size);
    return true;
  }

  std::span<const BYTE> bytes_;
};

// The first entry marks the format: no data, a 32-byte header, type 0 and name 0 as ordinals.
bool has_format_marker(const Cursor& in) {
  DWORD data_size = 1, header_size = 0, type = 0, name = 0;
  return in.dword(0, data_size) && in.dword(4, header_size) && in.dword(8, type) && in.dword(12, name) &&
         data_size == 0 && header_size == kMinimumHeader && type == 0x0000FFFFu && name == 0x0000FFFFu;
}

}  // namespace

bool ResourceId::matches(const ResourceId& other) const {
  if (is_ordinal != other.is_ordinal) return false;
  if (is_ordinal) return ordinal == other.ordinal;
  if (name.size() != other.name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (upper_ascii(name[i]) != upper_ascii(other.name[i])) return false;
  }
  return true;
}

std::optional<std::vector<ResourceEntry>> parse_res_file(std::span<const BYTE> bytes) {
  Cursor in(bytes);
  if (bytes.size() < kMinimumHeader || !has_format_marker(in)) return std::nullopt;
  std::vector<ResourceEntry> entries;
  size_t at = kMinimumHeader;
  while (at < bytes.size()) {
    DWORD data_size = 0, header_size = 0;
    if (!in.dword(at, data_size) || !in.dword(at + 4, header_size)) return std::nullopt;
    if (header_size < kMinimumHeader || header_size > bytes.size() - at) return std::nullopt;
    const size_t header_end = at + header_size;
    if (data_size > bytes.size() - header_end) return std::nullopt;

    ResourceEntry entry;
    size_t field = at + 8;
    const size_t ids_limit = header_end - kFixedTail;
    if (!in.id(field, ids_limit, entry.type) || !in.id(field, ids_limit, entry.name)) return std::nullopt;
    field = align4(field);
    if (field > ids_limit) return std::nullopt;
    if (!in.dword(field, entry.data_version) || !in.word(field + 4, entry.memory_flags) ||
        !in.word(field + 6, entry.language) || !in.dword(field + 8, entry.version) ||
        !in.dword(field + 12, entry.characteristics)) {
      return std::nullopt;
    }
    entry.data = bytes.subspan(header_end, data_size);
    entries.push_back(std::move(entry));
    // The last resource's padding may be missing; anything else after it is not a resource.
    at = align4(header_end + data_size);
  }
  return entries;
}

}  // namespace platform
