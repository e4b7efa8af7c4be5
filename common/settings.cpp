#include "common/settings.h"

#include <stdlib.h>
#include <string.h>

#include "common/install_paths.h"

namespace {

typedef BOOL(WINAPI* IsWow64ProcessFn)(HANDLE, PBOOL);

// The 32-bit controller on 64-bit Windows reads the 64-bit registry view.
REGSAM RegistryAccessMask() {
  BOOL bWow64 = FALSE;
  FARPROC proc = GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process");
  if (proc) {
    IsWow64ProcessFn isWow64 = reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void (*)()>(proc));
    if (!isWow64(GetCurrentProcess(), &bWow64)) bWow64 = FALSE;
  }
  return bWow64 ? (KEY_READ | KEY_WOW64_64KEY) : KEY_READ;
}

// Queries one value of the product key into data; size in, bytes stored out.
bool QueryProductValue(const char* name, BYTE* data, DWORD* size) {
  HKEY hKey = NULL;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, TX_REGISTRY_KEY, 0, RegistryAccessMask(), &hKey) != ERROR_SUCCESS) {
    return false;
  }
  LSTATUS status = RegQueryValueExA(hKey, name, NULL, NULL, data, size);
  RegCloseKey(hKey);
  return status == ERROR_SUCCESS;
}

}  // namespace

void ReadRegistryDword(const char* name, DWORD& out) {
  BYTE data[4] = {0, 0, 0, 0};
  DWORD size = sizeof data;
  if (!QueryProductValue(name, data, &size)) return;
  out = static_cast<DWORD>(data[0]) | (static_cast<DWORD>(data[1]) << 8) | (static_cast<DWORD>(data[2]) << 16) |
        (static_cast<DWORD>(data[3]) << 24);
}

void ReadRegHospitalId(char* out) {
  BYTE* data = static_cast<BYTE*>(calloc(TX_SETTING_BUFFER, 1));
  if (!data) return;
  DWORD size = TX_SETTING_BUFFER;
  if (QueryProductValue("hospitalid", data, &size) && memchr(data, '\0', size) != NULL) {
    memcpy(out, data, size);
  }
  free(data);
}

std::string ReadConfigString(const char* key) {
  char szValue[TX_SETTING_BUFFER];
  memset(szValue, 0, sizeof szValue);
  GetPrivateProfileStringA(TX_CONFIG_SECTION, key, "", szValue, TX_SETTING_BUFFER - 1,
                           TX_INSTALL_ROOT TX_BIN_SUBFOLDER TX_CONFIG_FILE_NAME);
  return szValue;
}

std::string LookupHospitalId() {
  char szHospitalId[TX_SETTING_BUFFER];
  memset(szHospitalId, 0, sizeof szHospitalId);
  ReadRegHospitalId(szHospitalId);
  if (szHospitalId[0] != '\0') return szHospitalId;
  return ReadConfigString("hospitalid");
}

int LookupChartCode() {
  DWORD nChartCode = 0;
  ReadRegistryDword("chartcode", nChartCode);
  if (nChartCode != 0) return static_cast<int>(nChartCode);
  return atoi(ReadConfigString("chartcode").c_str());
}

int CreateDirectoryPath(const char* path) {
  char szWork[MAX_PATH];
  BOOL bLastResult = FALSE;
  bool bCalled = false;
  size_t i = 0;
  for (; path[i] != '\0' && i < MAX_PATH - 1; ++i) {
    szWork[i] = path[i];
    if (path[i] == '\\' || path[i] == '/') {
      szWork[i + 1] = '\0';
      bLastResult = CreateDirectoryA(szWork, NULL);
      bCalled = true;
    }
  }
  // A path too long for the work buffer, or one without any separator, creates nothing and
  // fails, so the answer never depends on an earlier call's error state.
  if (path[i] != '\0' || !bCalled) return 0;
  if (bLastResult) return 1;
  return GetLastError() == ERROR_ALREADY_EXISTS ? 1 : 0;
}
