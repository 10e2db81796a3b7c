// `recfile load --format lines`: one record per line.
#include "tests/fuzz/recfile_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return talvor::fuzz::FuzzRecordLoader(talvor::recfile::RecordFormat::kLines, data, size);
}
