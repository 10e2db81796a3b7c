#include "legacy/recfile_tool.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

#include "legacy/engine.h"
#include "legacy/path_rules.h"

namespace talvor::recfile {
namespace {

namespace fs = std::filesystem;

constexpr char kEndOfFile = '\x1a';

std::optional<int> ParseNumber(std::string_view text) {
  int value = 0;
  if (text.empty() || text.size() > 9) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string DescribeKey(int number, const KeyDefinition& key) {
  return "key " + std::to_string(number) + ": offset " + std::to_string(key.offset) + ", length " +
         std::to_string(key.length) + (key.duplicates ? ", duplicates" : ", unique");
}

void WriteDefinition(const RecordFileDefinition& def, std::ostream& out) {
  out << "record length: " << def.recordLength << "\n";
  for (std::size_t k = 0; k < def.keys.size(); ++k) {
    out << DescribeKey(static_cast<int>(k), def.keys[k]) << "\n";
  }
  if (def.keys.empty()) out << "keys: none\n";
}

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    *error = path + ": no such file";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = path + ": cannot be read";
    return false;
  }
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    *error = path + ": read error";
    return false;
  }
  return true;
}

bool DecodeLines(std::string_view bytes, int record_length, std::vector<std::string>* records,
                 std::string* error) {
  std::size_t pos = 0;
  std::size_t line_number = 0;
  auto length = static_cast<std::size_t>(record_length);
  while (pos < bytes.size()) {
    ++line_number;
    std::size_t end = bytes.find('\n', pos);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(pos, end - pos);
    if (line.size() == length + 1 && line.back() == '\r') line.remove_suffix(1);
    if (line.size() != length) {
      *error = "line " + std::to_string(line_number) + ": the line is " +
               std::to_string(line.size()) + " bytes long, not the record length " +
               std::to_string(record_length);
      return false;
    }
    records->emplace_back(line);
    pos = end + 1;
  }
  return true;
}

bool DecodeSeq(std::string_view bytes, int record_length, std::vector<std::string>* records,
               std::string* error) {
  std::size_t pos = 0;
  std::size_t number = 0;
  auto fail = [&](std::size_t offset, const std::string& what) {
    *error = "record " + std::to_string(number + 1) + " (byte offset " + std::to_string(offset) +
             "): " + what;
    return false;
  };
  while (true) {
    if (pos >= bytes.size()) {
      *error =
          "ends without the end-of-file byte 0x1A after " + std::to_string(number) + " records";
      return false;
    }
    if (bytes[pos] == kEndOfFile) return true;
    std::size_t start = pos;
    while (pos < bytes.size() && bytes[pos] >= '0' && bytes[pos] <= '9') ++pos;
    std::optional<int> length = ParseNumber(bytes.substr(start, pos - start));
    if (!length) return fail(start, "expected the record length in decimal digits");
    if (pos >= bytes.size() || bytes[pos] != ',') {
      return fail(start, "expected \",\" after the record length");
    }
    if (*length != record_length) {
      return fail(start, "length " + std::to_string(*length) + ", not the record length " +
                             std::to_string(record_length));
    }
    ++pos;
    auto size = static_cast<std::size_t>(record_length);
    if (bytes.size() - pos < size) {
      return fail(start, "ends after " + std::to_string(bytes.size() - pos) + " of its " +
                             std::to_string(size) + " bytes");
    }
    records->emplace_back(bytes.substr(pos, size));
    pos += size;
    if (bytes.substr(pos, 2) != "\r\n") return fail(start, "not followed by CR LF");
    pos += 2;
    ++number;
  }
}

