// The server tests' own look at a server database, through a connection of their own, as
// another program would see it.
#pragma once

#include <string>

#include "sqldb/internal/odbc.h"

namespace talvor::sqldb::testing {

// Runs `sql` on the server `connection` names.
inline void ServerExec(const std::string& connection, const std::string& sql) {
  odbc::Environment env;
  odbc::Connection link(env, connection);
  odbc::Statement s(link);
  s.ExecDirect(sql);
}

// The first column of every row of `sql`, joined by "|", `null` standing for NULL.
inline std::string ServerColumn(const std::string& connection, const std::string& sql,
                                const std::string& null = "<null>") {
  odbc::Environment env;
  odbc::Connection link(env, connection);
  odbc::Statement s(link);
  s.ExecDirect(sql);
  std::string out;
  for (bool first = true; s.Fetch(); first = false) {
    out += (first ? "" : "|") + s.Text(1).value_or(null);
  }
  return out;
}

}  // namespace talvor::sqldb::testing
