// Faults arranged by tests of routines: which call fails, what it returns, and that a failing
// call changes nothing.
#include "legacy/fault_injection.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "legacy/engine.h"
#include "legacy_test_support.h"

namespace talvor {
namespace {

using testing::ApRecord;
using testing::ClientKey;
using testing::ReadAll;

class FaultInjectionTest : public testing::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    MakeFile("data/ap", "ap",
             {ApRecord(ClientKey(" 1", "1", "00")), ApRecord(ClientKey(" 1", "2", "00")),
              ApRecord(ClientKey(" 1", "3", "00")), ApRecord(ClientKey(" 1", "4", "00"))});
    MakeFile("data/POL", "POL");
  }
};

TEST_F(FaultInjectionTest, TheNthReadOfAFileFailsOnceAndTheWalkThenGoesOn) {
  AddFault({"ap", FaultOp::kRead, 3, 2, 1});
  BtrHandle h;
  ASSERT_EQ(btrOpen(h, "", "data\\ap", 1, 1, 0), kBtrOk);
  char data[150];
  int length = 150;
  ASSERT_EQ(btrGetFirst(h, data, &length, 0, 0), kBtrOk);
  ASSERT_EQ(btrGetNext(h, data, &length, 0), kBtrOk);
  std::memset(data, '~', sizeof data);
  EXPECT_EQ(btrGetNext(h, data, &length, 0), 2);
  EXPECT_EQ(data[0], '~');
  ASSERT_EQ(btrGetNext(h, data, &length, 0), kBtrOk);
  EXPECT_EQ(std::string(data, 16), ClientKey(" 1", "3", "00"));
  EXPECT_EQ(FaultsTriggered(), 1);
}

TEST_F(FaultInjectionTest, TheFileIsMatchedByItsLastComponentWithoutRegardToCase) {
  AddFault({"AP", FaultOp::kRead, 1, 9, 1});
  AddFault({"pol", FaultOp::kRead, 1, 44, 1});
  BtrHandle ap;
  BtrHandle pol;
  ASSERT_EQ(btrOpen(ap, "", "DATA\\Ap", 1, 1, 0), kBtrOk);
  ASSERT_EQ(btrOpen(pol, "", "data/POL", 1, 1, 0), kBtrOk);
  char data[150];
  int length = 150;
  EXPECT_EQ(btrGetFirst(ap, data, &length, 0, 0), 9);
  EXPECT_EQ(btrGetFirst(pol, data, &length, 0, 0), 44);
  EXPECT_EQ(btrGetFirst(ap, data, &length, 0, 0), kBtrOk);
}

TEST_F(FaultInjectionTest, CallsAreCountedOverEveryHandleOfTheFile) {
  AddFault({"ap", FaultOp::kRead, 2, 2, 1});
  BtrHandle read;
  BtrHandle write;
  ASSERT_EQ(btrOpen(read, "", "data/ap", 1, 1, 0), kBtrOk);
  ASSERT_EQ(btrOpen(write, "", "data/ap", 1, 1, 0), kBtrOk);
  char data[150];
  int length = 150;
  ASSERT_EQ(btrGetFirst(read, data, &length, 0, 0), kBtrOk);
  EXPECT_EQ(btrGetEqual(write, data, &length, ClientKey(" 1", "1", "00").c_str(), 0, 0), 2);
  EXPECT_EQ(btrGetNext(read, data, &length, 0), kBtrOk);
}

TEST_F(FaultInjectionTest, AFailedOpenLeavesTheHandleWithoutAFile) {
  AddFault({"ap", FaultOp::kOpen, 2, 85, 1});
  BtrHandle first;
  BtrHandle second;
  EXPECT_EQ(btrOpen(first, "", "data/ap", 1, 1, 0), kBtrOk);
  EXPECT_EQ(btrOpen(second, "", "data/ap", 1, 1, 0), 85);
  char data[150];
  int length = 150;
  EXPECT_EQ(btrGetFirst(second, data, &length, 0, 0), kBtrFileNotOpen);
  EXPECT_EQ(btrGetFirst(first, data, &length, 0, 0), kBtrOk);
}