// True when `save` may write `output`; else false with *error saying why: a record file is
// never replaced, also when the engine's path rules reach it in another letter case (where
// letter case does not count, that name is the record file); anything else that exists only
// with `force`.
bool MayWrite(const std::string& output, bool force, std::string* error) {
  std::error_code ec;
  const fs::path plain(output);
  const bool exists = fs::exists(fs::symlink_status(plain, ec));
  std::optional<fs::path> reached = ResolveLegacyPath(output);
  for (const std::optional<fs::path>& candidate :
       {exists ? std::optional<fs::path>(plain) : std::nullopt, reached}) {
    if (candidate && IsRecordFile(*candidate)) {
      fs::path shown = fs::weakly_canonical(*candidate, ec);
      if (ec) shown = *candidate;
      *error = output + " is the record file " + shown.string() +
               "; an export never replaces a record file, not even with --force; nothing "
               "written";
      return false;
    }
  }
  if (!exists) return true;
  const std::string where = fs::absolute(plain, ec).string();
  if (fs::is_directory(plain, ec)) {
    *error = output + " is a directory (" + where + "); nothing written";
    return false;
  }
  if (!force) {
    *error = output + " already exists (" + where + "); nothing written; give --force to replace it";
    return false;
  }
  return true;
}

// A new file beside `path` that nothing else uses, opened for writing; null when none can be
// made. Its name goes to *temp.
std::FILE* CreateFileBeside(const fs::path& path, fs::path* temp) {
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    fs::path candidate = path;
    candidate += ".saving-" + std::to_string(random() % 1000000);
    // "x": never opens a file that is already there.
    if (std::FILE* file = std::fopen(candidate.string().c_str(), "wbx")) {
      *temp = std::move(candidate);
      return file;
    }
  }
  return nullptr;
}

// Writes `bytes` to `path`: into a new file beside it, renamed into place only when whole,
// so that `path` holds either what it held or all of `bytes`. MayWrite's refusals
// are checked again just before the rename.
bool WriteWholeFile(const std::string& path, const std::string& bytes, bool force,
                    std::string* error) {
  fs::path temp;
  std::FILE* file = CreateFileBeside(path, &temp);
  if (file == nullptr) {
    *error = path + ": cannot create a file beside it to write into; nothing written";
    return false;
  }
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  written = std::fflush(file) == 0 && written;
  written = std::fclose(file) == 0 && written;
  std::error_code ec;
  if (!written) {
    fs::remove(temp, ec);
    *error = path + ": cannot be written (writing " + temp.string() + " failed); nothing written";
    return false;
  }
  if (!MayWrite(path, force, error)) {
    fs::remove(temp, ec);
    return false;
  }
  fs::rename(temp, path, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    *error = path + ": cannot be written (" + ec.message() + "); nothing written";
    return false;
  }
  return true;
}

}  // namespace

std::optional<RecordFormat> ParseRecordFormat(std::string_view text) {
  if (text == "seq") return RecordFormat::kSeq;
  if (text == "lines") return RecordFormat::kLines;
  return std::nullopt;
}

std::optional<KeyDefinition> ParseKeySpec(std::string_view text, std::string* error) {
  std::vector<std::string_view> parts;
  std::size_t pos = 0;
  while (true) {
    std::size_t colon = text.find(':', pos);
    parts.push_back(text.substr(pos, colon == std::string_view::npos ? colon : colon - pos));
    if (colon == std::string_view::npos) break;
    pos = colon + 1;
  }
  std::optional<int> offset = parts.size() >= 2 ? ParseNumber(parts[0]) : std::nullopt;
  std::optional<int> length = parts.size() >= 2 ? ParseNumber(parts[1]) : std::nullopt;
  bool dup = parts.size() == 3 && parts[2] == "dup";
  if (!offset || !length || parts.size() > 3 || (parts.size() == 3 && !dup)) {
    *error = "bad key \"" + std::string(text) + "\": expected OFF:LEN or OFF:LEN:dup";
    return std::nullopt;
  }
  return KeyDefinition{*offset, *length, dup};
}

bool DecodeRecords(std::string_view bytes, RecordFormat format, int record_length,
                   std::vector<std::string>* records, std::string* error) {
  return format == RecordFormat::kLines ? DecodeLines(bytes, record_length, records, error)
                                        : DecodeSeq(bytes, record_length, records, error);
}

