#include "platform/reg_hive.h"

#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/codepage.h"
#include "platform/ini_text.h"
#include "platform/registry.h"

namespace platform {

namespace {

constexpr std::string_view kRegedit4 = "REGEDIT4";
constexpr std::string_view kVersion5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kRoot = "HKEY_CURRENT_USER";
constexpr std::string_view kLineEnd = "\r\n";
// The registry editor breaks hex lists before this column.
constexpr std::size_t kHexLineWidth = 76;

std::string fold(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

bool starts_with_nocase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equal_names(text.substr(0, prefix.size()), prefix);
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1 to max_digits hex digits, nothing else.
std::optional<std::uint32_t> parse_hex_number(std::string_view text, std::size_t max_digits) {
  if (text.empty() || text.size() > max_digits) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    int digit = hex_digit(c);
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return value;
}

// Comma-separated bytes of one or two hex digits, blanks allowed around them; "" is no bytes.
std::optional<std::string> parse_hex_list(std::string_view text) {
  std::string bytes;
  if (trim_blanks(text).empty()) return bytes;
  while (true) {
    std::size_t comma = text.find(',');
    auto byte = parse_hex_number(trim_blanks(text.substr(0, comma)), 2);
    if (!byte) return std::nullopt;
    bytes.push_back(static_cast<char>(*byte));
    if (comma == std::string_view::npos) return bytes;
    text.remove_prefix(comma + 1);
  }
}

// A quoted string at the start of `text`, with \\ and \" unescaped (any other backslash is
// kept as it is); `rest` receives what follows the closing quote.
std::optional<std::string> parse_quoted(std::string_view text, std::string_view* rest) {
  if (text.empty() || text[0] != '"') return std::nullopt;
  std::string out;
  for (std::size_t i = 1; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"') {
      *rest = text.substr(i + 1);
      return out;
    }
    if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) c = text[++i];
    out.push_back(c);
  }
  return std::nullopt;
}

std::string quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

std::string u16_bytes(std::u16string_view wide) {
  return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(char16_t));
}

std::u16string u16_from_bytes(std::string_view bytes) {
  std::u16string wide(bytes.size() / 2, u'\0');
  std::memcpy(wide.data(), bytes.data(), wide.size() * sizeof(char16_t));
  return wide;
}

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// The file as UTF-8 text, and its format; nullopt when the header is not one of the two.
std::optional<std::string> decode(std::string_view file, RegFormat* format) {
  std::string text;
  if (file.size() >= 2 && file.substr(0, 2) == "\xFF\xFE") {
    text = utf16_to_utf8(u16_from_bytes(file.substr(2)));
  } else {
    text = ansi_to_utf8(file);
  }
  std::string_view first = text;
  first = trim_blanks(first.substr(0, first.find('\n')));
  if (!first.empty() && first.back() == '\r') first = trim_blanks(first.substr(0, first.size() - 1));
  if (first == kRegedit4) {
    *format = RegFormat::regedit4;
  } else if (first == kVersion5) {
    *format = RegFormat::version5;
  } else {
    return std::nullopt;
  }
  return text;
}

// The value data of an entry's right-hand side; nullopt when malformed.
std::optional<RegValue> parse_data(std::string_view data, RegFormat format) {
  RegValue value;
  if (data.starts_with('"')) {
    std::string_view rest;
    auto text = parse_quoted(data, &rest);
    if (!text || !trim_blanks(rest).empty()) return std::nullopt;
    value.type = REG_SZ;
    value.data = u16_bytes(utf8_to_utf16(*text)) + std::string(2, '\0');
    return value;
  }
  if (starts_with_nocase(data, "dword:")) {
    auto number = parse_hex_number(trim_blanks(data.substr(6)), 8);
    if (!number) return std::nullopt;
    value.type = REG_DWORD;
    for (int shift = 0; shift < 32; shift += 8) value.data.push_back(static_cast<char>(*number >> shift));
    return value;
  }
  std::string_view list;
  if (starts_with_nocase(data, "hex:")) {
    value.type = REG_BINARY;
    list = data.substr(4);
  } else if (starts_with_nocase(data, "hex(")) {
    std::size_t close = data.find("):");
    if (close == std::string_view::npos) return std::nullopt;
    auto type = parse_hex_number(data.substr(4, close - 4), 8);
    if (!type) return std::nullopt;
    value.type = *type;
    list = data.substr(close + 2);
  } else {
    return std::nullopt;
  }
  auto bytes = parse_hex_list(list);
  if (!bytes) return std::nullopt;
  value.data = std::move(*bytes);
  if (format == RegFormat::regedit4 && is_string_type(value.type)) value.data = u16_bytes(ansi_to_utf16(value.data));
  return value;
}

