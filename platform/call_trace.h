// The file behind the call traces of the storage layers (legacy/engine_trace.h,
// sqldb/sql_trace.h): a record of every call a layer made, in order, for a benchmark to
// replay on bare SQLite. Each trace names what its fields mean; the file is the same.
//
// Format (native byte order; only read back on the machine that wrote it): the trace's magic
// line, then entries of
//   u8 op, i32 a, i32 b, i32 c, i32 d, u32 n, n bytes
// Written through a 1 MB buffer, flushed when it fills and when the writer is destroyed, so
// a process killed meanwhile leaves a trace cut at an entry boundary or within the last
// entry; the reader drops a cut last entry.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace talvor {

struct CallTraceEntry {
  std::uint8_t op = 0;
  int a = 0;
  int b = 0;
  int c = 0;
  int d = 0;
  std::string bytes;
};

// Owns the trace file being written.
class CallTraceWriter {
 public:
  // Creates `path` anew and writes `magic` (a line, its newline included). An empty writer
  // (false) with *error naming `what` ("engine trace", read after "the" and "an") and the
  // path when it cannot.
  static CallTraceWriter Create(const std::filesystem::path& path, std::string_view magic,
                                std::string_view what, std::string* error);
  CallTraceWriter() = default;
  ~CallTraceWriter();
  CallTraceWriter(CallTraceWriter&& other) noexcept;
  CallTraceWriter& operator=(CallTraceWriter&& other) noexcept;
  CallTraceWriter(const CallTraceWriter&) = delete;
  CallTraceWriter& operator=(const CallTraceWriter&) = delete;

  explicit operator bool() const { return file_ != nullptr; }
  void Add(std::uint8_t op, int a, int b, int c, int d, std::string_view bytes);
  // Writes what is buffered; the file stays open.
  void Flush();

 private:
  void Close();
  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;
};

// Reads a whole trace whose first line is `magic` and whose ops are 1 to `lastOp`, handing
// each entry to `each` in order (which may take its bytes); false with *error naming `what`,
// the file and where, when the file cannot be read, does not start as such a trace or holds
// an unknown op. A cut last entry is dropped.
bool ReadCallTrace(const std::filesystem::path& path, std::string_view magic, std::string_view what,
                   std::uint8_t lastOp, const std::function<void(CallTraceEntry&)>& each,
                   std::string* error);
// The same, into `entries` (cleared first).
bool ReadCallTrace(const std::filesystem::path& path, std::string_view magic, std::string_view what,
                   std::uint8_t lastOp, std::vector<CallTraceEntry>* entries, std::string* error);

}  // namespace talvor
