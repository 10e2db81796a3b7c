// Sanity Checks: a one-page picture of one agency's converted database.
//
// Checks: client counts by type and status (and whether they add up), producer and CSR
// codes of clients that the Producer table lacks, open suspense items by CSR, policy
// counts, policies with null or blank codes or a bad d_filler2, active policies by company,
// transaction, class and department, claims and interests that name no policy, and the
// clients and policies with the most notes, activity, downloads, drivers, vehicles,
// property, equipment, interests and claims.
// Changes nothing. Reads Agency, Customer, Producer, SuspItem, SubStat, Policy, ClaimMain,
// CustNotes, PolMemo, DLPEND, DRIVER2, Vehicle2, PropA, EQUIPA and PolInt through PvQuery1
// (every statement) and PvQuery2 (producer names), on the alias of the ODBC name box.
// Writes "SanityCheck_<agency>.txt" (summary), "SanityDetails_<agency>.txt" (details) and
// "PrdCodes.CSV" (clients per producer code). Asks nothing.
#include <algorithm>
#include <cstdint>
#include <string>

#include "routines/reports/reports_routines.h"
#include "shell/form.h"
#include "shell/report_file.h"
#include "routines/kit/routine_support.h"
#include "shell/text/dates.h"
#include "shell/text/text.h"

