#include "journal/journal_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <system_error>
#include <tuple>

namespace talvor::journal {
namespace fs = std::filesystem;

namespace {

std::vector<std::string> SplitTabs(std::string_view line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (true) {
    std::size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      fields.push_back(Unescape(line.substr(start)));
      return fields;
    }
    fields.push_back(Unescape(line.substr(start, tab - start)));
    start = tab + 1;
  }
}

std::optional<long long> ToInt(const std::string& text) {
  if (text.empty()) return std::nullopt;
  std::size_t used = 0;
  try {
    long long v = std::stoll(text, &used);
    if (used != text.size()) return std::nullopt;
    return v;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// Parses a change line's fields (after the tag); false when malformed.
bool ParseChange(const std::vector<std::string>& f, Change* change) {
  if (f.size() < 8) return false;
  auto store = ToInt(f[1]);
  auto oldRowid = ToInt(f[4]);
  auto newRowid = ToInt(f[5]);
  auto nb = ToInt(f[6]);
  auto na = ToInt(f[7]);
  if (!store || !oldRowid || !newRowid || !nb || !na || *nb < 0 || *na < 0) return false;
  if (f[3].size() != 1 || std::string_view("IUD").find(f[3][0]) == std::string_view::npos) {
    return false;
  }
  if (f.size() != 8 + static_cast<std::size_t>(*nb + *na)) return false;
  change->store = static_cast<int>(*store);
  change->table = f[2];
  change->op = f[3][0];
  change->oldRowid = *oldRowid;
  change->newRowid = *newRowid;
  for (long long i = 0; i < *nb + *na; ++i) {
    const std::string& text = f[8 + i];
    const long long column = i - *nb;
    if (column >= 0 && text == kSameCell) {
      // An update's after-image cell that holds what the before-image cell holds.
      if (change->op != 'U' || column >= *nb) return false;
      change->after.push_back(change->before[static_cast<std::size_t>(column)]);
      continue;
    }
    std::optional<Cell> cell = ParseCell(text);
    if (!cell) return false;
    (i < *nb ? change->before : change->after).push_back(std::move(*cell));
  }
  return true;
}

void Count(RunRecord& run, int store, const std::string& table, char op) {
  ChangeCount& n = run.counts[{store, table}];
  (op == 'I' ? n.inserted : op == 'D' ? n.deleted : n.updated)++;
  ++run.changeCount;
}

}  // namespace

const Store* RunRecord::FindStore(int store_id) const {
  for (const Store& s : stores) {
    if (s.id == store_id) return &s;
  }
  return nullptr;
}

namespace {

// True when one of the eight bytes of `word` is TAB, LF, CR or backslash: each is found as
// a zero byte of `word` XOR that byte repeated (the classic test for a zero byte).
bool HasEscaped(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  const auto zeroIn = [](std::uint64_t x) { return (x - kOnes) & ~x & kHighs; };
  return (zeroIn(word ^ (kOnes * '\t')) | zeroIn(word ^ (kOnes * '\n')) |
          zeroIn(word ^ (kOnes * '\r')) | zeroIn(word ^ (kOnes * '\\'))) != 0;
}

}  // namespace

void AppendEscaped(std::string& out, std::string_view bytes) {
  // Most fields hold none of the four bytes: they are passed over eight bytes at a time,
  // and only a word that holds one is looked at byte by byte.
  const char* data = bytes.data();
  const std::size_t size = bytes.size();
  std::size_t from = 0;
  std::size_t i = 0;
  while (i < size) {
    if (size - i >= 8) {
      std::uint64_t word;
      std::memcpy(&word, data + i, 8);
      if (!HasEscaped(word)) {
        i += 8;
        continue;
      }
    }
    const std::size_t end = std::min(size, i + 8);
    for (; i < end; ++i) {
      const char c = data[i];
      if (c != '\t' && c != '\n' && c != '\r' && c != '\\') continue;
      out.append(data + from, i - from);
      out += '\\';
      out += c == '\t' ? 't' : c == '\n' ? 'n' : c == '\r' ? 'r' : '\\';
      from = i + 1;
    }
  }
  out.append(data + from, size - from);
}

std::string Escape(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + 8);
  AppendEscaped(out, bytes);
  return out;
}

std::string Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char c = text[++i];
    out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
  }
  return out;
}

std::string FormatCell(const Cell& cell) {
  std::string out(1, static_cast<char>(cell.kind));
  if (cell.kind != Cell::Kind::kNull) out += cell.value;
  return out;
}

std::optional<Cell> ParseCell(std::string_view text) {
  if (text.empty()) return std::nullopt;
  Cell cell;
  switch (text[0]) {
    case 'N':
      cell.kind = Cell::Kind::kNull;
      break;
    case 'I':
      cell.kind = Cell::Kind::kInteger;
      break;
    case 'F':
      cell.kind = Cell::Kind::kFloat;
      break;
    case 'T':
      cell.kind = Cell::Kind::kText;
      break;
    case 'B':
      cell.kind = Cell::Kind::kBlob;
      break;
    default:
      return std::nullopt;
  }
  if (cell.kind == Cell::Kind::kNull && text.size() != 1) return std::nullopt;
  cell.value = std::string(text.substr(1));
  return cell;
}

