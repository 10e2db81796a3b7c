// Counters of the engine work this process did, for benchmarks and summaries.
#pragma once

#include <cstdint>

namespace talvor {

struct EngineStats {
  std::int64_t recordsRead = 0;     // records delivered by the btrGet* calls
  std::int64_t recordsWritten = 0;  // records inserted, updated or deleted
};

// The totals since the process started.
EngineStats GetEngineStats();

}  // namespace talvor
