#include "shell/text/text.h"

#include <gtest/gtest.h>

namespace talvor {
namespace {

TEST(RightJustifyTest, PadsShortTextAndKeepsFirstCharactersOfLongText) {
  EXPECT_EQ(RightJustify("1", 2), " 1");
  EXPECT_EQ(RightJustify("ABC", 2), "AB");
}

}  // namespace
}  // namespace talvor
