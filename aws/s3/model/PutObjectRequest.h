// Aws::S3::Model::PutObjectRequest: one object to store, with its body stream.
//
// Offered: bucket, key, canned ACL, content type (the SDK's default "binary/octet-stream")
// and the body, each with Set and the fluent With form. The request shares ownership of the
// body; the body is read from its start.
#pragma once

#include <memory>

#include "aws/core/utils/memory/stl/AWSStreamFwd.h"
#include "aws/core/utils/memory/stl/AWSString.h"
#include "aws/s3/model/ObjectCannedACL.h"

namespace Aws {
namespace S3 {
namespace Model {

class PutObjectRequest {
 public:
  const Aws::String& GetBucket() const { return m_bucket; }
  void SetBucket(const Aws::String& value) { m_bucket = value; }
  PutObjectRequest& WithBucket(const Aws::String& value) {
    SetBucket(value);
    return *this;
  }

  const Aws::String& GetKey() const { return m_key; }
  void SetKey(const Aws::String& value) { m_key = value; }
  PutObjectRequest& WithKey(const Aws::String& value) {
    SetKey(value);
    return *this;
  }

  ObjectCannedACL GetACL() const { return m_acl; }
  void SetACL(ObjectCannedACL value) { m_acl = value; }
  PutObjectRequest& WithACL(ObjectCannedACL value) {
    SetACL(value);
    return *this;
  }

  const Aws::String& GetContentType() const { return m_contentType; }
  void SetContentType(const Aws::String& value) { m_contentType = value; }
  PutObjectRequest& WithContentType(const Aws::String& value) {
    SetContentType(value);
    return *this;
  }

  const std::shared_ptr<Aws::IOStream>& GetBody() const { return m_body; }
  void SetBody(const std::shared_ptr<Aws::IOStream>& body) { m_body = body; }

 private:
  Aws::String m_bucket;
  Aws::String m_key;
  ObjectCannedACL m_acl = ObjectCannedACL::NOT_SET;
  Aws::String m_contentType = "binary/octet-stream";
  std::shared_ptr<Aws::IOStream> m_body;
};

}  // namespace Model
}  // namespace S3
}  // namespace Aws
