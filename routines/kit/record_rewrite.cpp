#include "routines/kit/record_rewrite.h"

#include <string>
#include <vector>

#include "legacy/engine.h"

namespace talvor {

namespace {

// Reads the record of `key` into `record`; returns the status.
int Readback(int writeHandle, std::vector<char>& record, std::string_view key) {
  const std::string keyText(key);
  int length = static_cast<int>(record.size());
  return btrGetEqual(writeHandle, record.data(), &length, keyText.c_str(), 0, 0);
}

}  // namespace

RewriteResult RewriteField(int writeHandle, int recordLength, std::string_view key,
                           layout::Field field, std::string_view value) {
  RewriteResult result;
  std::vector<char> record(static_cast<std::size_t>(recordLength), ' ');
  result.readback = Readback(writeHandle, record, key);
  if (result.readback != 0) return result;
  layout::SetField(record, field, value);
  int length = recordLength;
  result.update = btrUpdate(writeHandle, record.data(), &length);
  return result;
}

RewriteResult RewritePolicyField(int writeHandle, std::string_view policy, layout::Field field,
                                 std::string_view value) {
  return RewriteField(writeHandle, layout::pol::kRecordLength,
                      layout::GetField(policy, layout::pol::PolKey), field, value);
}

RewriteResult RemoveRecord(int writeHandle, int recordLength, std::string_view key) {
  RewriteResult result;
  std::vector<char> record(static_cast<std::size_t>(recordLength), ' ');
  result.readback = Readback(writeHandle, record, key);
  if (result.readback != 0) return result;
  result.update = btrDelete(writeHandle);
  return result;
}

}  // namespace talvor