bool EncodeRecord(std::string_view record, RecordFormat format, std::string* out) {
  if (format == RecordFormat::kLines) {
    if (record.find('\n') != std::string_view::npos) return false;
    out->append(record);
    out->push_back('\n');
    return true;
  }
  out->append(std::to_string(record.size()));
  out->push_back(',');
  out->append(record);
  out->append("\r\n");
  return true;
}

std::string_view FormatTrailer(RecordFormat format) {
  static constexpr char kSeqTrailer[] = {kEndOfFile, '\0'};
  return format == RecordFormat::kSeq ? std::string_view(kSeqTrailer, 1) : std::string_view();
}

int Create(const std::string& file, const CreateOptions& options, std::ostream& out,
           std::ostream& err) {
  RecordFileDefinition def;
  if (!options.like.empty()) {
    if (options.length != 0 || !options.keys.empty()) {
      err << "recfile create: give either --like or --length and --key, not both\n";
      return 1;
    }
    std::optional<RecordFileDefinition> known = KnownFileDefinition(options.like);
    if (!known) {
      std::string names;
      for (std::string_view name : KnownFileNames())
        names += (names.empty() ? "" : ", ") + std::string(name);
      err << "recfile create: \"" << options.like << "\" is not a known file (known: " << names
          << ")\n";
      return 1;
    }
    def = *known;
  } else if (options.length != 0 || !options.keys.empty()) {
    if (options.length == 0) {
      err << "recfile create: --key needs --length\n";
      return 1;
    }
    def.recordLength = options.length;
    for (const std::string& spec : options.keys) {
      std::string error;
      std::optional<KeyDefinition> key = ParseKeySpec(spec, &error);
      if (!key) {
        err << "recfile create: " << error << "\n";
        return 1;
      }
      def.keys.push_back(*key);
    }
  } else {
    std::optional<RecordFileDefinition> known = KnownFileDefinition(LegacyFileName(file));
    if (!known) {
      err << "recfile create: " << file
          << " is not a known file name; give --like NAME or --length N --key OFF:LEN[:dup]\n";
      return 1;
    }
    def = *known;
  }
  std::string error;
  if (!CreateRecordFile(file, def, &error)) {
    err << "recfile create: " << error << "\n";
    return 1;
  }
  out << "created " << file << "\n";
  WriteDefinition(def, out);
  return 0;
}

int Load(const std::string& file, const std::string& input, RecordFormat format, std::ostream& out,
         std::ostream& err, LoadMode mode) {
  std::string error;
  RecordFileInfo info;
  if (!ReadRecordFileInfo(file, &info, &error)) {
    err << "recfile load: " << error << "\n";
    return 1;
  }
  std::string bytes;
  if (!ReadWholeFile(input, &bytes, &error)) {
    err << "recfile load: " << error << "\n";
    return 1;
  }
  if (mode == LoadMode::kIntoEmpty && info.records > 0) {
    err << "recfile load: " << file << " (" << info.path.string() << ") holds " << info.records
        << " records; nothing loaded; give --replace to replace them by those of " << input
        << ", or --add to add those to them\n";
    return 1;
  }
  std::vector<std::string> records;
  if (!DecodeRecords(bytes, format, info.definition.recordLength, &records, &error)) {
    err << "recfile load: " << input << " " << error << "; nothing loaded\n";
    return 1;
  }
  std::size_t failed = records.size();
  if (!LoadRecords(file, records, &error, &failed, mode)) {
    if (failed < records.size()) {
      err << "recfile load: " << input << " "
          << (format == RecordFormat::kLines ? "line " : "record ") << failed + 1 << ": " << error
          << "; nothing loaded\n";
    } else {
      err << "recfile load: " << error << "; nothing loaded\n";
    }
    return 1;
  }
  out << "loaded " << records.size() << " records into " << file;
  if (mode == LoadMode::kReplace) out << " in place of its " << info.records << " records";
  out << "\n";
  return 0;
}

