// A machine folder of the fuzz process's own, for targets whose parser reads files or talks
// to windows: made in the temporary directory on first use, named by TX_MACHINE, and removed
// when the process ends normally (a crashing run leaves it for inspection).
#pragma once

#include <string>

namespace txfuzz {

// The folder, made and selected on the first call.
const std::string& machine_root();

// Host path of a file directly in drive C (a name without folders).
std::string drive_c_file(const std::string& name);

// Replaces the file's content.
void write_host_file(const std::string& path, const void* data, std::size_t size);

}  // namespace txfuzz
