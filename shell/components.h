// The data components of the main window: table, query and session components, each
// with its design-time database alias, table and index.
#pragma once

#include <string>
#include <vector>

#include "shell/text/dates.h"
#include "sqldb/sqldb.h"

namespace talvor {

class Components {
 public:
  // REQUIRES: *formats outlives the components; it may change while they live.
  explicit Components(const DateFormats* formats);
  Components(const Components&) = delete;
  Components& operator=(const Components&) = delete;

  sqldb::Table tblAgent{"tblAgent", "AGYFORMS", "Customer", "Index1"};
  sqldb::Table tblClients{"tblClients", "AGYFORMS", "Customer", ""};
  sqldb::Table tblClient2{"tblClient2", "CONVERT", "Customer", ""};
  sqldb::Table tblContact{"tblContact", "LOCALCALL", "Contact", ""};
  sqldb::Table tblPolicy{"tblPolicy", "DRIVEE", "Policy", "Main_idx"};
  sqldb::Table tblWritePol{"tblWritePol", "AGYFORMS", "Policy", ""};
  sqldb::Table tblPol2{"tblPol2", "AGYFORMS", "Policy", ""};
  sqldb::Table tblAttachments{"tblAttachments", "AGYFORMS", "AttchList", ""};
  sqldb::Table tblAttach2{"tblAttach2", "CONVERT", "AttchList", ""};
  sqldb::Table tblInsureds{"tblInsureds", "AGYFORMS", "Insured", ""};
  sqldb::Table tblSubmissions{"tblSubmissions", "DRIVEE", "SuspItem", "MainIdx"};
  sqldb::Table tblCustNotes{"tblCustNotes", "AGYFORMS", "CustNotes", ""};
  sqldb::Table tblPolMemo{"tblPolMemo", "AGYFORMS", "PolMemo", ""};
  sqldb::Table tblPolMemo1{"tblPolMemo1", "AGYFORMS", "PolMemo", ""};
  sqldb::Table tblPolMemo2{"tblPolMemo2", "AGYFORMS", "", ""};
  sqldb::Table tblCertMain1{"tblCertMain1", "AGYFORMS", "A25SB", ""};
  sqldb::Table tblCertMain2{"tblCertMain2", "AGYFORMS", "A25SB", ""};
  sqldb::Table tblCertHolders1{"tblCertHolders1", "AGYFORMS", "A25SBA", "Main"};
  sqldb::Table tblCertHolders2{"tblCertHolders2", "AGYFORMS", "A25SBA", "Main"};
  sqldb::Table tblCmp{"tblCmp", "AGYFORMS", "Company", ""};
  sqldb::Table tblCls{"tblCls", "AGYFORMS", "ClassTypes", ""};
  sqldb::Table tblPrd{"tblPrd", "AGYFORMS", "Producer", ""};
  sqldb::Table tblSubCls{"tblSubCls", "AGYFORMS", "SubClass", ""};
  sqldb::Table tblTrn{"tblTrn", "AGYFORMS", "Trans", ""};
  sqldb::Table tblState{"tblState", "AGYFORMS", "States", ""};
  sqldb::Table tblAgency{"tblAgency", "AGYFORMS", "Agency", ""};

  sqldb::Query PvQuery1{"PvQuery1", "AGYFORMS"};
  sqldb::Query PvQuery2{"PvQuery2", "AGYFORMS"};
  sqldb::Query PvQuery3{"PvQuery3", "AGYFORMS"};

  sqldb::Session PvSession1{"PvSession1"};

  // Every table component, in the order above.
  std::vector<sqldb::Table*> Tables();
  std::vector<sqldb::Query*> Queries();

  // Closes every table and query and puts back its design-time settings: database name,
  // table, index, no session, no filter; then lets go of the database connections that
  // nothing holds. The session keeps its state.
  void CloseAll();

 private:
  struct DesignTime {
    std::string databaseName, tableName, indexName;
  };
  std::vector<DesignTime> tableDesign_;
  std::vector<std::string> queryDesign_;
};

}  // namespace talvor
