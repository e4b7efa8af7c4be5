#include "platform/lnk_format.h"

#include "platform/shell_link.h"

namespace platform {

namespace {

template <class Record>
void append_record(std::string& out, const Record& record) {
  out.append(reinterpret_cast<const char*>(&record), sizeof record);
}

void append_word(std::string& out, WORD value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

// StringData ([MS-SHLLINK] 2.4): a 16-bit count of characters, then the characters, no NUL.
void append_counted(std::string& out, const std::u16string& text) {
  std::size_t count = text.size() < 0xFFFF ? text.size() : 0xFFFF;
  append_word(out, static_cast<WORD>(count));
  for (std::size_t i = 0; i < count; ++i) append_word(out, static_cast<WORD>(text[i]));
}

std::string link_info(const ShellLinkData& link) {
  const std::string label;  // volumes here have no label
  VolumeIDHeader volume{};
  volume.VolumeIDSize = static_cast<DWORD>(sizeof volume + label.size() + 1);
  volume.DriveType = kDriveFixed;
  volume.DriveSerialNumber = link.volume_serial;
  volume.VolumeLabelOffset = sizeof volume;

  LinkInfoHeader header{};
  header.LinkInfoHeaderSize = sizeof header;
  header.LinkInfoFlags = kVolumeIDAndLocalBasePath;
  header.VolumeIDOffset = sizeof header;
  header.LocalBasePathOffset = header.VolumeIDOffset + volume.VolumeIDSize;
  header.CommonNetworkRelativeLinkOffset = 0;
  header.CommonPathSuffixOffset = header.LocalBasePathOffset + static_cast<DWORD>(link.target.size() + 1);
  // The suffix is empty: the base path is the whole target.
  header.LinkInfoSize = header.CommonPathSuffixOffset + 1;

  std::string out;
  append_record(out, header);
  append_record(out, volume);
  out.append(label).push_back('\0');
  out.append(link.target).push_back('\0');
  out.push_back('\0');
  return out;
}

}  // namespace

DWORD show_command_on_disk(int show_command) {
  return show_command == 3 || show_command == 7 ? static_cast<DWORD>(show_command) : 1;
}

std::string serialize_shell_link(const ShellLinkData& link) {
  ShellLinkHeader header{};
  header.HeaderSize = sizeof header;
  header.LinkCLSID = CLSID_ShellLink;
  header.LinkFlags = kIsUnicode;
  if (!link.target.empty()) header.LinkFlags |= kHasLinkInfo;
  if (!link.description.empty()) header.LinkFlags |= kHasName;
  if (!link.relative_path.empty()) header.LinkFlags |= kHasRelativePath;
  if (!link.working_dir.empty()) header.LinkFlags |= kHasWorkingDir;
  if (!link.arguments.empty()) header.LinkFlags |= kHasArguments;
  if (!link.icon_location.empty()) header.LinkFlags |= kHasIconLocation;
  header.FileAttributes = link.attributes;
  header.CreationTime = link.creation_time;
  header.AccessTime = link.access_time;
  header.WriteTime = link.write_time;
  header.FileSize = link.file_size;
  header.IconIndex = link.icon_index;
  header.ShowCommand = show_command_on_disk(link.show_command);
  header.HotKey = link.hotkey;

  std::string out;
  append_record(out, header);
  if (header.LinkFlags & kHasLinkInfo) out += link_info(link);
  // StringData in the format's order.
  if (header.LinkFlags & kHasName) append_counted(out, link.description);
  if (header.LinkFlags & kHasRelativePath) append_counted(out, link.relative_path);
  if (header.LinkFlags & kHasWorkingDir) append_counted(out, link.working_dir);
  if (header.LinkFlags & kHasArguments) append_counted(out, link.arguments);
  if (header.LinkFlags & kHasIconLocation) append_counted(out, link.icon_location);
  // TerminalBlock of ExtraData ([MS-SHLLINK] 2.5): a 32-bit zero.
  out.append(4, '\0');
  return out;
}

}  // namespace platform
