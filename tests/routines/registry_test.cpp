#include "routines/registry.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace talvor {
namespace {

std::vector<std::string> CaptionsOf(ButtonGroup group) {
  std::vector<std::string> out;
  for (const RoutineEntry& e : AllRoutineButtons()) {
    if (e.group == group) out.push_back(e.caption);
  }
  return out;
}

const RoutineEntry& ButtonNamed(const std::string& caption) {
  for (const RoutineEntry& e : AllRoutineButtons()) {
    if (caption == e.caption) return e;
  }
  ADD_FAILURE() << "no button " << caption;
  static const RoutineEntry none{};
  return none;
}

TEST(Registry, SlugsFollowTheCommandLineRule) {
  EXPECT_EQ(SlugOf("Pop. CSR/SPRD/PRD"), "pop-csr-sprd-prd");
  EXPECT_EQ(SlugOf("Swap Last, First"), "swap-last-first");
  EXPECT_EQ(SlugOf("CSR->PRD"), "csr-prd");
  EXPECT_EQ(SlugOf("Clear Nulls - CLT"), "clear-nulls-clt");
  EXPECT_EQ(SlugOf("1099Clear"), "1099clear");
  EXPECT_EQ(SlugOf("  --Edge--  "), "edge");
}

TEST(Registry, CaptionsAndSlugsAreUnique) {
  std::set<std::string> captions, slugs;
  for (const RoutineEntry& e : AllRoutineButtons()) {
    EXPECT_TRUE(captions.insert(e.caption).second) << e.caption;
    EXPECT_TRUE(slugs.insert(e.Slug()).second) << e.Slug();
  }
  EXPECT_EQ(captions.size(), 61u);  // every routine button of the window
}

TEST(Registry, CommonGroupHoldsItsButtonsFromTheTop) {
  const std::vector<std::string> expected = {
      "Sync Phones",       "Pop. CSR/SPRD/PRD", "Chk Pol Codes",   "Sanity Checks",
      "Bad Months",        "Clear Cnvt Pols",   "Move Attch",      "Unused Codes",
      "Test Pol/Inv Link", "Test SGL",          "Contact Phones",  "Match Pol/Clt Prd",
      "Load States",       "Clean Zips",        "Scan JCKI",       "Inactive Alpha",
      "Fix Prd Attch",     "Clean Property",    "CSR->PRD"};
  EXPECT_EQ(CaptionsOf(ButtonGroup::kCommon), expected);
}

TEST(Registry, HiddenAndDisabledButtonsAreMarked) {
  const std::set<std::string> hidden = {"CSR->PRD",      "SmartCase CLT", "Reset Contacts",
                                        "Clear Nulls - CLT", "Limited Alpha", "Empty GL",
                                        "Missing 01",    "Bump Pol Dates"};
  for (const RoutineEntry& e : AllRoutineButtons()) {
    EXPECT_EQ(e.visible, hidden.count(e.caption) == 0) << e.caption;
    EXPECT_EQ(e.enabled, std::string(e.caption) != "CSR->PRD") << e.caption;
  }
}

TEST(Registry, SharedRoutinesCarryTheirFlags) {
  EXPECT_FALSE(ButtonNamed("1099 Scan").flag);
  EXPECT_TRUE(ButtonNamed("1099Clear").flag);
  EXPECT_TRUE(ButtonNamed("LateChrg YES").flag);
  EXPECT_FALSE(ButtonNamed("LateChrg NO").flag);
}

TEST(Registry, HintsAreTheWindowsTexts) {
  EXPECT_STREQ(ButtonNamed("Sync Phones").hint, "Copies the Table phone number to the AP file");
  EXPECT_STREQ(ButtonNamed("Pop. CSR/SPRD/PRD").hint, "Copies the AP Codes to the Table");
  EXPECT_STREQ(ButtonNamed("Chk Pol Codes").hint, "Creates Dpt/Cmp/Cls if the are used in Policies ");
  EXPECT_STREQ(ButtonNamed("CSR->PRD").hint, "Copies the CSR to Producer");
  EXPECT_STREQ(ButtonNamed("Test SGL").hint, "");
}

TEST(Registry, OnlyBuiltRoutinesAreListedAndFound) {
  for (const RoutineEntry* e : Registry()) {
    EXPECT_TRUE(e->Built()) << e->caption;
    EXPECT_EQ(FindRoutine(e->caption), e);
    EXPECT_EQ(FindRoutine(e->Slug()), e);
  }
  EXPECT_EQ(FindRoutine("no such routine"), nullptr);
}

TEST(RoutineDescriptions, EveryBuiltRoutineHasOne) {
  int built = 0;
  for (const RoutineEntry& e : AllRoutineButtons()) {
    if (!e.Built()) continue;
    ++built;
    EXPECT_FALSE(DescriptionOf(e).empty()) << e.caption;
  }
  EXPECT_GT(built, 0);
}

TEST(RoutineDescriptions, EachIsOneShortLineOfPlainText) {
  ASSERT_FALSE(AllRoutineDescriptions().empty());
  for (const RoutineDescription& d : AllRoutineDescriptions()) {
    const std::string_view text = d.text;
    SCOPED_TRACE(d.caption);
    ASSERT_FALSE(text.empty());
    EXPECT_LE(text.size(), 400u);
    for (const char c : text) {
      EXPECT_TRUE(c >= 0x20 && c <= 0x7e) << "byte " << static_cast<int>(c);
    }
    EXPECT_NE(text.front(), ' ');
    EXPECT_EQ(text.back(), '.');
    EXPECT_EQ(text.find("  "), std::string_view::npos);
    // A sentence ends at a full stop before a blank or the end; "1099over.txt" and
    // "Customer.Name" hold a stop inside a word.
    int sentences = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
      if (text[at] == '.' && (at + 1 == text.size() || text[at + 1] == ' ')) ++sentences;
    }
    EXPECT_GE(sentences, 2);
    EXPECT_LE(sentences, 5);
  }
}