namespace talvor {

namespace {

constexpr const char* kSeparator = "=======================";

// A rule: an empty line, then the separator line.
void Rule(ReportFile& file) {
  file.Line("");
  file.Line(kSeparator);
}

}  // namespace

void SanityChecks(TForm1& form) {
  const std::string a = AgencyCode(form);
  const std::string qa = SqlQuote(a);
  ReportFile summary(form, "SanityCheck_" + Trim(a) + ".txt");
  ReportFile details(form, "SanityDetails_" + Trim(a) + ".txt");
  const std::string qtoday = SqlQuote(IsoDate(form.clock().Today()));

  sqldb::Query& q = form.PvQuery1;
  sqldb::Query& names = form.PvQuery2;
  q.SetDatabaseName(form.edtODBCName);
  names.SetDatabaseName(form.edtODBCName);

  // Runs one statement on PvQuery1 under its progress label and returns its row count.
  auto run = [&](const std::string& label, const std::string& sql) -> std::int64_t {
    form.Label3 = label;
    form.ProcessMessages();
    q.SqlClear();
    q.SqlAdd(sql);
    q.Open();
    return q.RowCount();
  };
  // One line per row: the code right-justified to 6, ": ", the count padded to 20.
  auto codeLines = [&]() {
    for (q.First(); !q.Eof(); q.Next()) {
      summary.Line(RightJustify(q.AsString("Num"), 6) + ": " + PadRight(q.AsString("Ttl"), 20));
    }
  };
  auto capped = [](std::int64_t count) { return std::min<std::int64_t>(count, 5); };
  const std::string customerWhere = "Select * from \"CUSTOMER\" where AgyCode = " + qa;

  // Agency header.
  q.SqlClear();
  q.SqlAdd("Select * from \"Agency\" where AgyCode = " + qa);
  q.Open();
  summary.Line("Sanity check for Agy " + a + ":" + q.AsString("AgencyName"));
  q.Close();

  // Client counts.
  const std::int64_t active =
      run("Customer Query 1", customerWhere + " and ActiveStatus = " + SqlQuote("Y"));
  summary.Line(std::to_string(active) + " Active Clients");
  q.Close();
  const std::int64_t inactive =
      run("Customer Query 2", customerWhere + " and ActiveStatus = " + SqlQuote("N"));
  summary.Line(std::to_string(inactive) + " Inactive Clients");
  q.Close();

  const std::int64_t personal = run("Customer Query 3", customerWhere + " and CustType = 2");
  summary.Line(std::to_string(personal) + " Personal Lines Clients");
  q.Close();
  if (personal > 0) {
    std::int64_t n = run("Customer Query 3a",
                         customerWhere + " and CustType = 2 and ActiveStatus = " + SqlQuote("Y"));
    summary.Line("  -->" + std::to_string(n) + " Active Personal Lines Clients");
    q.Close();
    n = run("Customer Query 3b",
            customerWhere + " and CustType = 2 and ActiveStatus = " + SqlQuote("N"));
    summary.Line("  -->" + std::to_string(n) + " Inactive Personal Lines Clients");
    q.Close();
  }

  const std::int64_t commercial = run("Customer Query 4", customerWhere + " and CustType = 1");
  summary.Line(std::to_string(commercial) + " Commercial Lines Clients");
  q.Close();
  if (commercial > 0) {
    std::int64_t n = run("Customer Query 4a",
                         customerWhere + " and CustType = 1 and ActiveStatus =" + SqlQuote("Y"));
    summary.Line("  -->" + std::to_string(n) + " Active Commercial Lines Clients");
    q.Close();
    n = run("Customer Query 4b",
            customerWhere + " and CustType = 1 and ActiveStatus =" + SqlQuote("N"));
    summary.Line("  -->" + std::to_string(n) + " Inactive Commercial Lines Clients");
    q.Close();
  }

  const std::int64_t broker = run("Customer Query 5", customerWhere + " and CustType = 0");
  summary.Line(std::to_string(broker) + " Broker Clients");
  q.Close();
  if (broker > 0) {
    std::int64_t n = run("Customer Query 5a",
                         customerWhere + " and CustType = 0 and ActiveStatus =" + SqlQuote("Y"));
    summary.Line("  -->" + std::to_string(n) + " Active Broker Clients");
    q.Close();
    n = run("Customer Query 5b",
            customerWhere + " and CustType = 0 and ActiveStatus =" + SqlQuote("N"));
    summary.Line("  -->" + std::to_string(n) + " Inactive Broker Clients");
    q.Close();
  }

  if (personal + commercial + broker != active + inactive) summary.Line("Counts do not add up");

  // Producer and CSR codes of clients.
  const std::string undefinedCode =
      " and num not in (select Number from producer where AgyCode = " + qa + ")" +
      " Group by Num order by Ttl Desc";
  const std::string byCode = " Group by Num order by Ttl Desc";
  const std::string producerCounts =
      "select Underwriter as Num, Count(Number)as Ttl from \"Customer\"  where AgyCode = " + qa;
  const std::string csrCounts =
      "select CSR as Num, Count(Number)as Ttl from \"Customer\"  where AgyCode = " + qa;

  if (run("Customer Query 6", producerCounts + undefinedCode) > 0) {
    Rule(summary);
    summary.Line("Undefined Customer Producer Code");
    summary.Line("   Prd:Count");
    codeLines();
  }
  q.Close();
  if (run("Customer Query 6", producerCounts + byCode) > 0) {
    Rule(summary);
    summary.Line("Customer Counts by Producer Code");
    summary.Line("   Prd:Count");
    codeLines();
  }
  q.Close();

  {
    form.Label3 = "Customer Query 6a";
    form.ProcessMessages();
    ReportFile producerList(form, "PrdCodes.CSV");
    q.SqlClear();
    q.SqlAdd(producerCounts + byCode);
    q.Open();
    if (q.RowCount() > 0) {
      producerList.Line("Prd,Name,Count");
      for (q.First(); !q.Eof(); q.Next()) {
        const std::string num = q.AsString("Num");
        names.SqlClear();
        names.SqlAdd("Select * from \"Producer\" where AgyCode = " + qa +
                     " and Number = " + SqlQuote(num));
        names.Open();
        const std::string name = names.RowCount() != 0 ? names.AsString("Name") : "Not Found";
        names.Close();
        producerList.Line(num + ",\"" + name + "\"," + std::to_string(q.AsInteger("Ttl")));
      }
    }
    producerList.Close();
    q.Close();
  }

  if (run("Customer Query 7", csrCounts + undefinedCode) > 0) {
    Rule(summary);
    summary.Line("Undefined Customer CSR Code");
    summary.Line("   CSR:Count");
    codeLines();
  }
  q.Close();
  if (run("Customer Query 7", csrCounts + byCode) > 0) {
    Rule(summary);
    summary.Line("Customer Count by CSR Code");
    summary.Line("   CSR:Count");
    codeLines();
  }
  q.Close();

  // Open suspense items.
  if (run("Suspense Query",
          "select AssignedTo as Num, Count(ItemNum) as Ttl from \"SuspItem\"  where AgyCode = " +
              qa + " and Status in (select Number from \"SubStat\" where IsClosed = " +
              SqlQuote("0") + ")" + " Group by Num  Order by Ttl DESC") > 0) {
    Rule(summary);
    summary.Line("Open Suspense Count by CSR Code");
    summary.Line("   CSR:Count");
    codeLines();
  }
  q.Close();

  // Policies.
  const std::string activeTerm = " and PolicyTermExpDate > Convert(" + qtoday + ",SQL_DATE)";
  std::int64_t count =
      run("Policy Query 1",
          "Select PolNum, Count(Distinct PolNum) as Ttl from \"POLICY\" where AgyCode = " + qa +
              " Group by PolNum Order by Ttl Desc");
  summary.Line("");
  summary.Line(kSeparator);
  summary.Line("     Policy Data Begins....");
  summary.Line(kSeparator);
  summary.Line("     " + std::to_string(count) + " total Policies");
  q.Close();

  count = run("Policy Query 1a",
              "Select PolNum, Count(Distinct PolNum) as Ttl from \"POLICY\" where AgyCode = " + qa +
                  activeTerm + " Group by PolNum Order by Ttl Desc");
  summary.Line("     " + std::to_string(count) + " total Active Policies");
  summary.Line(kSeparator);
  q.Close();

  std::int64_t top = capped(
      run("Policy Query 2",
          "Select Count(Distinct PolNum) as Ttl, CltNum From \"Policy\" where AgyCode = " + qa +
              " " + activeTerm + " Group by CltNum" + " Order by Ttl DESC"));
  if (top != 0) {
    summary.Line("Top " + std::to_string(top) + " Active Policy counts");
    summary.Line(" Client:Count");
    q.First();
    for (std::int64_t i = 0; i < top && !q.Eof(); ++i, q.Next()) {
      summary.Line(" " + q.AsString("CltNum") + ": " + std::to_string(q.AsInteger("Ttl")));
    }
  } else {
    summary.Line("No Customers with current Policies");
  }
  q.Close();

  struct CodeColumn {
    const char* name;
    int width;
  };
  constexpr CodeColumn kCodeColumns[] = {
      {"CltNum", 6}, {"CmpCode", 3}, {"TrnCode", 3}, {"ClsCode", 3}, {"DptCode", 2}};
  const std::string policyWhere = "Select * from \"POLICY\" where AgyCode = " + qa;
  for (int k = 1; k <= 5; ++k) {
    const std::string c = kCodeColumns[k - 1].name;
    count = run("Policy Query 3a-" + std::to_string(k), policyWhere + " and " + c + " is NULL");
    if (count > 0) summary.Line(std::to_string(count) + " Policies have a null " + c);
    q.Close();
  }
  for (int k = 1; k <= 5; ++k) {
    const std::string c = kCodeColumns[k - 1].name;
    const std::string blanks(static_cast<std::size_t>(kCodeColumns[k - 1].width), ' ');
    count = run("Policy Query 3b-" + std::to_string(k),
                policyWhere + " and " + c + " = " + SqlQuote(blanks));
    if (count > 0) summary.Line(std::to_string(count) + " Policies have an empty " + c);
    q.Close();
  }
  count = run("Policy Query 5", policyWhere + " and (( d_filler2 < 1.0) or (d_filler2 > 9.0 ))");
  if (count > 0) summary.Line(std::to_string(count) + " Policies have an invalid d_filler2 value");
  q.Close();

  for (int k = 2; k <= 5; ++k) {
    const std::string c = kCodeColumns[k - 1].name;
    Rule(summary);
    Rule(details);
    run("Policy Query 6-" + std::to_string(k),
        "Select " + c + ", Count(Distinct PolNum) as TtL from \"Policy\" where AgyCode = " + qa +
            activeTerm + " Group by " + c + " Order by Ttl DESC");
    const std::string heading = " " + RightJustify(c, 10) + ": Count";
    details.Line("Active Policy Counts by " + c);
    details.Line(heading);
    summary.Line("Top 3 Active Policy Counts by " + c);
    summary.Line(heading);
    int row = 0;
    for (q.First(); !q.Eof(); q.Next(), ++row) {
      const std::string line =
          " " + RightJustify(q.AsString(c), 10) + ": " + std::to_string(q.AsInteger("Ttl"));
      if (row < 3) summary.Line(line);
      details.Line(line);
    }
    q.Close();
  }
  summary.Line("");
  details.Line("");

  // Claims.
  count = run("Claim Query 3",
              "Select CltNum, Count(ClaimNo) as Ttl From \"ClaimMain\" where AgyCode = " + qa +
                  " Group by CltNum" + " Order by Ttl DESC");
  if (count > 0) {
    top = capped(count);
    summary.Line(kSeparator);
    summary.Line("Top" + std::to_string(top) + " claims by Client");
    summary.Line(" Client:Count");
    q.First();
    for (std::int64_t i = 0; i < top && !q.Eof(); ++i, q.Next()) {
      summary.Line(" " + RightJustify(q.AsString("CltNum"), 6) + ":" +
                   RightJustify(q.AsString("Ttl"), 5));
    }
  }
  q.Close();

  const std::string noPolicy =
      " and PolNum not in (select Polnum from Policy where AgyCode = " + qa + ")";
  count = run(
      "Claim Query 3",
      "select CltNum, PolNum, PolSeq, ClaimNo from \"ClaimMain\" where AgyCode = " + qa + noPolicy);
  if (count > 0) {
    summary.Line(kSeparator);
    summary.Line("Claims to non-existing policies");
    for (q.First(); !q.Eof(); q.Next()) {
      summary.Line(
          RightJustify(q.AsString("CltNum"), 6) + " " + PadRight(q.AsString("PolNum"), 20) + " " +
          RightJustify(q.AsString("PolSeq"), 2) + " " + RightJustify(q.AsString("ClaimNo"), 2));
    }
  }
  q.Close();
  Rule(summary);

  // Activity top-five lists.
  enum class RowKind { kClient, kClientSeven, kPolicy };
  struct TopList {
    const char* label;
    const char* counted;  // "Client, Count(SchedSeq)" and the like
    const char* table;
    const char* groupBy;
    const char* title;
    RowKind kind;
    const char* empty;
  };
  constexpr TopList kTopLists[] = {
      {"CustNotes Query", "CltNum, Count(AutoKey)", "CUSTNOTES", "CltNum", " Customer Notes",
       RowKind::kClient, "No Customers with notes found"},
      {"PolMemo Query", "CltNum, Count(AutoID)", "POLMEMO", "CltNum", " Customer Activity",
       RowKind::kClient, "No Customers with Activity Found"},
      {"DLPend Query", "Client, Count(DownloadSeq)", "DLPEND", "Client", " Download Activity",
       RowKind::kClientSeven, "No Customers with Downloads Found"},
      {"Driver Query", "Client, Count(SchedSeq)", "DRIVER2", "Client", " driver counts",
       RowKind::kClient, "No Customers with Drivers Found"},
      {"Vehicle Query", "Client, Count(SchedSeq)", "VEHICLE2", "Client", " vehicles counts",
       RowKind::kClient, "No Customers with Vehicles Found"},
      {"Property Query", "Client, Count(SchedSeq)", "PROPA", "Client", " Property counts",
       RowKind::kClient, "No Customers with Property Found"},
      {"Equipment Query", "Client, Count(SchedSeq)", "EQUIPA", "Client", " Equipment counts",
       RowKind::kClient, "No Customers with Equipment Found"},
      {"PolInt Query", "PolNum, Count(Intnum)", "PolInt", "PolNum", " policies with interests",
       RowKind::kPolicy, "No policies with interests found"},
  };
  for (const TopList& list : kTopLists) {
    const std::string key = list.groupBy;
    top = capped(run(list.label, std::string("Select ") + list.counted + " as TtL from \"" +
                                     list.table + "\" where AgyCode = " + qa + " Group by " + key +
                                     " Order by Ttl DESC"));
    if (top != 0) {
      summary.Line("Top " + std::to_string(top) + list.title);
      summary.Line(list.kind == RowKind::kPolicy ? "              Policy:Count" : " Client:Count");
      q.First();
      for (std::int64_t i = 0; i < top && !q.Eof(); ++i, q.Next()) {
        const std::string ttl = std::to_string(q.AsInteger("Ttl"));
        switch (list.kind) {
          case RowKind::kClient:
            summary.Line(" " + q.AsString(key) + ": " + ttl);
            break;
          case RowKind::kClientSeven:
            summary.Line(RightJustify(q.AsString(key), 7) + ": " + ttl);
            break;
          case RowKind::kPolicy:
            summary.Line(PadRight(q.AsString(key), 20) + ": " + ttl);
            break;
        }
      }
    } else {
      summary.Line(list.empty);
    }
    q.Close();
    Rule(summary);
  }

  // Policy interests without a policy.
  const std::int64_t m =
      run("PolInt Query 2", "select PolNum, Count(IntNum) As Ttl from \"PolInt\" where AgyCode = " +
                                qa + noPolicy + " " + "  Group by PolNum Order by Ttl DESC");
  if (m > 0) {
    const std::string heading = "Policy Interests to non-existing policies, " + std::to_string(m) +
                                " total policies involved";
    auto interestLine = [&]() {
      return PadRight(q.AsString("PolNum"), 20) + " " + RightJustify(q.AsString("Ttl"), 6);
    };
    Rule(summary);
    summary.Line(heading);
    if (m < 6) {
      for (q.First(); !q.Eof(); q.Next()) summary.Line(interestLine());
    } else {
      summary.Line("Top 5 shown here, the rest are in the detail output");
      q.First();
      for (int i = 0; i < 5 && !q.Eof(); ++i, q.Next()) summary.Line(interestLine());
      q.First();
      Rule(details);
      details.Line(heading);
      for (; !q.Eof(); q.Next()) details.Line(interestLine());
    }
  }
  q.Close();

  const std::int64_t c =
      run("PolInt Query 2", "select Agent, PolNum, IntNum from \"PolInt\" where AgyCode = " + qa +
                                noPolicy + " " + "  Order by Agent, PolNum");
  if (c > 0) {
    Rule(summary);
    summary.Line(std::to_string(c) +
                 " policy interests to non existing policies. See Details for list");
    summary.Line(kSeparator);
    Rule(details);
    details.Line("Policy Interests to non-existing policies, " + std::to_string(c) +
                 " total interests involved");
    for (q.First(); !q.Eof(); q.Next()) {
      details.Line(RightJustify(q.AsString("Agent"), 6) + " " + PadRight(q.AsString("PolNum"), 20) +
                   " " + RightJustify(q.AsString("IntNum"), 6));
    }
  }
  q.Close();
  Rule(summary);
  Rule(summary);

  // Claims by client.
  top = capped(run("Claim Query",
                   "Select CltNum, Count(ClaimNo) as TtL from \"CLAIMMAIN\" where AgyCode = " + qa +
                       " Group by CltNum Order by Ttl DESC"));
  if (top != 0) {
    summary.Line("Top " + std::to_string(top) + " Customers with Claims");
    summary.Line(" Client:Count");
    q.First();
    for (std::int64_t i = 0; i < top && !q.Eof(); ++i, q.Next()) {
      summary.Line(" " + q.AsString("CltNum") + ": " + std::to_string(q.AsInteger("Ttl")));
    }
  } else {
    summary.Line("No Customers with Claims Found");
  }
  q.Close();
  summary.Close();
  details.Close();
  form.Label3 = "Done";
  form.ProcessMessages();
}

}  // namespace talvor
