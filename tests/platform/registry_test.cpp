// Conformance: the registry functions over the machine's user.reg.
// Expected values come from learn.microsoft.com (RegOpenKeyExA, RegQueryValueExA,
// RegSetValueExA, RegCreateKeyExA, "Accessing an Alternate Registry View") and KB 310516 for
// the .reg format, unless a case says it pins this layer's own choice.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/machine.h"
#include "platform/win32.h"
#include "tests/support/temp_machine.h"

namespace {

constexpr DWORD kSentinel = 0xDEAD;
const char kKey[] = "Software\\Test";

std::string hive_path() { return platform::Machine::current().registry_hive(); }

void write_hive(const std::string& bytes) {
  std::ofstream out(hive_path(), std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string read_hive() {
  std::ifstream in(hive_path(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A version 5 file: UTF-8 source text as UTF-16LE after the byte order mark.
std::string v5_file(const std::string& body) {
  std::u16string wide = platform::utf8_to_utf16("Windows Registry Editor Version 5.00\r\n\r\n" + body);
  return "\xFF\xFE" + std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
}

std::string regedit4_file(const std::string& body) { return "REGEDIT4\r\n\r\n" + body; }

// Every LSTATUS call below runs through this: the result is returned and the thread's last
// error must stay what it was (registry functions report through their result only).
#define CALL(expr)                                                  \
  [&] {                                                             \
    SetLastError(kSentinel);                                        \
    LSTATUS status_ = (expr);                                       \
    EXPECT_EQ(GetLastError(), kSentinel) << #expr << " changed the last error"; \
    return status_;                                                 \
  }()

struct Read {
  LSTATUS status;
  DWORD type;
  std::string data;
};

Read query(HKEY key, const char* name) {
  Read r{0, REG_NONE, {}};
  BYTE buffer[4096];
  DWORD size = sizeof buffer;
  r.status = CALL(RegQueryValueExA(key, name, nullptr, &r.type, buffer, &size));
  if (r.status == ERROR_SUCCESS) r.data.assign(reinterpret_cast<char*>(buffer), size);
  return r;
}

Read query(const char* path, const char* name, REGSAM access = KEY_READ) {
  HKEY key = nullptr;
  LSTATUS status = CALL(RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, access, &key));
  if (status != ERROR_SUCCESS) return Read{status, REG_NONE, {}};
  Read r = query(key, name);
  EXPECT_EQ(CALL(RegCloseKey(key)), ERROR_SUCCESS);
  return r;
}

std::string bytes(std::initializer_list<int> list) {
  std::string out;
  for (int b : list) out.push_back(static_cast<char>(b));
  return out;
}

void expect_value(const char* path, const char* name, DWORD type, const std::string& data) {
  Read r = query(path, name);
  EXPECT_EQ(r.status, ERROR_SUCCESS) << name;
  EXPECT_EQ(r.type, type) << name;
  EXPECT_EQ(r.data, data) << name;
}

void expect_missing(const char* path, const char* name) {
  EXPECT_EQ(query(path, name).status, ERROR_FILE_NOT_FOUND) << name;
}

// Lines both formats read the same way. Korean text is added per format (CP949 or UTF-16).
const char kCommonBody[] =
    "; a comment line\r\n"
    "\"BeforeAnyKey\"=\"ignored\"\r\n"
    "[HKEY_CURRENT_USER\\Software\\Test]\r\n"
    "\"Text\"=\"hello\"\r\n"
    "\"Escaped\"=\"C:\\\\dir\\\\ \\\"q\\\"\"\r\n"
    "  ; an indented comment\r\n"
    "\"Number\"=dword:0001003f\r\n"
    "\"Short\"=dword:1f\r\n"
    "\"Blob\"=hex:00,01,fe,FF\r\n"
    "\"Empty\"=hex:\r\n"
    "\"Quad\"=hex(b):88,77,66,55,44,33,22,11\r\n"
    "\"Other\"=hex(5):01,02\r\n"
    "\"Wrapped\"=hex:01,02,\\\r\n"
    "  03,04,\\\r\n"
    "  05\r\n"
    "@=\"default\"\r\n"
    "\"Later\"=\"first\"\r\n"
    "\"later\"=\"second\"\r\n"
    "\"Gone\"=\"x\"\r\n"
    "\"Gone\"=-\r\n"
    "[HKEY_CURRENT_USER\\Software\\Test\\Sub]\r\n"
    "\"InSub\"=dword:00000001\r\n"
    "[-HKEY_CURRENT_USER\\Software\\Test\\Sub]\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n"
    "\"Foreign\"=\"not ours\"\r\n"
    "[HKEY_CURRENT_USER\\Software\\Test]\r\n"
    "\"Again\"=\"second block of the same key\"\r\n";

TEST(Registry, ReadsTheEntriesOfBothFileFormats) {
  struct Format {
    const char* name;
    std::string file;
  } formats[] = {
      {"REGEDIT4", regedit4_file(std::string(kCommonBody) +
                                 "\"Korean\"=\"\xC5\xBB\xBA\xA4\xBD\xBA\"\r\n"
                                 // ANSI bytes in a REGEDIT4 file.
                                 "\"Path\"=hex(2):25,54,45,4d,50,25,00\r\n"
                                 "\"Multi\"=hex(7):61,00,62,63,00,00\r\n")},
      {"version 5", v5_file(std::string(kCommonBody) +
                            "\"Korean\"=\"\xED\x83\x88\xEB\xB2\xA1\xEC\x8A\xA4\"\r\n"
                            // UTF-16LE bytes in a version 5 file.
                            "\"Path\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\r\n"
                            "\"Multi\"=hex(7):61,00,00,00,62,00,63,00,00,00,00,00\r\n")},
  };
  struct Expected {
    const char* name;
    DWORD type;
    std::string data;
  } expected[] = {
      {"Text", REG_SZ, std::string("hello", 6)},  // the size includes the stored NUL
      {"Escaped", REG_SZ, std::string("C:\\dir\\ \"q\"", 12)},
      {"Number", REG_DWORD, bytes({0x3f, 0x00, 0x01, 0x00})},
      {"Short", REG_DWORD, bytes({0x1f, 0, 0, 0})},
      {"Blob", REG_BINARY, bytes({0x00, 0x01, 0xfe, 0xff})},
      {"Empty", REG_BINARY, ""},
      {"Quad", REG_QWORD, bytes({0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11})},
      {"Other", 5, bytes({1, 2})},
      {"Wrapped", REG_BINARY, bytes({1, 2, 3, 4, 5})},
      {"", REG_SZ, std::string("default", 8)},
      {"Later", REG_SZ, std::string("second", 7)},  // entries apply in file order
      {"Again", REG_SZ, std::string("second block of the same key", 29)},
      {"Korean", REG_SZ, std::string("\xC5\xBB\xBA\xA4\xBD\xBA", 7)},  // the A call answers in CP949
      {"Path", REG_EXPAND_SZ, std::string("%TEMP%", 7)},
      {"Multi", REG_MULTI_SZ, std::string("a\0bc\0\0", 6)},
  };
  for (const auto& format : formats) {
    SCOPED_TRACE(format.name);
    txtest::TempMachine machine;
    write_hive(format.file);
    for (const auto& e : expected) expect_value(kKey, e.name, e.type, e.data);
    for (const char* name : {"Gone", "Foreign", "BeforeAnyKey"}) expect_missing(kKey, name);
    expect_missing("Software\\Test\\Sub", "InSub");
    HKEY key = nullptr;
    EXPECT_EQ(CALL(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Test\\Sub", 0, KEY_READ, &key)), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(CALL(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Test", 0, KEY_READ, &key)), ERROR_FILE_NOT_FOUND);
  }
}

TEST(Registry, KeyAndValueNamesIgnoreLetterCase) {
  txtest::TempMachine machine;
  write_hive(regedit4_file("[HKEY_CURRENT_USER\\Software\\Test]\r\n\"Text\"=\"hello\"\r\n"));
  expect_value("SOFTWARE\\test", "TEXT", REG_SZ, std::string("hello", 6));
  // The parent of a key named in the file exists too, and an opened key opens its subkeys.
  HKEY software = nullptr;
  HKEY test = nullptr;
  ASSERT_EQ(CALL(RegOpenKeyExA(HKEY_CURRENT_USER, "software", 0, KEY_READ, &software)), ERROR_SUCCESS);
  ASSERT_EQ(CALL(RegOpenKeyExA(software, "Test", 0, KEY_READ, &test)), ERROR_SUCCESS);
  EXPECT_EQ(query(test, "text").status, ERROR_SUCCESS);
  RegCloseKey(test);
  RegCloseKey(software);
}

TEST(Registry, QueryBufferSizesFollowTheSizeProtocol) {
  txtest::TempMachine machine;
  write_hive(regedit4_file("[HKEY_CURRENT_USER\\Software\\Test]\r\n\"Text\"=\"hello\"\r\n\"N\"=dword:00000007\r\n"));
  HKEY key = nullptr;
  ASSERT_EQ(CALL(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key)), ERROR_SUCCESS);
  struct Case {
    const char* name;
    DWORD buffer_size;  // offered in *lpcbData; 0xFFFFFFFF: lpData NULL
    LSTATUS status;
    DWORD size_after;
  } cases[] = {
      {"Text", 0xFFFFFFFF, ERROR_SUCCESS, 6},  // lpData NULL: success and the size
      {"Text", 6, ERROR_SUCCESS, 6},           // exact fit, NUL included
      {"Text", 5, ERROR_MORE_DATA, 6},         // one short
      {"Text", 0, ERROR_MORE_DATA, 6},
      {"Text", 100, ERROR_SUCCESS, 6},  // the size stored, not the size offered
      {"Text", 4, ERROR_MORE_DATA, 6},  // a DWORD read of a longer value fails
      {"N", 4, ERROR_SUCCESS, 4},
      {"N", 3, ERROR_MORE_DATA, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.buffer_size));
    BYTE buffer[128];
    std::memset(buffer, 0xCC, sizeof buffer);
    bool null_data = c.buffer_size == 0xFFFFFFFF;
    DWORD size = null_data ? 0 : c.buffer_size;
    DWORD type = 0x77;
    EXPECT_EQ(CALL(RegQueryValueExA(key, c.name, nullptr, &type, null_data ? nullptr : buffer, &size)), c.status);
    EXPECT_EQ(size, c.size_after);
    EXPECT_EQ(type, std::string(c.name) == "Text" ? REG_SZ : REG_DWORD);
    if (c.status == ERROR_SUCCESS && !null_data) {
      EXPECT_EQ(std::memcmp(buffer, std::string(c.name) == "Text" ? "hello" : "\x07\0\0\0", size), 0);
      EXPECT_EQ(buffer[size], 0xCC) << "wrote past the stored data";
    }
    if (c.status == ERROR_MORE_DATA) {
      EXPECT_EQ(buffer[0], 0xCC) << "a failed query filled the buffer";
    }
  }
  // Neither type nor size: an existence check. A missing value is 2; lpReserved must be NULL;
  // lpcbData may be NULL only when lpData is.
  EXPECT_EQ(CALL(RegQueryValueExA(key, "Text", nullptr, nullptr, nullptr, nullptr)), ERROR_SUCCESS);
  EXPECT_EQ(CALL(RegQueryValueExA(key, "Missing", nullptr, nullptr, nullptr, nullptr)), ERROR_FILE_NOT_FOUND);
  DWORD reserved = 0;
  DWORD size = 8;
  BYTE buffer[8];
  EXPECT_EQ(CALL(RegQueryValueExA(key, "Text", &reserved, nullptr, buffer, &size)), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CALL(RegQueryValueExA(key, "Text", nullptr, nullptr, buffer, nullptr)), ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

TEST(Registry, DefaultValueIsNamedByNullOrEmptyName) {
  txtest::TempMachine machine;
  write_hive(regedit4_file("[HKEY_CURRENT_USER\\Software\\Test]\r\n@=\"dflt\"\r\n"));
  expect_value(kKey, nullptr, REG_SZ, std::string("dflt", 5));
  expect_value(kKey, "", REG_SZ, std::string("dflt", 5));
}

TEST(Registry, LongStringsAreReadWhole) {
  txtest::TempMachine machine;
  std::string text(1499, 'x');
  text[0] = 'a';
  text[1498] = 'z';
  write_hive(regedit4_file("[HKEY_CURRENT_USER\\Software\\Test]\r\n\"Long\"=\"" + text + "\"\r\n"));
  expect_value(kKey, "Long", REG_SZ, text + '\0');
  HKEY key = nullptr;
  ASSERT_EQ(CALL(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key)), ERROR_SUCCESS);
  std::vector<BYTE> buffer(1500);
  DWORD size = 1499;
  EXPECT_EQ(CALL(RegQueryValueExA(key, "Long", nullptr, nullptr, buffer.data(), &size)), ERROR_MORE_DATA);
  EXPECT_EQ(size, 1500u);
  EXPECT_EQ(CALL(RegQueryValueExA(key, "Long", nullptr, nullptr, buffer.data(), &size)), ERROR_SUCCESS);
  EXPECT_EQ(buffer[1499], 0);
  RegCloseKey(key);
}

// A damaged hive never stops the program: what cannot be read is missing. Pins this layer's
// choices: a broken key line drops the entries below it (they belong to no known key), and a
// hex list whose continuation is missing is dropped while the next line still counts.
TEST(Registry, DamagedFilesLoseOnlyWhatIsDamaged) {
  const std::string key_line = "[HKEY_CURRENT_USER\\Software\\Test]\r\n";
  struct Case {
    const char* what;
    std::string file;
    std::vector<const char*> present;
    std::vector<const char*> missing;
  } cases[] = {
      {"empty file", "", {}, {"a"}},
      {"binary garbage", bytes({0x00, 0xff, 0x13, 0x5b, 0x0a, 0x22, 0x61, 0x22, 0x3d, 0x00, 0x80}), {}, {"a"}},
      {"no header", key_line + "\"a\"=\"x\"\r\n", {}, {"a"}},
      {"header only", "REGEDIT4", {}, {"a"}},
      {"cut in a string", regedit4_file(key_line + "\"ok\"=\"x\"\r\n\"a\"=\"cu"), {"ok"}, {"a"}},
      {"cut in a continuation", regedit4_file(key_line + "\"ok\"=dword:1\r\n\"a\"=hex:01,02,\\"), {"ok"}, {"a"}},
      {"continuation broken by an entry", regedit4_file(key_line + "\"a\"=hex:01,\\\r\n\"ok\"=dword:1\r\n"),
       {"ok"}, {"a"}},
      {"garbage lines",
       regedit4_file(key_line +
                     "this is not an entry\r\n\"a\"\r\n\"a\"=dword:123456789\r\n\"a\"=hex:1,zz\r\n"
                     "\"a\"=hex(zz):00\r\n\"a\"=\"unterminated\r\n\"a\"=unknown:00\r\n\"a\"=\"x\" trailing\r\n"
                     "=\"no name\"\r\n\x01\x02\r\n\"ok\"=\"x\"\r\n"),
       {"ok"},
       {"a"}},
      {"broken key line", regedit4_file(key_line + "\"ok\"=\"x\"\r\n[HKEY_CURRENT_USER\\Software\\Test\r\n\"a\"=\"x\"\r\n"),
       {"ok"}, {"a"}},
      {"odd UTF-16 length", v5_file(key_line + "\"ok\"=\"x\"\r\n\"a\"=\"y\"").substr(0, v5_file(key_line).size() + 19),
       {"ok"}, {"a"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    txtest::TempMachine machine;
    write_hive(c.file);
    for (const char* name : c.present) EXPECT_EQ(query(kKey, name).status, ERROR_SUCCESS) << name;
    for (const char* name : c.missing) EXPECT_EQ(query(kKey, name).status, ERROR_FILE_NOT_FOUND) << name;
  }
}

TEST(Registry, ViewFlagsAloneAreAcceptedAndTogetherRefused) {
  txtest::TempMachine machine;
  write_hive(regedit4_file("[HKEY_CURRENT_USER\\Software\\Test]\r\n\"N\"=dword:00000005\r\n"));
  // HKCU\Software is shared between the views: both see the same value.
  struct Case {
    REGSAM access;
    LSTATUS status;
  } cases[] = {
      {KEY_READ, ERROR_SUCCESS},
      {KEY_READ | KEY_WOW64_64KEY, ERROR_SUCCESS},
      {KEY_READ | KEY_WOW64_32KEY, ERROR_SUCCESS},
      {KEY_READ | KEY_WOW64_64KEY | KEY_WOW64_32KEY, ERROR_INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.access);
    Read r = query(kKey, "N", c.access);
    EXPECT_EQ(r.status, c.status);
    if (c.status == ERROR_SUCCESS) {
      EXPECT_EQ(r.data, bytes({5, 0, 0, 0}));
    }
    HKEY key = nullptr;
    EXPECT_EQ(CALL(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\New", 0, nullptr, REG_OPTION_NON_VOLATILE, c.access,
                                   nullptr, &key, nullptr)),
              c.status);
    if (key) RegCloseKey(key);
  }
}

TEST(Registry, BadHandlesAreRefused) {
  txtest::TempMachine machine;
  HKEY stale = nullptr;
  ASSERT_EQ(CALL(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &stale, nullptr)),
            ERROR_SUCCESS);
  ASSERT_EQ(CALL(RegCloseKey(stale)), ERROR_SUCCESS);
  HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
  ASSERT_NE(mutex, nullptr);
  HKEY handles[] = {nullptr, stale, reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x12345678)),
                    reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000042)), reinterpret_cast<HKEY>(mutex)};
  for (HKEY handle : handles) {
    SCOPED_TRACE(reinterpret_cast<ULONG_PTR>(handle));
    HKEY out = nullptr;
    DWORD size = 0;
    const BYTE one[4] = {1, 0, 0, 0};
    EXPECT_EQ(CALL(RegOpenKeyExA(handle, "x", 0, KEY_READ, &out)), ERROR_INVALID_HANDLE);
    EXPECT_EQ(CALL(RegCreateKeyExA(handle, "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr)),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(CALL(RegQueryValueExA(handle, "x", nullptr, nullptr, nullptr, &size)), ERROR_INVALID_HANDLE);
    EXPECT_EQ(CALL(RegSetValueExA(handle, "x", 0, REG_DWORD, one, 4)), ERROR_INVALID_HANDLE);
    EXPECT_EQ(CALL(RegDeleteValueA(handle, "x")), ERROR_INVALID_HANDLE);
    EXPECT_EQ(CALL(RegCloseKey(handle)), ERROR_INVALID_HANDLE);
  }
  EXPECT_TRUE(CloseHandle(mutex)) << "RegCloseKey closed a kernel handle";
}

TEST(Registry, AccessRightsOfTheHandleAreHonoured) {
  txtest::TempMachine machine;
  write_hive(regedit4_file("[HKEY_CURRENT_USER\\Software\\Test]\r\n\"N\"=dword:00000005\r\n"));
  const BYTE one[4] = {1, 0, 0, 0};
  HKEY reader = nullptr;
  HKEY writer = nullptr;
  ASSERT_EQ(CALL(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &reader)), ERROR_SUCCESS);
  ASSERT_EQ(CALL(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &writer)), ERROR_SUCCESS);
  EXPECT_EQ(CALL(RegSetValueExA(reader, "N", 0, REG_DWORD, one, 4)), ERROR_ACCESS_DENIED);
  EXPECT_EQ(CALL(RegDeleteValueA(reader, "N")), ERROR_ACCESS_DENIED);
  EXPECT_EQ(query(writer, "N").status, ERROR_ACCESS_DENIED);
  EXPECT_EQ(CALL(RegSetValueExA(writer, "N", 0, REG_DWORD, one, 4)), ERROR_SUCCESS);
  // Pins this layer's choice for the roots it does not hold: nothing to read, nothing writable.
  EXPECT_EQ(CALL(RegSetValueExA(HKEY_LOCAL_MACHINE, "N", 0, REG_DWORD, one, 4)), ERROR_ACCESS_DENIED);
  EXPECT_EQ(query(HKEY_LOCAL_MACHINE, "N").status, ERROR_FILE_NOT_FOUND);
  RegCloseKey(reader);
  RegCloseKey(writer);
}

