#include "logupload/s3_upload.h"

// Windows' headers first: the SDK's undefine their GetMessage macro, which would otherwise
// rename AWSError::GetMessage below.
#include "platform/win32.h"

#include <cstdio>
#include <memory>
#include <string>

#include "aws/core/Aws.h"
#include "aws/core/auth/AWSCredentials.h"
#include "aws/core/client/ClientConfiguration.h"
#include "aws/core/utils/memory/AWSMemory.h"
#include "aws/core/utils/memory/stl/AWSStreamFwd.h"
#include "aws/s3/S3Client.h"
#include "aws/s3/model/PutObjectRequest.h"
#include "logupload/deployment_values.h"

namespace {

const char kAllocationTag[] = "PutLogArchive";

}  // namespace

void PutLogArchive(const char* accessKeyId, const char* secretKey, const char* objectKey, const char* archivePath) {
  Aws::SDKOptions options;
  Aws::InitAPI(options);
  {
    const char* region = "ap-northeast-2";
    OutputDebugStringA(region);
    OutputDebugStringA(objectKey);
    OutputDebugStringA(archivePath);

    // The scope ends these in the reverse of their construction: outcome, stream reference,
    // request (whose release closes the archive), client, credentials, configuration.
    Aws::Client::ClientConfiguration config;
    config.region = region;
    config.scheme = Aws::Http::Scheme::HTTP;
    config.connectTimeoutMs = 30000;
    config.requestTimeoutMs = 30000;
    config.verifySSL = false;

    Aws::Auth::AWSCredentials credentials(accessKeyId, secretKey, "");
    Aws::S3::S3Client client(credentials, config, Aws::Client::AWSAuthV4Signer::PayloadSigningPolicy::Never, true);

    Aws::S3::Model::PutObjectRequest request;
    request.SetACL(Aws::S3::Model::ObjectCannedACL::public_read);
    request.SetBucket(LOG_UPLOAD_BUCKET);
    request.SetKey(objectKey);
    std::shared_ptr<Aws::IOStream> body =
        Aws::MakeShared<Aws::FStream>(kAllocationTag, archivePath, std::ios_base::in | std::ios_base::binary);
    request.SetBody(body);

    Aws::S3::Model::PutObjectOutcome outcome = client.PutObject(request);
    if (outcome.IsSuccess()) {
      std::printf("Done!\n");
      std::fflush(stdout);
      OutputDebugStringA("upload done");
    } else {
      const Aws::String& name = outcome.GetError().GetExceptionName();
      const Aws::String& message = outcome.GetError().GetMessage();
      std::printf("PutObject error: %s %s\n", name.c_str(), message.c_str());
      std::fflush(stdout);
      OutputDebugStringA(("PutObject error: " + name + message).c_str());
    }
  }
  Aws::ShutdownAPI(options);
}
