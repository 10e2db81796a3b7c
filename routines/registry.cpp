#include "routines/registry.h"

#include "routines/client/client_routines.h"
#include "routines/policy/policy_routines.h"
#include "routines/reports/reports_routines.h"
#include "shell/form.h"

namespace talvor {

namespace {

// Window order. Columns: caption, routine, flag routine, flag, group, visible, enabled, hint.
// "Quit" and "Chg Clts" belong to the window itself and are not routines.
const RoutineEntry kButtons[] = {
    {"SmartCase CLT", &SmartCaseClt, nullptr, false, ButtonGroup::kGrid, false, true, ""},
    {"Cust->AP", &CustToAp, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Resync Contacts", &ResyncContacts, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Reset Contacts", &ResetContacts, nullptr, false, ButtonGroup::kGrid, false, true, ""},
    {"1099 Scan", nullptr, &Broker1099, false, ButtonGroup::kGrid, true, true, ""},
    {"1099Clear", nullptr, &Broker1099, true, ButtonGroup::kGrid, true, true, ""},
    {"LateChrg YES", nullptr, &LateChrg, true, ButtonGroup::kGrid, true, true, ""},
    {"LateChrg NO", nullptr, &LateChrg, false, ButtonGroup::kGrid, true, true, ""},
    {"Clear AP Nulls", &ClearApNulls, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Clear Nulls - CLT", &ClearNullsClt, nullptr, false, ButtonGroup::kGrid, false, true, ""},
    {"Swap Last, First", &SwapLastFirst, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Prospect to Client", &ProspectToClient, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Restore ID", &RestoreId, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Default Addr Mail", &DefaultAddrMail, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Trim Names", &TrimNames, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"RJust Clt", &RJustClt, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Contact Ext", &ContactExt, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Sync Misc Clt Fld", &SyncMiscCltFld, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Agnt Lic. Code", &AgntLicCode, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Prd Alpha Code", &PrdAlphaCode, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Limited Alpha", &LimitedAlpha, nullptr, false, ButtonGroup::kGrid, false, true, ""},
    {"Reset SubCode", &ResetSubCode, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"ResetCltType", &ResetCltType, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Set All to CL", &ResetCltType, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"AR Forms", &ArForms, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Set Cmps DB", &SetCmpsDb, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Sync Susp", &SyncSusp, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Sync Pol/Inv", &SyncPolInv, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Clear Pol 00", &ClearPol00, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Chk Bad Main GL", &ChkBadMainGL, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Empty GL", &EmptyGL, nullptr, false, ButtonGroup::kGrid, false, true, ""},
    {"Missing 01", &Missing01, nullptr, false, ButtonGroup::kGrid, false, true, ""},
    {"Sync PolCls", &SyncPolCls, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Chop Cancels", &ChopCancels, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Invalid Trn", &InvalidTrn, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Bump Pol Dates", &BumpPolDates, nullptr, false, ButtonGroup::kGrid, false, true, ""},
    {"Load SubCLS", &LoadSubCls, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Change JE Date", &ChangeJeDate, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"SubPol XREF", &SubPolXref, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Prd Scan", &PrdScan, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Agency List", &AgencyList, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Clear Agnt Stmt Tmp", &ClearAgntStmtTmp, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Sync Phones", &SyncPhones, nullptr, false, ButtonGroup::kCommon, true, true, "Copies the Table phone number to the AP file"},
    {"Pop. CSR/SPRD/PRD", &PopCsrSprdPrd, nullptr, false, ButtonGroup::kCommon, true, true, "Copies the AP Codes to the Table"},
    {"Chk Pol Codes", &ChkPolCodes, nullptr, false, ButtonGroup::kCommon, true, true, "Creates Dpt/Cmp/Cls if the are used in Policies "},
    {"Sanity Checks", &SanityChecks, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Bad Months", &BadMonths, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Clear Cnvt Pols", &ClearCnvtPols, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Move Attch", &MoveAttch, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Unused Codes", &UnusedCodes, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Test Pol/Inv Link", &TestPolInvLink, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Test SGL", &TestSGL, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Contact Phones", &ContactPhones, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Match Pol/Clt Prd", &MatchPolCltPrd, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Load States", &LoadStates, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Clean Zips", &CleanZips, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Scan JCKI", &ScanJCKI, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Inactive Alpha", &InactiveAlpha, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Fix Prd Attch", &FixPrdAttch, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Clean Property", &CleanProperty, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"CSR->PRD", &CsrToPrd, nullptr, false, ButtonGroup::kCommon, false, false, "Copies the CSR to Producer"},
};

// Beside kButtons rather than in it: the texts would bury the window's layout, and a change of
// wording should not touch the table the window is built from. Support engineers read these
// before running a routine on a real site, so a routine whose behaviour changes needs its text
// changed here in the same commit.
const RoutineDescription kDescriptions[] = {
    {"SmartCase CLT",
     "Recases the names, trade names, address lines and cities of the clients of the agency in "
     "the Agency Code box in table Customer. Copies name, address, city and state into each "
     "client's line \"00\" of the legacy file \"ap\", creating the line where it is missing. "
     "Changes Customer and \"ap\". Writes no report and asks nothing; a failed write to \"ap\" "
     "is not reported."},
    {"Cust->AP",
     "Copies every client of table Customer (all agencies) into the legacy file \"ap\": its "
     "name-and-address line \"00\" and its line \"01\" (territory, user codes, first phone, "
     "contact, producer, sub-producer, CSR) are updated, or created when missing. An existing "
     "line \"00\" keeps its alpha code. Reads Customer and changes only \"ap\". Writes no "
     "report and asks nothing; a failed write to \"ap\" is not reported."},
    {"Resync Contacts",
     "Adds to the contact file \"extap\" a record for every contact of table Contact (all "
     "agencies) that the file lacks; contacts already in the file are not touched. Reads "
     "Contact and changes only \"extap\" (inserts). Logs each insertion in \"synccontact.log\". "
     "Asks nothing; a failed insert is not reported."},
    {"Reset Contacts",
     "Adds to the contact file \"extap\" a record for every contact of table Contact (all "
     "agencies) that the file lacks; contacts already in the file are not touched. Reads "
     "Contact and changes only \"extap\" (inserts). Writes no log and shows no progress until "
     "it ends. Asks nothing; a failed insert is not reported."},
    {"1099 Scan",
     "Lists every broker client (type letter \"B\", all agencies) whose line \"04\" in the "
     "legacy file \"ap\" holds a 1099 amount other than blank, \"$0.00\", \"0\" or ten zeros. "
     "Reads \"ap\" and changes nothing. Writes the list to \"1099over.txt\". Asks nothing."},
    {"1099Clear",
     "Lists in \"1099over.txt\" every broker client (type letter \"B\", all agencies) whose "
     "line \"04\" in the legacy file \"ap\" holds a 1099 amount other than blank, \"$0.00\", "
     "\"0\" or ten zeros, and clears each amount listed: ten zeros in line \"04\", \"$0.00\" (0 "
     "in a numeric column) in Customer.Amt1099. Changes \"ap\" and table Customer. Asks "
     "nothing; failed updates and missing rows pass silently."},
    {"LateChrg YES",
     "Switches late charges on for every client of every agency that has a line \"01\" in the "
     "legacy file \"ap\": the late-charge flag of that line becomes \"Y\" and "
     "Customer.GetLateCharges \"Y\" (true or 1 in a boolean or numeric column). Changes \"ap\" "
     "and table Customer. Writes no report and asks nothing; failed updates and missing rows "
     "pass silently."},
    {"LateChrg NO",
     "Switches late charges off for every client of every agency that has a line \"01\" in the "
     "legacy file \"ap\": the late-charge flag of that line becomes \"N\" and "
     "Customer.GetLateCharges \"N\" (false or 0 in a boolean or numeric column). Changes \"ap\" "
     "and table Customer. Writes no report and asks nothing; failed updates and missing rows "
     "pass silently."},
    {"Clear AP Nulls",
     "Replaces every zero byte in the client records of the legacy file \"ap\" (all agencies) "
     "by a blank and writes back the records that held one. Lists each such record in "
     "\"APNULLS.TXT\"; a failed readback or update is shown as a message. Changes only \"ap\". "
     "Asks nothing."},
    {"Clear Nulls - CLT",
     "Replaces every zero byte in the client records of the agency in the Agency Code box in "
     "the legacy file \"ap\" by a blank and writes each of those records back, changed or not. "
     "Lists each zero byte (position and key) in \"alpahchg.txt\". Changes only \"ap\". Asks "
     "nothing; failed writes pass silently."},
    {"Swap Last, First",
     "Rewrites the name on line \"00\" of every personal-lines client (type letter \"P\", all "
     "agencies) of the legacy file \"ap\" from \"last, first\" into \"first last\", without "
     "doubled blanks. Each line is replaced whole (deleted and inserted again). Changes only "
     "\"ap\". Writes no report and asks nothing; a line that cannot be written is shown, and "
     "put back if already removed."},
    {"Prospect to Client",
     "Marks every client line \"01\" of the legacy file \"ap\" as a client (type letter \"C\"), "
     "from the agency typed in the Agency Code box on through every agency whose code sorts "
     "after it. Changes only \"ap\"; Customer rows are not touched. Writes no report and asks "
     "nothing; failed readbacks and updates pass silently."},
    {"Restore ID",
     "Writes the tax numbers of the fixed-column file \"fed_id.txt\" in the working directory "
     "(agency in columns 1-2, client in 11-16, tax number in 20-34) into Customer.TaxID; an "
     "empty, \"(NULL)\" or \"-\" number writes \"00-0000000\". Logs every line in "
     "\"fed_id.log\" as updated or not found. A missing, unreadable or non-text file ends the "
     "run before anything changes. Asks nothing."},
    {"Default Addr Mail",
     "Sets Contact.DefaultAddFrom to \"0\" for every contact of the agency in the Agency Code "
     "box (as typed, not right-justified), in one SQL statement. Changes only table Contact. A "
     "statement the database refuses shows \"Query Failed\" and the run still ends normally. "
     "Writes no report and asks nothing."},
    {"Trim Names",
     "Removes leading and trailing blanks from Customer.Name of every client of every agency; "
     "every row is written again, also one with nothing to remove. Changes only table Customer. "
     "Writes no report and asks nothing."},
    {"RJust Clt",
     "Right-justifies the producer (Underwriter), sub-producer and CSR codes on line \"01\" of "
     "every client of the agency in the Agency Code box in the legacy file \"ap\", which a "
     "conversion can leave left-justified. Changes only \"ap\". Writes no report and asks "
     "nothing; failed readbacks and updates pass silently."},
    {"Contact Ext",
     "Removes leading and trailing blanks from the phone extension (PhoneExt) of every contact "
     "of every agency; an extension of blanks only is left as it is. Changes only table "
     "Contact, through the session named after the Server box. Writes no report and asks "
     "nothing."},
    {"Sync Misc Clt Fld",
     "Gives every Customer row without a LegalEntityCode the code 0, then creates the missing "
     "line \"04\" in the legacy file \"ap\" of every broker and commercial-lines client "
     "(CustType 0 or 1, all agencies), with the legal-entity letter \"I\" for code 1, \"P\" for "
     "2 and \"C\" otherwise. An existing line \"04\" is never touched. Writes no report and "
     "asks nothing."},
    {"Agnt Lic. Code",
     "Copies each agent's license (number and expiry, line \"03\") and legal-entity letter "
     "(line \"04\") from the legacy file \"ap\" (brokers of all agencies, read only) into "
     "Customer License1, License1Expires, LegalEntityCode. Agents whose license expired before "
     "2006 are listed in \"outdated.err\" and set inactive (ActiveStatus \"N\"). A bad expiry "
     "month ends the run; rows written stay changed. Asks nothing."},
    {"Prd Alpha Code",
     "Gives every producer of the agency in the Agency Code box in the legacy file \"ap\" the "
     "alpha code derived from its name (blanks removed, capitals, first six characters), and "
     "blanks the zero bytes of its lines \"01\" and \"02\". Changes only \"ap\". Lists each "
     "change and each failed update in \"PrdALpha.txt\", with a count. Asks nothing."},
    {"Limited Alpha",
     "Rebuilds the alpha code on line \"00\" of the clients numbered 100000 to 999999 of the "
     "agency in the Agency Code box in the legacy file \"ap\" from the Customer name (three "
     "characters of the last word and three of the first, without titles and suffixes), with "
     "\"*\" for inactive clients. Reads Customer, changes \"ap\". Lists changed codes and every "
     "write in \"alpahchg.txt\". Asks nothing."},
    {"Reset SubCode",
     "Empties the sub-code table (SubCodes) of the system record of the legacy file \"ap\"; a "
     "file without a system record is left as it is. Changes only \"ap\". Writes no report and "
     "asks nothing."},
    {"ResetCltType",
     "Turns every personal-lines client of the agency in the Agency Code box into a "
     "commercial-lines client: type letter \"P\" on line \"00\" of the legacy file \"ap\" "
     "becomes \"C\" and Customer.CustType becomes 1. Changes \"ap\" and table Customer. Logs "
     "each change, each SQL statement and its outcome in \"ResetCltType.txt\". Asks nothing."},
    {"Set All to CL",
     "Turns every personal-lines client of the agency in the Agency Code box into a "
     "commercial-lines client: type letter \"P\" on line \"00\" of the legacy file \"ap\" "
     "becomes \"C\" and Customer.CustType becomes 1. Changes \"ap\" and table Customer. Logs "
     "each change, each SQL statement and its outcome in \"ResetCltType.txt\". Asks nothing. "
     "Same routine as ResetCltType."},
    {"AR Forms",
     "For every client of every agency that has a line \"01\" in the legacy file \"ap\", sets "
     "the balance method letter (BalMethodCd) of its line \"00\" to \"B\" and, in its Customer "
     "row, ActiveStatus to \"Y\" and FormsType to 1: inactive clients become active. A client "
     "without line \"01\" or \"00\" is left as it is. Changes \"ap\" and table Customer. Writes "
     "no report and asks nothing."},
    {"Set Cmps DB",
     "Makes every company direct-bill: sets the billing-method letter of every company line "
     "\"01\" of the legacy file \"ap\" (all agencies) to \"D\", creates line \"01\" with \"D\" "
     "for each company that lacks it, and sets Company.BillMethodCd to \"D\" for the agency in "
     "the Agency Code box. Changes \"ap\" and table Company. Lists failures in "
     "\"changedcmp.txt\". Asks nothing."},
    {"Sync Susp",
     "Makes the AssignedTo of each SuspItem row equal the staff assignment of its suspense item "
     "in the legacy diary index \"DIANDX\" (all agencies, read only). Changes only table "
     "SuspItem, through the session named after the Server box. Lists every change and every "
     "item without a row in \"DiaSync.TXT\", with totals. Asks nothing."},
    {"Sync Pol/Inv",
     "Writes the codes of each Policy row (all agencies) into its \"POL\" record (producer, "
     "company, transaction, department, class), its invoice in \"JCKI\" (department; class, "
     "producer and transaction items) and its \"Desc\" line. Asks \"Change invoice producers to "
     "policy producer?\": only Yes puts the producer on the invoice. Reads Policy and Producer. "
     "Writes \"polinv.ERR\", \"polinv.chg\" and \"polinv.TXT\"."},
    {"Clear Pol 00",
     "Lists the policy terms of sequence \"00\" (conversion leftovers) in the legacy file "
     "\"POL\" (all agencies). Asks \"Clear the 00 items?\": on Yes each listed term is deleted "
     "from \"POL\" and every Policy row of sequence 0 (all agencies) is deleted with one SQL "
     "statement; otherwise nothing is deleted. Writes \"PolZero.ERR\"."},
    {"Chk Bad Main GL",
     "Lists the check entries of the agency in the Agency Code box in the legacy file \"JCKI\" "
     "whose number begins with \"101\" and whose main ledger account is \"0000\". Asks \"Fix "
     "the Checks?\": on Yes each listed check gets the account \"2130\". Touches no table. "
     "Writes \"ChkScan.ERR\" (checks, fixes, totals) and \"ChkScan.Log\" (every record visited)."},
    {"Empty GL",
     "Lists every record of the agency in the Agency Code box in the legacy file \"JCKI\" whose "
     "ledger account (GLAcct) is blank. Reads only \"JCKI\" and changes nothing. Writes "
     "\"MISSINGGL.ERR\" (each listed record whole, then the counts). Asks nothing."},
    {"Missing 01",
     "Checks that every invoice of the agency in the Agency Code box in the legacy file "
     "\"JCKI\" that has an item \"02000\" also has its item \"01000\", and lists each one "
     "missing with the status of the failed lookup. Reads only \"JCKI\" and changes nothing. "
     "Writes \"MISSING01.ERR\". Asks nothing."},
    {"Sync PolCls",
     "Gives every term of each policy in the legacy file \"POL\" (all agencies) the class of "
     "its term \"99\", which carries the current class, in its \"POL\" record and in its Policy "
     "row. Changes \"POL\" and table Policy. Lists each term changed (new and old class), each "
     "missing Policy row and each failed write in \"SyncPolCls.TXT\". Asks nothing."},
    {"Chop Cancels",
     "Shortens every cancellation term (transaction code \"CAN\") of the agency in the Agency "
     "Code box in the legacy file \"POL\" to a single day, giving it its effective date as "
     "expiration date. Asks \"Change Cancellations to single days?\"; on any other answer "
     "nothing is listed or changed. Touches no table. Writes \"polcan.ERR\"."},
    {"Invalid Trn",
     "Checks the transaction items of agency \"01\" in the legacy file \"JCKI\" (whatever the "
     "Agency Code box says) against table Trans: lists unknown codes, capitalises a code known "
     "in capitals, and brings the transaction code of the invoice's \"Desc\" line into line "
     "with the item. Changes \"JCKI\" and \"Desc\". Writes \"TrnVerify.ERR\" and "
     "\"TrnVerify.TXT\". Asks nothing."},
    {"Bump Pol Dates",
     "Moves the entry, effective and expiration dates of every policy term in the legacy file "
     "\"POL\" (all agencies) 1095 days on, in the record and in its Policy row. Sets the short "
     "date format to \"mm/dd/yyyy\" for the rest of the program's run; a blank or invalid date "
     "ends the run (terms moved stay moved). Changes \"POL\" and table Policy. Writes "
     "\"datescan.ERR\". Asks nothing."},
    {"Load SubCLS",
     "Reads the fixed-column file \"ISUCODES.TXT\" in the working directory (client in columns "
     "1-18, sub-class code in 27-62) and writes each code into SubClassCode of the client's "
     "Policy rows of the agency as typed in the Agency Code box, adding it to table SubClass "
     "under each policy's class where missing. A missing file or a bad line ends the run with "
     "nothing changed. Writes no report and asks nothing."},
    {"Change JE Date",
     "Dates every journal entry of the agency in the Agency Code box in the legacy file "
     "\"JCKI\" 30 November of the year its date already has; only month and day are rewritten. "
     "Changes only \"JCKI\". Writes \"RENJRN.ERR\": each changed entry before and after, and "
     "each entry that could not be read back or written. Asks nothing."},
    {"SubPol XREF",
     "Cross-checks, over every agency, the submission (SuspItem row) each Policy row names and "
     "the policy each submission names, and lists the mismatches in \"xreferr.log\". Asks \"Fix "
     "the Submissions?\": on Yes a submission that names another policy than the one naming it "
     "is pointed back at it, unless the policy number begins with \"PAE\". Changes only "
     "SuspItem. Its button then stays disabled."},
    {"Prd Scan",
     "Lists the producers of the agency in the Agency Code box from table Producer in "
     "\"PrdRpt.csv\" (number, name, default commission rate, active flag, message) and checks "
     "that each name holds a code in square brackets. Reads only Producer and changes nothing. "
     "Asks nothing."},
    {"Agency List",
     "Lists every agency of table Agency with the date stamp of its last policy memo (the last "
     "PolMemo row of the agency in the table's own order, not the latest date), which shows the "
     "agencies of a shared database still in use. Reads Agency and PolMemo and changes nothing. "
     "Writes \"AgyList.TXT\". Asks nothing."},
    {"Clear Agnt Stmt Tmp",
     "Drops the agent statement work tables that a stale run of the operator P in the House "
     "Account box leaves behind: \"Y\" + P + \"AGTCUST\", \"AGTHDR\", \"AGTSMT\", \"AGTSTMD\" "
     "and \"AGTSTMP\". Then deletes the files \"Y\" + P + \"AGT*.MKD\" of the data path's "
     "\"SQLTABLE\" directory; a dry run deletes none, and an undo cannot bring them back. "
     "Writes no report and asks nothing."},
    {"Sync Phones",
     "Brings every client's and contact's phones into the form (ddd)ddd-dddd in tables Customer "
     "and Contact, and copies each client's first two phones, as ten digits, into its lines "
     "\"01\" and \"02\" of the legacy file \"ap\", creating a missing line. Changes Customer, "
     "Contact and \"ap\". Writes no report and asks nothing; each engine failure is shown as a "
     "message."},
    {"Pop. CSR/SPRD/PRD",
     "Copies the producer, sub-producer and CSR codes of every client's line \"01\" in the "
     "legacy file \"ap\" (read only, all agencies) into the client's Customer row, through the "
     "session named after the Server box. Lists in \"changedclt.txt\" each code without a "
     "producer record in \"ap\". Changes only table Customer. Asks nothing."},
    {"Chk Pol Codes",
     "Checks that each client, class, company, producer and department code of the current "
     "policies (expiring after 2010-01-01) of the agency in the Agency Code box in the policy "
     "file \"POL\" has its record in the legacy file \"ap\". Asks \"Backfill Codes?\": on Yes "
     "each missing code but a client's is added to \"ap\" as a minimal record. Writes "
     "\"polscan.ERR\" and \"POLCLS.TXT\"."},
    {"Sanity Checks",
     "Sums up the converted database of the agency in the Agency Code box: client counts by "
     "type and status, producer and CSR codes missing from Producer, open suspense items, "
     "policy counts and bad codes, claims naming no policy, and the records with the most "
     "notes, vehicles and so on. Changes nothing, asks nothing. Writes "
     "\"SanityCheck_<agency>.txt\", \"SanityDetails_<agency>.txt\" and \"PrdCodes.CSV\"."},
    {"Bad Months",
     "Tests the month and day of the expiration date of every policy of every agency in the "
     "legacy file \"POL\"; a policy whose month or day is not valid gets the month and day of "
     "its effective date, keeping its expiration year. The repair is always made: it asks "
     "nothing. Changes only \"POL\". Writes \"badmonth.log\", one line per bad policy."},
    {"Clear Cnvt Pols",
     "Deletes from the legacy file \"POL\" every policy record of every agency entered by "
     "\"QXT\" on 9 December 2009 (EnteredBy \"QXT\", EntryDate \":91209\"), the records of one "
     "conversion run; both values are fixed. Changes only \"POL\". Writes no report and asks "
     "nothing; failed re-reads and deletions pass silently."},
    {"Move Attch",
     "Appends every AttchList row of the staging database (alias \"CONVERT\") to table "
     "AttchList of the agency database (alias \"AGYFORMS\"), each under the first sequence "
     "number still free for its agency, client and policy. The staging rows stay, so a second "
     "run appends them again. Writes no report and asks nothing."},
    {"Unused Codes",
     "Sorts the company codes of the agency in the Agency Code box into used (named by a "
     "policy, or by a direct-bill (\"11130\") or agency-bill (\"12110\") entry of the legacy "
     "file \"JCKI\") and unused, and the class codes of every agency by policy use. Reads "
     "Company, ClassTypes, Policy and \"JCKI\"; changes nothing, asks nothing. Writes "
     "\"used_cmp.txt\", \"unused_cmp.txt\", \"used_cls.txt\" and \"unused_cls.txt\"."},
    {"Test Pol/Inv Link",
     "Looks up the invoice that each policy of the agency in the Agency Code box in the legacy "
     "file \"POL\" names in \"JCKI\", and reports links to a missing invoice or to another "
     "client's. Asks \"Clear Policy Invoice Numbers?\": on Yes each reported policy's invoice "
     "number becomes \"000000\" in \"POL\", only where \"JCKI\" itself answered. Writes "
     "\"polinv.ERR\" and \"polinv.TXT\"."},
    {"Test SGL",
     "Checks that the codes each entry of the legacy file \"JCKI\" (all agencies) posts to "
     "exist in \"ap\", and repairs conversion leftovers in \"JCKI\": an unknown department "
     "\"P...\" becomes \"PL\" and \"CM\" becomes \"CL\", a missing or \"999\" company item gets "
     "\"ZZZ\", and void (\"X\") entries are deleted. Asks nothing. Writes \"ScanGL.ERR\" "
     "(findings) and \"ScanGL.TXT\" (empty)."},
    {"Contact Phones",
     "Brings the four phones of every contact in table Contact into the display form, and fills "
     "an empty phone 1, 2 or 4 from the phones of the contact's client in Customer, by the "
     "client's type. Changes only table Contact. Logs each empty phone found in "
     "\"reset_phone.log\". Asks nothing."},
    {"Match Pol/Clt Prd",
     "Compares the producer of each policy of the agency in the Agency Code box in the legacy "
     "file \"POL\" with the producer (Underwriter) of its client in Customer, and reports "
     "mismatches and policies whose client is missing. Asks \"Change Policy Producer Codes?\": "
     "on Yes each mismatched policy gets the client's producer in its Policy row and \"POL\" "
     "record. Writes \"ChkCltPolPrd.txt\"."},
    {"Load States",
     "Adds to table States, for the agency in the Agency Code box, each of 69 states, "
     "territories and provinces it lacks, and inserts the state's two records (lines \"00\" and "
     "\"01\") into the legacy file \"ap\". States already in the table are left alone in both "
     "stores. Writes no report and asks nothing."},
    {"Clean Zips",
     "Finds every client line \"00\" of the legacy file \"ap\" (all agencies) whose ZIP "
     "extension has one to three characters or is \"0000\", blanks the extension there and "
     "copies the cleaned ZIP into the client's Customer row. Changes \"ap\" and table Customer. "
     "Lists each case, each failed readback and each missing row in \"ZipExtScan.txt\". Asks "
     "nothing."},
    {"Scan JCKI",
     "Checks every record of the legacy file \"JCKI\" (all agencies) for characters a converted "
     "record may not hold and, for invoice items posted with kind \"1\", that the code each "
     "item refers to exists in \"ap\". Reads \"JCKI\" and \"ap\" and changes nothing. Writes "
     "\"JCKISCAN.ERR\" (findings and counts) and \"JCKISCAN.LOG\" (empty). Asks nothing."},
    {"Inactive Alpha",
     "Makes the inactive mark (a \"*\" opening the alpha on a client's line \"00\" of the "
     "legacy file \"ap\") agree with Customer.ActiveStatus for the agency in the Agency Code "
     "box: inactive clients get the \"*\", active ones the first letter of their name back. "
     "Reads Customer, changes only \"ap\". Lists every client examined in \"InActClt.txt\". "
     "Asks nothing."},
    {"Fix Prd Attch",
     "Gives each producer attachment of the agency in the Agency Code box (AttchList row of "
     "file type \"X\", with a producer code and no policy number) its own copy of its file, "
     "named \"PRDATT\" and six digits, and files its AttchList row again under that name. A dry "
     "run, or the file \"PrdAtt.dryrun\", copies no file. Writes \"PrdAtt.Txt\" and "
     "\"Do_rename.bat\". Asks nothing."},
    {"Clean Property",
     "Blanks the named-insured code of every row of table PropA (all agencies) that has one; a "
     "row whose schedule sequence another row of the client already holds is moved to the "
     "client's next free sequence. Changes only PropA. Lists every move and failure in "
     "\"CleanProp.txt\". Asks nothing."},
    {"CSR->PRD",
     "Makes every client's producer its CSR: the Underwriter of each client line \"01\" in the "
     "legacy file \"ap\" (all agencies) gets the line's CSR code, and the client's Customer row "
     "gets it in Underwriter and CSR. Changes \"ap\" and table Customer. Lists failed readbacks "
     "and updates in \"changedclt.txt\". Asks nothing."},
};

}  // namespace

std::span<const RoutineEntry> AllRoutineButtons() { return kButtons; }

std::span<const RoutineDescription> AllRoutineDescriptions() { return kDescriptions; }

std::string_view DescriptionOf(const RoutineEntry& entry) {
  if (entry.caption == nullptr) return "";
  const std::string_view caption = entry.caption;
  for (const RoutineDescription& d : kDescriptions) {
    if (caption == d.caption) return d.text;
  }
  return "";
}

std::vector<const RoutineEntry*> Registry() {
  std::vector<const RoutineEntry*> built;
  for (const RoutineEntry& e : kButtons) {
    if (e.Built()) built.push_back(&e);
  }
  return built;
}

const RoutineEntry* FindRoutine(std::string_view name) {
  const std::vector<const RoutineEntry*> built = Registry();
  return FindRoutine(built, name);
}

}  // namespace talvor
