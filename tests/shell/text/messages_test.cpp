#include "shell/text/messages.h"

#include <gtest/gtest.h>

namespace talvor {
namespace {

TEST(MessageShapeTest, NumbersAndKeysAreSetAside) {
  EXPECT_EQ(MessageShape("Client 000042 not found"), "Client # not found");
  EXPECT_EQ(MessageShape("Client 7 not found"), "Client # not found");
  EXPECT_EQ(MessageShape("status is 12, 3 left"), "status is #, # left");
  EXPECT_EQ(MessageShape("no digits"), "no digits");
  EXPECT_EQ(MessageShape(""), "");
}

TEST(MessageTallyTest, CountsByShapeAndKeepsWhatTheTextsShare) {
  MessageTally tally;
  EXPECT_EQ(tally.Add("Unable to open ap file data/ap, status is 12"), 1);
  EXPECT_FALSE(tally.Repeated());
  EXPECT_EQ(tally.Add("Done"), 1);
  EXPECT_EQ(tally.Add("Unable to open ap file data/ap, status is 12"), 2);
  ASSERT_EQ(tally.Entries().size(), 2u);
  EXPECT_EQ(tally.Entries()[0].text, "Unable to open ap file data/ap, status is 12") << "all the same";
  EXPECT_EQ(tally.Add("Unable to open ap file data/ap, status is 13"), 3);
  EXPECT_EQ(tally.Entries()[0].text, "Unable to open ap file data/ap, status is ...");
  // Shorter and longer numbers of the same shape: the shared words stay, never half a number.
  tally.Add("Unable to open ap file data/ap, status is 1");
  tally.Add("Unable to open ap file data/ap, status is 130");
  EXPECT_EQ(tally.Entries()[0].text, "Unable to open ap file data/ap, status is ...");
  EXPECT_EQ(tally.Entries()[0].count, 5);
  EXPECT_EQ(tally.Entries()[1].text, "Done");
  EXPECT_EQ(tally.Entries()[1].count, 1);
  EXPECT_EQ(tally.Total(), 6);
  EXPECT_TRUE(tally.Repeated());

  MessageTally keys;
  keys.Add("Client 000042 not found");
  keys.Add("Client 7 not found");
  EXPECT_EQ(keys.Entries()[0].text, "Client ...");
  EXPECT_EQ(keys.Entries()[0].count, 2);
}

}  // namespace
}  // namespace talvor