// Text of REG_SZ data that a quoted string can carry: one terminating NUL, no other NUL, and
// no line break (which would end the entry's line).
std::optional<std::string> quotable_text(const RegValue& value) {
  if (value.type != REG_SZ || value.data.size() < 2 || value.data.size() % 2 != 0) return std::nullopt;
  std::u16string wide = u16_from_bytes(value.data);
  if (wide.back() != u'\0') return std::nullopt;
  wide.pop_back();
  for (char16_t c : wide) {
    if (c == u'\0' || c == u'\r' || c == u'\n') return std::nullopt;
  }
  return utf16_to_utf8(wide);
}

std::string format_value(const RegValue& value, RegFormat format) {
  std::string line = value.name.empty() ? "@=" : quote(value.name) + "=";
  if (auto text = quotable_text(value)) return line + quote(*text);
  if (value.type == REG_DWORD && value.data.size() == 4) {
    std::uint32_t number = 0;
    for (int i = 3; i >= 0; --i) number = number << 8 | static_cast<unsigned char>(value.data[i]);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08x", number);
    return line + "dword:" + digits;
  }
  if (value.type == REG_BINARY) {
    line += "hex:";
  } else {
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
    line += prefix;
  }
  std::string bytes = value.data;
  if (format == RegFormat::regedit4 && is_string_type(value.type)) bytes = utf16le_bytes_to_ansi(bytes);
  std::size_t column = line.size();
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) {
      line += ',';
      ++column;
      if (column + 3 > kHexLineWidth) {
        line += "\\";
        line += kLineEnd;
        line += "  ";
        column = 2;
      }
    }
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(bytes[i]));
    line += digits;
    column += 2;
  }
  return line;
}

}  // namespace

bool is_string_type(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::string normalise_key_path(std::string_view path) {
  std::string out;
  while (!path.empty()) {
    std::size_t sep = path.find('\\');
    std::string_view part = path.substr(0, sep);
    if (!part.empty()) {
      if (!out.empty()) out += '\\';
      out += part;
    }
    if (sep == std::string_view::npos) break;
    path.remove_prefix(sep + 1);
  }
  return out;
}

const RegValue* RegKey::find_value(std::string_view name) const {
  for (const auto& value : values) {
    if (equal_names(value.name, name)) return &value;
  }
  return nullptr;
}

RegHive RegHive::parse(std::string_view file) {
  RegHive hive;
  auto text = decode(file, &hive.format_);
  if (!text) return hive;
  std::vector<std::string_view> lines = split_lines(*text);
  std::optional<std::string> current;  // the key entries go to; none: entries are skipped
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::string_view line = trim_blanks(lines[i]);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      current.reset();
      if (line.back() != ']') continue;
      std::string_view name = line.substr(1, line.size() - 2);
      bool remove = name.starts_with('-');
      if (remove) name.remove_prefix(1);
      std::string_view root = name.substr(0, name.find('\\'));
      if (!equal_names(root, kRoot)) continue;
      std::string path = normalise_key_path(name.substr(root.size()));
      if (remove) {
        hive.delete_key(path);
      } else {
        hive.create_key(path);
        current = std::move(path);
      }
      continue;
    }
    if (line[0] != '"' && line[0] != '@') continue;
    std::string entry(line);
    bool complete = true;
    while (complete && entry.back() == '\\') {
      entry.pop_back();
      std::string_view next = i + 1 < lines.size() ? trim_blanks(lines[i + 1]) : std::string_view();
      if (next.empty() || next[0] == '[' || next[0] == '"' || next[0] == '@' || next[0] == ';') {
        complete = false;
      } else {
        entry += next;
        ++i;
      }
    }
    if (!complete || !current) continue;

    std::string_view rest;
    std::string name;
    if (entry[0] == '@') {
      rest = std::string_view(entry).substr(1);
    } else {
      auto quoted = parse_quoted(entry, &rest);
      if (!quoted) continue;
      name = std::move(*quoted);
    }
    rest = trim_blanks(rest);
    if (!rest.starts_with('=')) continue;
    rest = trim_blanks(rest.substr(1));
    if (rest == "-") {
      hive.delete_value(*current, name);
      continue;
    }
    auto value = parse_data(rest, hive.format_);
    if (!value) continue;
    value->name = std::move(name);
    hive.set_value(*current, std::move(*value));
  }
  return hive;
}

