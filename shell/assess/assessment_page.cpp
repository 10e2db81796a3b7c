#include "shell/assess/assessment_page.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <system_error>

#include "shell/text/text.h"

namespace talvor::assess {

namespace fs = std::filesystem;

namespace {

// Message texts and questions shown per routine; the rest are counted.
constexpr std::size_t kShownTexts = 5;
constexpr std::size_t kTopFindings = 10;

std::string Html(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : ShowableText(text)) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

// A link target: the path's bytes, with every byte that could end or bend the attribute
// or the URL percent-encoded.
std::string Href(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : path) {
    const auto b = static_cast<unsigned char>(c);
    if (std::isalnum(b) != 0 || c == '/' || c == '.' || c == '-' || c == '_') {
      out += c;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0xf];
    }
  }
  return out;
}

std::string Seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", s);
  return text;
}

std::string Duration(double s) {
  if (s < 60) return Seconds(s) + " s";
  const long long whole = std::llround(s);
  return std::to_string(whole / 60) + " min " + std::to_string(whole % 60) + " s";
}

std::string When(const DateTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.date.year, t.date.month,
                t.date.day, t.hour, t.minute, t.second);
  return text;
}

std::string StoreText(const RoutineFindings::StoreChanges& c) {
  return c.table.empty() ? c.store : c.store + ":" + c.table;
}

std::string CountText(const journal::ChangeCount& c) {
  std::string out;
  auto add = [&](long long n, const char* what) {
    if (n == 0) return;
    if (!out.empty()) out += ", ";
    out += GroupedDigits(n) + " " + what;
  };
  add(c.updated, "updated");
  add(c.inserted, "inserted");
  add(c.deleted, "deleted");
  return out;
}

const char* GroupName(Group g) { return g == Group::kAll ? "all" : "common"; }

std::string EndedBadge(const RoutineFindings& f) {
  std::string cls = f.ended == Ended::kCompleted ? "ok"
                    : f.ended == Ended::kNotRun  ? "skip"
                                                 : "bad";
  return "<span class=\"badge " + cls + "\">" + EndedName(f.ended) + "</span>";
}

struct Totals {
  long long records = 0, rows = 0, lines = 0, reports = 0, messages = 0;
  int errors = 0, changing = 0;
};

Totals TotalsOf(const Assessment& a) {
  Totals t;
  for (const RoutineFindings& f : a.routines) {
    t.records += f.records;
    t.rows += f.rows;
    t.lines += f.ReportLines();
    t.reports += static_cast<long long>(f.reports.size());
    t.messages += f.messageCount;
    if (f.ended == Ended::kError || f.ended == Ended::kStopped) ++t.errors;
    if (f.records + f.rows > 0) ++t.changing;
  }
  return t;
}

// One bar per routine: records (dark) and rows (light) side by side in one bar, its
// length on a logarithmic scale so that ten changes still show beside a million.
std::string Chart(const Assessment& a) {
  constexpr int kLabel = 190, kBar = 560, kRow = 22, kTop = 28;
  long long most = 1;
  for (const RoutineFindings& f : a.routines) most = std::max(most, f.records + f.rows);
  const double scale = std::log10(static_cast<double>(most) + 1);
  const int height = kTop + kRow * static_cast<int>(a.routines.size()) + 8;
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                    std::to_string(kLabel + kBar + 110) + "\" height=\"" +
                    std::to_string(height) + "\" role=\"img\" aria-label=\"Changes per routine\">";
  svg += "<rect x=\"" + std::to_string(kLabel) + "\" y=\"6\" width=\"12\" height=\"12\" "
         "class=\"rec\"/><text x=\"" + std::to_string(kLabel + 16) + "\" y=\"16\">records of "
         "legacy files</text><rect x=\"" + std::to_string(kLabel + 170) + "\" y=\"6\" "
         "width=\"12\" height=\"12\" class=\"row\"/><text x=\"" + std::to_string(kLabel + 186) +
         "\" y=\"16\">rows of database tables</text>";
  int y = kTop;
  for (const RoutineFindings& f : a.routines) {
    const long long total = f.records + f.rows;
    const double length =
        total == 0 ? 0 : kBar * std::log10(static_cast<double>(total) + 1) / scale;
    const double recordLength = total == 0 ? 0 : length * static_cast<double>(f.records) / total;
    char geometry[160];
    svg += "<text x=\"" + std::to_string(kLabel - 8) + "\" y=\"" + std::to_string(y + 14) +
           "\" text-anchor=\"end\">" + Html(f.caption) + "</text>";
    if (recordLength > 0) {
      std::snprintf(geometry, sizeof geometry,
                    "<rect x=\"%d\" y=\"%d\" width=\"%.1f\" height=\"16\" class=\"rec\"/>", kLabel,
                    y + 2, std::max(recordLength, 1.0));
      svg += geometry;
    }
    if (length - recordLength > 0) {
      std::snprintf(geometry, sizeof geometry,
                    "<rect x=\"%.1f\" y=\"%d\" width=\"%.1f\" height=\"16\" class=\"row\"/>",
                    kLabel + recordLength, y + 2, std::max(length - recordLength, 1.0));
      svg += geometry;
    }
    std::snprintf(geometry, sizeof geometry, "<text x=\"%.1f\" y=\"%d\" class=\"n\">", kLabel + length + 6,
                  y + 14);
    svg += geometry;
    svg += f.ended == Ended::kCompleted || total > 0 ? GroupedDigits(total) : EndedName(f.ended);
    svg += "</text>";
    y += kRow;
  }
  svg += "</svg>";
  return svg;
}

