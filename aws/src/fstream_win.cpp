// Aws::FStream over a Win32 file handle, opened with the share mode of the C runtime's
// fstream (_SH_DENYNO: read and write shared, delete not), as the POSIX side does.
#include "platform/win32.h"

#include <memory>
#include <vector>

#include "aws/core/utils/memory/stl/AWSStreamFwd.h"

namespace Aws {

namespace {

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using ScopedFileHandle = std::unique_ptr<void, HandleCloser>;

class FileReadBuffer : public std::streambuf {
 public:
  explicit FileReadBuffer(ScopedFileHandle file) : file_(std::move(file)), buffer_(kBufferSize) {}

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    DWORD got = 0;
    if (!ReadFile(file_.get(), buffer_.data(), static_cast<DWORD>(buffer_.size()), &got, nullptr) || got == 0) {
      return traits_type::eof();
    }
    setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
    return traits_type::to_int_type(*gptr());
  }

  pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) override {
    if (!(which & std::ios_base::in)) return pos_type(off_type(-1));
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    DWORD method = FILE_BEGIN;
    if (direction == std::ios_base::cur) {
      // The file is ahead of the reader by what is still buffered.
      distance.QuadPart -= egptr() - gptr();
      method = FILE_CURRENT;
    } else if (direction == std::ios_base::end) {
      method = FILE_END;
    }
    LARGE_INTEGER position;
    if (!SetFilePointerEx(file_.get(), distance, &position, method)) return pos_type(off_type(-1));
    setg(buffer_.data(), buffer_.data(), buffer_.data());
    return pos_type(static_cast<off_type>(position.QuadPart));
  }

  pos_type seekpos(pos_type position, std::ios_base::openmode which) override {
    return seekoff(off_type(position), std::ios_base::beg, which);
  }

 private:
  static constexpr std::size_t kBufferSize = 256 * 1024;

  ScopedFileHandle file_;
  std::vector<char> buffer_;
};

}  // namespace

FStream::FStream() : std::iostream(nullptr) {}

FStream::FStream(const char* path, std::ios_base::openmode mode) : FStream() { open(path ? path : "", mode); }

FStream::FStream(const std::string& path, std::ios_base::openmode mode) : FStream() { open(path, mode); }

FStream::~FStream() = default;

void FStream::open(const std::string& path, std::ios_base::openmode mode) {
  path_ = path;
  if (buffer_ || !(mode & std::ios_base::in) || (mode & (std::ios_base::out | std::ios_base::app | std::ios_base::trunc))) {
    setstate(std::ios_base::failbit);
    return;
  }
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    setstate(std::ios_base::failbit);
    return;
  }
  buffer_ = std::make_unique<FileReadBuffer>(ScopedFileHandle(file));
  rdbuf(buffer_.get());
  clear();
  if (mode & std::ios_base::ate) seekg(0, std::ios_base::end);
}

bool FStream::is_open() const { return buffer_ != nullptr; }

void FStream::close() {
  if (!buffer_) {
    setstate(std::ios_base::failbit);
    return;
  }
  rdbuf(nullptr);
  buffer_.reset();
}

}  // namespace Aws