TEST(Registry, WrittenValuesReadBackAfterReopening) {
  txtest::TempMachine machine;
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(CALL(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Test\\Deep", 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_ALL_ACCESS, nullptr, &key, &disposition)),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  struct Case {
    const char* name;
    DWORD type;
    std::string data;
  } cases[] = {
      {"Text", REG_SZ, std::string("a\\b \"q\" =;[x]", 14)},
      {"Korean", REG_SZ, std::string("\xC5\xBB\xBA\xA4\xBD\xBA", 7)},
      {"Unterminated", REG_SZ, "abc"},  // stored as given: no NUL added
      {"Lines", REG_SZ, std::string("one\r\ntwo", 9)},
      {"Expand", REG_EXPAND_SZ, std::string("%TEMP%\\x", 9)},
      {"Multi", REG_MULTI_SZ, std::string("a\0\xC5\xBB\0\0", 6)},
      {"Dword", REG_DWORD, bytes({0x2a, 0, 0, 0})},
      {"Quad", REG_QWORD, bytes({1, 2, 3, 4, 5, 6, 7, 8})},
      {"Binary", REG_BINARY, std::string(200, '\x5a')},
      {"Empty", REG_BINARY, ""},
      {"Odd type", 0x1234, bytes({9, 8})},
      {"", REG_SZ, std::string("default", 8)},
      {"Long", REG_SZ, std::string(1499, 'y') + '\0'},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CALL(RegSetValueExA(key, c.name, 0, c.type, reinterpret_cast<const BYTE*>(c.data.data()),
                                  static_cast<DWORD>(c.data.size()))),
              ERROR_SUCCESS)
        << c.name;
  }
  // The handle sees its own changes.
  EXPECT_EQ(query(key, "Dword").data, bytes({0x2a, 0, 0, 0}));
  RegCloseKey(key);

  std::string file = read_hive();
  EXPECT_TRUE(file.starts_with("REGEDIT4\r\n\r\n")) << "a new hive is REGEDIT4";
  EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Test\\Deep]\r\n"), std::string::npos);
  EXPECT_NE(file.find("\"Text\"=\"a\\\\b \\\"q\\\" =;[x]\"\r\n"), std::string::npos);
  EXPECT_NE(file.find("\"Dword\"=dword:0000002a\r\n"), std::string::npos);
  EXPECT_NE(file.find("\"Quad\"=hex(b):01,02,03,04,05,06,07,08\r\n"), std::string::npos);
  EXPECT_NE(file.find("\"Korean\"=\"\xC5\xBB\xBA\xA4\xBD\xBA\"\r\n"), std::string::npos) << "ANSI text";

  for (const auto& c : cases) expect_value("software\\test\\deep", c.name, c.type, c.data);
  ASSERT_EQ(CALL(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Test\\Deep", 0, nullptr, 0, KEY_READ, nullptr, &key,
                                 &disposition)),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(key);
}

