// The text of a Windows profile (INI) file, read by the rules of the profile functions:
// lines before the first section are ignored, a line whose first non-blank character is ';'
// is a comment, section and key names compare without regard to ASCII letter case, blanks
// around names and values are cut, one pair of matching outer quotes is taken off a value,
// and only the first of duplicate sections or keys counts. A file that begins with the
// UTF-16LE byte order mark is read as UTF-16 and handed on in the given code page.
//
// Every line also keeps where its bytes were in the input, so that an editor can change one
// line and leave all others exactly as they were.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct IniEntry {
  std::string key;
  std::string value;
  std::size_t line;  // index into IniText::lines
};

struct IniSection {
  std::string name;
  std::size_t line;      // the [name] line
  std::size_t end_line;  // one past the section's last line
  std::vector<IniEntry> entries;
};

// Byte offsets of one line in the bytes given to IniText::parse: the text is [begin, end), its
// line ending [end, next); next == end for a last line without one.
struct IniLineSpan {
  std::size_t begin;
  std::size_t end;
  std::size_t next;
};

class IniText {
 public:
  static IniText parse(std::string_view bytes, unsigned code_page);

  // First section of that name, or null.
  const IniSection* find_section(std::string_view name) const;
  // First key of that name in the first section of that name.
  std::optional<std::string> value(std::string_view section, std::string_view key) const;

  const std::vector<IniSection>& sections() const { return sections_; }
  const std::vector<std::string>& lines() const { return lines_; }
  const std::vector<IniLineSpan>& spans() const { return spans_; }
  bool utf16() const { return utf16_; }

 private:
  std::vector<std::string> lines_;
  std::vector<IniLineSpan> spans_;
  std::vector<IniSection> sections_;
  bool utf16_ = false;
};

// ASCII case-insensitive equality, as the profile and registry functions compare names.
bool equal_names(std::string_view a, std::string_view b);

// Cuts spaces, tabs and vertical tabs from both ends.
std::string_view trim_blanks(std::string_view text);

}  // namespace platform
