// `recfile load --format seq`: the sequential export format of record-file utilities.
#include "tests/fuzz/recfile_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return talvor::fuzz::FuzzRecordLoader(talvor::recfile::RecordFormat::kSeq, data, size);
}
