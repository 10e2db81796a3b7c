#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "routines/reports/reports_routines.h"
#include "tests/testing/site_fixture.h"

namespace talvor {
namespace {

using Lines = std::vector<std::string>;
const std::string S = "=======================";

// A "code: count" line of the client and suspense sections.
std::string Code(const std::string& code, int count) {
  std::string ttl = std::to_string(count);
  return "     " + code + ": " + ttl + std::string(20 - ttl.size(), ' ');
}
std::string Pad(const std::string& text, std::size_t width) {
  return text + std::string(width - text.size(), ' ');
}
std::string Two(int n) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02d", n);
  return buffer;
}
void Append(Lines& lines, const Lines& more) {
  lines.insert(lines.end(), more.begin(), more.end());
}

class SanityChecksTest : public testing::SiteTest {
 protected:
  void Customer(const std::string& agency, const std::string& number, int type,
                const std::string& status, const std::string& producer, const std::string& csr) {
    Sql("insert into Customer (AgyCode, Number, CustType, ActiveStatus, Underwriter, CSR) values "
        "('" +
        agency + "', '" + number + "', " + std::to_string(type) + ", '" + status + "', '" +
        producer + "', '" + csr + "')");
  }
  // Values are SQL literals.
  void Policy(const std::string& values) {
    Sql("insert into Policy (AgyCode, PolNum, PolSeq, CltNum, CmpCode, TrnCode, ClsCode, DptCode, "
        "PolicyTermExpDate, d_filler2) values (" +
        values + ")");
  }
  static std::string Client(int i) { return "  100" + std::to_string(i); }

  // A site that reaches every section of the report, with distinct counts wherever rows are
  // ordered by their count.
  void PutFullSite() {
    Sql("insert into Agency values ('01', 'Velmar Test Agency'), ('02', 'Other Agency')");
    Customer("01", "  1001", 2, "Y", "  A", "  C");
    Customer("01", "  1002", 2, "Y", "  A", "  C");
    Customer("01", "  1003", 2, "N", "  A", "  C");
    Customer("01", "  1004", 1, "Y", "  B", "  X");
    Customer("01", "  1005", 1, "N", "  Z", "  C");
    Customer("01", "  1006", 0, "Y", "  Z", "  X");
    Customer("02", "  9001", 2, "Y", "  Q", "  Q");
    Sql("insert into Producer (AgyCode, Number, Name) values ('01', '  A', 'Alice Prd'), "
        "('01', '  B', 'Bob Prd'), ('01', '  C', 'Carol CSR'), ('02', '  Z', 'Zed of agency 02')");
    Sql("insert into SubStat values ('01', 1, 0), ('01', 2, 1)");
    Sql("insert into SuspItem (AgyCode, ItemNum, AssignedTo, Status) values "
        "('01', '000000001', '  C', 1), ('01', '000000002', '  C', 1), "
        "('01', '000000003', '  C', 1), ('01', '000000004', '  A', 1), "
        "('01', '000000005', '  B', 2), ('01', '000000006', '  B', 2), "
        "('02', '000000007', '  A', 1)");

    // 21 active policies: clients 1001..1006 hold 6..1 of them.
    for (int j = 1; j <= 21; ++j) {
      const int client = j <= 6 ? 1 : j <= 11 ? 2 : j <= 15 ? 3 : j <= 18 ? 4 : j <= 20 ? 5 : 6;
      const std::string cmp = j <= 8    ? "  1"
                              : j <= 14 ? "  2"
                              : j <= 18 ? "  3"
                              : j <= 20 ? "  4"
                                        : "  5";
      const std::string trn = j <= 12 ? "NEW" : "REN";
      const std::string cls = j <= 11 ? " 10" : j <= 18 ? " 20" : " 30";
      const std::string dpt = j <= 15 ? "PL" : "CL";
      Policy("'01', 'A" + Two(j) + "', 0, '" + Client(client) + "', '" + cmp + "', '" + trn +
             "', '" + cls + "', '" + dpt + "', '2027-06-01', " + (j == 21 ? "9.0" : "3.0"));
    }
    // Expired (one on today's date) and damaged policies; EXP1 has two terms.
    Policy("'01', 'EXP1', 0, '  1001', NULL, '   ', '   ', NULL, '2020-01-01', 0.5");
    Policy("'01', 'EXP1', 1, '  1001', NULL, 'NEW', '   ', 'PL', '2026-12-08', 9.5");
    Policy("'01', 'EXP3', 0, NULL, '  1', 'REN', '   ', '  ', NULL, 5.0");
    Policy("'01', 'EXP4', 0, '      ', '  1', 'NEW', ' 10', 'PL', '2019-05-05', 1.0");
    Policy("'02', 'B01', 0, '  9001', '  9', 'NEW', ' 10', 'PL', '2027-01-01', 0.0");

    // 21 claims of clients 1001..1006 (6..1); the first seven name policies that do not exist.
    int k = 0;
    for (int client = 1; client <= 6; ++client) {
      for (int n = 0; n < 7 - client; ++n) {
        ++k;
        const std::string policy = k <= 7 ? "GONE" + std::to_string(k) : "A01";
        const std::string claim = k == 7 ? "123" : "C" + std::to_string(k);
        Sql("insert into ClaimMain values ('01', '" + Client(client) + "', '" + policy + "', " +
            std::to_string(k <= 7 ? k : 0) + ", '" + claim + "')");
        Sql("insert into Vehicle2 values ('01', '" + Client(client) + "', " + std::to_string(k) +
            ")");
      }
    }
    Sql("insert into ClaimMain values ('02', '  9001', 'NOPE', 0, 'Z1')");

    Sql("insert into CustNotes values ('01', '  1001', 1), ('01', '  1001', 2), "
        "('01', '  1001', 3), ('01', '  1002', 4), ('02', '  9001', 5)");
    Sql("insert into PolMemo (AgyCode, CltNum, AutoID) values ('02', '  9001', 1)");
    Sql("insert into DLPEND values ('01', '  1003', 1), ('01', '  1003', 2)");
    Sql("insert into PropA values ('01', '  1002', '      ', 1)");

    // Interests: seven on A01, and 21 on six policy numbers that do not exist (6..1 each).
    for (int i = 1; i <= 7; ++i) {
      Sql("insert into PolInt values ('01', 'A01', '" + std::to_string(i) + "', '   AGA')");
    }
    k = 0;
    for (int p = 1; p <= 6; ++p) {
      for (int n = 0; n < 7 - p; ++n) {
        ++k;
        Sql("insert into PolInt values ('01', 'X" + std::to_string(p) + "', '" + std::to_string(k) +
            "', '  AG" + Two(k) + "')");
      }
    }
  }

