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
// Pushes the codes of every Policy row into its "POL" record, its invoice's items in "JCKI"
// and its description in "Desc"; asks whether invoice producers change too ("polinv.ERR",
// "polinv.chg", "polinv.TXT").
void SyncPolInv(TForm1& form);
// Lists the "POL" terms of sequence "00"; on request deletes them and the Policy rows of
// sequence 0 ("PolZero.ERR").
void ClearPol00(TForm1& form);
// Lists the agency's "K101" checks whose main ledger account is "0000"; on request sets it
// to "2130" ("ChkScan.ERR", "ChkScan.Log").
void ChkBadMainGL(TForm1& form);
// Lists the agency's "JCKI" records whose ledger account is blank; changes nothing
// ("MISSINGGL.ERR").
void EmptyGL(TForm1& form);
// Lists the agency's invoices that have a "02000" line but no "01000" line; changes nothing
// ("MISSING01.ERR").
void Missing01(TForm1& form);
// Gives every term of a policy the class of its term "99", in "POL" and in Policy, without
// asking ("SyncPolCls.TXT").
void SyncPolCls(TForm1& form);
// On request sets the expiration date of the agency's cancellation terms in "POL" to their
// effective date ("polcan.ERR").
void ChopCancels(TForm1& form);
// Lists agency "01" transaction items whose code Trans lacks, capitalises codes that are
// only wrong in case, and brings the descriptions' codes into line ("TrnVerify.ERR",
// "TrnVerify.TXT").
void InvalidTrn(TForm1& form);
// Moves the three dates of every policy term 1095 days on, in "POL" and in Policy, and sets
// the short date format to "mm/dd/yyyy" for the rest of the program's run ("datescan.ERR").
void BumpPolDates(TForm1& form);
// Writes the sub-class codes of "ISUCODES.TXT" into the policies of each client and adds
// them to SubClass under the policies' classes; writes no report.
void LoadSubCls(TForm1& form);
// Dates every journal entry of the agency 30 November of its year, logging each before and
// after ("RENJRN.ERR").
void ChangeJeDate(TForm1& form);
// Cross-checks the submissions the policies name and the policies the submissions name; on
// request points submissions back at their policy ("xreferr.log"). Disables its button for
// the rest of the program's run.
void SubPolXref(TForm1& form);

// Further routines (second set)

}  // namespace talvor
