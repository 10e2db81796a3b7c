// MappedAppender: appends to a file through a shared memory mapping. What is appended is in
// the file (the system's page cache) as soon as Append returns, without a system call, and
// stays there if the process is killed the next moment. The journal writes a line per
// change before the change commits; a write(2) per line cost about a tenth of a repair's
// time.
//
// The file grows in steps reserved on disk beforehand (posix_fallocate; on Windows the end of
// file is set), so that a full disk shows as a failed Append instead of a fault on touching
// the mapping. Until Close, the file is longer than what was appended: its tail is zero
// bytes, which a reader of a killed run's file sees as a last line cut off. Close cuts the
// file to what was appended. While the appender is open, other readers may open the file.
// Single-threaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace talvor::platform {

class MappedAppender {
 public:
  MappedAppender() = default;
  ~MappedAppender();
  MappedAppender(const MappedAppender&) = delete;
  MappedAppender& operator=(const MappedAppender&) = delete;

  // Creates `path` (it must not exist). False with *error naming the file otherwise.
  bool Create(const std::filesystem::path& path, std::string* error);
  // False when the file could not grow (the disk is full): nothing of `bytes` was appended.
  bool Append(std::string_view bytes);
  // Cuts the file to what was appended and closes it; false when that failed.
  bool Close();
  bool IsOpen() const { return file_ != kNoFile; }

 private:
  // -1 is both an invalid descriptor and Windows' INVALID_HANDLE_VALUE.
  static constexpr std::intptr_t kNoFile = -1;

  bool Grow(std::size_t needed);

  // The open file: a descriptor on POSIX systems, a HANDLE on Windows, so that this header
  // includes neither system's headers.
  std::intptr_t file_ = kNoFile;
  char* base_ = nullptr;
  std::size_t size_ = 0;  // the file's (and the mapping's) length
  std::size_t used_ = 0;  // bytes appended
};

}  // namespace talvor::platform
