// The assessment's page and table, written into its folder.
//
// index.html: one self-contained page (no network, no script): the site and its settings,
// when the assessment ran and how long it took, a bar chart (inline SVG) of what each
// routine would change, the top findings, and one row per routine: how it ended, what it
// would change per file and table, its report files (linked, with their line counts), its
// messages counted by text, its questions and the answer given.
//
// assessment.csv: a header line, then one line per routine in the order they ran, fields
// separated by commas, quoted with '"' where they hold a comma, quote or line end, lines
// ended by LF:
//   n, routine, slug, ended (completed|error|stopped|not run), seconds,
//   records (legacy records it would insert, update or delete), rows (database rows, the
//   same), changes (per file and table, "STORE=I/U/D" or "STORE:TABLE=I/U/D", joined by
//   ";"), report_files, report_lines, messages (how many were shown), questions (as asked,
//   joined by " | "), answer (yes|no), error (the message it ended on)
#pragma once

#include <string>

#include "shell/assess/assessment.h"

namespace talvor::assess {

inline constexpr const char* kPageName = "index.html";
inline constexpr const char* kTableName = "assessment.csv";

// The page's HTML.
std::string AssessmentPage(const Assessment& a);
// The table's bytes.
std::string AssessmentTable(const Assessment& a);

// Writes both into a.outDir, each whole or not at all (a file that cannot be written
// leaves no half of it). False with *error naming the file and the reason.
bool WriteAssessment(const Assessment& a, std::string* error);

}  // namespace talvor::assess
