// Counters of the work this process did through the components, for benchmarks and
// summaries: rows read by table walks, look-ups and queries, and rows written.
#pragma once

#include <cstdint>

namespace talvor::sqldb {

struct LayerStats {
  std::int64_t rowsRead = 0;     // rows fetched by tables and returned by queries
  std::int64_t rowsWritten = 0;  // rows posted, inserted or deleted by tables, changed by queries
  // Statements run on a database server (each at least one round trip to it).
  std::int64_t serverStatements = 0;
};

// The totals since the process started. Not synchronised: read them on the thread that
// runs the routines.
LayerStats Stats();

namespace stats_internal {
void AddRead(std::int64_t rows);
void AddWritten(std::int64_t rows);
void AddServerStatement();
}  // namespace stats_internal

}  // namespace talvor::sqldb
