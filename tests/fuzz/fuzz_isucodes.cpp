// "ISUCODES.TXT" for Load SubCLS (fixed columns: client number 1-18, sub-class code 27-62).
#include "tests/fuzz/routine_input.h"

namespace {

constexpr talvor::fuzz::RoutineInput kLoadSubCls{
    "Load SubCLS",
    "ISUCODES.TXT",
    "INSERT INTO Policy(AgyCode, PolNum, PolSeq, CltNum, ClsCode, SubClassCode) VALUES"
    " ('01', 'P1', 1, '  1001', 'AUT', ''), ('01', 'P2', 1, '  1001', 'HOM', ''),"
    " ('01', 'P3', 1, '  1002', 'AUT', ''), ('01', 'P4', 1, 'O''B;\"', 'GL ', '');",
    "Policy",
    "SELECT AgyCode, PolNum, PolSeq, SubClassCode FROM Policy ORDER BY rowid",
    false,
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return talvor::fuzz::FuzzRoutineInput(kLoadSubCls, data, size);
}