struct Finding {
  long long count;
  std::string html;
};

// The largest things the assessment found: report files by their lines and the stores a
// routine would change most.
std::vector<Finding> TopFindings(const Assessment& a) {
  std::vector<Finding> all;
  for (const RoutineFindings& f : a.routines) {
    for (const RoutineFindings::Report& r : f.reports) {
      if (r.lines == 0) continue;
      all.push_back({r.lines, "<b>" + Html(f.caption) + "</b> reports " + GroupedDigits(r.lines) +
                                  (r.lines == 1 ? " line" : " lines") + " in <a href=\"" +
                                  Href(r.link) + "\">" + Html(r.name) + "</a>"});
    }
    for (const RoutineFindings::StoreChanges& c : f.changes) {
      const long long n = c.count.Total();
      all.push_back({n, "<b>" + Html(f.caption) + "</b> would change " + GroupedDigits(n) +
                            (c.table.empty() ? (n == 1 ? " record of " : " records of ")
                                             : (n == 1 ? " row of " : " rows of ")) +
                            "<code>" + Html(StoreText(c)) + "</code>"});
    }
    if (f.ended == Ended::kError) {
      all.push_back({-1, "<b>" + Html(f.caption) + "</b> ended on an error: " + Html(f.error)});
    }
  }
  // Errors first, then by size; stable, so that equal sizes keep button order.
  std::stable_sort(all.begin(), all.end(), [](const Finding& x, const Finding& y) {
    if ((x.count < 0) != (y.count < 0)) return x.count < 0;
    return x.count > y.count;
  });
  if (all.size() > kTopFindings) all.resize(kTopFindings);
  return all;
}

