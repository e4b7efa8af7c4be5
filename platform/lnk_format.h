// The shell link binary file format ([MS-SHLLINK]) as the shell link object writes it.
//
// A file is the 76-byte ShellLinkHeader, a LinkInfo (when there is a target), the StringData
// present, and the terminal ExtraData block. The link carries no LinkTargetIDList: shell item
// IDs below the drive are the shell's own undocumented records, and the LinkInfo with the
// volume and the local base path is what resolves a local target. Strings are UTF-16
// (IsUnicode), the local base path is in the system code page, as the format defines them.
#pragma once

#include <bit>
#include <cstddef>
#include <string>

#include "platform/com.h"
#include "platform/types.h"

namespace platform {

// LinkFlags ([MS-SHLLINK] 2.1.1).
constexpr DWORD kHasLinkTargetIDList = 0x1;
constexpr DWORD kHasLinkInfo = 0x2;
constexpr DWORD kHasName = 0x4;
constexpr DWORD kHasRelativePath = 0x8;
constexpr DWORD kHasWorkingDir = 0x10;
constexpr DWORD kHasArguments = 0x20;
constexpr DWORD kHasIconLocation = 0x40;
constexpr DWORD kIsUnicode = 0x80;

// LinkInfoFlags ([MS-SHLLINK] 2.3) and VolumeID's DriveType (2.3.1).
constexpr DWORD kVolumeIDAndLocalBasePath = 0x1;
constexpr DWORD kDriveFixed = 3;

// ShellLinkHeader ([MS-SHLLINK] 2.1): the record as it lies on disk, little-endian.
struct ShellLinkHeader {
  DWORD HeaderSize;  // 0x4C
  GUID LinkCLSID;    // CLSID_ShellLink
  DWORD LinkFlags;
  DWORD FileAttributes;
  FILETIME CreationTime;
  FILETIME AccessTime;
  FILETIME WriteTime;
  DWORD FileSize;  // low 32 bits of the target's size
  LONG IconIndex;
  DWORD ShowCommand;  // 1, 3 or 7
  WORD HotKey;
  WORD Reserved1;
  DWORD Reserved2;
  DWORD Reserved3;
};
static_assert(std::endian::native == std::endian::little, "records are copied to disk as they lie in memory");
static_assert(sizeof(ShellLinkHeader) == 0x4C);
static_assert(offsetof(ShellLinkHeader, LinkCLSID) == 0x04);
static_assert(offsetof(ShellLinkHeader, LinkFlags) == 0x14);
static_assert(offsetof(ShellLinkHeader, FileAttributes) == 0x18);
static_assert(offsetof(ShellLinkHeader, CreationTime) == 0x1C);
static_assert(offsetof(ShellLinkHeader, AccessTime) == 0x24);
static_assert(offsetof(ShellLinkHeader, WriteTime) == 0x2C);
static_assert(offsetof(ShellLinkHeader, FileSize) == 0x34);
static_assert(offsetof(ShellLinkHeader, IconIndex) == 0x38);
static_assert(offsetof(ShellLinkHeader, ShowCommand) == 0x3C);
static_assert(offsetof(ShellLinkHeader, HotKey) == 0x40);

// The fixed part of LinkInfo without the optional Unicode offsets ([MS-SHLLINK] 2.3).
struct LinkInfoHeader {
  DWORD LinkInfoSize;
  DWORD LinkInfoHeaderSize;  // 0x1C
  DWORD LinkInfoFlags;
  DWORD VolumeIDOffset;
  DWORD LocalBasePathOffset;
  DWORD CommonNetworkRelativeLinkOffset;
  DWORD CommonPathSuffixOffset;
};
static_assert(sizeof(LinkInfoHeader) == 0x1C);

// VolumeID without its label ([MS-SHLLINK] 2.3.1).
struct VolumeIDHeader {
  DWORD VolumeIDSize;
  DWORD DriveType;
  DWORD DriveSerialNumber;
  DWORD VolumeLabelOffset;  // 0x10: the label follows
};
static_assert(sizeof(VolumeIDHeader) == 0x10);

// What a link says; texts other than the target are UTF-16, an empty one is left out.
struct ShellLinkData {
  std::string target;  // full Windows path in the machine's code page; empty: no LinkInfo
  DWORD attributes = 0;
  FILETIME creation_time{};
  FILETIME access_time{};
  FILETIME write_time{};
  DWORD file_size = 0;
  std::u16string description;
  std::u16string relative_path;
  std::u16string working_dir;
  std::u16string arguments;
  std::u16string icon_location;
  LONG icon_index = 0;
  int show_command = 1;  // any SW_ value; see show_command_on_disk
  WORD hotkey = 0;
  DWORD volume_serial = 0;
};

// The format knows SW_SHOWNORMAL 1, SW_SHOWMAXIMIZED 3 and SW_SHOWMINNOACTIVE 7 and treats
// every other value as 1, so any other value is stored as 1.
DWORD show_command_on_disk(int show_command);

// The whole .lnk file. Strings longer than the format's 16-bit count are cut to it.
std::string serialize_shell_link(const ShellLinkData& link);

}  // namespace platform
