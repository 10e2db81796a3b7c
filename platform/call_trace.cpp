#include "platform/call_trace.h"

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

CallTraceWriter CallTraceWriter::Create(const std::filesystem::path& path, std::string_view magic,
                                        std::string_view what, std::string* error) {
  CallTraceWriter writer;
  writer.file_ = std::fopen(path.string().c_str(), "wb");
  if (writer.file_ == nullptr) {
    *error = "cannot create the " + std::string(what) + " " + path.string() + ": " +
             std::strerror(errno);
    return writer;
  }
  writer.buffer_.reserve(kBufferBytes);
  Put(writer.buffer_, magic.data(), magic.size());
  return writer;
}

CallTraceWriter::~CallTraceWriter() {
  Close();
}

CallTraceWriter::CallTraceWriter(CallTraceWriter&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)), buffer_(std::move(other.buffer_)) {}

CallTraceWriter& CallTraceWriter::operator=(CallTraceWriter&& other) noexcept {
  if (this != &other) {
    Close();
    file_ = std::exchange(other.file_, nullptr);
    buffer_ = std::move(other.buffer_);
  }
  return *this;
}

void CallTraceWriter::Add(std::uint8_t op, int a, int b, int c, int d, std::string_view bytes) {
  if (file_ == nullptr) return;
  if (buffer_.size() + kHeaderBytes + bytes.size() > kBufferBytes) Flush();
  const auto n = static_cast<std::uint32_t>(bytes.size());
  Put(buffer_, &op, 1);
  Put(buffer_, &a, 4);
  Put(buffer_, &b, 4);
  Put(buffer_, &c, 4);
  Put(buffer_, &d, 4);
  Put(buffer_, &n, 4);
  Put(buffer_, bytes.data(), bytes.size());
}

void CallTraceWriter::Flush() {
  if (file_ == nullptr || buffer_.empty()) return;
  // A trace that cannot be written is only a benchmark's loss; the layer's calls go on.
  std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
  std::fflush(file_);
  buffer_.clear();
}

void CallTraceWriter::Close() {
  if (file_ == nullptr) return;
  Flush();
  std::fclose(file_);
  file_ = nullptr;
}

bool ReadCallTrace(const std::filesystem::path& path, std::string_view magic, std::string_view what,
                   std::uint8_t lastOp, const std::function<void(CallTraceEntry&)>& each,
                   std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read the " + std::string(what) + " " + path.string();
    return false;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (text.compare(0, magic.size(), magic) != 0) {
    *error = path.string() + " is not an " + std::string(what) + " (its first line is not \"" +
             std::string(magic.substr(0, magic.size() - 1)) + "\")";
    return false;
  }
  std::size_t at = magic.size();
  while (text.size() - at >= kHeaderBytes) {
    CallTraceEntry e;
    std::uint32_t n = 0;
    e.op = static_cast<std::uint8_t>(text[at]);
    std::memcpy(&e.a, text.data() + at + 1, 4);
    std::memcpy(&e.b, text.data() + at + 5, 4);
    std::memcpy(&e.c, text.data() + at + 9, 4);
    std::memcpy(&e.d, text.data() + at + 13, 4);
    std::memcpy(&n, text.data() + at + 17, 4);
    if (e.op < 1 || e.op > lastOp) {
      *error = path.string() + ": unknown entry at byte " + std::to_string(at);
      return false;
    }
    if (text.size() - at - kHeaderBytes < n) break;  // cut while being written
    e.bytes.assign(text, at + kHeaderBytes, n);
    at += kHeaderBytes + n;
    each(e);
  }
  return true;
}

bool ReadCallTrace(const std::filesystem::path& path, std::string_view magic, std::string_view what,
                   std::uint8_t lastOp, std::vector<CallTraceEntry>* entries, std::string* error) {
  entries->clear();
  return ReadCallTrace(
      path, magic, what, lastOp, [&](CallTraceEntry& e) { entries->push_back(std::move(e)); },
      error);
}

}  // namespace talvor
