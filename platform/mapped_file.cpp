#include "platform/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace talvor::journal {

namespace {
constexpr std::size_t kFirstStep = std::size_t{1} << 20;  // 1 MB
constexpr std::size_t kLargestStep = std::size_t{64} << 20;
}  // namespace

MappedAppender::~MappedAppender() {
  Close();
}

bool MappedAppender::Create(const std::filesystem::path& path, std::string* error) {
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    *error = "Cannot create " + path.string() + ": " + std::strerror(errno);
    return false;
  }
  if (!Grow(kFirstStep)) {
    *error = "Cannot reserve room for " + path.string() + ": " + std::strerror(errno);
    ::close(fd_);
    fd_ = -1;
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return false;
  }
  return true;
}

bool MappedAppender::Grow(std::size_t needed) {
  std::size_t size = std::max(size_, kFirstStep);
  while (size < needed) size += std::min(size, kLargestStep);
  if (size == size_) return true;
  const int rc =
      ::posix_fallocate(fd_, static_cast<off_t>(size_), static_cast<off_t>(size - size_));
  if (rc != 0) {
    errno = rc;
    return false;
  }
  void* mapped = base_ == nullptr
                     ? ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0)
                     : ::mremap(base_, size_, size, MREMAP_MAYMOVE);
  if (mapped == MAP_FAILED) return false;
  base_ = static_cast<char*>(mapped);
  size_ = size;
  return true;
}

bool MappedAppender::Append(std::string_view bytes) {
  if (fd_ < 0) return false;
  if (used_ + bytes.size() > size_ && !Grow(used_ + bytes.size())) return false;
  std::memcpy(base_ + used_, bytes.data(), bytes.size());
  used_ += bytes.size();
  return true;
}

bool MappedAppender::Close() {
  if (fd_ < 0) return true;
  bool ok = true;
  if (base_ != nullptr) ok = ::munmap(base_, size_) == 0;
  base_ = nullptr;
  ok = ::ftruncate(fd_, static_cast<off_t>(used_)) == 0 && ok;
  ok = ::close(fd_) == 0 && ok;
  fd_ = -1;
  size_ = used_ = 0;
  return ok;
}

}  // namespace talvor::journal
