// Code pages: the machine's ANSI code page (949 unless machine.ini says otherwise) for every
// narrow "A" call, UTF-8 for names on disk, UTF-16 for wide calls.
//
// Export list:
//   MultiByteToWideChar    CP_ACP, CP_THREAD_ACP (both the machine's code page), CP_UTF8, any
//                          code page iconv knows as CP<n>; flags ignored; -1 length counts the NUL
//   WideCharToMultiByte    the same code pages; unrepresentable characters become '?'
#pragma once

#include <string>
#include <string_view>

#include "platform/types.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_THREAD_ACP 3
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008u

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH multiByte, int multiByteCount, LPWSTR wide,
                        int wideCount);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR multiByte,
                        int multiByteCount, LPCCH defaultChar, LPBOOL usedDefaultChar);

namespace platform {

// Conversions between the machine's ANSI code page and UTF-8 or UTF-16. Bytes that are not
// valid in the source become U+FFFD (or '?' in an ANSI result).
std::string ansi_to_utf8(std::string_view ansi);
std::string utf8_to_ansi(std::string_view utf8);
std::u16string ansi_to_utf16(std::string_view ansi);
std::string utf16_to_ansi(std::u16string_view wide);
std::u16string utf8_to_utf16(std::string_view utf8);
std::string utf16_to_utf8(std::u16string_view wide);
// Little-endian UTF-16 bytes (no byte order mark) to the machine's code page, or to the
// given one (which does not consult the machine: the machine's own settings are read so).
std::string utf16le_bytes_to_ansi(std::string_view bytes);
std::string utf16le_bytes_to_code_page(std::string_view bytes, UINT code_page);

}  // namespace platform
