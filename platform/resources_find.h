// The program module's linked resources, shared by the resource functions of the layer.
#pragma once

#include <optional>
#include <span>

#include "platform/res_file.h"
#include "platform/types.h"

namespace platform {

// Language 0 asks for the layer's choice (see resources.h).
constexpr WORD kAnyLanguage = 0;

// Finds a resource of the module; on failure sets the Windows error and gives nullptr.
const ResourceEntry* find_resource(HMODULE module, const ResourceId& type, const ResourceId& name,
                                   WORD language);

// The entry an HRSRC stands for, or nullptr when it is none of the program's.
const ResourceEntry* entry_from_handle(HRSRC handle);

// A type or name argument of an A or W call: MAKEINTRESOURCE ordinal, "#123" or a string.
ResourceId resource_id_from(LPCSTR id);
ResourceId resource_id_from(LPCWSTR id);

}  // namespace platform