bool IsServerStore(std::string_view name) { return name.starts_with("odbc:"); }

fs::path StoreLocation(const fs::path& work_dir, const std::string& name) {
  if (IsServerStore(name)) return fs::path(name);
  const fs::path path(name);
  return path.is_absolute() ? path : work_dir / path;
}

bool StoreInside(const fs::path& work_dir, const std::string& name) {
  if (IsServerStore(name)) return true;
  const fs::path path(name);
  if (!path.is_absolute()) {
    const fs::path normal = path.lexically_normal();
    return !normal.empty() && *normal.begin() != "..";
  }
  std::error_code ec;
  fs::path base = fs::weakly_canonical(fs::absolute(work_dir, ec), ec);
  if (ec) base = work_dir;
  const fs::path relative = fs::weakly_canonical(path, ec).lexically_relative(base);
  return !ec && !relative.empty() && *relative.begin() != "..";
}

fs::path ReportCopyPath(const fs::path& run_dir, const std::string& name) {
  const fs::path given = fs::path(name).lexically_normal();
  bool inside = given.is_relative() && !given.has_root_name() && !given.empty();
  for (const fs::path& part : given) inside = inside && part != "..";
  return run_dir / kReportCopiesFolder / (inside ? given : given.filename());
}

fs::path RunsDir(const fs::path& work_dir) {
  return work_dir / ".talvor" / "runs";
}

std::optional<RunRecord> ReadRun(const fs::path& dir, std::string* error, std::size_t max_changes) {
  std::ifstream in(dir / kJournalFileName, std::ios::binary);
  if (!in) {
    *error = "no run journal in " + dir.string();
    return std::nullopt;
  }
  std::string line;
  if (!std::getline(in, line) || line != "talvor-journal\t1") {
    *error = (dir / kJournalFileName).string() + " is not a run journal of this program";
    return std::nullopt;
  }
  RunRecord run;
  run.id = dir.filename().string();
  run.dir = dir;
  long lineNumber = 1;
  bool ended = false;
  std::int64_t offset = static_cast<std::int64_t>(line.size()) + 1;  // of the next line
  while (std::getline(in, line)) {
    ++lineNumber;
    const std::int64_t at = offset;
    offset += static_cast<std::int64_t>(line.size()) + 1;
    if (in.eof()) {
      // The journal is written through a mapping of a file reserved ahead in steps: a run
      // that was killed leaves zero bytes after its last line.
      if (line.find_first_not_of('\0') == std::string::npos) break;
      // A last line without its LF was cut off while being written.
      run.endNote = "the journal breaks off at line " + std::to_string(lineNumber);
      break;
    }
    if (run.changes.size() >= max_changes && line.compare(0, 7, "change\t") == 0) {
      // Counted only: store, table and kind, the images left unread.
      const std::size_t t1 = 6, t2 = line.find('\t', t1 + 1);
      const std::size_t t3 = t2 == std::string::npos ? t2 : line.find('\t', t2 + 1);
      const std::size_t t4 = t3 == std::string::npos ? t3 : line.find('\t', t3 + 1);
      const auto store =
          t2 == std::string::npos ? std::nullopt : ToInt(line.substr(t1 + 1, t2 - t1 - 1));
      const std::string op = t4 == std::string::npos ? "" : line.substr(t3 + 1, t4 - t3 - 1);
      if (!store || (op != "I" && op != "U" && op != "D") ||
          run.FindStore(static_cast<int>(*store)) == nullptr) {
        run.endNote = "line " + std::to_string(lineNumber) + " of the journal is malformed";
        break;
      }
      Count(run, static_cast<int>(*store), Unescape(line.substr(t2 + 1, t3 - t2 - 1)), op[0]);
      run.changeOffsets.push_back(at);
      continue;
    }
    std::vector<std::string> f = SplitTabs(line);
    const std::string& tag = f[0];
    bool ok = true;
    if (tag == "routine" && f.size() == 2) {
      run.routine = f[1];
    } else if (tag == "slug" && f.size() == 2) {
      run.slug = f[1];
    } else if (tag == "mode" && f.size() == 2) {
      run.mode = f[1];
    } else if (tag == "started" && f.size() == 2) {
      run.started = f[1];
    } else if (tag == "undoes" && f.size() == 2) {
      run.undoes = f[1];
    } else if (tag == "setting" && f.size() == 3) {
      run.settings.emplace_back(f[1], f[2]);
    } else if (tag == "store" && f.size() == 4 && ToInt(f[1]) &&
               (f[2] == "record" || f[2] == "sql")) {
      run.stores.push_back(Store{static_cast<int>(*ToInt(f[1])),
                                 f[2] == "record" ? StoreKind::kRecord : StoreKind::kSql, f[3]});
    } else if (tag == "columns" && f.size() >= 3 && ToInt(f[1])) {
      run.columns[{static_cast<int>(*ToInt(f[1])), f[2]}] =
          std::vector<std::string>(f.begin() + 3, f.end());
    } else if (tag == "change") {
      Change change;
      ok = ParseChange(f, &change) && run.FindStore(change.store) != nullptr;
      if (ok) {
        Count(run, change.store, change.table, change.op);
        run.changeOffsets.push_back(at);
        run.changes.push_back(std::move(change));
      }
    } else if ((tag == "ask" && f.size() == 3) || (tag == "notify" && f.size() == 2) ||
               (tag == "report" && f.size() == 2) || (tag == "note" && f.size() == 2) ||
               (tag == "file" && f.size() == 6 && f[1] == "copy") ||
               (tag == "file" && f.size() == 4 && f[1] == "delete")) {
      run.events.push_back(Event{tag, std::vector<std::string>(f.begin() + 1, f.end())});
    } else if (tag == "outcome" && f.size() >= 2) {
      run.outcome = f[1] == "error" && f.size() == 3 ? "error " + f[2] : f[1];
    } else if (tag == "end" && f.size() >= 2) {
      run.complete = f[1] == "complete";
      run.endNote = f.size() == 3 ? f[2] : "";
      ended = true;
      break;
    } else {
      ok = false;
    }
    if (!ok) {
      run.endNote = "line " + std::to_string(lineNumber) + " of the journal is malformed";
      break;
    }
  }
  if (!ended && run.endNote.empty()) run.endNote = "the run never finished (killed?)";
  if (!ended) run.complete = false;
  std::ifstream undone(dir / kUndoneFileName, std::ios::binary);
  while (std::getline(undone, line)) {
    if (!line.empty()) run.undoneStores.push_back(line);
  }
  return run;
}

