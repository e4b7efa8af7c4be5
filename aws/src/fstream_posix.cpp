// Aws::FStream over the machine's file layer: the file is named by its Windows path and
// opened with the share mode of the C runtime's fstream (_SH_DENYNO: read and write shared,
// delete not), so that deleting the archive fails while a stream holds it, as on Windows.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "aws/core/utils/memory/stl/AWSStreamFwd.h"
#include "platform/file_open.h"
#include "platform/kernel.h"

namespace Aws {

namespace {

class FileReadBuffer : public std::streambuf {
 public:
  explicit FileReadBuffer(platform::ScopedFd fd) : fd_(std::move(fd)), buffer_(kBufferSize) {}

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    std::size_t got = read_some(buffer_.data(), buffer_.size());
    if (got == 0) return traits_type::eof();
    setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
    return traits_type::to_int_type(*gptr());
  }

  // Large reads bypass the buffer once it is drained, so a body goes from the file to the
  // caller's buffer in one copy.
  std::streamsize xsgetn(char* out, std::streamsize count) override {
    std::streamsize done = 0;
    while (done < count) {
      std::streamsize buffered = egptr() - gptr();
      if (buffered > 0) {
        std::streamsize n = std::min(buffered, count - done);
        std::memcpy(out + done, gptr(), static_cast<std::size_t>(n));
        gbump(static_cast<int>(n));
        done += n;
        continue;
      }
      if (count - done >= static_cast<std::streamsize>(buffer_.size())) {
        std::size_t got = read_some(out + done, static_cast<std::size_t>(count - done));
        if (got == 0) break;
        done += static_cast<std::streamsize>(got);
      } else if (traits_type::eq_int_type(underflow(), traits_type::eof())) {
        break;
      }
    }
    return done;
  }

  pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) override {
    if (!(which & std::ios_base::in)) return pos_type(off_type(-1));
    off_type target = offset;
    if (direction == std::ios_base::cur) {
      off_type file_position = ::lseek(fd_.get(), 0, SEEK_CUR);
      if (file_position < 0) return pos_type(off_type(-1));
      target = file_position - (egptr() - gptr()) + offset;
      direction = std::ios_base::beg;
    }
    off_t result = ::lseek(fd_.get(), static_cast<off_t>(target), direction == std::ios_base::end ? SEEK_END : SEEK_SET);
    if (result < 0) return pos_type(off_type(-1));
    setg(buffer_.data(), buffer_.data(), buffer_.data());
    return pos_type(static_cast<off_type>(result));
  }

  pos_type seekpos(pos_type position, std::ios_base::openmode which) override {
    return seekoff(off_type(position), std::ios_base::beg, which);
  }

 private:
  static constexpr std::size_t kBufferSize = 256 * 1024;

  std::size_t read_some(char* out, std::size_t count) {
    for (;;) {
      ssize_t got = ::read(fd_.get(), out, count);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) return 0;
    }
  }

  platform::ScopedFd fd_;
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
  platform::OpenRequest request;
  request.access = GENERIC_READ;
  request.share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  request.disposition = OPEN_EXISTING;
  DWORD error = 0;
  platform::OpenedFile file = platform::open_windows_file(path, request, &error);
  if (!file.fd) {
    setstate(std::ios_base::failbit);
    return;
  }
  buffer_ = std::make_unique<FileReadBuffer>(std::move(file.fd));
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
