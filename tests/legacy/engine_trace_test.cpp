// The engine's call trace: the file format read back as written (and cut where a killed
// writer left it), and the engine writing one entry per call with its status when
// TALVOR_ENGINE_TRACE names a file (in a process of its own: the variable is read when the
// engine is first used).
#include "legacy/engine_trace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "legacy/engine.h"
#include "legacy/record_file.h"

namespace talvor {
namespace {

namespace fs = std::filesystem;

class EngineTraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("talvor-trace-" + std::to_string(std::random_device()()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path dir_;
};

TEST_F(EngineTraceTest, EntriesReadBackAsWrittenAndACutLastEntryIsDropped) {
  const fs::path path = dir_ / "trace";
  {
    std::string error;
    EngineTraceWriter writer = EngineTraceWriter::Create(path, &error);
    ASSERT_TRUE(writer) << error;
    writer.Add(TraceOp::kOpen, 7, 0, kBtrOk, 0, "/site/data/ap");
    writer.Add(TraceOp::kEqual, 7, 1, kBtrKeyNotFound, 128, std::string("AB\0C", 4));
    writer.Add(TraceOp::kUpdate, 7, 0, kBtrNoCurrentRecord, 128, std::string(128, 'r'));
  }
  std::vector<TraceEntry> entries;
  std::string error;
  ASSERT_TRUE(ReadEngineTrace(path, &entries, &error)) << error;
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].op, TraceOp::kOpen);
  EXPECT_EQ(entries[0].bytes, "/site/data/ap");
  EXPECT_EQ(entries[1].op, TraceOp::kEqual);
  EXPECT_EQ(entries[1].handle, 7);
  EXPECT_EQ(entries[1].key, 1);
  EXPECT_EQ(entries[1].status, kBtrKeyNotFound);
  EXPECT_EQ(entries[1].length, 128);
  EXPECT_EQ(entries[1].bytes, std::string("AB\0C", 4));
  EXPECT_EQ(entries[2].bytes, std::string(128, 'r'));

  fs::resize_file(path, fs::file_size(path) - 5);
  ASSERT_TRUE(ReadEngineTrace(path, &entries, &error)) << error;
  EXPECT_EQ(entries.size(), 2u);

  std::ofstream(dir_ / "other") << "not a trace\n";
  EXPECT_FALSE(ReadEngineTrace(dir_ / "other", &entries, &error));
  EXPECT_NE(error.find("not an engine trace"), std::string::npos) << error;
  EXPECT_FALSE(ReadEngineTrace(dir_ / "missing", &entries, &error));
}

TEST_F(EngineTraceTest, ATraceThatCannotBeCreatedSaysWhere) {
  std::string error;
  EXPECT_FALSE(EngineTraceWriter::Create(dir_ / "no" / "such" / "trace", &error));
  EXPECT_NE(error.find("no/such/trace"), std::string::npos) << error;
}

// Run by the test below in a process of its own, with the trace switched on.
TEST_F(EngineTraceTest, ChildCalls) {
  const char* file = std::getenv("TALVOR_TRACE_TEST_FILE");
  if (file == nullptr) GTEST_SKIP() << "run by TheEngineTracesEachCallWithItsStatus";
  std::string error;
  ASSERT_TRUE(CreateRecordFile(file, {16, {{0, 4, false}}}, &error)) << error;
  BtrHandle h;
  ASSERT_EQ(btrOpen(h, "", file, 1, 1, 0), kBtrOk);
  char record[17] = "0001rest-of-it..";
  int length = 16;
  EXPECT_EQ(btrInsert(h, record, &length, 0), kBtrOk);
  char buffer[16];
  length = sizeof buffer;
  EXPECT_EQ(btrGetEqual(h, buffer, &length, "0002", 0, 0), kBtrKeyNotFound);
  EXPECT_EQ(btrGetEqual(h, buffer, &length, "0001", 0, 0), kBtrOk);
  EXPECT_EQ(btrGetNext(h, buffer, &length, 0), kBtrEndOfFile);
  EXPECT_EQ(btrDelete(h), kBtrOk);
}

TEST_F(EngineTraceTest, TheEngineTracesEachCallWithItsStatus) {
  if (std::getenv("TALVOR_TRACE_TEST_FILE") != nullptr) GTEST_SKIP();
  const fs::path trace = dir_ / "trace";
  const fs::path file = dir_ / "TESTFILE";
  const std::string command = "TALVOR_ENGINE_TRACE='" + trace.string() +
                              "' TALVOR_TRACE_TEST_FILE='" + file.string() + "' '" +
                              fs::read_symlink("/proc/self/exe").string() +
                              "' --gtest_filter=EngineTraceTest.ChildCalls > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::vector<TraceEntry> entries;
  std::string error;
  ASSERT_TRUE(ReadEngineTrace(trace, &entries, &error)) << error;
  std::vector<std::string> calls;
  for (const TraceEntry& e : entries) {
    calls.push_back(std::to_string(static_cast<int>(e.op)) + ":" + std::to_string(e.status) + ":" +
                    e.bytes);
  }
  auto call = [](TraceOp op, int status, const std::string& bytes) {
    return std::to_string(static_cast<int>(op)) + ":" + std::to_string(status) + ":" + bytes;
  };
  const std::string canonical = fs::weakly_canonical(file).string();
  EXPECT_EQ(calls, (std::vector<std::string>{
                       call(TraceOp::kNewHandle, kBtrOk, ""),
                       call(TraceOp::kOpen, kBtrOk, canonical),
                       call(TraceOp::kInsert, kBtrOk, "0001rest-of-it.."),
                       call(TraceOp::kEqual, kBtrKeyNotFound, "0002"),
                       call(TraceOp::kEqual, kBtrOk, "0001"),
                       call(TraceOp::kNext, kBtrEndOfFile, ""),
                       call(TraceOp::kDelete, kBtrOk, ""),
                       call(TraceOp::kClose, kBtrOk, ""),
                       call(TraceOp::kDestroy, kBtrOk, ""),
                   }));
}

}  // namespace
}  // namespace talvor
