#include "journal/changes_report.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <system_error>

#include "legacy/record_file.h"
#include "shell/text/messages.h"
#include "shell/text/text.h"

namespace talvor::journal {
namespace fs = std::filesystem;

namespace {

std::string Counted(const ChangeCount& c) {
  std::string out;
  auto add = [&](long long n, const char* what) {
    if (n == 0) return;
    if (!out.empty()) out += ", ";
    out += std::to_string(n) + " " + what;
  };
  add(c.inserted, "inserted");
  add(c.updated, "updated");
  add(c.deleted, "deleted");
  return out;
}

std::string ModeText(const std::string& mode) {
  if (mode == "dry-run") return "dry run: nothing was changed";
  if (mode == "undo") return "undo";
  return "run";
}

std::string CellText(const Cell& cell) {
  switch (cell.kind) {
    case Cell::Kind::kNull:
      return "NULL";
    case Cell::Kind::kInteger:
    case Cell::Kind::kFloat:
      return cell.value;
    default:
      return "\"" + EscapeBytes(cell.value) + "\"";
  }
}

// A byte of a record as shown: printable ASCII as it is, every other byte "\xHH", so that
// a NUL cannot be taken for a period or a blank.
void AppendShown(std::string& out, char c) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x20 && byte <= 0x7e) {
    out += c;
    return;
  }
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xf];
}

std::string Shown(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) AppendShown(out, c);
  return out;
}

const std::string& RecordBytes(const Row& row) {
  static const std::string none;
  return row.empty() ? none : row.back().value;
}

std::string RecordKey(const Row& row) {
  if (row.size() < 2) return "(no key)";
  return "\"" + EscapeBytes(row.front().value) + "\"";
}

bool ByteDiffers(const std::string& a, const std::string& b, std::size_t i) {
  return i >= a.size() || i >= b.size() || a[i] != b[i];
}

// The byte positions where `before` and `after` differ, as "3-5, 9"; "" when none.
std::string ChangedRanges(const std::string& before, const std::string& after) {
  std::string ranges;
  const std::size_t n = std::max(before.size(), after.size());
  for (std::size_t i = 0; i < n;) {
    if (!ByteDiffers(before, after, i)) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end + 1 < n && ByteDiffers(before, after, end + 1)) ++end;
    ranges += (ranges.empty() ? "" : ", ") + std::to_string(i) +
              (end > i ? "-" + std::to_string(end) : "");
    i = end + 1;
  }
  return ranges;
}

void ShowRecordChange(std::ostream& out, const Change& c) {
  const Row& any = c.op == 'D' ? c.before : c.after;
  const char* what = c.op == 'I' ? "inserted" : c.op == 'D' ? "deleted" : "updated";
  out << "record " << RecordKey(any) << " " << what << "\n";
  const std::string& before = RecordBytes(c.before);
  const std::string& after = RecordBytes(c.after);
  if (c.op != 'U') {
    out << (c.op == 'D' ? "    before |" : "    after  |") << Shown(c.op == 'D' ? before : after)
        << "|\n";
    return;
  }
  // Both images are shown byte for byte in step, each byte as wide as the wider of its two
  // forms, so that the marker line stands under the bytes that changed.
  std::string shownBefore, shownAfter, marks;
  const std::size_t n = std::max(before.size(), after.size());
  for (std::size_t i = 0; i < n; ++i) {
    std::string b, a;
    if (i < before.size()) AppendShown(b, before[i]);
    if (i < after.size()) AppendShown(a, after[i]);
    const std::size_t width = std::max(b.size(), a.size());
    if (i < before.size()) shownBefore += b + std::string(width - b.size(), ' ');
    if (i < after.size()) shownAfter += a + std::string(width - a.size(), ' ');
    marks += std::string(width, ByteDiffers(before, after, i) ? '^' : ' ');
  }
  const std::string ranges = ChangedRanges(before, after);
  out << "    before |" << shownBefore << "|\n";
  out << "    after  |" << shownAfter << "|\n";
  while (!marks.empty() && marks.back() == ' ') marks.pop_back();
  out << "            " << marks << "\n";
  out << "    bytes changed: " << (ranges.empty() ? "none" : ranges) << "\n";
}