const char* kStyle = R"(
body{font:14px/1.4 "DejaVu Sans",Arial,sans-serif;margin:24px;color:#1d232b;background:#f6f7f9}
h1{font-size:22px;margin:0 0 4px}h2{font-size:17px;margin:26px 0 8px}
.sub{color:#56606b;margin-bottom:14px}
.cards{display:flex;gap:12px;flex-wrap:wrap}
.card{background:#fff;border:1px solid #d8dde3;border-radius:6px;padding:10px 16px;min-width:130px}
.card .v{font-size:22px;font-weight:bold}.card .l{color:#56606b;font-size:12px}
table{border-collapse:collapse;background:#fff;border:1px solid #d8dde3}
th,td{border-bottom:1px solid #e4e8ec;padding:6px 9px;text-align:left;vertical-align:top}
th{background:#eef1f4;font-size:12px;text-transform:uppercase;letter-spacing:.03em;color:#44505c}
td.num{text-align:right;white-space:nowrap}
.settings td:first-child{color:#56606b}
.badge{display:inline-block;border-radius:10px;padding:1px 8px;font-size:12px;font-weight:bold}
.ok{background:#dff3e4;color:#17652f}.bad{background:#fbe0e0;color:#9b1c1c}.skip{background:#eceff2;color:#56606b}
.err{color:#9b1c1c}.muted{color:#7a848e}
ul{margin:0;padding-left:18px}code{font-size:12px}
svg text{font:12px "DejaVu Sans",Arial,sans-serif;fill:#1d232b}svg .n{fill:#44505c}
svg .rec{fill:#2f6db5}svg .row{fill:#8cb8e8}
.chart{background:#fff;border:1px solid #d8dde3;border-radius:6px;padding:10px;display:inline-block}
)";

void RoutineRow(std::string& h, std::size_t n, const RoutineFindings& f) {
  h += "<tr><td class=\"num\">" + std::to_string(n) + "</td><td><b>" + Html(f.caption) +
       "</b><br><span class=\"muted\">" + Html(f.slug) + "</span></td><td>" + EndedBadge(f);
  if (!f.error.empty()) h += "<div class=\"err\">" + Html(f.error) + "</div>";
  h += "</td><td class=\"num\">" + (f.ended == Ended::kNotRun ? "" : Seconds(f.seconds) + " s") +
       "</td><td>";
  if (f.changes.empty()) {
    h += "<span class=\"muted\">nothing</span>";
  } else {
    h += "<ul>";
    for (const RoutineFindings::StoreChanges& c : f.changes) {
      h += "<li><code>" + Html(StoreText(c)) + "</code>: " + CountText(c.count) +
           (c.table.empty() ? " records" : " rows") + "</li>";
    }
    h += "</ul>";
    if (!f.changesLink.empty())
      h += "<a href=\"" + Href(f.changesLink) + "\">the changes, one by one</a>";
  }
  for (const std::string& op : f.fileOperations) h += "<div>" + Html(op) + "</div>";
  h += "</td><td>";
  if (f.reports.empty()) {
    h += "<span class=\"muted\">none</span>";
  } else {
    h += "<ul>";
    for (const RoutineFindings::Report& r : f.reports) {
      h += "<li><a href=\"" + Href(r.link) + "\">" + Html(r.name) + "</a> " + GroupedDigits(r.lines) +
           (r.lines == 1 ? " line" : " lines") + "</li>";
    }
    h += "</ul>";
  }
  h += "</td><td>";
  if (f.messages.empty()) h += "<span class=\"muted\">none</span>";
  for (std::size_t i = 0; i < f.messages.size() && i < kShownTexts; ++i) {
    h += "<div>" + Html(f.messages[i].first);
    if (f.messages[i].second > 1) h += " <b>&times; " + GroupedDigits(f.messages[i].second) + "</b>";
    h += "</div>";
  }
  if (f.messages.size() > kShownTexts) {
    h += "<div class=\"muted\">and " + GroupedDigits(static_cast<long long>(f.messages.size() - kShownTexts)) +
         " other texts</div>";
  }
  h += "</td><td>";
  if (f.questions.empty()) h += "<span class=\"muted\">none</span>";
  for (std::size_t i = 0; i < f.questions.size() && i < kShownTexts; ++i) {
    h += "<div>" + Html(f.questions[i].first) + " <b>" + (f.questions[i].second ? "Yes" : "No") +
         "</b></div>";
  }
  if (f.questions.size() > kShownTexts) {
    h += "<div class=\"muted\">and " +
         GroupedDigits(static_cast<long long>(f.questions.size() - kShownTexts)) + " more</div>";
  }
  h += "</td></tr>\n";
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  return CsvQuote(text);
}

bool WriteWhole(const fs::path& file, const std::string& bytes, std::string* error) {
  const fs::path temporary = file.string() + ".part";
  {
    errno = 0;
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      const int code = errno != 0 ? errno : EIO;
      std::error_code ignored;
      fs::remove(temporary, ignored);
      *error = "Cannot write " + file.string() + ": " +
               std::error_code(code, std::generic_category()).message();
      return false;
    }
  }
  std::error_code ec;
  fs::rename(temporary, file, ec);
  if (ec) {
    fs::remove(temporary, ec);
    *error = "Cannot write " + file.string() + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace

std::string AssessmentPage(const Assessment& a) {
  const Totals t = TotalsOf(a);
  std::string h;
  h += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>Site "
       "assessment: " + Html(a.site.string()) + "</title>\n<style>" + kStyle + "</style></head>\n<body>\n";
  h += "<h1>Site assessment</h1>\n<div class=\"sub\"><code>" + Html(a.site.string()) +
       "</code> &middot; " + When(a.started) + " &middot; took " + Duration(a.seconds) + " &middot; " +
       std::to_string(a.routines.size()) + " routines (" + GroupName(a.group) +
       " group), each a dry run on the unchanged site, every question answered <b>" +
       (a.answerYes ? "Yes" : "No") + "</b>. Nothing was changed.";
  if (a.stopped) h += " <span class=\"err\">Stopped by the operator before the end.</span>";
  h += "</div>\n";

  h += "<div class=\"cards\">";
  auto card = [&](const std::string& value, const std::string& label) {
    h += "<div class=\"card\"><div class=\"v\">" + value + "</div><div class=\"l\">" + label +
         "</div></div>";
  };
  card(GroupedDigits(t.records), "legacy records it would change");
  card(GroupedDigits(t.rows), "database rows it would change");
  card(std::to_string(t.changing) + " of " + std::to_string(a.routines.size()),
       "routines that would change something");
  card(GroupedDigits(t.lines), "report lines in " + GroupedDigits(t.reports) + " report files");
  card(GroupedDigits(t.messages), "messages");
  card(std::to_string(t.errors), t.errors == 1 ? "routine ended on an error"
                                               : "routines ended on an error");
  h += "</div>\n";

  h += "<h2>Settings</h2>\n<table class=\"settings\">";
  const std::pair<const char*, const std::string*> settings[] = {
      {"Data path", &a.settings.dataPath},     {"ODBC name", &a.settings.odbcName},
      {"Agency code", &a.settings.agyCode},    {"Server", &a.settings.serverName},
      {"New path", &a.settings.newPath},       {"House account", &a.settings.prdCode}};
  for (const auto& [label, value] : settings) {
    h += "<tr><td>" + std::string(label) + "</td><td><code>" + Html(HidePasswords(*value)) +
         "</code></td></tr>";
  }
  h += "</table>\n";

  h += "<h2>Top findings</h2>\n";
  const std::vector<Finding> top = TopFindings(a);
  if (top.empty()) {
    h += "<p class=\"muted\">No routine would change anything or reported a finding.</p>\n";
  } else {
    h += "<ol>";
    for (const Finding& f : top) h += "<li>" + f.html + "</li>";
    h += "</ol>\n";
  }

  h += "<h2>What each routine would change</h2>\n<div class=\"chart\">" + Chart(a) + "</div>\n";

  h += "<h2>Routines</h2>\n<table><tr><th>#</th><th>Routine</th><th>Ended</th><th>Time</th>"
       "<th>Would change</th><th>Report files</th><th>Messages</th><th>Questions</th></tr>\n";
  for (std::size_t i = 0; i < a.routines.size(); ++i) RoutineRow(h, i + 1, a.routines[i]);
  h += "</table>\n<p class=\"muted\">The same in one line per routine: <a href=\"" +
       std::string(kTableName) + "\">" + kTableName + "</a>.</p>\n</body></html>\n";
  return h;
}

std::string AssessmentTable(const Assessment& a) {
  std::string out =
      "n,routine,slug,ended,seconds,records,rows,changes,report_files,report_lines,messages,"
      "questions,answer,error\n";
  for (std::size_t i = 0; i < a.routines.size(); ++i) {
    const RoutineFindings& f = a.routines[i];
    std::string changes, questions;
    for (const RoutineFindings::StoreChanges& c : f.changes) {
      if (!changes.empty()) changes += ';';
      changes += StoreText(c) + "=" + std::to_string(c.count.inserted) + "/" +
                 std::to_string(c.count.updated) + "/" + std::to_string(c.count.deleted);
    }
    for (const auto& [question, yes] : f.questions) {
      if (!questions.empty()) questions += " | ";
      questions += question;
    }
    out += std::to_string(i + 1) + "," + CsvField(f.caption) + "," + f.slug + "," +
           EndedName(f.ended) + "," + Seconds(f.seconds) + "," + std::to_string(f.records) + "," +
           std::to_string(f.rows) + "," + CsvField(changes) + "," +
           std::to_string(f.reports.size()) + "," + std::to_string(f.ReportLines()) + "," +
           std::to_string(f.messageCount) + "," + CsvField(questions) + "," +
           (a.answerYes ? "yes" : "no") + "," + CsvField(ShowableText(f.error)) + "\n";
  }
  return out;
}

bool WriteAssessment(const Assessment& a, std::string* error) {
  return WriteWhole(a.outDir / kTableName, AssessmentTable(a), error) &&
         WriteWhole(a.outDir / kPageName, AssessmentPage(a), error);
}

}  // namespace talvor::assess