TEST_F(FaultInjectionTest, AnOpenFaultAppliesToAMissingFileToo) {
  AddFault({"extap", FaultOp::kOpen, 1, 20, 1});
  BtrHandle h;
  EXPECT_EQ(btrOpen(h, "", "data/extap", 1, 1, 0), 20);
  EXPECT_EQ(btrOpen(h, "", "data/extap", 1, 1, 0), kBtrFileNotFound);
}

TEST_F(FaultInjectionTest, AFailingWriteWritesNothing) {
  struct Case {
    const char* name;
    FaultOp op;
    std::function<int(int, char*, int*)> call;
  };
  const std::vector<Case> cases = {
      {"insert", FaultOp::kInsert,
       [](int h, char* data, int* length) {
         std::string record = ApRecord(ClientKey(" 1", "9", "00"));
         std::memcpy(data, record.data(), record.size());
         return btrInsert(h, data, length, 0);
       }},
      {"update", FaultOp::kUpdate,
       [](int h, char* data, int* length) {
         data[30] = 'U';
         return btrUpdate(h, data, length);
       }},
      {"delete", FaultOp::kDelete, [](int h, char*, int*) { return btrDelete(h); }},
  };
  for (const Case& c : cases) {
    ClearFaults();
    AddFault({"ap", c.op, 1, 80, 1});
    BtrHandle h;
    ASSERT_EQ(btrOpen(h, "", "data/ap", 1, 1, 0), kBtrOk);
    std::vector<std::string> before = ReadAll(h, 128);
    char data[150];
    int length = 150;
    ASSERT_EQ(btrGetFirst(h, data, &length, 0, 0), kBtrOk);
    EXPECT_EQ(c.call(h, data, &length), 80) << c.name;
    EXPECT_EQ(ReadAll(h, 128), before) << c.name;
    ASSERT_EQ(btrGetFirst(h, data, &length, 0, 0), kBtrOk);
    EXPECT_EQ(c.call(h, data, &length), kBtrOk) << c.name << " (second call)";
  }
}

TEST_F(FaultInjectionTest, TimesSaysHowManyCallsInARowFail) {
  struct Case {
    int times;
    std::vector<int> statuses;  // of six reads in a row
  };
  const std::vector<Case> cases = {
      {1, {0, 2, 0, 0, 0, 0}},
      {3, {0, 2, 2, 2, 0, 0}},
      {0, {0, 2, 2, 2, 2, 2}},
  };
  for (const Case& c : cases) {
    ClearFaults();
    AddFault({"ap", FaultOp::kRead, 2, 2, c.times});
    BtrHandle h;
    ASSERT_EQ(btrOpen(h, "", "data/ap", 1, 1, 0), kBtrOk);
    std::vector<int> statuses;
    char data[150];
    int length = 150;
    for (int i = 0; i < 6; ++i) statuses.push_back(btrGetFirst(h, data, &length, 0, 0));
    EXPECT_EQ(statuses, c.statuses) << "times " << c.times;
  }
}

TEST_F(FaultInjectionTest, ClearingRemovesEveryRule) {
  AddFault({"ap", FaultOp::kRead, 1, 2, 0});
  ClearFaults();
  BtrHandle h;
  ASSERT_EQ(btrOpen(h, "", "data/ap", 1, 1, 0), kBtrOk);
  EXPECT_EQ(ReadAll(h, 128).size(), 4u);
  EXPECT_EQ(FaultsTriggered(), 0);
  {
    ScopedFaults scoped;
    AddFault({"ap", FaultOp::kRead, 1, 2, 0});
    char data[150];
    int length = 150;
    EXPECT_EQ(btrGetFirst(h, data, &length, 0, 0), 2);
  }
  EXPECT_EQ(ReadAll(h, 128).size(), 4u);
}

}  // namespace
}  // namespace talvor
