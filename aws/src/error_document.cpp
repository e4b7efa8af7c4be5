#include "aws/src/error_document.h"

#include <cstdlib>

namespace txaws {

namespace {

void append_utf8(std::string& out, unsigned long code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// XML's five named entities and character references; anything else stays as written.
std::string decoded(std::string_view text) {
  static const struct {
    std::string_view name, value;
  } kNamed[] = {{"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}};
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::size_t end = text[i] == '&' ? text.find(';', i) : std::string_view::npos;
    if (end == std::string_view::npos || end - i > 10) {
      out += text[i];
      continue;
    }
    std::string_view entity = text.substr(i + 1, end - i - 1);
    bool done = false;
    for (const auto& named : kNamed) {
      if (entity == named.name) {
        out += named.value;
        done = true;
      }
    }
    if (!done && entity.size() > 1 && entity[0] == '#') {
      std::string digits(entity.substr(entity[1] == 'x' ? 2 : 1));
      char* stop = nullptr;
      unsigned long code = std::strtoul(digits.c_str(), &stop, entity[1] == 'x' ? 16 : 10);
      if (!digits.empty() && *stop == '\0' && code <= 0x10FFFF) {
        append_utf8(out, code);
        done = true;
      }
    }
    if (!done) {
      out += text[i];
      continue;
    }
    i = end;
  }
  return out;
}

std::optional<std::string> element(std::string_view xml, std::string_view name) {
  std::string open = "<" + std::string(name) + ">";
  std::string close = "</" + std::string(name) + ">";
  std::size_t start = xml.find(open);
  if (start == std::string_view::npos) return std::nullopt;
  start += open.size();
  std::size_t end = xml.find(close, start);
  if (end == std::string_view::npos) return std::nullopt;
  return decoded(xml.substr(start, end - start));
}

}  // namespace

std::optional<ErrorDocument> parse_error_document(std::string_view body) {
  std::size_t start = body.find("<Error>");
  if (start == std::string_view::npos) return std::nullopt;
  std::size_t end = body.find("</Error>", start);
  if (end == std::string_view::npos) return std::nullopt;
  std::string_view error = body.substr(start, end - start);
  std::optional<std::string> code = element(error, "Code");
  if (!code || code->empty()) return std::nullopt;
  return ErrorDocument{*code, element(error, "Message").value_or("")};
}

}  // namespace txaws
