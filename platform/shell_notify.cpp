// shell32 change notification, recorded in the machine folder for whoever wants to know.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/codepage.h"
#include "platform/machine.h"
#include "platform/scoped_handle.h"
#include "platform/shell.h"

namespace {

std::string item_text(UINT type, LPCVOID item) {
  if (type == SHCNF_PATHA) return platform::ansi_to_utf8(static_cast<LPCSTR>(item));
  return platform::utf16_to_utf8(static_cast<LPCWSTR>(item));
}

}  // namespace

void SHChangeNotify(LONG wEventId, UINT uFlags, LPCVOID dwItem1, LPCVOID dwItem2) {
  char head[64];
  std::snprintf(head, sizeof head, "SHChangeNotify event=0x%08X flags=0x%04X", static_cast<unsigned>(wEventId),
                static_cast<unsigned>(uFlags));
  std::string line = head;
  const UINT type = uFlags & SHCNF_TYPE;
  if (type == SHCNF_PATHA || type == SHCNF_PATHW) {
    if (dwItem1) line += " item1=" + item_text(type, dwItem1);
    if (dwItem2) line += " item2=" + item_text(type, dwItem2);
  }
  line += '\n';
  const std::string record = platform::Machine::current().run_dir() + "/shell-notifications.log";
  // One write of the whole line to a file opened for appending keeps lines of concurrent
  // callers whole.
  platform::ScopedFd fd(::open(record.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
  if (fd) (void)!::write(fd.get(), line.data(), line.size());
}
