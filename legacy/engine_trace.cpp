#include "legacy/engine_trace.h"

#include <utility>

namespace talvor {

EngineTraceWriter EngineTraceWriter::Create(const std::filesystem::path& path, std::string* error) {
  EngineTraceWriter writer;
  writer.writer_ = CallTraceWriter::Create(path, kEngineTraceMagic, "engine trace", error);
  return writer;
}

bool ReadEngineTrace(const std::filesystem::path& path, std::vector<TraceEntry>* entries,
                     std::string* error) {
  entries->clear();
  return ReadCallTrace(
      path, kEngineTraceMagic, "engine trace", static_cast<std::uint8_t>(TraceOp::kDestroy),
      [&](CallTraceEntry& e) {
        entries->push_back({static_cast<TraceOp>(e.op), e.a, e.b, e.c, e.d, std::move(e.bytes)});
      },
      error);
}

}  // namespace talvor