TEST(RoutineDescriptions, EachBelongsToOneButton) {
  std::set<std::string> buttons, described;
  for (const RoutineEntry& e : AllRoutineButtons()) buttons.insert(e.caption);
  for (const RoutineDescription& d : AllRoutineDescriptions()) {
    EXPECT_EQ(buttons.count(d.caption), 1u) << "no button " << d.caption;
    EXPECT_TRUE(described.insert(d.caption).second) << "described twice: " << d.caption;
  }
}

TEST(RoutineDescriptions, AreFoundByTheExactCaption) {
  const RoutineEntry& syncPhones = ButtonNamed("Sync Phones");
  EXPECT_NE(DescriptionOf(syncPhones).find("\"ap\""), std::string_view::npos);
  // An entry made elsewhere with the same caption gets the same text.
  const RoutineEntry copy{"Sync Phones", nullptr, nullptr, false, ButtonGroup::kCommon,
                          true, true, ""};
  EXPECT_EQ(DescriptionOf(copy), DescriptionOf(syncPhones));
  const RoutineEntry otherCase{"sync phones", nullptr, nullptr, false, ButtonGroup::kCommon,
                               true, true, ""};
  EXPECT_EQ(DescriptionOf(otherCase), "");
  const RoutineEntry unknown{"No Such Routine", nullptr, nullptr, false, ButtonGroup::kGrid,
                             true, true, ""};
  EXPECT_EQ(DescriptionOf(unknown), "");
  const RoutineEntry none{};
  EXPECT_EQ(DescriptionOf(none), "");
  // Two buttons of one routine with a flag do different things and say so.
  EXPECT_NE(DescriptionOf(ButtonNamed("1099 Scan")), DescriptionOf(ButtonNamed("1099Clear")));
  EXPECT_NE(DescriptionOf(ButtonNamed("LateChrg YES")), DescriptionOf(ButtonNamed("LateChrg NO")));
}

