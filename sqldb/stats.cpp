#include "sqldb/stats.h"

namespace talvor::sqldb {

namespace {
LayerStats totals;
}  // namespace

LayerStats Stats() { return totals; }

namespace stats_internal {
void AddRead(std::int64_t rows) { totals.rowsRead += rows; }
void AddWritten(std::int64_t rows) { totals.rowsWritten += rows; }
void AddServerStatement() { ++totals.serverStatements; }
}  // namespace stats_internal

}  // namespace talvor::sqldb
