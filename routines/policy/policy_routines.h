// The policy and invoice checks and repairs behind the main window's buttons. Each runs on the main
// window's settings, components and front end, and is described in its own source file.
#pragma once

namespace talvor {

class TForm1;

// Common post-convert group
// Reports the codes of current policies missing from "ap"; on request adds the missing
// class, company, producer and department codes ("polscan.ERR", "POLCLS.TXT").
void ChkPolCodes(TForm1& form);
// Reports policies whose invoice is missing or belongs to another client; on request clears
// their invoice number ("polinv.ERR", "polinv.TXT").
void TestPolInvLink(TForm1& form);
// Reports policies whose producer differs from their client's; on request gives them the
// client's producer in Policy and in "POL" ("ChkCltPolPrd.txt").
void MatchPolCltPrd(TForm1& form);
// Gives every policy whose expiration month or day is invalid the month and day of its
// effective date, without asking ("badmonth.log").
void BadMonths(TForm1& form);
// Reports invoice and journal entries that post to codes missing from "ap", and repairs a
// few known conversion leftovers without asking ("ScanGL.ERR", "ScanGL.TXT").
void TestSGL(TForm1& form);
// Reports invoice-file records holding characters a converted record may not hold, and
// invoice items whose code is missing from "ap"; changes nothing ("JCKISCAN.ERR",
// "JCKISCAN.LOG").
void ScanJCKI(TForm1& form);

// Further routines (first set)

// Further routines (second set)

}  // namespace talvor