void ShowRowChange(std::ostream& out, const Change& c, const std::vector<std::string>* names) {
  auto name = [&](std::size_t i) {
    return names && i < names->size() ? (*names)[i] : "column " + std::to_string(i + 1);
  };
  const char* what = c.op == 'I' ? "inserted" : c.op == 'D' ? "deleted" : "updated";
  out << "row " << (c.op == 'D' ? c.oldRowid : c.newRowid) << " " << what << "\n";
  if (c.op == 'U') {
    for (std::size_t i = 0; i < c.after.size() && i < c.before.size(); ++i) {
      if (c.before[i] == c.after[i]) continue;
      out << "  * " << name(i) << ": " << CellText(c.before[i]) << " -> " << CellText(c.after[i])
          << "\n";
    }
    if (c.oldRowid != c.newRowid)
      out << "  * rowid: " << c.oldRowid << " -> " << c.newRowid << "\n";
    return;
  }
  const Row& row = c.op == 'I' ? c.after : c.before;
  for (std::size_t i = 0; i < row.size(); ++i) {
    out << "    " << name(i) << ": " << CellText(row[i]) << "\n";
  }
}

std::string FileOutcomeText(const std::string& outcome) {
  if (outcome == "done") return "";
  if (outcome == "dry-run") return " (dry run: not done)";
  return " (" + outcome + ")";
}


const std::vector<std::string>* ColumnsOf(const RunRecord& run, const Change& c) {
  auto it = run.columns.find({c.store, c.table});
  return it == run.columns.end() ? nullptr : &it->second;
}

std::string ColumnName(const std::vector<std::string>* names, std::size_t i) {
  return names && i < names->size() ? (*names)[i] : "column " + std::to_string(i + 1);
}

// A store named as `runs show --store` takes it: as the report names it, by its file name
// with or without extension, and a database also by a table or as DATABASE/TABLE.
bool StoreMatches(const std::string& wanted, const std::string& name, StoreKind kind,
                  const std::string& table) {
  const fs::path path(name);
  auto isStore = [&](std::string_view w) {
    return EqualsIgnoringCase(w, name) || EqualsIgnoringCase(w, path.filename().string()) ||
           EqualsIgnoringCase(w, path.stem().string());
  };
  if (isStore(wanted)) return true;
  if (kind == StoreKind::kRecord) return false;
  if (EqualsIgnoringCase(wanted, table)) return true;
  const std::size_t slash = wanted.rfind('/');
  return slash != std::string::npos &&
         isStore(std::string_view(wanted).substr(0, slash)) &&
         EqualsIgnoringCase(std::string_view(wanted).substr(slash + 1), table);
}

// A record's key bytes, or a row's rowid in decimal.
std::string KeyOf(const Change& c, StoreKind kind) {
  if (kind != StoreKind::kRecord) return std::to_string(c.op == 'D' ? c.oldRowid : c.newRowid);
  const Row& any = c.op == 'D' ? c.before : c.after;
  return any.size() < 2 ? std::string() : any.front().value;
}

bool Passes(const ChangeFilter& filter, const Change& c, const std::string& name,
            StoreKind kind) {
  if (!filter.store.empty() && !StoreMatches(filter.store, name, kind, c.table)) return false;
  return filter.keyPrefix.empty() || KeyOf(c, kind).rfind(filter.keyPrefix, 0) == 0;
}

// "NAME=VALUE; ..." of the columns of `row` that `take` picks.
std::string Columns(const Row& row, const std::vector<std::string>* names,
                    const std::function<bool(std::size_t)>& take) {
  std::string out;
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (!take(i)) continue;
    out += (out.empty() ? "" : "; ") + ColumnName(names, i) + "=" + CellText(row[i]);
  }
  return out;
}

// The fields of one change for CSV and JSON, in the order of their header, each shown.
std::vector<std::string> ChangeValues(std::size_t number, const std::string& name,
                                      StoreKind kind, const Change& c,
                                      const std::vector<std::string>* names) {
  const char* what = c.op == 'I' ? "inserted" : c.op == 'D' ? "deleted" : "updated";
  std::string changed, before, after;
  if (kind == StoreKind::kRecord) {
    const std::string& b = RecordBytes(c.before);
    const std::string& a = RecordBytes(c.after);
    if (c.op == 'U') changed = ChangedRanges(b, a);
    before = Shown(b);
    after = Shown(a);
  } else if (c.op == 'U') {
    auto differs = [&](std::size_t i) {
      return i < c.before.size() && i < c.after.size() && !(c.before[i] == c.after[i]);
    };
    for (std::size_t i = 0; i < c.after.size(); ++i) {
      if (differs(i)) changed += (changed.empty() ? "" : "; ") + ColumnName(names, i);
    }
    if (c.oldRowid != c.newRowid) changed += (changed.empty() ? "" : "; ") + std::string("rowid");
    before = Columns(c.before, names, differs);
    after = Columns(c.after, names, differs);
  } else {
    auto every = [](std::size_t) { return true; };
    before = Columns(c.before, names, every);
    after = Columns(c.after, names, every);
  }
  return {std::to_string(number), Shown(name), Shown(c.table), what, Shown(KeyOf(c, kind)),
          Shown(changed), Shown(before), Shown(after)};
}

