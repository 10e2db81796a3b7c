#include "shell/text/money.h"

#include <gtest/gtest.h>

namespace talvor {
namespace {

TEST(MoneyToZonedTest, WritesCentsWithSignInLastCharacter) {
  EXPECT_EQ(MoneyToZoned(0), "0000000000");
  EXPECT_EQ(MoneyToZoned(1234.5), "0000123450");
  EXPECT_EQ(MoneyToZoned(-12.34), "000000123t");
}

}  // namespace
}  // namespace talvor
