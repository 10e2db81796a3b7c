// A site's legacy files as a folder of sequential exports, in and out: the commands behind
// `talvor-cli site import EXPORTS DATA` and `site export DATA EXPORTS`.
//
// A real site's record files come as the record-file utilities' sequential exports (the
// `seq` format of legacy/recfile_tool.h), one export per file, named as the file. Both
// commands take every known legacy file (KnownFileNames) found by name in the folder they
// read, in any letter case, and write what they did and counted to `out`, each problem to
// `err`. They return 0 when they did their work and 1 when they did nothing.
#pragma once

#include <ostream>
#include <string>

namespace talvor::recfile {

// Creates each record file in DATA (created when missing) with its known definition and
// loads its export into it. Refuses, before creating anything, a DATA that already holds a
// file of one of those names (any letter case), and an EXPORTS folder that holds no export
// of a known file. All or nothing: when one export does not load (bad input, a record of
// the wrong length, a repeated key), the files this import created are removed again.
int ImportSite(const std::string& exports, const std::string& data, std::ostream& out,
               std::ostream& err);

// Saves each known record file of DATA, in key-0 order, as an export of the same name in
// EXPORTS (created when missing). Refuses, before writing anything, an EXPORTS that already
// holds a file of one of those names. An import of the exports gives the same records,
// byte for byte.
int ExportSite(const std::string& data, const std::string& exports, std::ostream& out,
               std::ostream& err);

}  // namespace talvor::recfile