// A CSV field: quoted when it holds a comma, a quote or a line end, quotes doubled.
std::string CsvField(const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string out = "\"";
  for (char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// A JSON string; bytes are Latin-1, so every byte outside printable ASCII is \u00HH.
std::string JsonString(const std::string& value) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte >= 0x20 && byte <= 0x7e) {
      out += c;
    } else {
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xf];
    }
  }
  return out + "\"";
}

// ShowRun's report of the changes that pass `filter`; false with *error when the journal
// cannot be read back whole (the report says so where the changes break off).
bool ShowRunText(std::ostream& out, const RunRecord& run, const fs::path& work_dir,
                 std::size_t max_changes, const ChangeFilter& filter, std::string* error) {
  out << RunSummary(run, work_dir);
  for (const Event& e : run.events) out << EventLine(e, work_dir) << "\n";
  std::size_t number = 0, shown = 0;
  const bool whole = ForEachChange(
      run, false,
      [&](const Change& c) {
        if (shown == max_changes) return false;
        ++number;
        const Store* store = run.FindStore(c.store);
        const std::string name = StoreName(work_dir, store->path);
        if (!Passes(filter, c, name, store->kind)) return true;
        ++shown;
        out << number << ". " << name << " ";
        if (store->kind == StoreKind::kRecord) {
          ShowRecordChange(out, c);
        } else {
          out << c.table << " ";
          ShowRowChange(out, c, ColumnsOf(run, c));
        }
        return true;
      },
      error);
  if (!whole) out << "(the rest cannot be shown: " << *error << ")\n";
  if (filter.Any()) {
    out << shown << " of " << run.changeCount << " changes shown (";
    if (!filter.store.empty()) out << "--store " << Shown(filter.store);
    if (!filter.store.empty() && !filter.keyPrefix.empty()) out << " ";
    if (!filter.keyPrefix.empty()) out << "--key " << Shown(filter.keyPrefix);
    out << ")\n";
  } else if (run.changeCount > static_cast<long long>(number)) {
    out << "... " << run.changeCount - static_cast<long long>(number)
        << " more changes (talvor-cli runs show " << run.id << " lists them all)\n";
  }
  return whole;
}
}  // namespace

std::string EventLine(const Event& e, const fs::path& work_dir) {
  auto field = [&](std::size_t i) {
    return i < e.fields.size() ? ShowableText(e.fields[i]) : std::string();
  };
  if (e.tag == "ask") return "asked: " + field(0) + " => " + field(1);
  if (e.tag == "notify") return "message: " + field(0);
  if (e.tag == "report") return "report file: " + field(0);
  if (e.tag == "file" && field(0) == "copy") {
    return "file copied: " + StoreName(work_dir, field(1)) + " -> " +
           StoreName(work_dir, field(2)) + (field(3) == "replaced" ? " (replaced a file)" : "") +
           FileOutcomeText(field(4));
  }
  if (e.tag == "file" && field(0) == "delete") {
    return "file deleted: " + StoreName(work_dir, field(1)) + FileOutcomeText(field(2));
  }
  return "note: " + field(0);
}

std::string StoreName(const fs::path& work_dir, const std::string& path) {
  std::error_code ec;
  fs::path base = fs::weakly_canonical(work_dir, ec);
  if (ec) base = work_dir;
  fs::path relative = fs::path(path).lexically_relative(base);
  if (relative.empty() || *relative.begin() == "..") return path;
  return relative.generic_string();
}

