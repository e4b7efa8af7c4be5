// user32 LoadIcon and LoadCursor. Nothing is drawn here, so an icon or cursor handle only has
// to name its image: a group of the program's resources, or one of the standard images.
#include "platform/kernel.h"
#include "platform/resources.h"
#include "platform/resources_find.h"

namespace {

constexpr WORD kRtGroupCursor = 12;
constexpr WORD kRtGroupIcon = 14;
constexpr WORD kStandardApplicationIcon = 32512;  // IDI_APPLICATION
constexpr WORD kStandardArrowCursor = 32512;      // IDC_ARROW

// One object per standard image, so each has a handle of its own for the life of the process.
struct StandardImage {
  WORD id;
};
const StandardImage kApplicationIcon{kStandardApplicationIcon};
const StandardImage kArrowCursor{kStandardArrowCursor};

HICON standard(const StandardImage& image) {
  return reinterpret_cast<HICON>(const_cast<StandardImage*>(&image));
}

HICON load_image(HINSTANCE instance, const platform::ResourceId& name, WORD group_type,
                 const StandardImage& standard_image) {
  if (!instance) {
    // A NULL instance names the system's images; only the standard one of each kind is offered.
    if (name.is_ordinal && name.ordinal == standard_image.id) return standard(standard_image);
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  const platform::ResourceEntry* group = platform::find_resource(
      instance, platform::ResourceId::from_ordinal(group_type), name, platform::kAnyLanguage);
  return reinterpret_cast<HICON>(const_cast<platform::ResourceEntry*>(group));
}

}  // namespace

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
  if (!name) return nullptr;
  return load_image(instance, platform::resource_id_from(name), kRtGroupIcon, kApplicationIcon);
}

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
  if (!name) return nullptr;
  return load_image(instance, platform::resource_id_from(name), kRtGroupIcon, kApplicationIcon);
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  if (!name) return nullptr;
  return load_image(instance, platform::resource_id_from(name), kRtGroupCursor, kArrowCursor);
}

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
  if (!name) return nullptr;
  return load_image(instance, platform::resource_id_from(name), kRtGroupCursor, kArrowCursor);
}
