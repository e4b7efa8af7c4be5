#include "platform/ini_text.h"

#include "platform/codepage.h"

namespace platform {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\v'; }

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The line break character at `i` (a byte, or a UTF-16LE code unit when `width` is 2), or 0.
char line_break_at(std::string_view bytes, std::size_t i, std::size_t width) {
  char c = bytes[i];
  if (c != '\n' && c != '\r') return 0;
  if (width == 2 && bytes[i + 1] != '\0') return 0;
  return c;
}

// Lines end at CR LF, CR or LF; `width` is the size of one character.
std::vector<IniLineSpan> split_lines(std::string_view bytes, std::size_t start, std::size_t width) {
  std::vector<IniLineSpan> spans;
  std::size_t line_start = start;
  std::size_t i = start;
  while (i + width <= bytes.size()) {
    char c = line_break_at(bytes, i, width);
    if (!c) {
      i += width;
      continue;
    }
    std::size_t next = i + width;
    if (c == '\r' && next + width <= bytes.size() && line_break_at(bytes, next, width) == '\n') next += width;
    spans.push_back(IniLineSpan{line_start, i, next});
    line_start = i = next;
  }
  if (line_start < bytes.size()) spans.push_back(IniLineSpan{line_start, bytes.size(), bytes.size()});
  return spans;
}

std::string unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

}  // namespace

bool equal_names(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

std::string_view trim_blanks(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

IniText IniText::parse(std::string_view bytes, unsigned code_page) {
  IniText ini;
  ini.utf16_ = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
               static_cast<unsigned char>(bytes[1]) == 0xFE;
  ini.spans_ = ini.utf16_ ? split_lines(bytes, 2, 2) : split_lines(bytes, 0, 1);
  ini.lines_.reserve(ini.spans_.size());
  for (const auto& span : ini.spans_) {
    std::string_view text = bytes.substr(span.begin, span.end - span.begin);
    ini.lines_.push_back(ini.utf16_ ? utf16le_bytes_to_code_page(text, code_page) : std::string(text));
  }

  for (std::size_t n = 0; n < ini.lines_.size(); ++n) {
    std::string_view line = trim_blanks(ini.lines_[n]);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      std::string_view name = line.substr(1);
      std::size_t close = name.find(']');
      if (close != std::string_view::npos) name = name.substr(0, close);
      if (!ini.sections_.empty()) ini.sections_.back().end_line = n;
      ini.sections_.push_back(IniSection{std::string(trim_blanks(name)), n, ini.lines_.size(), {}});
      continue;
    }
    if (ini.sections_.empty()) continue;
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    ini.sections_.back().entries.push_back(
        IniEntry{std::string(trim_blanks(line.substr(0, eq))), unquote(trim_blanks(line.substr(eq + 1))), n});
  }
  return ini;
}

const IniSection* IniText::find_section(std::string_view name) const {
  for (const auto& section : sections_) {
    if (equal_names(section.name, name)) return &section;
  }
  return nullptr;
}

std::optional<std::string> IniText::value(std::string_view section, std::string_view key) const {
  const IniSection* s = find_section(section);
  if (!s) return std::nullopt;
  for (const auto& entry : s->entries) {
    if (equal_names(entry.key, key)) return entry.value;
  }
  return std::nullopt;
}

}  // namespace platform