std::string RunSummary(const RunRecord& run, const fs::path& work_dir) {
  std::ostringstream out;
  out << run.id << "  " << run.started << "  " << run.routine << "  (" << ModeText(run.mode)
      << ")\n";
  if (!run.settings.empty()) {
    out << "    settings:";
    for (const auto& [name, value] : run.settings) {
      out << " " << name << "=\"" << ShowableText(value) << "\"";
    }
    out << "\n";
  }
  if (!run.undoes.empty()) out << "    undoes: " << run.undoes << "\n";
  if (run.counts.empty()) out << "    changes: none\n";
  for (const auto& [where, n] : run.counts) {
    const Store* store = run.FindStore(where.first);
    const bool record = store->kind == StoreKind::kRecord;
    out << "    " << StoreName(work_dir, store->path);
    if (!record) out << " " << where.second;
    out << ": " << n.Total() << (record ? " records " : " rows ") << "(" << Counted(n) << ")\n";
  }
  // Messages counted by text, so that a thousand of one kind take one line.
  MessageTally messages;
  for (const Event& e : run.events) {
    if (e.tag == "notify" && !e.fields.empty()) messages.Add(e.fields[0]);
  }
  if (messages.Total() > 0) {
    constexpr std::size_t kListed = 10;
    out << "    messages: " << GroupedDigits(messages.Total()) << "\n";
    const auto& entries = messages.Entries();
    for (std::size_t i = 0; i < entries.size() && i < kListed; ++i) {
      out << "      " << ShowableText(entries[i].text);
      if (entries[i].count > 1) out << " x " << GroupedDigits(entries[i].count);
      out << "\n";
    }
    if (entries.size() > kListed) {
      out << "      and " << GroupedDigits(static_cast<long long>(entries.size() - kListed))
          << " other texts\n";
    }
  }
  if (!run.outcome.empty()) {
    out << "    outcome: " << (run.outcome == "completed" ? "completed" : run.outcome) << "\n";
  }
  out << "    " << (run.complete ? "journal complete" : "journal incomplete: " + run.endNote)
      << "\n";
  if (!run.undoneStores.empty()) {
    out << "    undone:";
    for (const std::string& s : run.undoneStores) out << " " << StoreName(work_dir, s);
    out << "\n";
  }
  return out.str();
}

std::vector<std::string> ReportFiles(const RunRecord& run) {
  std::vector<std::string> files;
  for (const Event& e : run.events) {
    if (e.tag != "report" || e.fields.empty()) continue;
    if (std::find(files.begin(), files.end(), e.fields[0]) == files.end())
      files.push_back(e.fields[0]);
  }
  return files;
}

bool ValidSince(const std::string& since, std::string* error) {
  // "2026-12-08", "2026-12-08 10:00" or "2026-12-08 10:00:00": the same form as a run's start,
  // so that runs compare as text.
  static constexpr std::string_view kShape = "dddd-dd-dd dd:dd:dd";
  const bool lengthFits = since.size() == 10 || since.size() == 16 || since.size() == 19;
  bool fits = lengthFits;
  for (std::size_t i = 0; fits && i < since.size(); ++i) {
    fits = kShape[i] == 'd' ? (since[i] >= '0' && since[i] <= '9') : since[i] == kShape[i];
  }
  if (!fits) {
    *error = "\"" + since + "\" is not a date (YYYY-MM-DD, or YYYY-MM-DD HH:MM)";
    return false;
  }
  return true;
}

RunTotals TotalsOf(const RunRecord& run) {
  RunTotals t;
  for (const auto& [where, n] : run.counts) {
    const Store* store = run.FindStore(where.first);
    (store != nullptr && store->kind == StoreKind::kRecord ? t.records : t.rows) += n.Total();
  }
  for (const Event& e : run.events) t.messages += e.tag == "notify";
  return t;
}

std::string RunLine(const RunRecord& run) {
  const auto [records, rows, messages] = TotalsOf(run);
  const std::string mode = run.mode == "dry-run" ? "dry run" : run.mode;
  std::string ended = run.outcome.empty() ? "never ended"
                      : run.outcome == "completed" ? "completed"
                      : run.outcome.rfind("error ", 0) == 0 ? "error: " + run.outcome.substr(6)
                                                           : run.outcome;
  constexpr std::size_t kEndedWidth = 60;
  if (ended.size() > kEndedWidth) ended = ended.substr(0, kEndedWidth - 3) + "...";
  std::string line = run.id + "  " + run.started + "  " + run.routine + "  " + mode + "  " +
                     ShowableText(ended) + "  " + GroupedDigits(records) + " records, " +
                     GroupedDigits(rows) + " rows";
  if (messages > 0) line += ", " + GroupedDigits(messages) + (messages == 1 ? " message" : " messages");
  if (!run.complete) line += "  (journal incomplete)";
  if (!run.undoneStores.empty()) line += "  (undone)";
  return line;
}

