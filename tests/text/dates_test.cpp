#include "shell/text/dates.h"

#include <gtest/gtest.h>

namespace talvor {
namespace {

TEST(LegacyDateTest, ConvertsBothWays) {
  EXPECT_EQ(LegacyDateToText("<10101"), "01/01/2021");
  EXPECT_EQ(TextToLegacyDate("3/1/2005", DateFormats{}), ":50301");
}

}  // namespace
}  // namespace talvor
