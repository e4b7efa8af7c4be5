// Shortcut provisioning end to end: CreateDesktopShortcuts against an HTTPS download host on
// loopback (the machine's hosts file names it, its test CA is trusted), with the shortcuts read
// back by lnkinfo and as INI text, the icon by an independent reader, and the shell
// notifications from the machine's record of them. The controller's resources are linked into
// this program (tests/CMakeLists.txt), so ExtractResourceToFile finds BINARY 139.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "actions/deployment_values.h"
#include "actions/shortcuts.h"
#include "common/log_writer.h"
#include "platform/curl_library.h"
#include "platform/machine.h"
#include "platform/path_map.h"
#include "platform/win32.h"
#include "tests/support/announcing_peer.h"
#include "tests/support/loopback.h"
#include "tests/support/mapped_library.h"
#include "tests/support/process.h"
#include "tests/support/temp_machine.h"
#include "tests/support/test_ca.h"

namespace {

const char kProgram[] = R"(C:\talvex\bin\TeamViewerQS.exe)";
const char kFavicon[] = R"(C:\talvex\bin\favicon.ico)";
// "탈벡스  원격지원.lnk" and "탈벡스 병원관리자.url" in code page 949.
const char kLinkName[] = "\xC5\xBB\xBA\xA4\xBD\xBA  \xBF\xF8\xB0\xDD\xC1\xF6\xBF\xF8.lnk";
const char kWebName[] = "\xC5\xBB\xBA\xA4\xBD\xBA \xBA\xB4\xBF\xF8\xB0\xFC\xB8\xAE\xC0\xDA.url";
const char kAssocChanged[] = "SHChangeNotify event=0x08000000 flags=0x1000\n";

std::string read_bytes(const std::string& host_path) {
  std::ifstream in(host_path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

int count(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

// tests/actions/deploy_peer.py on port 443 of its own loopback address.
class DeployPeer {
 public:
  DeployPeer(const std::string& address, const txtest::TestCa& ca, const std::string& object,
             const std::string& requests)
      : process_({"/usr/bin/python3", std::string(TX_SOURCE_DIR) + "/tests/actions/deploy_peer.py", "--host", address,
                  "--cert", ca.server_pem(), "--key", ca.server_key(), "--object", object, "--requests", requests}) {
    if (process_.first_line() != "ready") throw std::runtime_error("deploy_peer.py did not start (port 443 needs root)");
  }

 private:
  txtest::AnnouncingPeer process_;
};

class ShortcutProvisioning : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(machine_.host(R"(C:\talvex\log)"));
    std::filesystem::create_directories(machine_.host(R"(C:\talvex\bin)"));
    std::strcpy(g_szLogFolder, R"(C:\talvex\log)");
    g_szLogPrefix[0] = '\0';
    g_nLogLevel = LOG_LEVEL_DEFAULT;
    address_ = txtest::random_loopback_address();
    txtest::map_host(machine_, g_szDownloadHost, address_);
    std::filesystem::create_directories(machine_.root() + "/pki");
    ca_ = std::make_unique<txtest::TestCa>(machine_.root() + "/pki", g_szDownloadHost);
    std::filesystem::create_directories(machine_.root() + "/certs");
    std::filesystem::copy_file(ca_->ca_pem(), machine_.root() + "/certs/test-ca.pem");
    object_ = machine_.root() + "/pki/TeamViewerQS.exe";
    requests_ = machine_.root() + "/pki/requests.log";
  }

  void serve(const std::string& bytes) {
    std::ofstream(object_, std::ios::binary) << bytes;
    start_peer();
  }
  void start_peer() { peer_ = std::make_unique<DeployPeer>(address_, *ca_, object_, requests_); }
  int fetches() const { return count(read_bytes(requests_), "/V3+Deploy/TeamViewerQS.exe "); }

  std::string desktop() const { return platform::Machine::current().user_profile() + "\\Desktop"; }
  std::string link() const { return desktop() + "\\" + kLinkName; }
  std::string web() const { return desktop() + "\\" + kWebName; }
  // Host path of a Windows path whose names may be code page 949 text.
  std::string host(const std::string& windows_path) const {
    DWORD error = 0;
    return platform::host_path(windows_path, &error).value_or("");
  }
  bool exists(const std::string& windows_path) const { return std::filesystem::exists(host(windows_path)); }
  std::string day_log() const {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char name[32];
    std::snprintf(name, sizeof name, R"(C:\talvex\log\Log_%02d.log)", now.wDay);
    return machine_.read_file(name);
  }
  std::string notifications() const {
    return read_bytes(platform::Machine::current().run_dir() + "/shell-notifications.log");
  }
  static std::string favicon_resource() { return read_bytes(std::string(TX_SOURCE_DIR) + "/res/favicon.ico"); }

  void expect_link_to_program() const {
    txtest::ProcessResult info = txtest::run_process({"/usr/bin/lnkinfo", host(link())});
    ASSERT_EQ(info.exit_code, 0) << info.output;
    EXPECT_NE(info.output.find(std::string("Local path\t\t\t: ") + kProgram + "\n"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("Working directory\t\t: " + desktop() + "\\\n"), std::string::npos) << info.output;
    EXPECT_EQ(info.output.find("Icon location"), std::string::npos) << info.output;
  }

  txtest::TempMachine machine_;
  std::string address_;
  std::unique_ptr<txtest::TestCa> ca_;
  std::string object_;
  std::string requests_;
  std::unique_ptr<DeployPeer> peer_;
};

TEST_F(ShortcutProvisioning, FreshMachine) {
  const std::string program(70000, '\x5A');
  serve(program);
  CreateDesktopShortcuts();

  EXPECT_EQ(machine_.read_file(kProgram), program);
  EXPECT_EQ(fetches(), 1);
  // The controller idles after this; the download's Internet library is gone with its session.
  EXPECT_EQ(txtest::library_mapped("libcurl.so"), !platform::kCurlUnloads);
  const std::string log = day_log();
  EXPECT_NE(log.find(std::string("[_ThreadProc]Start Create ShortCut[") + kProgram + "][0xFFFFFFFF]"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find(std::string("[_ThreadProc]Create Shortcut Result[1] Err[")), std::string::npos) << log;
  EXPECT_NE(log.find(std::string("Src[") + kProgram + "] Dst[" + link() + "]"), std::string::npos) << log;
  expect_link_to_program();

  const std::string web_url = std::string("https://") + g_szWebHost + "/hospital";
  EXPECT_EQ(read_bytes(host(web())), "[InternetShortcut]\r\nURL=" + web_url + "\r\nWorkingDirectory=" + desktop() +
                                         "\\\r\nIconFile=" + kFavicon + "\r\nIconIndex=0\r\n");
  // The number is the last error after the save, which Windows does not document for it.
  EXPECT_NE(log.find("[_ThreadProc]Create Shortcut["), std::string::npos) << log;
  EXPECT_NE(log.find("] Src[" + web_url + "] Dst[" + web_url + "/login]"), std::string::npos) << log;

  // The icon file is the resource byte for byte, and an independent reader finds the layout.
  const std::string icon = machine_.read_file(kFavicon);
  EXPECT_EQ(icon, favicon_resource());
  txtest::ProcessResult ico = txtest::run_process(
      {"/usr/bin/python3", std::string(TX_SOURCE_DIR) + "/tests/platform/read_ico.py", machine_.host(kFavicon)});
  EXPECT_EQ(ico.output,
            "file=16958 entry=64x64 colours=0 reserved=0 planes=0 bits=32 size=16936 offset=22 header=40 "
            "bitmap=64x128 planes=1 bits=32 compression=0 image=16384 ppm=2835x2835 mask=512\n");

  EXPECT_EQ(notifications(), kAssocChanged);
  EXPECT_EQ(count(log, "ERR"), 0) << log;
}

// At the next start the link is deleted and written anew; the web shortcut and the icon,
// changed here by hand, are left as they are.
TEST_F(ShortcutProvisioning, SecondStartReplacesOnlyTheLink) {
  serve("program");
  CreateDesktopShortcuts();
  std::ofstream(host(link()), std::ios::binary) << "not a link";
  std::ofstream(host(web()), std::ios::binary) << "[InternetShortcut]\r\nURL=https://edited.test/\r\n";
  machine_.write_file(kFavicon, "edited icon");

  CreateDesktopShortcuts();
  const std::string log = day_log();
  EXPECT_EQ(count(log, "[_ThreadProc]Start Create ShortCut["), 2) << log;
  EXPECT_EQ(count(log, "][0xFFFFFFFF]"), 1) << log;  // the program was found the second time
  EXPECT_EQ(count(log, "[_ThreadProc]Create Shortcut Result[1]"), 2) << log;
  EXPECT_EQ(count(log, "[_ThreadProc]Create Shortcut["), 1) << log;
  expect_link_to_program();
  EXPECT_EQ(read_bytes(host(web())), "[InternetShortcut]\r\nURL=https://edited.test/\r\n");
  EXPECT_EQ(machine_.read_file(kFavicon), "edited icon");
  EXPECT_EQ(fetches(), 1);
  EXPECT_EQ(notifications(), std::string(kAssocChanged) + kAssocChanged);
}

TEST_F(ShortcutProvisioning, DeletedWebShortcutIsMadeAgainWithItsIcon) {
  serve("program");
  CreateDesktopShortcuts();
  std::filesystem::remove(host(web()));
  machine_.write_file(kFavicon, "stale icon");

  CreateDesktopShortcuts();
  EXPECT_TRUE(exists(web()));
  EXPECT_EQ(machine_.read_file(kFavicon), favicon_resource());
  EXPECT_EQ(count(day_log(), "[_ThreadProc]Create Shortcut["), 2);
  expect_link_to_program();
}

// Nothing listens at the download host's address: no program, no link and no link result;
// the web shortcut is still made, and its save is what the shell hears about.
TEST_F(ShortcutProvisioning, ServerUnreachable) {
  CreateDesktopShortcuts();
  const std::string log = day_log();
  EXPECT_NE(log.find("][0xFFFFFFFF]"), std::string::npos) << log;
  EXPECT_EQ(log.find("Create Shortcut Result"), std::string::npos) << log;
  EXPECT_FALSE(machine_.exists(kProgram));
  EXPECT_FALSE(exists(link()));
  EXPECT_TRUE(exists(web()));
  EXPECT_EQ(notifications(), kAssocChanged);
}

// A desktop the user may not write: both saves fail and the shell is not told.
TEST_F(ShortcutProvisioning, ReadOnlyDesktop) {
  serve("program");
  ASSERT_EQ(::chmod(host(desktop()).c_str(), 0555), 0);
  CreateDesktopShortcuts();
  const std::string log = day_log();
  EXPECT_EQ(count(log, "IPersistFile::Save Error"), 2) << log;
  EXPECT_EQ(count(log, "[_ThreadProc]Create Shortcut Result[0]"), 1) << log;
  EXPECT_FALSE(exists(link()));
  EXPECT_FALSE(exists(web()));
  EXPECT_FALSE(std::filesystem::exists(platform::Machine::current().run_dir() + "/shell-notifications.log"));
}

// S3 answers a missing object with an error document: nothing is left behind as the program,
// so the next start fetches it again and then makes the link.
TEST_F(ShortcutProvisioning, ErrorDocumentLeavesNoProgramBehind) {
  start_peer();
  CreateDesktopShortcuts();
  EXPECT_FALSE(machine_.exists(kProgram));
  EXPECT_FALSE(exists(link()));
  EXPECT_EQ(day_log().find("Create Shortcut Result"), std::string::npos);

  std::ofstream(object_, std::ios::binary) << "program";
  CreateDesktopShortcuts();
  EXPECT_EQ(fetches(), 2);
  EXPECT_EQ(machine_.read_file(kProgram), "program");
  expect_link_to_program();
}

// The kind comes from the extension's first four characters, compared case-sensitively;
// every other extension gives 0 without a record or a file. Each call balances COM.
TEST_F(ShortcutProvisioning, ExtensionChoosesTheKind) {
  machine_.write_file(kProgram, "program");
  const struct {
    const char* name;
    int result;
  } cases[] = {{"a.txt", 0}, {"a.LNK", 0}, {"a.Url", 0}, {"noextension", 0}, {"a.lnk", 1}, {"a.url", 1}, {"a.lnkx", 1}};
  for (const auto& c : cases) {
    const std::string path = desktop() + "\\" + c.name;
    EXPECT_EQ(CreateShortcut(kProgram, path.c_str(), nullptr, -1), c.result) << c.name;
    EXPECT_EQ(exists(path), c.result == 1) << c.name;
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, &object),
              CO_E_NOTINITIALIZED)
        << c.name;
  }
  EXPECT_EQ(day_log(), "");
}

}  // namespace
