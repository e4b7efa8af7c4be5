// Conformance: the resource functions over the controller's resource script, compiled by
// windres and linked into this test program (tx_link_resources in tests/CMakeLists.txt).
//
// Expected values: learn.microsoft.com, FindResourceExA, LoadStringW, ACCEL, ACCELTABLEENTRY,
// "Resource-Definition Statements" (ACCELERATORS, LANGUAGE), "ICONS" (ms997538 for ICONDIR,
// ICONDIRENTRY and GRPICONDIR), BITMAPINFOHEADER, and "System Error Codes (1700-3999)".
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/res_file.h"
#include "platform/resources_accel.h"
#include "platform/win32.h"
#include "tests/support/process.h"
#include "tests/support/temp_machine.h"

namespace {

#pragma pack(push, 1)
struct IconDir {
  WORD reserved;
  WORD type;
  WORD count;
};
struct IconDirEntry {
  BYTE width;
  BYTE height;
  BYTE colour_count;
  BYTE reserved;
  WORD planes;
  WORD bit_count;
  DWORD bytes_in_resource;
  DWORD image_offset;
};
// RT_GROUP_ICON entries end with the RT_ICON name in place of the file offset.
struct GroupIconDirEntry {
  BYTE width;
  BYTE height;
  BYTE colour_count;
  BYTE reserved;
  WORD planes;
  WORD bit_count;
  DWORD bytes_in_resource;
  WORD icon_id;
};
struct BitmapInfoHeader {
  DWORD size;
  LONG width;
  LONG height;
  WORD planes;
  WORD bit_count;
  DWORD compression;
  DWORD size_image;
  LONG x_pels_per_meter;
  LONG y_pels_per_meter;
  DWORD clr_used;
  DWORD clr_important;
};
struct AccelTableEntry {
  WORD flags;
  WORD ansi;
  WORD id;
  WORD padding;
};
#pragma pack(pop)
static_assert(sizeof(IconDir) == 6);
static_assert(sizeof(IconDirEntry) == 16);
static_assert(sizeof(GroupIconDirEntry) == 14);
static_assert(sizeof(BitmapInfoHeader) == 40);
static_assert(sizeof(AccelTableEntry) == 8);

constexpr DWORD kSentinel = 0xDEAD;
constexpr WORD kEnglishUs = 1033;
constexpr WORD kKorean = 1042;

HMODULE program() { return GetModuleHandleA(nullptr); }

std::string resource_bytes(HRSRC found) {
  HGLOBAL loaded = LoadResource(program(), found);
  const void* bytes = LockResource(loaded);
  if (!bytes) return {};
  return std::string(static_cast<const char*>(bytes), SizeofResource(program(), found));
}

template <class T>
T read_at(const std::string& bytes, size_t offset) {
  T value{};
  if (offset + sizeof value <= bytes.size()) std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

// ---- Strings ----

TEST(Resources, StringTableGivesTitleAndClassAsUtf16) {
  for (UINT id : {103u, 109u}) {
    WCHAR buffer[100];
    SetLastError(kSentinel);
    EXPECT_EQ(LoadStringW(nullptr, id, buffer, 100), 16) << id;
    EXPECT_EQ(std::u16string(buffer), u"txcontroller_V30") << id;
    EXPECT_EQ(GetLastError(), kSentinel) << "success leaves the last error alone";
  }
}

TEST(Resources, LoadStringTruncatesToTheBufferAndTerminates) {
  // LoadStringW: "The string is truncated and null-terminated if it is longer than the number of
  // characters specified"; the result counts the characters copied, without the NUL.
  struct Case {
    int buffer_max;
    int copied;
  } cases[] = {{17, 16}, {16, 15}, {2, 1}, {1, 0}};
  for (const Case& c : cases) {
    std::vector<WCHAR> buffer(20, u'#');
    EXPECT_EQ(LoadStringW(program(), 103, buffer.data(), c.buffer_max), c.copied) << c.buffer_max;
    EXPECT_EQ(std::u16string(buffer.data()), std::u16string(u"txcontroller_V30").substr(0, c.copied));
    EXPECT_EQ(buffer[c.buffer_max], u'#') << "nothing written past the buffer of " << c.buffer_max;
  }
}

TEST(Resources, LoadStringWithZeroBufferGivesReadOnlyPointer) {
  // LoadStringW: "If this parameter is 0, then lpBuffer receives a read-only pointer to the
  // resource itself"; the text is not terminated there, so the length is what counts.
  const WCHAR* pointer = nullptr;
  EXPECT_EQ(LoadStringW(program(), 109, reinterpret_cast<LPWSTR>(&pointer), 0), 16);
  ASSERT_NE(pointer, nullptr);
  EXPECT_EQ(std::u16string(pointer, 16), u"txcontroller_V30");
}

TEST(Resources, MissingStringsGiveZero) {
  WCHAR buffer[8] = {u'x', 0};
  // 110 shares the block of 103 and 109 (block 7, strings 96 to 111) but is empty.
  EXPECT_EQ(LoadStringW(program(), 110, buffer, 8), 0);
  SetLastError(kSentinel);
  EXPECT_EQ(LoadStringW(program(), 5000, buffer, 8), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

// ---- Finding resources ----

TEST(Resources, FindResourceErrorsNameWhatIsMissing) {
  struct Case {
    HMODULE module;
    LPCSTR type;
    LPCSTR name;
    WORD language;
    DWORD error;
  } cases[] = {
      {program(), RT_DIALOG, MAKEINTRESOURCEA(109), 0, ERROR_RESOURCE_TYPE_NOT_FOUND},
      {program(), "NOSUCHTYPE", MAKEINTRESOURCEA(139), 0, ERROR_RESOURCE_TYPE_NOT_FOUND},
      {program(), RT_MENU, MAKEINTRESOURCEA(110), 0, ERROR_RESOURCE_NAME_NOT_FOUND},
      {program(), "BINARY", MAKEINTRESOURCEA(139), kEnglishUs, ERROR_RESOURCE_LANG_NOT_FOUND},
      {program(), RT_MENU, MAKEINTRESOURCEA(109), kKorean, ERROR_RESOURCE_LANG_NOT_FOUND},
      {GetModuleHandleA("kernel32"), RT_MENU, MAKEINTRESOURCEA(109), 0, ERROR_RESOURCE_DATA_NOT_FOUND},
  };
  for (const Case& c : cases) {
    SetLastError(kSentinel);
    EXPECT_EQ(FindResourceExA(c.module, c.type, c.name, c.language), nullptr) << c.error;
    EXPECT_EQ(GetLastError(), c.error);
  }
}

TEST(Resources, FindResourceAcceptsTheDocumentedSpellings) {
  HRSRC reference = FindResourceExA(program(), "BINARY", MAKEINTRESOURCEA(139), kKorean);
  ASSERT_NE(reference, nullptr);
  // Names compare in upper case; "#139" is ordinal 139 (FindResourceExA, Remarks).
  EXPECT_EQ(FindResourceA(program(), MAKEINTRESOURCEA(139), "binary"), reference);
  EXPECT_EQ(FindResourceA(nullptr, "#139", "Binary"), reference);
  EXPECT_EQ(FindResourceW(program(), MAKEINTRESOURCEW(139), u"BINARY"), reference);
  EXPECT_EQ(FindResourceExW(program(), u"BINARY", u"#139", kKorean), reference);
  // MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL) leaves the choice to the loader.
  EXPECT_EQ(FindResourceExA(program(), "BINARY", MAKEINTRESOURCEA(139), 0), reference);
  EXPECT_NE(FindResourceExA(program(), RT_MENU, MAKEINTRESOURCEA(109), kEnglishUs), nullptr);
}

TEST(Resources, LoadResourceRefusesHandlesItDidNotGive) {
  int not_a_resource = 0;
  SetLastError(kSentinel);
  EXPECT_EQ(LoadResource(program(), reinterpret_cast<HRSRC>(&not_a_resource)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(SizeofResource(program(), nullptr), 0u);
  EXPECT_EQ(LockResource(nullptr), nullptr);
}

// ---- The icon file resource ----

// The one-image icon file: header, one entry, BITMAPINFOHEADER, 64 x 64 32-bit pixels, mask.
TEST(Resources, FaviconIsTheIconFileLaidOutByteForByte) {
  txtest::TempMachine machine;
  // Not given a language, FindResourceA finds the Korean-only resource on any machine: this
  // pins the layer's fallback to the first language present, which the product relies on.
  SetLastError(kSentinel);
  HRSRC found = FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(139), "BINARY");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(GetLastError(), kSentinel);
  const std::string icon = resource_bytes(found);
  ASSERT_EQ(icon.size(), 16958u);

  const auto dir = read_at<IconDir>(icon, 0);
  EXPECT_EQ(std::tie(dir.reserved, dir.type, dir.count), std::make_tuple(WORD{0}, WORD{1}, WORD{1}));
  const auto entry = read_at<IconDirEntry>(icon, 6);
  EXPECT_EQ(entry.width, 64);
  EXPECT_EQ(entry.height, 64);
  EXPECT_EQ(entry.colour_count, 0);
  EXPECT_EQ(entry.reserved, 0);
  EXPECT_EQ(entry.planes, 0);
  EXPECT_EQ(entry.bit_count, 32);
  EXPECT_EQ(entry.bytes_in_resource, 16936u);
  EXPECT_EQ(entry.image_offset, 22u);
  const auto header = read_at<BitmapInfoHeader>(icon, 22);
  EXPECT_EQ(header.size, 40u);
  EXPECT_EQ(header.width, 64);
  EXPECT_EQ(header.height, 128) << "colour and mask together";
  EXPECT_EQ(header.planes, 1);
  EXPECT_EQ(header.bit_count, 32);
  EXPECT_EQ(header.compression, 0u);
  EXPECT_EQ(header.size_image, 16384u);
  EXPECT_EQ(header.x_pels_per_meter, 2835);
  EXPECT_EQ(header.y_pels_per_meter, 2835);
  EXPECT_EQ(22u + 40u + 16384u + 512u, icon.size()) << "pixels then a 1-bit mask of 64 rows of 8 bytes";

  // The corners are outside the rounded square: transparent in the alpha channel and the mask.
  EXPECT_EQ(static_cast<BYTE>(icon[62 + 3]), 0) << "bottom-left pixel's alpha";
  EXPECT_EQ(static_cast<BYTE>(icon[62 + 16384]) & 0x80, 0x80) << "bottom-left bit of the mask";

  // Read back by a reader that shares no code with the layer.
  const std::string path = machine.root() + "/favicon.ico";
  std::ofstream(path, std::ios::binary).write(icon.data(), static_cast<std::streamsize>(icon.size()));
  auto result = txtest::run_process({"/usr/bin/python3", TX_SOURCE_DIR "/tests/platform/read_ico.py", path});
  EXPECT_EQ(result.exit_code, 0) << result.output;
  EXPECT_EQ(result.output,
            "file=16958 entry=64x64 colours=0 reserved=0 planes=0 bits=32 size=16936 offset=22 header=40 "
            "bitmap=64x128 planes=1 bits=32 compression=0 image=16384 ppm=2835x2835 mask=512\n");
}

// ---- Icon groups, cursors ----

TEST(Resources, IconGroupsHoldTheNineImages) {
  const std::multiset<std::pair<int, int>> expected = {{16, 8},  {32, 8},  {48, 8},  {256, 8}, {16, 32},
                                                       {32, 32}, {48, 32}, {256, 32}, {64, 32}};
  for (WORD group_id : {WORD{107}, WORD{108}}) {
    HRSRC group = FindResourceW(program(), MAKEINTRESOURCEW(group_id), MAKEINTRESOURCEW(14));
    ASSERT_NE(group, nullptr) << group_id;
    const std::string bytes = resource_bytes(group);
    const auto dir = read_at<IconDir>(bytes, 0);
    EXPECT_EQ(dir.type, 1);
    ASSERT_EQ(dir.count, 9);
    ASSERT_EQ(bytes.size(), sizeof(IconDir) + 9 * sizeof(GroupIconDirEntry));
    std::multiset<std::pair<int, int>> found;
    for (size_t i = 0; i < dir.count; ++i) {
      const auto entry = read_at<GroupIconDirEntry>(bytes, sizeof(IconDir) + i * sizeof(GroupIconDirEntry));
      const int edge = entry.width == 0 ? 256 : entry.width;  // 0 stands for 256
      found.emplace(edge, entry.bit_count);
      // Every entry names an RT_ICON image of the size and depth it claims.
      HRSRC image = FindResourceW(program(), MAKEINTRESOURCEW(entry.icon_id), MAKEINTRESOURCEW(3));
      ASSERT_NE(image, nullptr) << entry.icon_id;
      EXPECT_EQ(SizeofResource(program(), image), entry.bytes_in_resource);
      const auto header = read_at<BitmapInfoHeader>(resource_bytes(image), 0);
      EXPECT_EQ(header.width, edge);
      EXPECT_EQ(header.height, 2 * edge);
      EXPECT_EQ(header.bit_count, entry.bit_count);
    }
    EXPECT_EQ(found, expected) << group_id;
  }
}

TEST(Resources, IconAndCursorHandlesForTheWindowClass) {
  HICON large = LoadIconW(program(), MAKEINTRESOURCEW(107));
  HICON small = LoadIconW(program(), MAKEINTRESOURCEW(108));
  EXPECT_NE(large, nullptr);
  EXPECT_NE(small, nullptr);
  EXPECT_NE(large, small);
  EXPECT_EQ(LoadIconW(program(), MAKEINTRESOURCEW(107)), large) << "shared handles";
  EXPECT_NE(LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)), nullptr) << "IDC_ARROW";
  EXPECT_NE(LoadIconW(nullptr, MAKEINTRESOURCEW(32512)), nullptr) << "IDI_APPLICATION";
  SetLastError(kSentinel);
  EXPECT_EQ(LoadIconW(program(), MAKEINTRESOURCEW(999)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  SetLastError(kSentinel);
  EXPECT_EQ(LoadCursorW(program(), MAKEINTRESOURCEW(107)), nullptr) << "the script has no cursors";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
}

// ---- The manifest ----

TEST(Resources, ManifestRequestsAdministratorRights) {
  HRSRC found = FindResourceA(program(), MAKEINTRESOURCEA(1), RT_MANIFEST);
  ASSERT_NE(found, nullptr);
  const std::string text = resource_bytes(found);
  EXPECT_NE(text.find("<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>"),
            std::string::npos)
      << text;
}

// ---- Accelerators ----

TEST(Resources, AcceleratorTableHoldsTheTwoAltCharacters) {
  HRSRC found = FindResourceA(program(), MAKEINTRESOURCEA(109), RT_ACCELERATOR);
  ASSERT_NE(found, nullptr);
  const std::string bytes = resource_bytes(found);
  ASSERT_EQ(bytes.size(), 2 * sizeof(AccelTableEntry));
  const WORD keys[] = {'?', '/'};
  for (size_t i = 0; i < 2; ++i) {
    const auto entry = read_at<AccelTableEntry>(bytes, i * sizeof(AccelTableEntry));
    // ASCII, ALT: FALT, and no FVIRTKEY (ACCELTABLEENTRY); 0x80 marks the last entry.
    EXPECT_EQ(entry.flags & ~0x80, FALT) << i;
    EXPECT_EQ((entry.flags & 0x80) != 0, i == 1) << i;
    EXPECT_EQ(entry.ansi, keys[i]);
    EXPECT_EQ(entry.id, 104);
  }
}

TEST(Resources, AcceleratorMatchingFollowsMessageAndModifiers) {
  HRSRC found = FindResourceA(program(), MAKEINTRESOURCEA(109), RT_ACCELERATOR);
  ASSERT_NE(found, nullptr);
  const std::string bytes = resource_bytes(found);
  const std::span<const BYTE> table(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
  constexpr LPARAM alt = LPARAM{1} << 29;  // context code: Alt held (WM_SYSCHAR, lParam bit 29)
  struct Case {
    UINT message;
    WPARAM key;
    LPARAM lParam;
    bool matches;
  } cases[] = {
      {WM_SYSCHAR, '?', alt, true},
      {WM_SYSCHAR, '/', alt, true},
      {WM_CHAR, '?', alt, true},
      {WM_CHAR, '?', 0, false},         // Alt not held
      {WM_SYSCHAR, 'x', alt, false},    // not in the table
      {WM_SYSKEYDOWN, '?', alt, false},  // a key message matches virtual-key entries only
      {WM_SYSKEYDOWN, 0xBF, alt, false},
      {WM_KEYUP, '?', alt, false},
      {WM_COMMAND, '?', alt, false},
  };
  for (const Case& c : cases) {
    MSG msg{};
    msg.message = c.message;
    msg.wParam = c.key;
    msg.lParam = c.lParam;
    auto command = platform::accelerator_command(table, msg);
    EXPECT_EQ(command.has_value(), c.matches) << c.message << " " << c.key;
    if (command) {
      EXPECT_EQ(*command, 104);
    }
  }
}

std::vector<std::pair<UINT, WPARAM>> g_commands;

LRESULT CALLBACK record_commands(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) g_commands.emplace_back(message, wParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST(Resources, TranslateAcceleratorSendsCommandWithHighWordOne) {
  txtest::TempMachine machine;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = record_commands;
  wc.hInstance = program();
  wc.lpszClassName = u"resources_test";
  ASSERT_NE(RegisterClassExW(&wc), 0);
  HWND window = CreateWindowExW(0, u"resources_test", u"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr, nullptr,
                                program(), nullptr);
  ASSERT_NE(window, nullptr);
  HACCEL table = LoadAcceleratorsA(program(), MAKEINTRESOURCEA(109));
  ASSERT_NE(table, nullptr);

  MSG msg{window, WM_SYSCHAR, '/', LPARAM{1} << 29, 0, {0, 0}, 0};
  EXPECT_EQ(TranslateAcceleratorA(window, table, &msg), 1);
  ASSERT_EQ(g_commands.size(), 1u);
  // HIWORD(wParam) is 1 for a command from an accelerator (WM_COMMAND).
  EXPECT_EQ(LOWORD(g_commands[0].second), 104);
  EXPECT_EQ(HIWORD(g_commands[0].second), 1);

  MSG other{window, WM_TIMER, 1, 0, 0, {0, 0}, 0};
  EXPECT_EQ(TranslateAcceleratorA(window, table, &other), 0);
  int not_a_table = 0;
  SetLastError(kSentinel);
  EXPECT_EQ(TranslateAcceleratorA(window, reinterpret_cast<HACCEL>(&not_a_table), &msg), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ACCEL_HANDLE));
  EXPECT_EQ(g_commands.size(), 1u);
  DestroyWindow(window);
}

// ---- The .res reader on damaged input ----

// A well-formed image: the format marker, an ordinal resource, a named one.
std::vector<BYTE> small_res_image() {
  std::vector<BYTE> out;
  auto dword = [&](DWORD v) { for (int i = 0; i < 4; ++i) out.push_back(static_cast<BYTE>(v >> (8 * i))); };
  auto word = [&](WORD v) { out.push_back(static_cast<BYTE>(v)); out.push_back(static_cast<BYTE>(v >> 8)); };
  dword(0), dword(32), word(0xFFFF), word(0), word(0xFFFF), word(0), dword(0), word(0), word(0), dword(0), dword(0);
  // Type 10, name 7, three bytes of data padded to four.
  dword(3), dword(32), word(0xFFFF), word(10), word(0xFFFF), word(7), dword(0), word(0x30), word(1033),
      dword(0), dword(0);
  out.insert(out.end(), {'a', 'b', 'c', 0});
  // Type "AB" (6 bytes with its NUL), name 2, padding to a DWORD, no data.
  dword(0), dword(36), word('A'), word('B'), word(0), word(0xFFFF), word(2), word(0), dword(0), word(0),
      word(1042), dword(0), dword(0);
  return out;
}

TEST(Resources, ResReaderReadsAWellFormedImage) {
  const std::vector<BYTE> image = small_res_image();
  auto entries = platform::parse_res_file(image);
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 2u);
  EXPECT_EQ((*entries)[0].type.ordinal, 10);
  EXPECT_EQ((*entries)[0].language, kEnglishUs);
  EXPECT_EQ(std::string((*entries)[0].data.begin(), (*entries)[0].data.end()), "abc");
  EXPECT_TRUE((*entries)[1].type.matches(platform::ResourceId::from_name(u"ab")));
  EXPECT_EQ((*entries)[1].language, kKorean);
}

TEST(Resources, ResReaderRefusesDamagedImages) {
  const std::vector<BYTE> good = small_res_image();
  auto with = [&](size_t offset, std::vector<BYTE> bytes) {
    std::vector<BYTE> out = good;
    std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(offset));
    return out;
  };
  struct Case {
    const char* what;
    std::vector<BYTE> image;
  } cases[] = {
      {"empty", {}},
      {"marker cut short", std::vector<BYTE>(good.begin(), good.begin() + 31)},
      {"marker with data", with(0, {1})},
      {"marker header not 32", with(4, {33})},
      {"header size below the minimum", with(36, {28})},
      {"header size past the end", with(36, {0xFF, 0xFF, 0xFF, 0x7F})},
      {"data size past the end", with(32, {0xFF, 0xFF, 0xFF, 0xFF})},
      {"name runs into the fixed fields", with(82, std::vector<BYTE>(22, 'C'))},
      {"cut inside the first header", std::vector<BYTE>(good.begin(), good.begin() + 40)},
      {"cut inside the data", std::vector<BYTE>(good.begin(), good.begin() + 66)},
      {"trailing bytes", [&] { auto v = good; v.insert(v.end(), {1, 2, 3, 4, 5}); return v; }()},
  };
  for (const Case& c : cases) EXPECT_FALSE(platform::parse_res_file(c.image)) << c.what;

  // Every prefix and every single-byte corruption must be read without reading outside the
  // input (the sanitizer build makes that a hard failure); only whole entries may remain.
  for (size_t length = 0; length < good.size(); ++length) {
    auto entries = platform::parse_res_file(std::span<const BYTE>(good.data(), length));
    if (entries) {
      // The marker alone, or the first resource with or without its padding.
      EXPECT_TRUE(length == 32 || length == 67 || length == 68) << length;
    }
  }
  for (size_t offset = 0; offset < good.size(); ++offset) {
    for (BYTE value : {BYTE{0x00}, BYTE{0x7F}, BYTE{0xFF}}) {
      std::vector<BYTE> damaged = good;
      damaged[offset] = value;
      auto entries = platform::parse_res_file(damaged);
      if (entries) {
        for (const auto& entry : *entries) {
          EXPECT_GE(entry.data.data(), damaged.data());
          EXPECT_LE(entry.data.data() + entry.data.size(), damaged.data() + damaged.size());
        }
      }
    }
  }
}

}  // namespace