std::string RegHive::serialise() const {
  std::string text(format_ == RegFormat::regedit4 ? kRegedit4 : kVersion5);
  text += kLineEnd;
  text += kLineEnd;
  for (const auto& key : keys_) {
    text += '[';
    text += kRoot;
    if (!key.path.empty()) text += '\\' + key.path;
    text += ']';
    text += kLineEnd;
    for (const auto& value : key.values) {
      text += format_value(value, format_);
      text += kLineEnd;
    }
    text += kLineEnd;
  }
  if (format_ == RegFormat::regedit4) return utf8_to_ansi(text);
  return "\xFF\xFE" + u16_bytes(utf8_to_utf16(text));
}

RegKey* RegHive::find(std::string_view normal_path) {
  auto it = index_.find(fold(normal_path));
  return it == index_.end() ? nullptr : &keys_[it->second];
}

const RegKey* RegHive::find_key(std::string_view path) const {
  auto it = index_.find(fold(normalise_key_path(path)));
  return it == index_.end() ? nullptr : &keys_[it->second];
}

RegKey& RegHive::add_key(std::string_view normal_path) {
  index_.emplace(fold(normal_path), keys_.size());
  keys_.push_back(RegKey{std::string(normal_path), {}});
  return keys_.back();
}

bool RegHive::create_key(std::string_view path) {
  std::string normal = normalise_key_path(path);
  if (find(normal)) return false;
  // Parents first, so that a written file lists them before their subkeys.
  for (std::size_t sep = normal.find('\\'); sep != std::string::npos; sep = normal.find('\\', sep + 1)) {
    std::string_view parent = std::string_view(normal).substr(0, sep);
    if (!find(parent)) add_key(parent);
  }
  add_key(normal);
  return true;
}

void RegHive::delete_key(std::string_view path) {
  std::string folded = fold(normalise_key_path(path));
  if (folded.empty()) return;
  std::string below = folded + '\\';
  std::erase_if(keys_, [&](const RegKey& key) {
    std::string other = fold(key.path);
    return other == folded || other.starts_with(below);
  });
  rebuild_index();
}

void RegHive::rebuild_index() {
  index_.clear();
  for (std::size_t i = 0; i < keys_.size(); ++i) index_.emplace(fold(keys_[i].path), i);
}

void RegHive::set_value(std::string_view path, RegValue value) {
  std::string normal = normalise_key_path(path);
  create_key(normal);
  RegKey& key = *find(normal);
  for (auto& existing : key.values) {
    if (equal_names(existing.name, value.name)) {
      existing.type = value.type;
      existing.data = std::move(value.data);
      return;
    }
  }
  key.values.push_back(std::move(value));
}

bool RegHive::delete_value(std::string_view path, std::string_view name) {
  RegKey* key = find(normalise_key_path(path));
  if (!key) return false;
  auto before = key->values.size();
  std::erase_if(key->values, [&](const RegValue& value) { return equal_names(value.name, name); });
  return key->values.size() != before;
}

}  // namespace platform
