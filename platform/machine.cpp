#include "platform/machine.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>

#include "platform/codepage.h"
#include "platform/ini_text.h"

namespace platform {

namespace {

std::string host_user_name() {
  if (const passwd* pw = getpwuid(getuid())) return pw->pw_name;
  if (const char* user = std::getenv("USER")) return user;
  return "user";
}

std::string default_computer_name() {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') return "WORKSTATION";
  std::string name;
  for (const char* p = host; *p && *p != '.' && name.size() < 15; ++p) {
    name += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  }
  return name;
}

void make_dir(const std::string& path, mode_t mode) { ::mkdir(path.c_str(), mode); }

void write_if_missing(const std::string& path, const std::string& text) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return;
  std::ofstream out(path, std::ios::binary);
  out << text;
}

}  // namespace

std::string machine_root_from_environment() {
  if (const char* env = std::getenv("TX_MACHINE"); env && *env) return env;
  const char* home = std::getenv("HOME");
  std::string base = home && *home ? home : (getpwuid(getuid()) ? getpwuid(getuid())->pw_dir : "/tmp");
  return base + "/.txmachine";
}

Machine::Machine(std::string root) : root_(std::move(root)) {
  while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
  settings_.computer_name = default_computer_name();
  settings_.user_name = host_user_name();
  make_dir(root_, 0755);
  read_settings();
  lay_out();
}

void Machine::read_settings() {
  std::ifstream in(settings_file(), std::ios::binary);
  if (!in) return;
  std::stringstream text;
  text << in.rdbuf();
  // machine.ini is read as UTF-8 text: it is the host's file, not a Windows one.
  IniText ini = IniText::parse(text.str(), CP_UTF8);
  if (auto v = ini.value("machine", "computername"); v && !v->empty()) {
    std::string name;
    for (char c : v->substr(0, 15)) name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    settings_.computer_name = name;
  }
  if (auto v = ini.value("machine", "username"); v && !v->empty()) settings_.user_name = *v;
  if (auto v = ini.value("machine", "codepage"); v && !v->empty()) {
    long cp = std::strtol(v->c_str(), nullptr, 10);
    if (cp > 0 && cp < 65536) settings_.code_page = static_cast<UINT>(cp);
  }
  if (auto v = ini.value("machine", "windows64"); v && !v->empty()) settings_.windows64 = *v != "0";
}

void Machine::lay_out() const {
  const std::string c = drive_c();
  make_dir(c, 0755);
  make_dir(c + "/Windows", 0755);
  make_dir(c + "/Windows/System32", 0755);
  make_dir(c + "/Windows/System32/drivers", 0755);
  make_dir(c + "/Windows/System32/drivers/etc", 0755);
  make_dir(c + "/Users", 0755);
  const std::string profile = c + "/Users/" + settings_.user_name;
  make_dir(profile, 0755);
  make_dir(profile + "/Desktop", 0755);
  make_dir(certs_dir(), 0755);
  make_dir(run_dir(), 0700);
  ::chmod(run_dir().c_str(), 0700);
  write_if_missing(settings_file(),
                   "; The emulated machine. Missing keys take their defaults:\r\n"
                   "; computername = the host name in upper case, cut to 15 characters\r\n"
                   "; username = the Linux user's name; codepage = 949; windows64 = 1\r\n"
                   "[machine]\r\n"
                   "codepage=949\r\n"
                   "windows64=1\r\n");
  write_if_missing(registry_hive(), "REGEDIT4\r\n\r\n");
  write_if_missing(c + "/Windows/System32/drivers/etc/hosts",
                   "# Host names of this machine, one \"address name...\" per line.\r\n"
                   "127.0.0.1 localhost\r\n");
}

const Machine& Machine::current() {
  static std::mutex mutex;
  // Machines stay alive for the process: callers keep references across calls.
  static std::map<std::string, std::unique_ptr<Machine>> machines;
  thread_local const Machine* last = nullptr;
  thread_local std::string last_root;

  std::string root = machine_root_from_environment();
  if (last && root == last_root) return *last;

  std::lock_guard lock(mutex);
  auto it = machines.find(root);
  if (it == machines.end()) it = machines.emplace(root, std::make_unique<Machine>(root)).first;
  last = it->second.get();
  last_root = root;
  return *last;
}

}  // namespace platform
