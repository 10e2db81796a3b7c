#include "legacy/engine_trace.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <utility>

namespace talvor {
namespace {

constexpr std::size_t kBufferBytes = std::size_t{1} << 20;
constexpr std::size_t kHeaderBytes = 1 + 4 * 5;

void Put(std::vector<char>& out, const void* p, std::size_t n) {
  const char* c = static_cast<const char*>(p);
  out.insert(out.end(), c, c + n);
}

}  // namespace

EngineTraceWriter EngineTraceWriter::Create(const std::filesystem::path& path, std::string* error) {
  EngineTraceWriter writer;
  writer.file_ = std::fopen(path.string().c_str(), "wb");
  if (writer.file_ == nullptr) {
    *error = "cannot create the engine trace " + path.string() + ": " + std::strerror(errno);
    return writer;
  }
  writer.buffer_.reserve(kBufferBytes);
  Put(writer.buffer_, kEngineTraceMagic.data(), kEngineTraceMagic.size());
  return writer;
}

EngineTraceWriter::~EngineTraceWriter() {
  Close();
}

EngineTraceWriter::EngineTraceWriter(EngineTraceWriter&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)), buffer_(std::move(other.buffer_)) {}

EngineTraceWriter& EngineTraceWriter::operator=(EngineTraceWriter&& other) noexcept {
  if (this != &other) {
    Close();
    file_ = std::exchange(other.file_, nullptr);
    buffer_ = std::move(other.buffer_);
  }
  return *this;
}

void EngineTraceWriter::Add(TraceOp op, int handle, int key, int status, int length,
                            std::string_view bytes) {
  if (file_ == nullptr) return;
  if (buffer_.size() + kHeaderBytes + bytes.size() > kBufferBytes) Flush();
  const auto code = static_cast<std::uint8_t>(op);
  const auto n = static_cast<std::uint32_t>(bytes.size());
  Put(buffer_, &code, 1);
  Put(buffer_, &handle, 4);
  Put(buffer_, &key, 4);
  Put(buffer_, &status, 4);
  Put(buffer_, &length, 4);
  Put(buffer_, &n, 4);
  Put(buffer_, bytes.data(), bytes.size());
}

void EngineTraceWriter::Flush() {
  if (file_ == nullptr || buffer_.empty()) return;
  // A trace that cannot be written is only a benchmark's loss; the engine's calls go on.
  std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
  std::fflush(file_);
  buffer_.clear();
}

void EngineTraceWriter::Close() {
  if (file_ == nullptr) return;
  Flush();
  std::fclose(file_);
  file_ = nullptr;
}

bool ReadEngineTrace(const std::filesystem::path& path, std::vector<TraceEntry>* entries,
                     std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read the engine trace " + path.string();
    return false;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (text.compare(0, kEngineTraceMagic.size(), kEngineTraceMagic) != 0) {
    *error = path.string() + " is not an engine trace (its first line is not \"" +
             std::string(kEngineTraceMagic.substr(0, kEngineTraceMagic.size() - 1)) + "\")";
    return false;
  }
  entries->clear();
  std::size_t at = kEngineTraceMagic.size();
  while (text.size() - at >= kHeaderBytes) {
    TraceEntry e;
    std::uint32_t n = 0;
    e.op = static_cast<TraceOp>(static_cast<std::uint8_t>(text[at]));
    std::memcpy(&e.handle, text.data() + at + 1, 4);
    std::memcpy(&e.key, text.data() + at + 5, 4);
    std::memcpy(&e.status, text.data() + at + 9, 4);
    std::memcpy(&e.length, text.data() + at + 13, 4);
    std::memcpy(&n, text.data() + at + 17, 4);
    if (e.op < TraceOp::kNewHandle || e.op > TraceOp::kDestroy) {
      *error = path.string() + ": unknown entry at byte " + std::to_string(at);
      return false;
    }
    if (text.size() - at - kHeaderBytes < n) break;  // cut while being written
    e.bytes.assign(text, at + kHeaderBytes, n);
    at += kHeaderBytes + n;
    entries->push_back(std::move(e));
  }
  return true;
}

}  // namespace talvor
