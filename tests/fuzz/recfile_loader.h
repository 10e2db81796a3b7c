// The body of the two record-file loader targets (`recfile load --format seq|lines`).
//
// The first input byte chooses the record length (1 to 64), the rest is the file to load.
// Properties: a rejected input names what is wrong; decoded records are exactly the record
// length and survive being written out and read back; loading into a record file either
// stores every record or none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "legacy/record_file.h"
#include "legacy/recfile_tool.h"
#include "tests/fuzz/fuzz_support.h"

namespace talvor::fuzz {

inline int FuzzRecordLoader(recfile::RecordFormat format, const std::uint8_t* data,
                            std::size_t size) {
  if (size == 0) return 0;
  const int recordLength = 1 + data[0] % 64;
  const std::string_view bytes = Bytes(data + 1, size - 1);

  std::vector<std::string> records;
  std::string error;
  if (!recfile::DecodeRecords(bytes, format, recordLength, &records, &error)) {
    Check(!error.empty(), "a rejected input says what is wrong");
    return 0;
  }
  std::string encoded;
  for (const std::string& record : records) {
    Check(record.size() == static_cast<std::size_t>(recordLength),
          "every decoded record is exactly the record length");
    Check(recfile::EncodeRecord(record, format, &encoded), "a decoded record can be written");
  }
  encoded += recfile::FormatTrailer(format);
  std::vector<std::string> again;
  Check(recfile::DecodeRecords(encoded, format, recordLength, &again, &error),
        "written records read back");
  Check(again == records, "written records read back unchanged");

  // Through the command itself, into a fresh file whose key 0 is the first bytes.
  const std::filesystem::path dir = WorkDir();
  const std::string file = (dir / "loaded").string();
  const std::string input = (dir / "input").string();
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(file + suffix);
  std::string createError;
  RecordFileDefinition definition{recordLength, {{0, recordLength < 4 ? recordLength : 4, false}}};
  Check(CreateRecordFile(file, definition, &createError), "the target file can be created");
  WriteBytes(input, bytes);
  std::ostringstream out;
  std::ostringstream err;
  int status = recfile::Load(file, input, format, out, err);
  RecordFileInfo info;
  Check(ReadRecordFileInfo(file, &info, &createError), "the loaded file still opens");
  if (status == 0) {
    Check(info.records == static_cast<std::int64_t>(records.size()), "a load stores every record");
  } else {
    Check(info.records == 0, "a failed load stores nothing");
    Check(!err.str().empty(), "a failed load says why");
  }
  return 0;
}

}  // namespace talvor::fuzz
