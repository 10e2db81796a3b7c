#include "shell/components.h"

namespace talvor {

Components::Components(const DateFormats* formats) {
  for (sqldb::Table* t : Tables()) {
    t->SetDateFormats(formats);
    tableDesign_.push_back({t->DatabaseName(), t->TableName(), t->IndexName()});
  }
  for (sqldb::Query* q : Queries()) {
    q->SetDateFormats(formats);
    queryDesign_.push_back(q->DatabaseName());
  }
}

std::vector<sqldb::Table*> Components::Tables() {
  return {&tblAgent, &tblClients, &tblClient2, &tblContact, &tblPolicy, &tblWritePol, &tblPol2, &tblAttachments, &tblAttach2, &tblInsureds, &tblSubmissions, &tblCustNotes, &tblPolMemo, &tblPolMemo1, &tblPolMemo2, &tblCertMain1, &tblCertMain2, &tblCertHolders1, &tblCertHolders2, &tblCmp, &tblCls, &tblPrd, &tblSubCls, &tblTrn, &tblState, &tblAgency};
}

std::vector<sqldb::Query*> Components::Queries() { return {&PvQuery1, &PvQuery2, &PvQuery3}; }

void Components::CloseAll() {
  const std::vector<sqldb::Table*> tables = Tables();
  for (std::size_t i = 0; i < tables.size(); ++i) {
    sqldb::Table& t = *tables[i];
    t.Close();
    t.SetFiltered(false);
    t.SetFilter("");
    t.SetSessionName("");
    t.SetDatabaseName(tableDesign_[i].databaseName);
    t.SetTableName(tableDesign_[i].tableName);
    t.SetIndexName(tableDesign_[i].indexName);
  }
  const std::vector<sqldb::Query*> queries = Queries();
  for (std::size_t i = 0; i < queries.size(); ++i) {
    queries[i]->Close();
    queries[i]->SqlClear();
    queries[i]->SetSessionName("");
    queries[i]->SetDatabaseName(queryDesign_[i]);
  }
  // Nothing is open now: the database files are left free between runs.
  sqldb::CloseIdleConnections();
}

}  // namespace talvor