// The report files each routine's source creates, as it names them (Sanity Checks adds the
// agency to the first two).
const std::map<std::string, std::vector<std::string>>& ReportsWritten() {
  static const std::map<std::string, std::vector<std::string>> reports = {
      {"Agnt Lic. Code", {"outdated.err"}},
      {"1099 Scan", {"1099over.txt"}},
      {"1099Clear", {"1099over.txt"}},
      {"Clean Zips", {"ZipExtScan.txt"}},
      {"Clear AP Nulls", {"APNULLS.TXT"}},
      {"Clear Nulls - CLT", {"alpahchg.txt"}},
      {"Contact Phones", {"reset_phone.log"}},
      {"CSR->PRD", {"changedclt.txt"}},
      {"Inactive Alpha", {"InActClt.txt"}},
      {"Limited Alpha", {"alpahchg.txt"}},
      {"Pop. CSR/SPRD/PRD", {"changedclt.txt"}},
      {"Prd Alpha Code", {"PrdALpha.txt"}},
      {"ResetCltType", {"ResetCltType.txt"}},
      {"Set All to CL", {"ResetCltType.txt"}},
      {"Restore ID", {"fed_id.log"}},
      {"Resync Contacts", {"synccontact.log"}},
      {"Set Cmps DB", {"changedcmp.txt"}},
      {"Sync Susp", {"DiaSync.TXT"}},
      {"Bad Months", {"badmonth.log"}},
      {"Bump Pol Dates", {"datescan.ERR"}},
      {"Change JE Date", {"RENJRN.ERR"}},
      {"Chk Bad Main GL", {"ChkScan.ERR", "ChkScan.Log"}},
      {"Chk Pol Codes", {"polscan.ERR", "POLCLS.TXT"}},
      {"Chop Cancels", {"polcan.ERR"}},
      {"Clear Pol 00", {"PolZero.ERR"}},
      {"Empty GL", {"MISSINGGL.ERR"}},
      {"Invalid Trn", {"TrnVerify.ERR", "TrnVerify.TXT"}},
      {"Match Pol/Clt Prd", {"ChkCltPolPrd.txt"}},
      {"Missing 01", {"MISSING01.ERR"}},
      {"Scan JCKI", {"JCKISCAN.LOG", "JCKISCAN.ERR"}},
      {"SubPol XREF", {"xreferr.log"}},
      {"Sync PolCls", {"SyncPolCls.TXT"}},
      {"Sync Pol/Inv", {"polinv.ERR", "polinv.chg", "polinv.TXT"}},
      {"Test Pol/Inv Link", {"polinv.ERR", "polinv.TXT"}},
      {"Test SGL", {"ScanGL.ERR", "ScanGL.TXT"}},
      {"Agency List", {"AgyList.TXT"}},
      {"Clean Property", {"CleanProp.txt"}},
      {"Fix Prd Attch", {"PrdAtt.Txt", "Do_rename.bat"}},
      {"Prd Scan", {"PrdRpt.csv"}},
      {"Sanity Checks", {"SanityCheck_", "SanityDetails_", "PrdCodes.CSV"}},
      {"Unused Codes", {"unused_cmp.txt", "used_cmp.txt", "unused_cls.txt", "used_cls.txt"}},
  };
  return reports;
}

TEST(RoutineDescriptions, NameTheReportFilesTheirRoutinesWrite) {
  for (const auto& [caption, names] : ReportsWritten()) {
    const std::string_view text = DescriptionOf(ButtonNamed(caption));
    for (const std::string& name : names) {
      // Quoted, so that "used_cmp.txt" is not found inside "unused_cmp.txt".
      const std::string quoted = "\"" + name + (name.back() == '_' ? "" : "\"");
      EXPECT_NE(text.find(quoted), std::string_view::npos) << caption << " lacks " << quoted;
    }
  }
}

TEST(RoutineDescriptions, QuoteTheQuestionOrSayThereIsNone) {
  // The questions as the routines' sources ask them.
  const std::map<std::string, std::string> questions = {
      {"Chk Bad Main GL", "Fix the Checks?"},
      {"Chk Pol Codes", "Backfill Codes?"},
      {"Chop Cancels", "Change Cancellations to single days?"},
      {"Clear Pol 00", "Clear the 00 items?"},
      {"Match Pol/Clt Prd", "Change Policy Producer Codes?"},
      {"SubPol XREF", "Fix the Submissions?"},
      {"Sync Pol/Inv", "Change invoice producers to policy producer?"},
      {"Test Pol/Inv Link", "Clear Policy Invoice Numbers?"},
  };
  for (const RoutineEntry& e : AllRoutineButtons()) {
    const std::string text(DescriptionOf(e));
    const auto question = questions.find(e.caption);
    if (question != questions.end()) {
      EXPECT_NE(text.find("Asks \"" + question->second + "\""), std::string::npos) << e.caption;
      EXPECT_EQ(text.find("sks nothing"), std::string::npos) << e.caption;
    } else {
      EXPECT_NE(text.find("sks nothing"), std::string::npos) << e.caption;
      EXPECT_EQ(text.find("Asks \""), std::string::npos) << e.caption;
    }
  }
}

}  // namespace
}  // namespace talvor