std::string ListRuns(const fs::path& work_dir, const RunFilter& filter, bool paragraphs) {
  std::string out;
  for (const fs::path& dir : ListRunDirs(work_dir)) {
    std::string error;
    std::optional<RunRecord> run = ReadRun(dir, &error, 0);
    if (!run) {
      if (filter.routine.empty() && filter.since.empty())
        out += dir.filename().string() + "  (" + error + ")\n";
      continue;
    }
    if (!filter.routine.empty() && !EqualsIgnoringCase(filter.routine, run->routine) &&
        !EqualsIgnoringCase(filter.routine, run->slug)) {
      continue;
    }
    if (!filter.since.empty() && run->started.compare(0, filter.since.size(), filter.since) < 0) {
      continue;
    }
    out += paragraphs ? RunSummary(*run, work_dir) : RunLine(*run) + "\n";
  }
  return out;
}

std::string ShowRun(const RunRecord& run, const fs::path& work_dir, std::size_t max_changes) {
  std::ostringstream out;
  ShowRun(out, run, work_dir, max_changes);
  return out.str();
}

void ShowRun(std::ostream& out, const RunRecord& run, const fs::path& work_dir,
             std::size_t max_changes) {
  std::string error;
  ShowRunText(out, run, work_dir, max_changes, ChangeFilter{}, &error);
}

bool StoreFilterMatches(const RunRecord& run, const fs::path& work_dir,
                        const ChangeFilter& filter, std::string* error) {
  if (filter.store.empty()) return true;
  std::string changed;
  for (const auto& [where, n] : run.counts) {
    const Store* store = run.FindStore(where.first);
    if (store == nullptr) continue;
    const std::string name = StoreName(work_dir, store->path);
    if (StoreMatches(filter.store, name, store->kind, where.second)) return true;
    changed += (changed.empty() ? "" : ", ") + Shown(name) +
               (store->kind == StoreKind::kRecord ? "" : "/" + Shown(where.second));
  }
  *error = "run " + run.id + " changed no file, database or table \"" + Shown(filter.store) +
           "\" (it changed " + (changed.empty() ? "nothing" : changed) + ")";
  return false;
}

bool ShowChanges(std::ostream& out, const RunRecord& run, const fs::path& work_dir,
                 const ChangeFilter& filter, ChangeFormat format, std::string* error) {
  if (format == ChangeFormat::kText) {
    return ShowRunText(out, run, work_dir, static_cast<std::size_t>(-1), filter, error);
  }
  static constexpr const char* kFields[] = {"number", "store",   "table",  "change",
                                            "key",    "changed", "before", "after"};
  if (format == ChangeFormat::kCsv) {
    for (std::size_t i = 0; i < std::size(kFields); ++i) out << (i ? "," : "") << kFields[i];
    out << "\r\n";
  } else {
    out << "[";
  }
  std::size_t number = 0, written = 0;
  const bool whole = ForEachChange(
      run, false,
      [&](const Change& c) {
        ++number;
        const Store* store = run.FindStore(c.store);
        const std::string name = StoreName(work_dir, store->path);
        if (!Passes(filter, c, name, store->kind)) return true;
        const std::vector<std::string> values =
            ChangeValues(number, name, store->kind, c, ColumnsOf(run, c));
        if (format == ChangeFormat::kCsv) {
          for (std::size_t i = 0; i < values.size(); ++i) {
            out << (i ? "," : "") << CsvField(values[i]);
          }
          out << "\r\n";
        } else {
          out << (written ? ",\n  {" : "\n  {") << "\"number\": " << number;
          for (std::size_t i = 1; i < values.size(); ++i) {
            out << ", \"" << kFields[i] << "\": " << JsonString(values[i]);
          }
          out << "}";
        }
        ++written;
        return true;
      },
      error);
  if (format == ChangeFormat::kJson) out << (written ? "\n]\n" : "]\n");
  return whole;
}

fs::path KeptReportCopy(const RunRecord& run, const std::string& name) {
  const fs::path copy = ReportCopyPath(run.dir, name);
  std::error_code ec;
  return fs::is_regular_file(copy, ec) ? copy : fs::path();
}

}  // namespace talvor::journal