bool ForEachChange(const RunRecord& run, bool newestFirst,
                   const std::function<bool(const Change&)>& visit, std::string* error) {
  const fs::path file = run.dir / kJournalFileName;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    *error = "cannot read " + file.string() + " again";
    return false;
  }
  const std::size_t n = run.changeOffsets.size();
  std::string line;
  std::int64_t next = 0;  // where the stream stands
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t i = newestFirst ? n - 1 - k : k;
    // Changes ReadRun kept need not be read again.
    if (i < run.changes.size()) {
      if (!visit(run.changes[i])) return true;
      continue;
    }
    Change change;
    // A seek drops the stream's buffer: read on where the last line ended when this one
    // begins there (changes oldest first, with nothing in between).
    if (run.changeOffsets[i] != next) {
      in.clear();
      in.seekg(run.changeOffsets[i]);
    }
    const bool read = static_cast<bool>(std::getline(in, line));
    next = run.changeOffsets[i] + static_cast<std::int64_t>(line.size()) + 1;
    if (!read || !ParseChange(SplitTabs(line), &change)) {
      *error = file.string() + ": change " + std::to_string(i + 1) +
               " cannot be read back (the line is damaged, or the file changed since it was read)";
      return false;
    }
    if (!visit(change)) return true;
  }
  return true;
}

std::vector<fs::path> ListRunDirs(const fs::path& work_dir) {
  std::vector<fs::path> dirs;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(RunsDir(work_dir), ec)) {
    if (entry.is_directory(ec)) dirs.push_back(entry.path());
  }
  // "YYYYMMDD-HHMMSS-slug", and "YYYYMMDD-HHMMSS.N-slug" for the N-th run begun in the
  // same second: ordered by time, then by N.
  auto order = [](const fs::path& p) {
    const std::string name = p.filename().string();
    std::string stamp = name.substr(0, std::min<std::size_t>(name.size(), 15));
    long sequence = 1;
    if (name.size() > 16 && name[15] == '.') sequence = std::strtol(name.c_str() + 16, nullptr, 10);
    return std::make_tuple(stamp, sequence, name);
  };
  std::sort(dirs.begin(), dirs.end(),
            [&](const fs::path& a, const fs::path& b) { return order(a) < order(b); });
  return dirs;
}

std::optional<fs::path> FindRunDir(const fs::path& work_dir, const std::string& id,
                                   std::string* error) {
  std::vector<fs::path> dirs = ListRunDirs(work_dir);
  if (id == "last") {
    if (dirs.empty()) {
      *error = "no run has been recorded in " + work_dir.string();
      return std::nullopt;
    }
    return dirs.back();
  }
  std::vector<fs::path> matches;
  for (const fs::path& d : dirs) {
    const std::string name = d.filename().string();
    if (name == id) return d;
    if (!id.empty() && name.compare(0, id.size(), id) == 0) matches.push_back(d);
  }
  if (matches.size() == 1) return matches.front();
  *error = matches.empty() ? "no recorded run \"" + id + "\" (talvor-cli runs lists them)"
                           : "\"" + id + "\" names " + std::to_string(matches.size()) +
                                 " recorded runs; give more of the ID";
  return std::nullopt;
}

}  // namespace talvor::journal
