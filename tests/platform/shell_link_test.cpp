// Conformance: COM initialisation and objects, the shell link and Internet shortcut writers,
// and the shell's special folders and change notification.
//
// Expected values: learn.microsoft.com, CoInitializeEx, CoCreateInstance, IUnknown::Release,
// IShellLinkA, IPersistFile::Save, SHGetSpecialFolderPathA, SHChangeNotify; [MS-SHLLINK] 2.1
// (ShellLinkHeader), 2.1.1 (LinkFlags), 2.3 (LinkInfo), 2.4 (StringData), 2.5 (ExtraData).
// Links are read back with lnkinfo (liblnk-utils), the .url files with Python's configparser.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/machine.h"
#include "platform/path_map.h"
#include "platform/win32.h"
#include "tests/support/process.h"
#include "tests/support/temp_machine.h"

namespace {

const char kTarget[] = "C:\\talvex\\bin\\Tool.exe";
// "원격지원.lnk" in code page 949.
const char kKoreanLink[] = "\xBF\xF8\xB0\xDD\xC1\xF6\xBF\xF8.lnk";

std::u16string wide(const std::string& ansi) { return platform::ansi_to_utf16(ansi); }

class ShellLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_.write_file(kTarget, std::string(1234, 'x'));
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
  }
  void TearDown() override { CoUninitialize(); }

  std::string desktop() const { return platform::Machine::current().user_profile() + "\\Desktop"; }
  std::string host(const std::string& windows_path) const {
    DWORD error = 0;
    return platform::host_path(windows_path, &error).value_or("");
  }
  std::string read_host(const std::string& windows_path) const {
    std::ifstream in(host(windows_path), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }

  // A shell link to kTarget as the shortcut writer makes one, saved to `path`.
  HRESULT save_link(const std::string& path, int show = SW_SHOW, const char* icon = nullptr, int index = -1) {
    IShellLinkA* link = nullptr;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                      reinterpret_cast<void**>(&link));
    EXPECT_EQ(result, S_OK);
    if (FAILED(result)) return result;
    IPersistFile* file = nullptr;
    EXPECT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
    link->SetPath(kTarget);
    if (icon) link->SetIconLocation(icon, index);
    link->SetWorkingDirectory((desktop() + "\\").c_str());
    link->SetShowCmd(show);
    result = file->Save(wide(path).c_str(), TRUE);
    EXPECT_EQ(file->Release(), 1u);
    EXPECT_EQ(link->Release(), 0u);
    return result;
  }

  txtest::TempMachine machine_;
};

