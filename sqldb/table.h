// Table: a component that walks and changes the rows of one table of an agency database.
//
// Settings (database name, session name, table name, index name, filter) are set while the
// component is closed; Open() connects, finds the table and stands on its first row.
// Rows come in the order of the named index (an index of that name on the table, matched
// without regard to case; ties in storage order), else in storage (rowid) order.
//
// A walk:  t.Open(); for (t.First(); !t.Eof(); t.Next()) { ... t.AsString("Name") ... }
// Change:  t.Edit(); t.SetString("Phone1", p); t.Post();
// Add:     t.Insert(); t.SetString("AgyCode", "01"); ...; t.Post();
//
// First() fixes the walk: it lists the rows that belong to it at that moment, and Next()
// reads each row as the database holds it when it gets there, so a walk goes on correctly
// while this or another component posts changes, inserts or deletes rows of the same
// table. A row deleted meanwhile is passed over (as is, with a filter on, a row that no
// longer matches it); rows added meanwhile are not part of the walk.
// Locate() and RecordCount() look at the database as it is now.
// Every write of this process (any component, any query) is seen by the next read of
// every component at once. Another process's writes are seen within about 0.2 s: a walk
// steps one statement along its rows, and a Locate reads inside the read of the one
// before, each for no longer than that.
//
// Column names are matched without regard to case and may hold blanks ("Prd Code").
// Every failure raises sqldb::Error with a message naming the table and the database.
// Not thread-safe: a component belongs to the thread that runs the routines.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "shell/text/dates.h"
#include "sqldb/fields.h"
#include "sqldb/variant.h"

namespace talvor::sqldb {

enum class TableState { kInactive, kBrowse, kEdit, kInsert };

class Table : public Fields {
 public:
  // `name` is the component's own name ("tblAgent"); the others are its design-time
  // settings: Table tblAgent{"tblAgent", "AGYFORMS", "Customer", "Index1"};
  explicit Table(std::string name = "", std::string databaseName = "", std::string tableName = "",
                 std::string indexName = "");
  // Closes the component (an edit in progress is discarded).
  ~Table();
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;
  // A moved-from component may only be destroyed or assigned to.
  Table(Table&&) noexcept;
  Table& operator=(Table&&) noexcept;

  const std::string& Name() const;

  // Settings. The setters of database, session and table name throw Error while the
  // component is open.
  const std::string& DatabaseName() const;
  void SetDatabaseName(std::string databaseName);
  const std::string& SessionName() const;
  void SetSessionName(std::string sessionName);
  const std::string& TableName() const;
  void SetTableName(std::string tableName);
  const std::string& IndexName() const;
  // May change while open: the walk order changes and the cursor stays on its row (the next
  // Next() goes on in the new order). An edit in progress is posted first. Throws Error for
  // an index that the table does not have, and keeps the previous index then.
  void SetIndexName(std::string indexName);

  // Row filter: an SQL condition on the table's columns ("AgyCode = '01' and CltNum =
  // ' 12345'"), after the dialect step. In force while Filtered() is true. Changing either
  // while open posts an edit in progress and moves to the first row that matches; a
  // condition that the engine refuses throws Error naming the filter (the filter stays
  // set, and the component stays open on no row).
  const std::string& Filter() const;
  void SetFilter(std::string filter);
  bool Filtered() const;
  void SetFiltered(bool filtered);

  // Date formats for text reads of date columns and for dates assigned as text.
  // nullptr selects the default formats. REQUIRES: *formats outlives the component.
  void SetDateFormats(const DateFormats* formats);

  // Opens the component and moves to the first row. Does nothing when already open.
  // Throws Error for an unknown database name, a missing database file or table, a table
  // without rowids, an unknown index name, a refused filter, or an unknown session; the
  // component then stays closed.
  void Open();
  // Closes the component; an edit or insert in progress is discarded. Settings stay.
  void Close();
  bool IsOpen() const;
  TableState State() const;

  // Moves. Each posts an edit in progress first (only when something was assigned; else it
  // is cancelled). REQUIRES for all: the component is open (else Error).
  // First: the first row of the walk; Eof() and Bof() are both true when there is none.
  void First();
  // Next: the next row; past the last row Eof() becomes true and the last row stays current.
  void Next();
  // Prior: the previous row; before the first row Bof() becomes true.
  void Prior();
  // Last: the last row of the walk, with Eof() true (as after moving past it).
  void Last();
  bool Eof() const;
  bool Bof() const;

