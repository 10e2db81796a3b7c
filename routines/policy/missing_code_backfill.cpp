#include "routines/policy/missing_code_backfill.h"

#include <algorithm>
#include <array>

#include "legacy/engine.h"
#include "shell/form.h"

namespace talvor {

namespace {

// The key text of a record about to be written: its first 19 bytes (the engine compares
// the 16 bytes of key 0 only).
constexpr std::size_t kKeyTextLength = 19;

}  // namespace

int BackfillMissingCode(TForm1& form, int apHandle, const std::string& apPath,
                        layout::CodeKind kind, std::string_view agency, std::string_view code) {
  namespace ap = layout::ap;
  const std::string added = layout::NewMissingCodeRecord(kind, agency, code);
  std::array<char, ap::kBufferLength> record{};
  std::copy_n(added.begin(), std::min<std::size_t>(added.size(), ap::kRecordLength),
              record.begin());
  const std::string key = added.substr(0, kKeyTextLength);

  std::array<char, ap::kBufferLength> scratch{};
  int length = ap::kBufferLength;
  if (btrGetEqual(apHandle, scratch.data(), &length, key.c_str(), 0, 0) == kBtrOk) {
    btrDelete(apHandle);
  }

  length = ap::kBufferLength;
  int status = btrInsert(apHandle, record.data(), &length, 0);
  if (status == kBtrOk) return 1;
  form.Notify("(01) Unable to update ap file " + apPath + ", status is " + std::to_string(status));

  length = ap::kBufferLength;
  status = btrGetEqual(apHandle, scratch.data(), &length, key.c_str(), 0, 0);
  if (status == kBtrOk) {
    length = ap::kBufferLength;
    status = btrUpdate(apHandle, record.data(), &length);
  }
  if (status != kBtrOk) {
    form.Notify("(00) Unable to update ap file " + apPath + ", status is " +
                std::to_string(status));
    return 0;
  }
  return 2;
}

}  // namespace talvor
