// shell32 special folders: the folders of the machine's user profile.
#include <cstring>
#include <string>

#include "platform/kernel.h"
#include "platform/machine.h"
#include "platform/shell.h"

namespace {

// The folder below the profile, or nullptr for a CSIDL this layer does not know.
const char* profile_subfolder(int csidl) {
  switch (csidl) {
    case CSIDL_DESKTOP:
    case CSIDL_DESKTOPDIRECTORY:
      return "\\Desktop";
    case CSIDL_PERSONAL:
      return "\\Documents";
    case CSIDL_APPDATA:
      return "\\AppData\\Roaming";
    case CSIDL_LOCAL_APPDATA:
      return "\\AppData\\Local";
    case CSIDL_PROFILE:
      return "";
    default:
      return nullptr;
  }
}

bool is_folder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Makes each missing folder from C:\Users down.
bool create_folders(const std::string& path) {
  for (std::size_t at = path.find('\\', 3); ; at = path.find('\\', at + 1)) {
    std::string prefix = path.substr(0, at);
    if (!is_folder(prefix) && !CreateDirectoryA(prefix.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      return false;
    }
    if (at == std::string::npos) return true;
  }
}

}  // namespace

BOOL SHGetSpecialFolderPathA(HWND, LPSTR pszPath, int csidl, BOOL fCreate) {
  if (!pszPath) return FALSE;
  const bool create = fCreate || (csidl & CSIDL_FLAG_CREATE);
  const char* subfolder = profile_subfolder(csidl & ~CSIDL_FLAG_MASK);
  if (!subfolder) return FALSE;
  std::string path = platform::Machine::current().user_profile() + subfolder;
  if (path.size() >= MAX_PATH) return FALSE;
  if (!is_folder(path) && !(create && create_folders(path))) return FALSE;
  std::memcpy(pszPath, path.c_str(), path.size() + 1);
  return TRUE;
}
