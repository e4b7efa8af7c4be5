// The SDK's stream types. Aws::IOStream is the standard iostream, as in the SDK.
//
// Aws::FStream differs from the SDK, where it is std::fstream: here it is a file stream that
// opens its file by Windows path through the machine's file layer (share mode as the C
// runtime's fstream: others may read and write, not delete), so a caller written for the SDK
// on Windows passes the same Windows path and gets the same file. It reads only: opening with
// std::ios_base::out fails, as the upload body is all it carries.
#pragma once

#include <iostream>
#include <memory>
#include <streambuf>
#include <string>

namespace Aws {

using IOStream = std::iostream;

class FStream : public std::iostream {
 public:
  FStream();
  FStream(const char* path, std::ios_base::openmode mode = std::ios_base::in);
  FStream(const std::string& path, std::ios_base::openmode mode = std::ios_base::in);
  ~FStream() override;
  FStream(const FStream&) = delete;
  FStream& operator=(const FStream&) = delete;

  void open(const std::string& path, std::ios_base::openmode mode = std::ios_base::in);
  bool is_open() const;
  void close();
  // The path given to the last open, as given.
  const std::string& path() const { return path_; }

 private:
  std::unique_ptr<std::streambuf> buffer_;
  std::string path_;
};

}  // namespace Aws
