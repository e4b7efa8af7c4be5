// S3's XML error document: <Error><Code>..</Code><Message>..</Message>..</Error>.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace txaws {

struct ErrorDocument {
  std::string code;
  std::string message;
};

// The Code and Message of an error document, entities decoded; nullopt for any other text.
std::optional<ErrorDocument> parse_error_document(std::string_view body);

}  // namespace txaws
