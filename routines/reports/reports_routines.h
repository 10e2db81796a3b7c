// The database reports and attachment upkeep behind the main window's buttons. Each runs on the main
// window's settings, components and front end, and is described in its own source file.
#pragma once

namespace talvor {

class TForm1;

// Common post-convert group
// Summary, details and producer-list reports of one agency's database; changes nothing.
void SanityChecks(TForm1& form);
// Reports the company and class codes that policies and invoices use and do not use.
void UnusedCodes(TForm1& form);
// Copies each producer attachment's file under a generated name and re-files its row there.
void FixPrdAttch(TForm1& form);
// Appends every staging ("CONVERT") attachment row to the agency database at free sequences.
void MoveAttch(TForm1& form);
// Blanks the named-insured code of property rows, moving colliding rows to a free sequence.
void CleanProperty(TForm1& form);
// Deletes the policy records that the conversion entered (operator "QXT" on 12/09/2009).
void ClearCnvtPols(TForm1& form);

// Further routines (first set)
// Lists the agency's producers with rate, yes/no flag and bracketed-code check in PrdRpt.csv.
void PrdScan(TForm1& form);
// Lists every agency with the date stamp of its last policy memo in AgyList.TXT.
void AgencyList(TForm1& form);
// Drops the operator's five agent statement work tables and deletes their SQLTABLE files.
void ClearAgntStmtTmp(TForm1& form);

// Further routines (second set)

}  // namespace talvor
