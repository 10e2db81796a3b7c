// The engine's call trace: every btr* call of a process, in order, with its arguments and
// the status it returned, so that a benchmark can replay the same calls on bare SQLite and
// tell how far the engine is from the cost of the accesses themselves.
//
// Off unless the environment variable TALVOR_ENGINE_TRACE names a file when the engine is
// first used; then the file is created anew and every call appends one entry. Written
// through a buffer and flushed when it fills and when the process ends (or the writer is
// destroyed), so a process killed meanwhile leaves a trace cut at an entry boundary or
// within the last one; the reader stops there.
//
// Format (platform/call_trace.h; native byte order, only read back on the machine that wrote
// it): the line kEngineTraceMagic, then entries of
//   u8 op, i32 handle, i32 key number, i32 status, i32 length given, u32 n, n bytes
// where the bytes are: for kOpen the file's canonical path on success (else the path as
// given), for kEqual/kGreater/kLess the key text up to its NUL (the engine pads or cuts
// it to the key's length), for kInsert/kUpdate the record given (none when the handle
// had no file or the buffer was short); else none. "length" is the caller's *length after
// the call (0 where the call takes none). Tracing costs the untraced calls one branch.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/call_trace.h"

namespace talvor {

inline constexpr std::string_view kEngineTraceMagic = "talvor engine trace 1\n";
inline constexpr const char* kEngineTraceVariable = "TALVOR_ENGINE_TRACE";

enum class TraceOp : std::uint8_t {
  kNewHandle = 1,
  kOpen,
  kEqual,
  kGreater,
  kLess,
  kFirst,
  kLast,
  kNext,
  kPrevious,
  kInsert,
  kUpdate,
  kDelete,
  kClose,
  kDestroy,
};

struct TraceEntry {
  TraceOp op = TraceOp::kNewHandle;
  int handle = 0;
  int key = 0;
  int status = 0;
  int length = 0;
  std::string bytes;
};

// Owns the trace file being written.
class EngineTraceWriter {
 public:
  // Creates `path` anew; an empty writer (false) with *error set when it cannot.
  static EngineTraceWriter Create(const std::filesystem::path& path, std::string* error);
  EngineTraceWriter() = default;

  explicit operator bool() const { return static_cast<bool>(writer_); }
  void Add(TraceOp op, int handle, int key, int status, int length, std::string_view bytes) {
    writer_.Add(static_cast<std::uint8_t>(op), handle, key, status, length, bytes);
  }
  // Writes what is buffered; the file stays open.
  void Flush() { writer_.Flush(); }

 private:
  CallTraceWriter writer_;
};

// Reads a whole trace; false with *error saying what and where when the file cannot be
// read or does not start as a trace. A cut last entry is dropped.
bool ReadEngineTrace(const std::filesystem::path& path, std::vector<TraceEntry>* entries,
                     std::string* error);

}  // namespace talvor