  // The top-five lists and closing lines when every one of them is empty.
  static Lines EmptyTail() {
    return {"No Customers with notes found",
            "",
            S,
            "No Customers with Activity Found",
            "",
            S,
            "No Customers with Downloads Found",
            "",
            S,
            "No Customers with Drivers Found",
            "",
            S,
            "No Customers with Vehicles Found",
            "",
            S,
            "No Customers with Property Found",
            "",
            S,
            "No Customers with Equipment Found",
            "",
            S,
            "No policies with interests found",
            "",
            S,
            "",
            S,
            "",
            S,
            "No Customers with Claims Found"};
  }
};

TEST_F(SanityChecksTest, FullSiteGivesEverySectionOfTheThreeReports) {
  PutFullSite();
  const RunOutcome outcome = Run(&SanityChecks);
  ASSERT_TRUE(outcome.completed) << outcome.error;

  Lines summary{"Sanity check for Agy 01:Velmar Test Agency",
                "4 Active Clients",
                "2 Inactive Clients",
                "3 Personal Lines Clients",
                "  -->2 Active Personal Lines Clients",
                "  -->1 Inactive Personal Lines Clients",
                "2 Commercial Lines Clients",
                "  -->1 Active Commercial Lines Clients",
                "  -->1 Inactive Commercial Lines Clients",
                "1 Broker Clients",
                "  -->1 Active Broker Clients",
                "  -->0 Inactive Broker Clients",
                "",
                S,
                "Undefined Customer Producer Code",
                "   Prd:Count",
                Code("Z", 2),
                "",
                S,
                "Customer Counts by Producer Code",
                "   Prd:Count",
                Code("A", 3),
                Code("Z", 2),
                Code("B", 1),
                "",
                S,
                "Undefined Customer CSR Code",
                "   CSR:Count",
                Code("X", 2),
                "",
                S,
                "Customer Count by CSR Code",
                "   CSR:Count",
                Code("C", 4),
                Code("X", 2),
                "",
                S,
                "Open Suspense Count by CSR Code",
                "   CSR:Count",
                Code("C", 3),
                Code("A", 1),
                "",
                S,
                "     Policy Data Begins....",
                S,
                "     24 total Policies",
                "     21 total Active Policies",
                S,
                "Top 5 Active Policy counts",
                " Client:Count",
                "   1001: 6",
                "   1002: 5",
                "   1003: 4",
                "   1004: 3",
                "   1005: 2",
                "1 Policies have a null CltNum",
                "2 Policies have a null CmpCode",
                "1 Policies have a null DptCode",
                "1 Policies have an empty CltNum",
                "1 Policies have an empty TrnCode",
                "3 Policies have an empty ClsCode",
                "1 Policies have an empty DptCode",
                "2 Policies have an invalid d_filler2 value",
                "",
                S,
                "Top 3 Active Policy Counts by CmpCode",
                "    CmpCode: Count",
                "          1: 8",
                "          2: 6",
                "          3: 4",
                "",
                S,
                "Top 3 Active Policy Counts by TrnCode",
                "    TrnCode: Count",
                "        NEW: 12",
                "        REN: 9",
                "",
                S,
                "Top 3 Active Policy Counts by ClsCode",
                "    ClsCode: Count",
                "         10: 11",
                "         20: 7",
                "         30: 3",
                "",
                S,
                "Top 3 Active Policy Counts by DptCode",
                "    DptCode: Count",
                "         PL: 15",
                "         CL: 6",
                "",
                S,
                "Top5 claims by Client",
                " Client:Count",
                "   1001:    6",
                "   1002:    5",
                "   1003:    4",
                "   1004:    3",
                "   1005:    2",
                S,
                "Claims to non-existing policies"};
  for (int k = 1; k <= 6; ++k) {
    summary.push_back("  1001 " + Pad("GONE" + std::to_string(k), 20) + "  " + std::to_string(k) +
                      " C" + std::to_string(k));
  }
  Append(summary, {"  1002 " + Pad("GONE7", 20) + "  7 12",
                   "",
                   S,
                   "Top 2 Customer Notes",
                   " Client:Count",
                   "   1001: 3",
                   "   1002: 1",
                   "",
                   S,
                   "No Customers with Activity Found",
                   "",
                   S,
                   "Top 1 Download Activity",
                   " Client:Count",
                   "   1003: 2",
                   "",
                   S,
                   "No Customers with Drivers Found",
                   "",
                   S,
                   "Top 5 vehicles counts",
                   " Client:Count",
                   "   1001: 6",
                   "   1002: 5",
                   "   1003: 4",
                   "   1004: 3",
                   "   1005: 2",
                   "",
                   S,
                   "Top 1 Property counts",
                   " Client:Count",
                   "   1002: 1",
                   "",
                   S,
                   "No Customers with Equipment Found",
                   "",
                   S,
                   "Top 5 policies with interests",
                   "              Policy:Count",
                   Pad("A01", 20) + ": 7",
                   Pad("X1", 20) + ": 6",
                   Pad("X2", 20) + ": 5",
                   Pad("X3", 20) + ": 4",
                   Pad("X4", 20) + ": 3",
                   "",
                   S,
                   "",
                   S,
                   "Policy Interests to non-existing policies, 6 total policies involved",
                   "Top 5 shown here, the rest are in the detail output"});
  for (int p = 1; p <= 5; ++p)
    summary.push_back(Pad("X" + std::to_string(p), 20) + "      " + std::to_string(7 - p));
  Append(summary, {"", S, "21 policy interests to non existing policies. See Details for list", S,
                   "", S, "", S, "Top 5 Customers with Claims", " Client:Count", "   1001: 6",
                   "   1002: 5", "   1003: 4", "   1004: 3", "   1005: 2"});
  EXPECT_EQ(ReportLines("SanityCheck_01.txt"), summary);

  Lines details{"",
                S,
                "Active Policy Counts by CmpCode",
                "    CmpCode: Count",
                "          1: 8",
                "          2: 6",
                "          3: 4",
                "          4: 2",
                "          5: 1",
                "",
                S,
                "Active Policy Counts by TrnCode",
                "    TrnCode: Count",
                "        NEW: 12",
                "        REN: 9",
                "",
                S,
                "Active Policy Counts by ClsCode",
                "    ClsCode: Count",
                "         10: 11",
                "         20: 7",
                "         30: 3",
                "",
                S,
                "Active Policy Counts by DptCode",
                "    DptCode: Count",
                "         PL: 15",
                "         CL: 6",
                "",
                "",
                S,
                "Policy Interests to non-existing policies, 6 total policies involved"};
  for (int p = 1; p <= 6; ++p)
    details.push_back(Pad("X" + std::to_string(p), 20) + "      " + std::to_string(7 - p));
  Append(details,
         {"", S, "Policy Interests to non-existing policies, 21 total interests involved"});
  int k = 0;
  for (int p = 1; p <= 6; ++p) {
    for (int n = 0; n < 7 - p; ++n) {
      ++k;
      const std::string number = std::to_string(k);
      details.push_back("  AG" + Two(k) + " " + Pad("X" + std::to_string(p), 20) + " " +
                        std::string(6 - number.size(), ' ') + number);
    }
  }
  EXPECT_EQ(ReportLines("SanityDetails_01.txt"), details);

  EXPECT_EQ(ReportLines("PrdCodes.CSV"), (Lines{"Prd,Name,Count", "  A,\"Alice Prd\",3",
                                                "  Z,\"Not Found\",2", "  B,\"Bob Prd\",1"}));
  EXPECT_EQ(form->Label3.Caption(), "Done");
}

TEST_F(SanityChecksTest, EmptyAgencyRunsNoSubCountsAndWritesTheEmptyMessages) {
  const RunOutcome outcome = Run(&SanityChecks);
  ASSERT_TRUE(outcome.completed) << outcome.error;
  Lines summary{"Sanity check for Agy 01:",
                "0 Active Clients",
                "0 Inactive Clients",
                "0 Personal Lines Clients",
                "0 Commercial Lines Clients",
                "0 Broker Clients",
                "",
                S,
                "     Policy Data Begins....",
                S,
                "     0 total Policies",
                "     0 total Active Policies",
                S,
                "No Customers with current Policies"};
  Lines details;
  for (const std::string c : {"CmpCode", "TrnCode", "ClsCode", "DptCode"}) {
    Append(summary, {"", S, "Top 3 Active Policy Counts by " + c, "    " + c + ": Count"});
    Append(details, {"", S, "Active Policy Counts by " + c, "    " + c + ": Count"});
  }
  Append(summary, {"", "", S});
  Append(summary, EmptyTail());
  details.push_back("");
  EXPECT_EQ(ReportLines("SanityCheck_01.txt"), summary);
  EXPECT_EQ(ReportLines("SanityDetails_01.txt"), details);
  EXPECT_TRUE(ReportLines("PrdCodes.CSV").empty());
}

TEST_F(SanityChecksTest, EachStepShowsItsLabel) {
  ASSERT_TRUE(Run(&SanityChecks).completed);
  Lines labels{"Customer Query 1", "Customer Query 2", "Customer Query 3", "Customer Query 4",
               "Customer Query 5", "Customer Query 6", "Customer Query 6", "Customer Query 6a",
               "Customer Query 7", "Customer Query 7", "Suspense Query",   "Policy Query 1",
               "Policy Query 1a",  "Policy Query 2"};
  for (int k = 1; k <= 5; ++k) labels.push_back("Policy Query 3a-" + std::to_string(k));
  for (int k = 1; k <= 5; ++k) labels.push_back("Policy Query 3b-" + std::to_string(k));
  labels.push_back("Policy Query 5");
  for (int k = 2; k <= 5; ++k) labels.push_back("Policy Query 6-" + std::to_string(k));
  Append(labels,
         {"Claim Query 3", "Claim Query 3", "CustNotes Query", "PolMemo Query", "DLPend Query",
          "Driver Query", "Vehicle Query", "Property Query", "Equipment Query", "PolInt Query",
          "PolInt Query 2", "PolInt Query 2", "Claim Query", "Done"});
  EXPECT_EQ(fe.Statuses(), labels);
}

struct AddUpCase {
  const char* name;
  int type;
  const char* status;
  bool addsUp;
};

class SanityAddUpTest : public SanityChecksTest, public ::testing::WithParamInterface<AddUpCase> {};

TEST_P(SanityAddUpTest, CountsAddUpOnlyForKnownTypesAndStatuses) {
  Customer("01", "  1001", 2, "Y", "  A", "  A");
  Customer("01", "  1002", GetParam().type, GetParam().status, "  A", "  A");
  ASSERT_TRUE(Run(&SanityChecks).completed);
  const Lines summary = ReportLines("SanityCheck_01.txt");
  const bool flagged =
      std::find(summary.begin(), summary.end(), "Counts do not add up") != summary.end();
  EXPECT_EQ(flagged, !GetParam().addsUp);
}

INSTANTIATE_TEST_SUITE_P(Clients, SanityAddUpTest,
                         ::testing::Values(AddUpCase{"Commercial", 1, "N", true},
                                           AddUpCase{"Broker", 0, "Y", true},
                                           AddUpCase{"TypeOutOfRange", 3, "Y", false},
                                           AddUpCase{"StatusNeitherYNorN", 1, "X", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SanityChecksTest, OneCharacterAgencyNamesFilesTrimmedAndQueriesWithItsBlank) {
  form->edtAgyCode = "1";
  Sql("insert into Agency values (' 1', 'Agency One'), ('01', 'Agency Zero One')");
  Customer(" 1", "  1001", 1, "Y", "  A", "  A");
  Customer("01", "  1002", 1, "Y", "  A", "  A");
  Customer("01", "  1003", 1, "Y", "  A", "  A");
  ASSERT_TRUE(Run(&SanityChecks).completed);
  EXPECT_FALSE(FileExists("SanityCheck_ 1.txt"));
  const Lines summary = ReportLines("SanityCheck_1.txt");
  ASSERT_GE(summary.size(), 3u);
  EXPECT_EQ(summary[0], "Sanity check for Agy  1:Agency One");
  EXPECT_EQ(summary[1], "1 Active Clients");
  EXPECT_TRUE(FileExists("SanityDetails_1.txt"));
}

TEST_F(SanityChecksTest, FewOrphanInterestsAreListedInTheSummaryOnly) {
  Sql("insert into PolInt values ('01', 'GONE-A', '1', '  AG01'), ('01', 'GONE-A', '2', '  AG02'), "
      "('01', 'GONE-B', '3', '  AG03')");
  ASSERT_TRUE(Run(&SanityChecks).completed);
  const Lines summary = ReportLines("SanityCheck_01.txt");
  const Lines expected{"Top 2 policies with interests",
                       "              Policy:Count",
                       Pad("GONE-A", 20) + ": 2",
                       Pad("GONE-B", 20) + ": 1",
                       "",
                       S,
                       "",
                       S,
                       "Policy Interests to non-existing policies, 2 total policies involved",
                       Pad("GONE-A", 20) + "      2",
                       Pad("GONE-B", 20) + "      1",
                       "",
                       S,
                       "3 policy interests to non existing policies. See Details for list",
                       S,
                       "",
                       S,
                       "",
                       S,
                       "No Customers with Claims Found"};
  ASSERT_GE(summary.size(), expected.size());
  EXPECT_EQ(Lines(summary.end() - static_cast<long>(expected.size()), summary.end()), expected);
  const Lines details = ReportLines("SanityDetails_01.txt");
  const Lines detailTail{"",
                         S,
                         "Policy Interests to non-existing policies, 3 total interests involved",
                         "  AG01 " + Pad("GONE-A", 20) + "      1",
                         "  AG02 " + Pad("GONE-A", 20) + "      2",
                         "  AG03 " + Pad("GONE-B", 20) + "      3"};
  ASSERT_GE(details.size(), detailTail.size());
  EXPECT_EQ(Lines(details.end() - static_cast<long>(detailTail.size()), details.end()), detailTail);
  EXPECT_EQ(details.size(), 4 * 4 + 1 + detailTail.size());
}

TEST_F(SanityChecksTest, MissingTableEndsTheRunAndKeepsWhatWasWritten) {
  PutFullSite();
  Sql("drop table ClaimMain");
  const RunOutcome outcome = Run(&SanityChecks);
  EXPECT_FALSE(outcome.completed);
  EXPECT_NE(outcome.error.find("ClaimMain"), std::string::npos) << outcome.error;
  EXPECT_EQ(fe.Errors(), (Lines{outcome.error}));
  EXPECT_EQ(fe.Statuses().back(), "Claim Query 3");
  const Lines summary = ReportLines("SanityCheck_01.txt");
  ASSERT_GE(summary.size(), 2u);
  EXPECT_EQ(summary[summary.size() - 2], "         CL: 6");
  EXPECT_EQ(summary.back(), "");
  EXPECT_EQ(ReportLines("SanityDetails_01.txt").back(), "");
  EXPECT_EQ(ReportLines("PrdCodes.CSV").size(), 4u);
}

}  // namespace
}  // namespace talvor
