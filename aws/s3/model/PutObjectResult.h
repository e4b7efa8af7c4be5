// Aws::S3::Model::PutObjectResult: what S3 answers to a stored object (its ETag).
#pragma once

#include "aws/core/utils/memory/stl/AWSString.h"

namespace Aws {
namespace S3 {
namespace Model {

class PutObjectResult {
 public:
  const Aws::String& GetETag() const { return m_eTag; }
  void SetETag(const Aws::String& value) { m_eTag = value; }

 private:
  Aws::String m_eTag;
};

}  // namespace Model
}  // namespace S3
}  // namespace Aws
