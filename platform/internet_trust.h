// The certificate authorities an HTTPS request trusts: the system's store, plus the PEM files
// of the machine's certs folder (as certificates an administrator added to the Windows store).
#pragma once

#include <string>

namespace platform {

// The system bundle at `system_bundle` followed by every certs/*.pem of the machine, as one
// PEM text; empty when the machine adds no certificate (the system store alone applies).
std::string machine_ca_bundle(const std::string& system_bundle);

}  // namespace platform