  // Typed reads (sqldb/fields.h) of a column of the current row: the values being edited
  // while in edit or insert mode.
  using Fields::AsBoolean, Fields::AsDateTime, Fields::AsFloat, Fields::AsInteger,
      Fields::AsString, Fields::AsVariant, Fields::IsNull;
  // The table's column names in table order (empty while closed).
  std::vector<std::string> FieldNames() const;

  // Edit: puts the current row into edit mode. Throws Error when there is no current row.
  void Edit();
  // Insert: starts a new row with every column empty (NULL); unassigned columns get the
  // table's defaults when posted.
  void Insert();
  // Assign a column of the row being edited or inserted, converted to the column's type as
  // an assignment converts (text "05" -> 5 in an integer column; text "1/01/2029" -> the
  // date in a date column, read with the short date format; an empty text -> NULL in a
  // non-text column; booleans stored 0/1; date-times stored "YYYY-MM-DD[ HH:MM:SS]").
  // Throws Error when not in edit or insert mode, for an unknown column, and for a value
  // that does not convert.
  void SetString(std::string_view column, std::string_view value);
  void SetInteger(std::string_view column, std::int64_t value);
  void SetFloat(std::string_view column, double value);
  void SetDateTime(std::string_view column, const DateTime& value);
  void SetBoolean(std::string_view column, bool value);
  void SetNull(std::string_view column);
  void SetVariant(std::string_view column, const Variant& value);
  // Post: writes the row as one autocommit statement (only the assigned columns) and
  // returns to browsing. After an insert the cursor stands on the new row, and Next() goes
  // on from there in walk order. Throws Error when the engine refuses the row (the
  // component stays in its mode) or when the edited row no longer exists. Outside edit or
  // insert mode does nothing.
  // An edit whose assigned values all equal the row as it was read (same type; a number
  // bit for bit) writes nothing, when nothing of this process wrote since the read: so it
  // does not overwrite another process's change made between the read and the post (and a
  // recorded run keeps no change of it), nor fail for a row another process deleted then.
  void Post();
  // Cancel: drops the edit or insert; the cursor stays where it was.
  void Cancel();
  // Delete: deletes the current row (an edit in progress is cancelled first; in insert
  // mode Delete only cancels). The cursor moves to the next row; after the last row it
  // stands on the new last row with Eof() true. Throws Error when there is no current row.
  void Delete();

  // Moves to the first row in walk order whose columns `fields` (names joined by ";",
  // e.g. "AgyCode;Number") equal `values` (one per field; extra values are ignored) and
  // returns true; with a filter on, only matching rows count. The match is exact and
  // case-sensitive; each value is first converted to its column's type as an assignment
  // would be ("05" finds the integer 5; a text column compares the text as given). A value
  // that cannot convert finds nothing.
  // Empty and NULL: in a text column (or one without a declared type) an empty text finds
  // a stored empty text or NULL, whichever comes first; blanks ("      ") find only
  // themselves. In any other column an empty or blank text converts to NULL, as an
  // assignment would, and finds NULL only. A null value finds NULL only. This is so that a
  // row is found by the values the typed reads give for it: NULL reads as "", and a column
  // left unassigned on insert is NULL (unless the table has a default), so a caller cannot
  // tell the two apart.
  // Only Locate does this; a filter and a query's SQL never take '' for NULL, so a caller
  // that must not take one for the other restates its condition as the filter.
  // Returns false and leaves the cursor where it was when no row matches. A Next() or
  // Prior() after a successful Locate goes on from the located row in walk order (the walk
  // is listed afresh then, as by First()).
  // Posts an edit in progress first. Throws Error for an unknown field, fewer values than
  // fields, or a closed component.
  bool Locate(std::string_view fields, const std::vector<Variant>& values);

  // The number of rows of the table (that match the filter when it is on), counted now.
  std::int64_t RecordCount() const;

  struct Impl;

 private:
  const Variant& CellOf(std::string_view column, internal::FieldKind& kind) const override;
  const DateFormats& Formats() const override;
  std::string Where() const override;

  std::unique_ptr<Impl> impl_;
};

}  // namespace talvor::sqldb