DWORD dword_at(const std::string& bytes, std::size_t at) {
  DWORD value = 0;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

// lnkinfo, an independent reader of the format, finds what the shell resolves: the local
// path of the target, the working directory and the icon location. Debian's lnkinfo 20181227
// prints the file size in place of the show window and hot key values, so those two are
// checked in the header bytes instead (ShowCommandOnDisk, HeaderBytes).
TEST_F(ShellLinkTest, LinkReadsBackWithLnkinfo) {
  const std::string path = desktop() + "\\" + kKoreanLink;
  ASSERT_EQ(save_link(path, SW_SHOW, "C:\\talvex\\bin\\favicon.ico", 0), S_OK);
  txtest::ProcessResult info = txtest::run_process({"/usr/bin/lnkinfo", host(path)});
  ASSERT_EQ(info.exit_code, 0) << info.output;
  EXPECT_NE(info.output.find("Local path\t\t\t: C:\\talvex\\bin\\Tool.exe"), std::string::npos) << info.output;
  EXPECT_NE(info.output.find("Working directory\t\t: " + desktop() + "\\\n"), std::string::npos) << info.output;
  EXPECT_NE(info.output.find("Icon location\t\t\t: C:\\talvex\\bin\\favicon.ico"), std::string::npos) << info.output;
  EXPECT_NE(info.output.find("Drive type\t\t\t: Fixed"), std::string::npos) << info.output;
  EXPECT_NE(info.output.find("File size\t\t\t: 1234 bytes"), std::string::npos) << info.output;
}

// The header's fields, the LinkInfo's local base path and the ExtraData terminal block.
TEST_F(ShellLinkTest, HeaderBytes) {
  const std::string path = desktop() + "\\Tool.lnk";
  ASSERT_EQ(save_link(path), S_OK);
  const std::string bytes = read_host(path);
  ASSERT_GT(bytes.size(), 0x4Cu);
  const unsigned char clsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                   0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  EXPECT_EQ(dword_at(bytes, 0x00), 0x4Cu);
  EXPECT_EQ(std::memcmp(bytes.data() + 4, clsid, sizeof clsid), 0);
  // HasLinkInfo | HasWorkingDir | IsUnicode: no icon was set, and no ID list is written.
  EXPECT_EQ(dword_at(bytes, 0x14), 0x02u | 0x10u | 0x80u);
  EXPECT_EQ(dword_at(bytes, 0x18), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  WIN32_FIND_DATAA found{};
  HANDLE find = FindFirstFileA(kTarget, &found);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  FindClose(find);
  EXPECT_EQ(dword_at(bytes, 0x2C), found.ftLastWriteTime.dwLowDateTime);
  EXPECT_EQ(dword_at(bytes, 0x30), found.ftLastWriteTime.dwHighDateTime);
  EXPECT_EQ(dword_at(bytes, 0x34), 1234u);
  EXPECT_EQ(static_cast<LONG>(dword_at(bytes, 0x38)), 0);
  EXPECT_EQ(dword_at(bytes, 0x40) & 0xFFFF, 0u);  // HotKey
  // LinkInfo: header size 0x1C, VolumeIDAndLocalBasePath, a fixed drive, the path in full.
  const std::size_t info = 0x4C;
  EXPECT_EQ(dword_at(bytes, info + 4), 0x1Cu);
  EXPECT_EQ(dword_at(bytes, info + 8), 1u);
  EXPECT_EQ(dword_at(bytes, info + dword_at(bytes, info + 12) + 4), 3u);
  EXPECT_STREQ(bytes.c_str() + info + dword_at(bytes, info + 16), kTarget);
  EXPECT_EQ(bytes.compare(bytes.size() - 4, 4, std::string(4, '\0')), 0);
}

// The format knows 1, 3 and 7; every other show command (SW_SHOW among them) reads as
// normal, and is written so. What Windows stores for SW_SHOW is not documented: this pins 1.
TEST_F(ShellLinkTest, ShowCommandOnDisk) {
  const struct {
    int set;
    DWORD stored;
  } cases[] = {{SW_SHOW, 1}, {SW_SHOWNORMAL, 1}, {SW_SHOWMAXIMIZED, 3}, {SW_SHOWMINNOACTIVE, 7}, {SW_HIDE, 1}};
  for (const auto& c : cases) {
    const std::string path = desktop() + "\\show.lnk";
    ASSERT_EQ(save_link(path, c.set), S_OK);
    EXPECT_EQ(dword_at(read_host(path), 0x3C), c.stored) << c.set;
  }
}

TEST_F(ShellLinkTest, InternetShortcutIsIniText) {
  IUniformResourceLocatorA* url = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_InternetShortcut, nullptr, CLSCTX_INPROC_SERVER, IID_IUniformResourceLocatorA,
                             reinterpret_cast<void**>(&url)),
            S_OK);
  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  ASSERT_EQ(url->QueryInterface(IID_IShellLinkA, reinterpret_cast<void**>(&link)), S_OK);
  ASSERT_EQ(url->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
  // SetPath through IShellLinkA is the URL, as GetURL shows.
  EXPECT_EQ(link->SetPath("https://www.example.test/hospital"), S_OK);
  LPSTR got = nullptr;
  ASSERT_EQ(url->GetURL(&got), S_OK);
  EXPECT_STREQ(got, "https://www.example.test/hospital");
  CoTaskMemFree(got);
  link->SetIconLocation("C:\\talvex\\bin\\favicon.ico", 0);
  link->SetWorkingDirectory((desktop() + "\\").c_str());
  link->SetShowCmd(SW_SHOW);
  const std::string path = desktop() + "\\web.url";
  EXPECT_EQ(file->Save(wide(path).c_str(), TRUE), S_OK);
  file->Release();
  link->Release();
  EXPECT_EQ(url->Release(), 0u);

  EXPECT_EQ(read_host(path), "[InternetShortcut]\r\nURL=https://www.example.test/hospital\r\nWorkingDirectory=" +
                                 desktop() + "\\\r\nIconFile=C:\\talvex\\bin\\favicon.ico\r\nIconIndex=0\r\n");
  txtest::ProcessResult ini = txtest::run_process(
      {"/usr/bin/python3", "-c",
       "import configparser,sys\n"
       "c=configparser.ConfigParser(interpolation=None)\n"
       "c.read(sys.argv[1])\n"
       "s=c['InternetShortcut']\n"
       "print(s['URL'],s['IconFile'],s['IconIndex'],'ShowCommand' in s)",
       host(path)});
  EXPECT_EQ(ini.output, "https://www.example.test/hospital C:\\talvex\\bin\\favicon.ico 0 False\n");
}

// Every interface obtained adds one to the object's count; the last Release frees it.
TEST_F(ShellLinkTest, ReferenceCounting) {
  IUnknown* unknown = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&unknown)),
            S_OK);
  EXPECT_EQ(unknown->AddRef(), 2u);
  IPersistFile* file = nullptr;
  ASSERT_EQ(unknown->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
  EXPECT_EQ(file->AddRef(), 4u);
  // One identity: IUnknown from any interface is the same pointer.
  IUnknown* again = nullptr;
  ASSERT_EQ(file->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&again)), S_OK);
  EXPECT_EQ(again, unknown);
  void* none = &none;
  EXPECT_EQ(unknown->QueryInterface(IID_IUniformResourceLocatorA, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(again->Release(), 4u);
  EXPECT_EQ(file->Release(), 3u);
  EXPECT_EQ(file->Release(), 2u);
  EXPECT_EQ(unknown->Release(), 1u);
  EXPECT_EQ(unknown->Release(), 0u);
}

// CoInitialize counts per thread; CoCreateInstance needs an initialised thread.
TEST(ComApartmentTest, InitialisationIsCountedPerThread) {
  txtest::TempMachine machine;
  void* object = &object;
  EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, &object),
            CO_E_NOTINITIALIZED);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
  CoUninitialize();
  // One counted initialisation is still open.
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, &object), S_OK);
  static_cast<IShellLinkA*>(object)->Release();
  CoUninitialize();
  EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, &object),
            CO_E_NOTINITIALIZED);
  // The changed-mode refusal was not counted: the thread is free for either model again.
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  const struct {
    const CLSID& clsid;
    IUnknown* outer;
    DWORD context;
    HRESULT expected;
  } cases[] = {
      {CLSID_ShellLink, nullptr, CLSCTX_LOCAL_SERVER, REGDB_E_CLASSNOTREG},
      {IID_IPersistFile, nullptr, CLSCTX_INPROC_SERVER, REGDB_E_CLASSNOTREG},
      {CLSID_ShellLink, reinterpret_cast<IUnknown*>(&object), CLSCTX_INPROC_SERVER, CLASS_E_NOAGGREGATION},
      {CLSID_InternetShortcut, nullptr, CLSCTX_ALL, S_OK},
  };
  for (const auto& c : cases) {
    object = nullptr;
    EXPECT_EQ(CoCreateInstance(c.clsid, c.outer, c.context, IID_IUnknown, &object), c.expected) << c.context;
    if (object) static_cast<IUnknown*>(object)->Release();
  }
  CoUninitialize();
}

