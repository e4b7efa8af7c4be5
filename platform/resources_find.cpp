// kernel32 resource lookup over the .res image that tx_link_resources links into the program.
#include <optional>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/kernel.h"
#include "platform/machine.h"
#include "platform/resources.h"
#include "platform/resources_find.h"

// Defined by the generated source of an executable that links resources; absent otherwise.
extern "C" {
extern const unsigned char platform_linked_resources_begin[] __attribute__((weak));
extern const unsigned char platform_linked_resources_end[] __attribute__((weak));
}

namespace platform {
namespace {

// The program's resources, parsed once: they are part of the image and never change. A
// malformed image counts as none, the same as an executable linked without resources.
const std::vector<ResourceEntry>* program_resources() {
  static const std::optional<std::vector<ResourceEntry>> entries =
      []() -> std::optional<std::vector<ResourceEntry>> {
    const unsigned char* begin = platform_linked_resources_begin;
    const unsigned char* end = platform_linked_resources_end;
    if (!begin || !end || end < begin) return std::nullopt;
    return parse_res_file(std::span<const BYTE>(begin, static_cast<size_t>(end - begin)));
  }();
  return entries ? &*entries : nullptr;
}

// The language a Windows system of the machine's code page would run its interface in.
WORD machine_language() {
  switch (Machine::current().settings().code_page) {
    case 949: return MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN);
    case 932: return MAKELANGID(0x11, 0x01);  // Japanese
    case 936: return MAKELANGID(0x04, 0x02);  // Chinese (PRC)
    case 950: return MAKELANGID(0x04, 0x01);  // Chinese (Taiwan)
    default: return MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
  }
}

std::u16string digits_or_empty(std::u16string_view text) {
  if (text.size() < 2 || text[0] != u'#') return {};
  std::u16string digits(text.substr(1));
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return {};
  }
  return digits;
}

ResourceId id_from_text(std::u16string text) {
  // "#123" names ordinal 123, as FindResource documents.
  std::u16string digits = digits_or_empty(text);
  if (!digits.empty() && digits.size() <= 5) {
    unsigned long value = 0;
    for (char16_t c : digits) value = value * 10 + static_cast<unsigned long>(c - u'0');
    if (value <= 0xFFFF) return ResourceId::from_ordinal(static_cast<WORD>(value));
  }
  return ResourceId::from_name(std::move(text));
}

}  // namespace

ResourceId resource_id_from(LPCSTR id) {
  if (IS_INTRESOURCE(id)) return ResourceId::from_ordinal(LOWORD(reinterpret_cast<ULONG_PTR>(id)));
  return id_from_text(ansi_to_utf16(id));
}

ResourceId resource_id_from(LPCWSTR id) {
  if (IS_INTRESOURCE(id)) return ResourceId::from_ordinal(LOWORD(reinterpret_cast<ULONG_PTR>(id)));
  return id_from_text(std::u16string(id));
}

const ResourceEntry* find_resource(HMODULE module, const ResourceId& type, const ResourceId& name,
                                   WORD language) {
  const std::vector<ResourceEntry>* entries = program_resources();
  if (!entries || (module && module != GetModuleHandleA(nullptr))) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  bool type_seen = false;
  std::vector<const ResourceEntry*> candidates;
  for (const ResourceEntry& entry : *entries) {
    if (!entry.type.matches(type)) continue;
    type_seen = true;
    if (entry.name.matches(name)) candidates.push_back(&entry);
  }
  if (candidates.empty()) {
    SetLastError(type_seen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  auto in_language = [&](WORD wanted) -> const ResourceEntry* {
    for (const ResourceEntry* entry : candidates) {
      if (entry->language == wanted) return entry;
    }
    return nullptr;
  };
  if (language != kAnyLanguage) {
    if (const ResourceEntry* entry = in_language(language)) return entry;
    SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
    return nullptr;
  }
  for (WORD preferred : {WORD{0}, machine_language(), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)}) {
    if (const ResourceEntry* entry = in_language(preferred)) return entry;
  }
  return candidates.front();
}

const ResourceEntry* entry_from_handle(HRSRC handle) {
  const std::vector<ResourceEntry>* entries = program_resources();
  if (!entries || !handle) return nullptr;
  for (const ResourceEntry& entry : *entries) {
    if (reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(&entry)) == handle) return &entry;
  }
  return nullptr;
}

}  // namespace platform

namespace {

HRSRC as_handle(const platform::ResourceEntry* entry) {
  return reinterpret_cast<HRSRC>(const_cast<platform::ResourceEntry*>(entry));
}

}  // namespace

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
  return FindResourceExA(module, type, name, platform::kAnyLanguage);
}

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
  return FindResourceExW(module, type, name, platform::kAnyLanguage);
}

HRSRC FindResourceExA(HMODULE module, LPCSTR type, LPCSTR name, WORD language) {
  if (!type || !name) {
    SetLastError(!type ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return as_handle(platform::find_resource(module, platform::resource_id_from(type),
                                           platform::resource_id_from(name), language));
}

HRSRC FindResourceExW(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language) {
  if (!type || !name) {
    SetLastError(!type ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return as_handle(platform::find_resource(module, platform::resource_id_from(type),
                                           platform::resource_id_from(name), language));
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
  const platform::ResourceEntry* entry = platform::entry_from_handle(resource);
  if (!entry) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return const_cast<BYTE*>(entry->data.data());
}

DWORD SizeofResource(HMODULE, HRSRC resource) {
  const platform::ResourceEntry* entry = platform::entry_from_handle(resource);
  if (!entry) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return static_cast<DWORD>(entry->data.size());
}

// The loaded data is the linked bytes themselves, so locking only hands the pointer back.
LPVOID LockResource(HGLOBAL resourceData) { return resourceData; }
