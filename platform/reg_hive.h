// The current user's hive as a .reg text file: parsed into keys and values, and written back.
//
// Two file formats, as the registry editor exports them:
//   REGEDIT4                             text in the machine's ANSI code page; hex(1), hex(2)
//                                        and hex(7) bytes are in that code page too
//   Windows Registry Editor Version 5.00 UTF-16LE text after the byte order mark FF FE;
//                                        hex(1), hex(2) and hex(7) bytes are UTF-16LE
// (a file without the byte order mark is read in the ANSI code page whatever its header says).
// Lines: `[HKEY_CURRENT_USER\path]` opens a key (and its parents), `[-HKEY_CURRENT_USER\path]`
// deletes it with its subkeys, `"name"=...` or `@=...` sets a value, `"name"=-` deletes one;
// `"text"` (with \\ and \" escapes), `dword:` (1 to 8 hex digits), `hex:`, `hex(N):`; a line
// that starts with ';' is a comment; a hex list continues on the next line after a trailing
// backslash. Entries apply in file order, so a later assignment of a value wins, and a key
// named twice collects the values of both places.
// Anything else is skipped line by line: a malformed line, an entry before the first key, keys
// of other roots (the entries below them too), a hex list cut off by the end of the file or by
// a line that is not its continuation. A file without a known header holds no keys.
//
// In memory the data is kept as the registry stores it: string types (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ) in UTF-16LE, everything else as raw bytes; names are UTF-8. Key and value
// names compare without regard to ASCII letter case and keep the spelling they were first
// given. Writing produces the hive's content only: comments, skipped lines and other roots'
// keys of the file it was read from are not kept.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/types.h"

namespace platform {

enum class RegFormat { regedit4, version5 };

struct RegValue {
  std::string name;  // "" is the key's default value (`@`)
  DWORD type = 0;
  std::string data;
};

struct RegKey {
  std::string path;  // below HKEY_CURRENT_USER, components joined by '\'; "" is the root itself
  std::vector<RegValue> values;

  const RegValue* find_value(std::string_view name) const;
};

class RegHive {
 public:
  // A new hive is written as REGEDIT4.
  RegHive() = default;
  static RegHive parse(std::string_view file);
  std::string serialise() const;

  RegFormat format() const { return format_; }

  // Paths are normalised first (see normalise_key_path).
  const RegKey* find_key(std::string_view path) const;
  // Creates the key and its missing parents; true when the key itself was new.
  bool create_key(std::string_view path);
  // Removes the key and every key below it. The root cannot be removed.
  void delete_key(std::string_view path);
  // Creates the key when missing; replaces a value of the same name (keeping its spelling).
  void set_value(std::string_view path, RegValue value);
  // False when the key or the value does not exist.
  bool delete_value(std::string_view path, std::string_view name);

  const std::vector<RegKey>& keys() const { return keys_; }

 private:
  RegKey* find(std::string_view normal_path);
  RegKey& add_key(std::string_view normal_path);
  void rebuild_index();

  RegFormat format_ = RegFormat::regedit4;
  std::vector<RegKey> keys_;                            // in file order, parents first
  std::unordered_map<std::string, std::size_t> index_;  // ASCII lower-case path -> keys_ slot
};

// A key path with empty components dropped ("a\\b\" becomes "a\b").
std::string normalise_key_path(std::string_view path);

// True for the types whose data is text (kept in UTF-16LE, converted by the "A" functions).
bool is_string_type(DWORD type);

}  // namespace platform
