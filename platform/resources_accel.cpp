// user32 accelerator tables: LoadAccelerators and TranslateAccelerator over the program's
// RT_ACCELERATOR resources.
#include "platform/resources_accel.h"

#include <cstring>

#include "platform/kernel.h"
#include "platform/resources.h"
#include "platform/resources_find.h"

namespace {

constexpr WORD kRtAccelerator = 9;
constexpr size_t kEntrySize = 8;
// lParam bit 29 of a key or character message: the Alt key was down.
constexpr LPARAM kContextCodeAlt = LPARAM{1} << 29;

struct TableEntry {
  BYTE flags;
  WORD key;
  WORD command;
};

TableEntry read_entry(const BYTE* at) {
  TableEntry entry{};
  WORD flags = 0;
  std::memcpy(&flags, at, sizeof flags);
  std::memcpy(&entry.key, at + 2, sizeof entry.key);
  std::memcpy(&entry.command, at + 4, sizeof entry.command);
  entry.flags = static_cast<BYTE>(flags);
  return entry;
}

const platform::ResourceEntry* table_of(HACCEL table) {
  const platform::ResourceEntry* entry = platform::entry_from_handle(reinterpret_cast<HRSRC>(table));
  if (!entry || !entry->type.matches(platform::ResourceId::from_ordinal(kRtAccelerator))) return nullptr;
  return entry;
}

HACCEL load_table(HINSTANCE instance, const platform::ResourceId& name) {
  const platform::ResourceEntry* entry = platform::find_resource(
      instance, platform::ResourceId::from_ordinal(kRtAccelerator), name, platform::kAnyLanguage);
  return reinterpret_cast<HACCEL>(const_cast<platform::ResourceEntry*>(entry));
}

// Both character widths send the same WM_COMMAND; only the sending function differs.
int translate(HWND window, HACCEL table, LPMSG msg, LRESULT (*send)(HWND, UINT, WPARAM, LPARAM)) {
  const platform::ResourceEntry* entry = table_of(table);
  if (!entry) {
    SetLastError(ERROR_INVALID_ACCEL_HANDLE);
    return 0;
  }
  if (!msg || !window) return 0;
  std::optional<WORD> command = platform::accelerator_command(entry->data, *msg);
  if (!command) return 0;
  // HIWORD 1 tells the window procedure the command came from an accelerator.
  send(window, WM_COMMAND, static_cast<WPARAM>(*command) | (WPARAM{1} << 16), 0);
  return 1;
}

}  // namespace

namespace platform {

std::optional<WORD> accelerator_command(std::span<const BYTE> table, const MSG& msg) {
  bool virtual_key = false;
  switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: virtual_key = true; break;
    case WM_CHAR:
    case WM_SYSCHAR: break;
    default: return std::nullopt;
  }
  const bool alt = (msg.lParam & kContextCodeAlt) != 0;
  // No keyboard exists, so Shift and Ctrl are never held.
  const BYTE held = alt ? FALT : 0;
  const WORD key = LOWORD(msg.wParam);
  for (size_t at = 0; table.size() - at >= kEntrySize; at += kEntrySize) {
    const TableEntry entry = read_entry(table.data() + at);
    const bool entry_virtual = (entry.flags & FVIRTKEY) != 0;
    const BYTE needed = entry.flags & (FALT | FCONTROL | FSHIFT);
    if (entry_virtual == virtual_key && entry.key == key && needed == held) return entry.command;
    if (entry.flags & kLastAcceleratorEntry) break;
  }
  return std::nullopt;
}

}  // namespace platform

HACCEL LoadAcceleratorsA(HINSTANCE instance, LPCSTR tableName) {
  if (!tableName) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return load_table(instance, platform::resource_id_from(tableName));
}

HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR tableName) {
  if (!tableName) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return load_table(instance, platform::resource_id_from(tableName));
}

int TranslateAcceleratorA(HWND window, HACCEL table, LPMSG msg) {
  return translate(window, table, msg, SendMessageA);
}

int TranslateAcceleratorW(HWND window, HACCEL table, LPMSG msg) {
  return translate(window, table, msg, SendMessageW);
}