// A folder the user may not write (here: without the owner write bit, refused even to
// root) makes Save fail with the file error as an HRESULT, and leaves no file.
TEST_F(ShellLinkTest, SaveIntoReadOnlyFolderFails) {
  ASSERT_EQ(::chmod(host(desktop()).c_str(), 0555), 0);
  const std::string path = desktop() + "\\Tool.lnk";
  SetLastError(0xDEAD);
  EXPECT_EQ(save_link(path), E_ACCESSDENIED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(machine_.exists(path));
  SetLastError(0xDEAD);
  EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(ShellLinkTest, SaveWithoutAnyNameIsInvalid) {
  IShellLinkA* link = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                             reinterpret_cast<void**>(&link)),
            S_OK);
  IPersistFile* file = nullptr;
  ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
  EXPECT_EQ(file->Save(nullptr, TRUE), E_INVALIDARG);
  const std::string path = desktop() + "\\first.lnk";
  EXPECT_EQ(file->Save(wide(path).c_str(), TRUE), S_OK);
  LPOLESTR current = nullptr;
  ASSERT_EQ(file->GetCurFile(&current), S_OK);
  EXPECT_EQ(std::u16string(current), wide(path));
  CoTaskMemFree(current);
  EXPECT_EQ(file->Save(nullptr, TRUE), S_OK);
  file->Release();
  link->Release();
}

TEST(ShellFolderTest, DesktopAndCreatedFolders) {
  txtest::TempMachine machine;
  const std::string profile = platform::Machine::current().user_profile();
  char buffer[MAX_PATH] = {};
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_DESKTOP, FALSE));
  EXPECT_EQ(std::string(buffer), profile + "\\Desktop");
  // A missing folder is made only when asked; the buffer is untouched otherwise.
  std::strcpy(buffer, "untouched");
  EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_APPDATA, FALSE));
  EXPECT_STREQ(buffer, "untouched");
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_APPDATA | CSIDL_FLAG_CREATE, FALSE));
  EXPECT_EQ(std::string(buffer), profile + "\\AppData\\Roaming");
  EXPECT_NE(GetFileAttributesA(buffer) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, buffer, 0x0026 /* CSIDL_PROGRAM_FILES */, TRUE));
}

TEST(ShellNotifyTest, EachCallIsOneRecordLine) {
  txtest::TempMachine machine;
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH, nullptr, nullptr);
  SHChangeNotify(SHCNE_CREATE, SHCNF_PATHA, "C:\\a.txt", nullptr);
  std::ifstream in(platform::Machine::current().run_dir() + "/shell-notifications.log");
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(),
            "SHChangeNotify event=0x08000000 flags=0x1000\n"
            "SHChangeNotify event=0x00000002 flags=0x0001 item1=C:\\a.txt\n");
}

}  // namespace
