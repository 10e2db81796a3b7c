#include "platform/mapped_file.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX  // std::min and std::max below, not the macros of windows.h
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace talvor::platform {

namespace {
constexpr std::size_t kFirstStep = std::size_t{1} << 20;  // 1 MB
constexpr std::size_t kLargestStep = std::size_t{64} << 20;

// Doubling (up to kLargestStep at a time) keeps remapping rare in a long run without
// reserving much for a short one.
std::size_t GrownSize(std::size_t size, std::size_t needed) {
  size = std::max(size, kFirstStep);
  while (size < needed) size += std::min(size, kLargestStep);
  return size;
}

#ifdef _WIN32
HANDLE AsHandle(std::intptr_t file) {
  return reinterpret_cast<HANDLE>(file);
}

// The system's text for `code`; the line end it comes with would break the one-line messages
// the journal shows.
std::string SystemMessage(DWORD code) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string message =
      n != 0 && text != nullptr ? std::string(text, n) : "error " + std::to_string(code);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

bool SetLength(HANDLE file, std::size_t length) {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(length);
  return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) != 0 && SetEndOfFile(file) != 0;
}

// The mapping object is closed at once: the view holds it open, and growing needs a new one.
char* MapView(HANDLE file, std::size_t length) {
  const auto wide = static_cast<std::uint64_t>(length);
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READWRITE, static_cast<DWORD>(wide >> 32),
                                      static_cast<DWORD>(wide & 0xFFFFFFFFu), nullptr);
  if (mapping == nullptr) return nullptr;
  void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, length);
  const DWORD error = GetLastError();
  CloseHandle(mapping);
  SetLastError(error);
  return static_cast<char*>(view);
}
#endif
}  // namespace

MappedAppender::~MappedAppender() {
  Close();
}

bool MappedAppender::Append(std::string_view bytes) {
  if (!IsOpen()) return false;
  if (used_ + bytes.size() > size_ && !Grow(used_ + bytes.size())) return false;
  // Only on Windows can a failed grow leave no view (see Grow).
  if (base_ == nullptr) return false;
  std::memcpy(base_ + used_, bytes.data(), bytes.size());
  used_ += bytes.size();
  return true;
}

#ifdef _WIN32

bool MappedAppender::Create(const std::filesystem::path& path, std::string* error) {
  // A read-write mapping needs read access too. Sharing reading and deleting lets a reader
  // look at a running journal and its folder be removed, as on POSIX systems; the handle is
  // not inherited by child processes.
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = "Cannot create " + path.string() + ": " + SystemMessage(GetLastError());
    return false;
  }
  file_ = reinterpret_cast<std::intptr_t>(file);
  if (!Grow(kFirstStep)) {
    *error = "Cannot reserve room for " + path.string() + ": " + SystemMessage(GetLastError());
    CloseHandle(file);
    file_ = kNoFile;
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return false;
  }
  return true;
}

bool MappedAppender::Grow(std::size_t needed) {
  const std::size_t size = GrownSize(size_, needed);
  if (size == size_ && base_ != nullptr) return true;
  HANDLE file = AsHandle(file_);
  // Windows does not change the length of a file while a view of it is mapped. Unmapping
  // loses nothing: the written pages stay in the system's cache of the file.
  if (base_ != nullptr && UnmapViewOfFile(base_) == 0) return false;
  base_ = nullptr;
  // Setting the end of file allocates it on disk, so a full disk fails here.
  const bool grown = SetLength(file, size);
  const DWORD error = GetLastError();
  if (grown) size_ = size;
  // When the file could not grow, the room it had is mapped again, so that a shorter append
  // still fits as it does on POSIX systems.
  if (size_ > 0) base_ = MapView(file, size_);
  if (!grown) SetLastError(error);
  return grown && base_ != nullptr;
}

bool MappedAppender::Close() {
  if (!IsOpen()) return true;
  HANDLE file = AsHandle(file_);
  bool ok = base_ == nullptr || UnmapViewOfFile(base_) != 0;
  base_ = nullptr;
  ok = SetLength(file, used_) && ok;
  ok = CloseHandle(file) != 0 && ok;
  file_ = kNoFile;
  size_ = used_ = 0;
  return ok;
}

#else

bool MappedAppender::Create(const std::filesystem::path& path, std::string* error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = "Cannot create " + path.string() + ": " + std::strerror(errno);
    return false;
  }
  file_ = fd;
  if (!Grow(kFirstStep)) {
    *error = "Cannot reserve room for " + path.string() + ": " + std::strerror(errno);
    ::close(fd);
    file_ = kNoFile;
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return false;
  }
  return true;
}

bool MappedAppender::Grow(std::size_t needed) {
  const std::size_t size = GrownSize(size_, needed);
  if (size == size_) return true;
  const int fd = static_cast<int>(file_);
  const int rc = ::posix_fallocate(fd, static_cast<off_t>(size_), static_cast<off_t>(size - size_));
  if (rc != 0) {
    errno = rc;
    return false;
  }
  void* mapped = base_ == nullptr ? ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                                  : ::mremap(base_, size_, size, MREMAP_MAYMOVE);
  if (mapped == MAP_FAILED) return false;
  base_ = static_cast<char*>(mapped);
  size_ = size;
  return true;
}

bool MappedAppender::Close() {
  if (!IsOpen()) return true;
  const int fd = static_cast<int>(file_);
  bool ok = true;
  if (base_ != nullptr) ok = ::munmap(base_, size_) == 0;
  base_ = nullptr;
  ok = ::ftruncate(fd, static_cast<off_t>(used_)) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  file_ = kNoFile;
  size_ = used_ = 0;
  return ok;
}

#endif

}  // namespace talvor::platform
