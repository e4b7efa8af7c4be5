#include "aws/s3/model/ObjectCannedACL.h"

namespace Aws {
namespace S3 {
namespace Model {
namespace ObjectCannedACLMapper {

Aws::String GetNameForObjectCannedACL(ObjectCannedACL value) {
  switch (value) {
    case ObjectCannedACL::NOT_SET:
      return {};
    case ObjectCannedACL::private_:
      return "private";
    case ObjectCannedACL::public_read:
      return "public-read";
    case ObjectCannedACL::public_read_write:
      return "public-read-write";
    case ObjectCannedACL::authenticated_read:
      return "authenticated-read";
    case ObjectCannedACL::aws_exec_read:
      return "aws-exec-read";
    case ObjectCannedACL::bucket_owner_read:
      return "bucket-owner-read";
    case ObjectCannedACL::bucket_owner_full_control:
      return "bucket-owner-full-control";
  }
  return {};
}

}  // namespace ObjectCannedACLMapper
}  // namespace Model
}  // namespace S3
}  // namespace Aws
