#include "routines/registry.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
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

}  // namespace
}  // namespace talvor
