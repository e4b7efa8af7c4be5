// PutLogArchive end to end against moto's S3 server with signature checks on, reached at the
// log bucket's virtual host name through the machine's hosts file.
#include "logupload/s3_upload.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "logupload/deployment_values.h"
#include "platform/win32.h"
#include "tests/support/s3_peer.h"
#include "tests/support/temp_machine.h"

namespace {

const char kArchive[] = "C:\\talvex\\bulogzip.zip";

std::string debug_channel(const txtest::TempMachine& machine) {
  std::ifstream in(machine.root() + "/debug.log", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Standard output of one call, and what the call added to the debugger channel.
struct Upload {
  std::string out;
  std::string debug;
};

Upload put(const txtest::TempMachine& machine, const std::string& key_id, const std::string& secret,
           const std::string& key) {
  std::string before = debug_channel(machine);
  testing::internal::CaptureStdout();
  PutLogArchive(key_id.c_str(), secret.c_str(), key.c_str(), kArchive);
  Upload upload;
  upload.out = testing::internal::GetCapturedStdout();
  upload.debug = debug_channel(machine).substr(before.size());
  return upload;
}

// A few MiB of every byte value, so the body goes in many pieces and through
// "Expect: 100-continue".
std::string archive_bytes() {
  std::string bytes;
  for (int i = 0; i < 3 * 1024 * 1024 + 17; ++i) bytes += static_cast<char>((i * 131) >> 3);
  return bytes;
}

class PutLogArchiveTest : public testing::Test {
 protected:
  txtest::TempMachine machine_;
  txtest::MotoS3 moto_{machine_, LOG_UPLOAD_BUCKET};
};

TEST_F(PutLogArchiveTest, StoresThePublicArchiveAndReportsDoneOnce) {
  const std::string bytes = archive_bytes();
  machine_.write_file(kArchive, bytes);
  // The job's key shape, and a computer name with a space and '~'. moto's signature check
  // itself fails on two shapes that S3 takes, for botocore's requests as for ours, so the
  // signing tests cover them instead: a '%' in the key, and a leading '/' (the path "//KEY",
  // which moto's server reads as a host name).
  const std::string keys[] = {"66660001/OFFICE-PC3_03030.zip", "66660001/PC 9~A_-0007.zip"};
  for (const std::string& key : keys) {
    Upload upload = put(machine_, moto_.key_id(), moto_.secret(), key);
    EXPECT_EQ(upload.out, "Done!\n") << key;
    EXPECT_EQ(upload.debug, "ap-northeast-2\n" + key + "\n" + kArchive + "\nupload done\n") << key;
    EXPECT_EQ(moto_.head(key), "binary/octet-stream\n" + std::to_string(bytes.size()) + "\npublic-read\n") << key;
    // The archive is closed again: the caller can delete it.
    EXPECT_TRUE(DeleteFileA(kArchive)) << GetLastError();
    machine_.write_file(kArchive, bytes);
  }
}

TEST_F(PutLogArchiveTest, WrongSecretReportsSignatureDoesNotMatch) {
  machine_.write_file(kArchive, "PK\x05\x06 small archive");
  Upload upload = put(machine_, moto_.key_id(), moto_.secret() + "x", "66660001/OFFICE-PC3_03030.zip");

  const std::string head = "PutObject error: SignatureDoesNotMatch ";
  ASSERT_EQ(upload.out.rfind(head, 0), 0u) << upload.out;
  ASSERT_EQ(upload.out.back(), '\n');
  std::string message = upload.out.substr(head.size(), upload.out.size() - head.size() - 1);
  EXPECT_FALSE(message.empty());
  EXPECT_NE(upload.debug.find("\nPutObject error: SignatureDoesNotMatch" + message + "\n"), std::string::npos)
      << upload.debug;
  EXPECT_EQ(upload.debug.find("upload done"), std::string::npos);
  EXPECT_EQ(moto_.keys(), "");
  EXPECT_TRUE(DeleteFileA(kArchive));
}

// Our choice where the SDK leaves the outcome undefined: nothing is sent for a body that did
// not open, and the failure names the file.
TEST_F(PutLogArchiveTest, MissingArchiveSendsNothing) {
  Upload upload = put(machine_, moto_.key_id(), moto_.secret(), "66660001/OFFICE-PC3_03030.zip");

  const std::string message = std::string("The request body cannot be read: cannot open ") + kArchive;
  EXPECT_EQ(upload.out, "PutObject error: MissingBody " + message + "\n");
  EXPECT_NE(upload.debug.find("\nPutObject error: MissingBody" + message + "\n"), std::string::npos) << upload.debug;
  EXPECT_EQ(moto_.keys(), "");
}

}  // namespace
