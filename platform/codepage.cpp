#include "platform/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <utility>

#include "platform/kernel.h"
#include "platform/machine.h"

namespace platform {

namespace {

bool is_ascii(std::string_view text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

std::string iconv_name(UINT code_page) {
  if (code_page == CP_UTF8) return "UTF-8";
  return "CP" + std::to_string(code_page);
}

UINT resolve(UINT code_page) {
  if (code_page == CP_ACP || code_page == CP_THREAD_ACP || code_page == CP_OEMCP) {
    return Machine::current().settings().code_page;
  }
  return code_page;
}

// iconv descriptors are not thread-safe, so each thread keeps its own, per direction.
class Converters {
 public:
  ~Converters() {
    for (auto& [key, cd] : map_) iconv_close(cd);
  }
  iconv_t get(const std::string& from, const std::string& to) {
    auto key = std::make_pair(from, to);
    auto it = map_.find(key);
    if (it != map_.end()) return it->second;
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    map_.emplace(key, cd);
    return cd;
  }

 private:
  std::map<std::pair<std::string, std::string>, iconv_t> map_;
};

// Converts with a replacement for input that cannot be converted. `replacement` is already in
// the target encoding.
std::string convert(std::string_view input, const std::string& from, const std::string& to,
                    std::string_view replacement, std::size_t unit) {
  thread_local Converters converters;
  iconv_t cd = converters.get(from, to);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(input);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);

  std::string out;
  out.resize(input.size() * 4 + 16);
  char* in_ptr = const_cast<char*>(input.data());
  std::size_t in_left = input.size();
  char* out_ptr = out.data();
  std::size_t out_left = out.size();
  while (in_left > 0) {
    std::size_t r = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
    if (r != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      std::size_t used = out.size() - out_left;
      out.resize(out.size() * 2);
      out_ptr = out.data() + used;
      out_left = out.size() - used;
      continue;
    }
    // EILSEQ or EINVAL: skip one unit of input and put the replacement.
    std::size_t used = out.size() - out_left;
    if (out_left < replacement.size()) {
      out.resize(out.size() * 2 + replacement.size());
      out_ptr = out.data() + used;
      out_left = out.size() - used;
    }
    std::memcpy(out_ptr, replacement.data(), replacement.size());
    out_ptr += replacement.size();
    out_left -= replacement.size();
    std::size_t skip = std::min(unit, in_left);
    in_ptr += skip;
    in_left -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(out.size() - out_left);
  return out;
}

std::string ansi_name() { return iconv_name(Machine::current().settings().code_page); }

constexpr char kUtf8Replacement[] = "\xEF\xBF\xBD";
constexpr char kUtf16Replacement[] = "\xFD\xFF";

std::string to_utf16le_bytes(std::string_view input, const std::string& from) {
  return convert(input, from, "UTF-16LE", std::string_view(kUtf16Replacement, 2), 1);
}

std::u16string bytes_to_u16(const std::string& bytes) {
  std::u16string wide(bytes.size() / 2, u'\0');
  std::memcpy(wide.data(), bytes.data(), wide.size() * 2);
  return wide;
}

std::string u16_to_bytes(std::u16string_view wide) {
  return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
}

std::string from_utf16(std::u16string_view wide, UINT code_page) {
  if (code_page == CP_UTF8) return utf16_to_utf8(wide);
  return convert(u16_to_bytes(wide), "UTF-16LE", iconv_name(code_page), "?", 2);
}

std::u16string to_utf16(std::string_view text, UINT code_page) {
  return bytes_to_u16(to_utf16le_bytes(text, iconv_name(code_page)));
}

}  // namespace

std::string ansi_to_utf8(std::string_view ansi) {
  if (is_ascii(ansi)) return std::string(ansi);
  return convert(ansi, ansi_name(), "UTF-8", kUtf8Replacement, 1);
}

std::string utf8_to_ansi(std::string_view utf8) {
  if (is_ascii(utf8)) return std::string(utf8);
  return convert(utf8, "UTF-8", ansi_name(), "?", 1);
}

std::u16string ansi_to_utf16(std::string_view ansi) {
  return to_utf16(ansi, Machine::current().settings().code_page);
}

std::string utf16_to_ansi(std::u16string_view wide) {
  return from_utf16(wide, Machine::current().settings().code_page);
}

std::u16string utf8_to_utf16(std::string_view utf8) { return bytes_to_u16(to_utf16le_bytes(utf8, "UTF-8")); }

std::string utf16_to_utf8(std::u16string_view wide) {
  return convert(u16_to_bytes(wide), "UTF-16LE", "UTF-8", kUtf8Replacement, 2);
}

std::string utf16le_bytes_to_ansi(std::string_view bytes) {
  return utf16le_bytes_to_code_page(bytes, Machine::current().settings().code_page);
}

std::string utf16le_bytes_to_code_page(std::string_view bytes, UINT code_page) {
  return convert(bytes.substr(0, bytes.size() & ~std::size_t{1}), "UTF-16LE", iconv_name(code_page), "?", 2);
}

}  // namespace platform

int MultiByteToWideChar(UINT codePage, DWORD, LPCCH multiByte, int multiByteCount, LPWSTR wide,
                        int wideCount) {
  if (!multiByte || multiByteCount == 0 || wideCount < 0 || (wideCount > 0 && !wide)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::size_t length = multiByteCount < 0 ? std::strlen(multiByte) + 1 : static_cast<std::size_t>(multiByteCount);
  std::u16string result = platform::to_utf16(std::string_view(multiByte, length), platform::resolve(codePage));
  if (wideCount == 0) return static_cast<int>(result.size());
  if (result.size() > static_cast<std::size_t>(wideCount)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(wide, result.data(), result.size() * sizeof(WCHAR));
  return static_cast<int>(result.size());
}

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR wide, int wideCount, LPSTR multiByte,
                        int multiByteCount, LPCCH, LPBOOL usedDefaultChar) {
  if (!wide || wideCount == 0 || multiByteCount < 0 || (multiByteCount > 0 && !multiByte)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::size_t length = 0;
  if (wideCount < 0) {
    while (wide[length] != 0) ++length;
    ++length;
  } else {
    length = static_cast<std::size_t>(wideCount);
  }
  std::string result = platform::from_utf16(std::u16string_view(wide, length), platform::resolve(codePage));
  if (usedDefaultChar) *usedDefaultChar = FALSE;
  if (multiByteCount == 0) return static_cast<int>(result.size());
  if (result.size() > static_cast<std::size_t>(multiByteCount)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(multiByte, result.data(), result.size());
  return static_cast<int>(result.size());
}
