// A certificate authority made for one test with the real openssl command, and a server
// certificate it signs for one host name.
#pragma once

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/process.h"

namespace txtest {

class TestCa {
 public:
  // Writes ca.pem, server.pem and server.key into `folder` (which must exist).
  TestCa(const std::string& folder, const std::string& host) : folder_(folder) {
    std::ofstream(folder + "/ext.cnf") << "subjectAltName=DNS:" << host << "\n"
                                       << "basicConstraints=CA:FALSE\n";
    run({"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
         "-keyout", folder + "/ca.key", "-out", ca_pem(), "-days", "2", "-subj", "/CN=Test CA " + host,
         "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign"});
    run({"/usr/bin/openssl", "req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
         server_key(), "-out", folder + "/server.csr", "-subj", "/CN=" + host});
    run({"/usr/bin/openssl", "x509", "-req", "-in", folder + "/server.csr", "-CA", ca_pem(), "-CAkey", folder + "/ca.key",
         "-CAcreateserial", "-out", server_pem(), "-days", "2", "-extfile", folder + "/ext.cnf"});
  }

  std::string ca_pem() const { return folder_ + "/ca.pem"; }
  std::string server_pem() const { return folder_ + "/server.pem"; }
  std::string server_key() const { return folder_ + "/server.key"; }

 private:
  static void run(const std::vector<std::string>& argv) {
    ProcessResult result = run_process(argv);
    if (result.exit_code != 0) throw std::runtime_error("openssl failed: " + result.output);
  }

  std::string folder_;
};

}  // namespace txtest
