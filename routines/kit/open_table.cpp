#include "routines/kit/open_table.h"

#include "shell/form.h"
#include "sqldb/error.h"

namespace talvor {

bool OpenTable(TForm1& form, sqldb::Table& table) {
  try {
    table.SetDatabaseName(form.edtODBCName);
    table.Open();
    return true;
  } catch (const sqldb::Error&) {
  }
  try {
    table.SetDatabaseName(form.edtDatapath);
    table.Open();
    return true;
  } catch (const sqldb::Error& e) {
    form.Notify("error opening [" + table.Name() + "] [" + table.TableName() + "] [" +
                table.DatabaseName() + "]:  " + e.what());
  }
  return false;
}

}  // namespace talvor
