// moto's S3 server without signature checks, holding the log bucket at its virtual host name
// (through the machine's hosts file). For tests of the log upload job, which signs with the
// deployment's credentials: no moto IAM user holds them, so a checking server would refuse
// every upload. Signing itself is tested against the checking server of s3_peer.h.
#pragma once

#include <stdexcept>
#include <string>

#include "logupload/deployment_values.h"
#include "tests/support/find_program.h"
#include "tests/support/process.h"
#include "tests/support/s3_peer.h"
#include "tests/support/temp_machine.h"

namespace txtest {

class OpenS3 {
 public:
  explicit OpenS3(const TempMachine& machine)
      : address_(random_loopback_address()), server_({find_program("moto_server"), "-H", address_, "-p", "80"}, {}) {
    server_.wait_listening(address_, 80);
    // Makes the bucket (and an IAM key that nothing here needs).
    ProcessResult made = script({"setup", endpoint(), LOG_UPLOAD_BUCKET});
    if (made.exit_code != 0) throw std::runtime_error("moto setup: " + made.output);
    map_host(machine, std::string(LOG_UPLOAD_BUCKET) + ".s3.ap-northeast-2.amazonaws.com", address_);
  }

  // The bucket's keys, one a line, in S3's order.
  std::string keys() const { return script({"keys", endpoint(), "any", "any", LOG_UPLOAD_BUCKET}).output; }

  // The names inside the stored zip object (its key as a URL path), one a line, as zipinfo
  // lists them; empty when the object is missing or no archive. The object is left at
  // `scratch`, a host path.
  std::string archive_names(const std::string& key_path, const std::string& scratch) const {
    ProcessResult got = run_process(
        {find_program("curl"), "-s", "-f", "-o", scratch, endpoint() + "/" + LOG_UPLOAD_BUCKET + "/" + key_path});
    if (got.exit_code != 0) return "";
    ProcessResult listed = run_process({find_program("zipinfo"), "-1", scratch});
    return listed.exit_code == 0 ? listed.output : "";
  }

 private:
  std::string endpoint() const { return "http://" + address_ + ":80"; }
  static ProcessResult script(std::vector<std::string> args) {
    args.insert(args.begin(), {find_program("python3"), std::string(TX_SOURCE_DIR) + "/tests/support/moto_s3.py"});
    return run_process(args);
  }

  std::string address_;
  PeerProcess server_;
};

}  // namespace txtest
