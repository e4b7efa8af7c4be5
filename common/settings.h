// Machine settings: the registry key Software\talvex_v30 of the current user first, the
// shared settings file C:\talvex\bin\txconfig.ini (section [config]) second. The controller
// never writes either; other programs of the product fill them.
#pragma once

#include <string>

#include "platform/win32.h"

#define TX_REGISTRY_KEY "Software\\talvex_v30"
#define TX_CONFIG_SECTION "config"
#define TX_SETTING_BUFFER 1024  // every read: a cleared buffer of this size, passed as one less

// Assigns out only when the value was read; shorter data than four bytes is zero-extended.
void ReadRegistryDword(const char* name, DWORD& out);
// Copies the stored bytes of "hospitalid" (with their NUL) into out (TX_SETTING_BUFFER bytes,
// cleared by the caller) when the value was read; a value without a NUL within the buffer
// counts as absent.
void ReadRegHospitalId(char* out);
std::string ReadConfigString(const char* key);
std::string LookupHospitalId();
int LookupChartCode();
// Creates every prefix of path that ends in a separator; 1 when the last of them exists.
int CreateDirectoryPath(const char* path);
