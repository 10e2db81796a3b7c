// "fed_id.txt" for Restore ID (fixed columns: agency 1-2, client number 11-16, tax number
// 20-34).
#include "tests/fuzz/routine_input.h"

namespace {

constexpr talvor::fuzz::RoutineInput kRestoreId{
    "Restore ID",
    "fed_id.txt",
    "INSERT INTO Customer(AgyCode, Number, TaxID) VALUES"
    " ('01', '  1001', ''), ('01', '  1002', '12-3456789'), ('10', '  1001', NULL),"
    " ('01', 'O''BR;\"', '');",
    "Customer",
    "SELECT AgyCode, Number, TaxID FROM Customer ORDER BY rowid",
    true,
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return talvor::fuzz::FuzzRoutineInput(kRestoreId, data, size);
}
