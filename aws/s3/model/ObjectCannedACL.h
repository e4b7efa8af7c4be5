// Aws::S3::Model::ObjectCannedACL: the canned access controls S3 accepts in x-amz-acl.
#pragma once

#include "aws/core/utils/memory/stl/AWSString.h"

namespace Aws {
namespace S3 {
namespace Model {

enum class ObjectCannedACL {
  NOT_SET,
  private_,
  public_read,
  public_read_write,
  authenticated_read,
  aws_exec_read,
  bucket_owner_read,
  bucket_owner_full_control
};

namespace ObjectCannedACLMapper {
// The header value ("public-read" ...); empty for NOT_SET.
Aws::String GetNameForObjectCannedACL(ObjectCannedACL value);
}  // namespace ObjectCannedACLMapper

}  // namespace Model
}  // namespace S3
}  // namespace Aws