int Save(const std::string& file, const std::string& output, RecordFormat format, std::ostream& out,
         std::ostream& err, bool force) {
  if (std::string refusal; !MayWrite(output, force, &refusal)) {
    err << "recfile save: " << refusal << "\n";
    return 1;
  }
  std::string bytes;
  std::size_t count = 0;
  std::size_t unwritable = 0;
  std::string error;
  bool read = ForEachRecord(
      file, 0,
      [&](std::string_view record) {
        ++count;
        if (unwritable == 0 && !EncodeRecord(record, format, &bytes)) unwritable = count;
      },
      &error);
  if (!read) {
    err << "recfile save: " << error << "\n";
    return 1;
  }
  if (unwritable != 0) {
    err << "recfile save: " << file << " record " << unwritable
        << " holds a line-feed byte, which the lines format cannot hold; use --format seq\n";
    return 1;
  }
  bytes.append(FormatTrailer(format));
  if (!WriteWholeFile(output, bytes, force, &error)) {
    err << "recfile save: " << error << "\n";
    return 1;
  }
  out << "saved " << count << " records of " << file << " to " << output << "\n";
  return 0;
}

int Dump(const std::string& file, int key, std::ostream& out, std::ostream& err) {
  std::string error;
  RecordFileInfo info;
  if (!ReadRecordFileInfo(file, &info, &error)) {
    err << "recfile dump: " << error << "\n";
    return 1;
  }
  const RecordFileDefinition& def = info.definition;
  bool keyed = !def.keys.empty();
  if (key < 0 || (keyed && key >= static_cast<int>(def.keys.size())) || (!keyed && key != 0)) {
    err << "recfile dump: " << file << " has no key " << key << "\n";
    return 1;
  }
  out << "file: " << info.path.string() << "\n";
  WriteDefinition(def, out);
  out << "records: " << info.records;
  if (keyed) out << ", in key " << key << " order";
  out << "\n";
  bool read = ForEachRecord(
      file, key,
      [&](std::string_view record) {
        if (keyed) {
          const KeyDefinition& kd = def.keys[key];
          out << '"' << EscapeBytes(record.substr(kd.offset, kd.length)) << "\" ";
        }
        out << '"' << EscapeBytes(record) << "\"\n";
      },
      &error);
  if (!read) {
    err << "recfile dump: " << error << "\n";
    return 1;
  }
  return 0;
}

int Stat(const std::string& file, std::ostream& out, std::ostream& err) {
  std::string error;
  RecordFileCheck check;
  if (!CheckRecordFile(file, &check, &error)) {
    err << "recfile stat: " << error << "\n";
    return 1;
  }
  const RecordFileInfo& info = check.info;
  out << "file: " << info.path.string() << "\n";
  WriteDefinition(info.definition, out);
  out << "records: " << info.records << "\n";
  if (check.Sound()) return 0;

  const std::string where = "recfile stat: " + info.path.string() + ": ";
  if (!check.nameProblem.empty()) {
    err << where << check.nameProblem << "; the engine does not open it under that name (status "
        << kBtrNotRecordFile << ")\n";
  }
  if (check.misfits > 0) {
    err << where << check.misfits << " of " << info.records << " records are not the record length "
        << info.definition.recordLength << " (the engine reads them as status " << kBtrIoError
        << ")\n";
    for (const MisfitRecord& misfit : check.firstMisfits) {
      err << where << misfit.where << " is " << misfit.length << " bytes long\n";
    }
    const auto shown = static_cast<std::int64_t>(check.firstMisfits.size());
    if (check.misfits > shown) err << where << "and " << check.misfits - shown << " more\n";
  }
  for (const std::string& damage : check.damage) err << where << "damaged: " << damage << "\n";
  return 1;
}

}  // namespace talvor::recfile