TEST(Registry, DeletedValuesAreGone) {
  txtest::TempMachine machine;
  write_hive(regedit4_file("[HKEY_CURRENT_USER\\Software\\Test]\r\n\"A\"=\"x\"\r\n\"B\"=\"y\"\r\n"));
  HKEY key = nullptr;
  ASSERT_EQ(CALL(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key)), ERROR_SUCCESS);
  EXPECT_EQ(CALL(RegDeleteValueA(key, "a")), ERROR_SUCCESS);
  EXPECT_EQ(query(key, "A").status, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(CALL(RegDeleteValueA(key, "A")), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
  expect_missing(kKey, "A");
  expect_value(kKey, "B", REG_SZ, std::string("y", 2));
}

TEST(Registry, Version5HivesStayVersion5AndKeepTheirText) {
  txtest::TempMachine machine;
  // U+0E01 has no CP949 form: a rewrite in the ANSI code page would lose it.
  write_hive(v5_file("[HKEY_CURRENT_USER\\Software\\Test]\r\n\"Thai\"=\"\xE0\xB8\x81\"\r\n"));
  HKEY key = nullptr;
  ASSERT_EQ(CALL(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key)), ERROR_SUCCESS);
  const BYTE text[] = "\xC5\xBB";
  ASSERT_EQ(CALL(RegSetValueExA(key, "Korean", 0, REG_SZ, text, sizeof text)), ERROR_SUCCESS);
  RegCloseKey(key);
  std::string file = read_hive();
  EXPECT_EQ(file.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(file, v5_file("[HKEY_CURRENT_USER\\Software]\r\n\r\n"
                          "[HKEY_CURRENT_USER\\Software\\Test]\r\n"
                          "\"Thai\"=\"\xE0\xB8\x81\"\r\n"
                          "\"Korean\"=\"\xED\x83\x88\"\r\n\r\n"));
  expect_value(kKey, "Korean", REG_SZ, std::string("\xC5\xBB", 3));
}

TEST(Registry, RewritingKeepsTheFirstSpellingAndOrder) {
  txtest::TempMachine machine;
  write_hive(regedit4_file("; dropped by a rewrite\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n"
                           "\"Mixed\"=\"1\"\r\n\"Other\"=hex:01\r\n"));
  HKEY key = nullptr;
  ASSERT_EQ(CALL(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\TEST", 0, KEY_ALL_ACCESS, &key)), ERROR_SUCCESS);
  ASSERT_EQ(CALL(RegSetValueExA(key, "MIXED", 0, REG_SZ, reinterpret_cast<const BYTE*>("2"), 2)), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(read_hive(), regedit4_file("[HKEY_CURRENT_USER\\Software]\r\n\r\n"
                                       "[HKEY_CURRENT_USER\\Software\\Test]\r\n"
                                       "\"Mixed\"=\"2\"\r\n\"Other\"=hex:01\r\n\r\n"));
}

TEST(Registry, AnOpenedKeyKeepsTheValuesOfItsOpening) {
  txtest::TempMachine machine;
  write_hive(regedit4_file("[HKEY_CURRENT_USER\\Software\\Test]\r\n\"N\"=dword:00000001\r\n"));
  HKEY early = nullptr;
  ASSERT_EQ(CALL(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &early)), ERROR_SUCCESS);
  write_hive(regedit4_file("[HKEY_CURRENT_USER\\Software\\Test]\r\n\"N\"=dword:00000002\r\n"));
  EXPECT_EQ(query(early, "N").data, bytes({1, 0, 0, 0}));
  expect_value(kKey, "N", REG_DWORD, bytes({2, 0, 0, 0}));
  RegCloseKey(early);
}

// Runs `body` in a child process; its exit status.
template <class Body>
pid_t in_child(Body body) {
  pid_t pid = ::fork();
  if (pid == 0) _exit(body() ? 0 : 1);
  return pid;
}

int wait_child(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool set_numbered_values(const char* prefix, int count) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr)) return false;
  for (int i = 0; i < count; ++i) {
    std::string name = prefix + std::to_string(i);
    DWORD n = static_cast<DWORD>(i);
    if (RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), 4)) return false;
  }
  return RegCloseKey(key) == ERROR_SUCCESS;
}

TEST(Registry, OtherProcessesSeeChangesAndNoneIsLost) {
  txtest::TempMachine machine;
  ASSERT_EQ(wait_child(in_child([] { return set_numbered_values("first", 1); })), 0);
  expect_value(kKey, "first0", REG_DWORD, bytes({0, 0, 0, 0}));

  // Two writers at once: every change is made on the hive as the other left it.
  constexpr int kEach = 40;
  pid_t a = in_child([] { return set_numbered_values("a", kEach); });
  pid_t b = in_child([] { return set_numbered_values("b", kEach); });
  EXPECT_EQ(wait_child(a), 0);
  EXPECT_EQ(wait_child(b), 0);
  for (int i = 0; i < kEach; ++i) {
    EXPECT_EQ(query(kKey, ("a" + std::to_string(i)).c_str()).status, ERROR_SUCCESS) << i;
    EXPECT_EQ(query(kKey, ("b" + std::to_string(i)).c_str()).status, ERROR_SUCCESS) << i;
  }
}

}  // namespace
