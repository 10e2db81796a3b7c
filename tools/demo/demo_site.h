// The built-in demo site: a converted agency with the defects a conversion typically leaves,
// for trying the workbench and for timing its routines.
#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>

namespace talvor {

struct DemoOptions {
  int clients = 500;                  // clients over both agencies
  std::uint64_t seed = 20261208;      // the same seed gives the same site, byte for byte
};

// What a demo site holds, for the summary line.
struct DemoSummary {
  long clients = 0;
  long apRecords = 0;
  long contacts = 0;
  long policyTerms = 0;
  long invoiceRecords = 0;
  long sqlRows = 0;
};

// Builds a site in `dir` (created when missing):
//   data/   the legacy files "ap", "extap", "POL", "JCKI", "DESC" and "DIANDX"
//   AGYFORMS.db, CONVERT.db   the agency database and the one a conversion produced
//   talvor.cfg                data path "data", alias "AGYFORMS", server "DEMO", agency "01"
//   fed_id.txt, ISUCODES.TXT  the input files of the routines that read them
// Two agencies, "01" (most clients) and "10". Throws std::runtime_error naming the file when
// `dir` already holds any of these files (nothing is replaced) or a file cannot be written.
// REQUIRES: options.clients >= 1.
DemoSummary BuildDemoSite(const std::filesystem::path& dir, const DemoOptions& options);

}  // namespace talvor
