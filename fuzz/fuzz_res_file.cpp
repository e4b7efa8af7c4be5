// The resource reader on any image: it either refuses the image or returns entries whose
// data lies inside the bytes it was given.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/res_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const BYTE> image(data, size);
  auto entries = platform::parse_res_file(image);
  if (!entries) return 0;
  for (const platform::ResourceEntry& entry : *entries) {
    if (!entry.data.empty() &&
        (entry.data.data() < image.data() || entry.data.data() + entry.data.size() > image.data() + image.size())) {
      std::abort();
    }
    entry.type.matches(entry.name);
    entry.name.matches(platform::ResourceId::from_name(u"ICON"));
  }
  return 0;
}
