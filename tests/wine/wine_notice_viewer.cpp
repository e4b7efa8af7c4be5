// Stands in for the notice viewer (bin\txnotice.exe): copies the image the controller left at
// ..\notification_00.jpg to ..\viewer-saw.jpg, which shows it was there when the viewer ran.
#include "platform/win32.h"

#include <string>

int main() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  std::string folder(path, length);
  folder.erase(folder.find_last_of('\\'));  // bin
  folder.erase(folder.find_last_of('\\') + 1);
  std::string image = folder + "notification_00.jpg";
  std::string seen = folder + "viewer-saw.tmp";
  if (!CopyFileA(image.c_str(), seen.c_str(), FALSE)) return 1;
  return MoveFileExA(seen.c_str(), (folder + "viewer-saw.jpg").c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
