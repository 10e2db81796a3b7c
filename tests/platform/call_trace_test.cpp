// The call trace file: entries read back as written with every field, a cut last entry
// dropped, a full buffer written out before the writer ends, and a file of another kind or
// with an unknown op refused with its name.
#include "platform/call_trace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace talvor {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMagic = "talvor example trace 1\n";

class CallTraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() / ("talvor-call-trace-" + std::to_string(std::random_device()()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  bool Read(const fs::path& path, std::vector<CallTraceEntry>* entries, std::string* error) {
    return ReadCallTrace(path, kMagic, "example trace", 3, entries, error);
  }
  fs::path dir_;
};

TEST_F(CallTraceTest, EveryFieldReadsBackAndACutLastEntryIsDropped) {
  const fs::path path = dir_ / "trace";
  {
    std::string error;
    CallTraceWriter writer = CallTraceWriter::Create(path, kMagic, "example trace", &error);
    ASSERT_TRUE(writer) << error;
    writer.Add(1, -1, 2, 300000, -40, "");
    CallTraceWriter moved = std::move(writer);
    EXPECT_FALSE(writer);
    moved.Add(3, 5, 6, 7, 8, std::string("x\0y", 3));
    moved.Add(2, 9, 10, 11, 12, "last");
  }
  std::string text;
  {
    std::ifstream in(path, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  ASSERT_EQ(text.compare(0, kMagic.size(), kMagic), 0);
  // Three headers of 21 bytes and 7 bytes of data after the line.
  EXPECT_EQ(text.size(), kMagic.size() + 3 * 21 + 7);

  std::vector<CallTraceEntry> entries;
  std::string error;
  ASSERT_TRUE(Read(path, &entries, &error)) << error;
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].op, 1);
  EXPECT_EQ(entries[0].a, -1);
  EXPECT_EQ(entries[0].b, 2);
  EXPECT_EQ(entries[0].c, 300000);
  EXPECT_EQ(entries[0].d, -40);
  EXPECT_EQ(entries[0].bytes, "");
  EXPECT_EQ(entries[1].op, 3);
  EXPECT_EQ(entries[1].d, 8);
  EXPECT_EQ(entries[1].bytes, std::string("x\0y", 3));
  EXPECT_EQ(entries[2].bytes, "last");

  // Cut inside the last entry's bytes, then inside its header: both drop it alone.
  fs::resize_file(path, fs::file_size(path) - 1);
  ASSERT_TRUE(Read(path, &entries, &error)) << error;
  EXPECT_EQ(entries.size(), 2u);
  fs::resize_file(path, kMagic.size() + 2 * 21 + 3 + 10);
  ASSERT_TRUE(Read(path, &entries, &error)) << error;
  EXPECT_EQ(entries.size(), 2u);
}

TEST_F(CallTraceTest, AFullBufferIsWrittenBeforeTheWriterEnds) {
  const fs::path path = dir_ / "trace";
  std::string error;
  CallTraceWriter writer = CallTraceWriter::Create(path, kMagic, "example trace", &error);
  ASSERT_TRUE(writer) << error;
  const std::string bytes(1000, 'b');
  for (int i = 0; i < 2000; ++i) writer.Add(2, i, 0, 0, 0, bytes);
  // The writer is still open: what the file holds was written when the buffer filled.
  std::vector<CallTraceEntry> entries;
  ASSERT_TRUE(Read(path, &entries, &error)) << error;
  ASSERT_GT(entries.size(), 900u);
  ASSERT_LT(entries.size(), 2000u);
  for (std::size_t i = 0; i < entries.size(); ++i) ASSERT_EQ(entries[i].a, static_cast<int>(i));
  writer.Flush();
  ASSERT_TRUE(Read(path, &entries, &error)) << error;
  EXPECT_EQ(entries.size(), 2000u);
}

TEST_F(CallTraceTest, AnotherFileOrAnUnknownOpIsRefusedWithItsName) {
  std::vector<CallTraceEntry> entries;
  std::string error;
  std::ofstream(dir_ / "other") << "talvor engine trace 1\n";
  EXPECT_FALSE(Read(dir_ / "other", &entries, &error));
  EXPECT_NE(error.find("other is not an example trace"), std::string::npos) << error;

  {
    CallTraceWriter writer =
        CallTraceWriter::Create(dir_ / "trace", kMagic, "example trace", &error);
    writer.Add(2, 0, 0, 0, 0, "");
    writer.Add(4, 0, 0, 0, 0, "");
  }
  EXPECT_FALSE(Read(dir_ / "trace", &entries, &error));
  EXPECT_NE(error.find("unknown entry at byte " + std::to_string(kMagic.size() + 21)),
            std::string::npos)
      << error;

  EXPECT_FALSE(Read(dir_ / "missing", &entries, &error));
  EXPECT_NE(error.find("cannot read the example trace"), std::string::npos) << error;
  EXPECT_FALSE(CallTraceWriter::Create(dir_ / "no" / "trace", kMagic, "example trace", &error));
  EXPECT_NE(error.find("cannot create the example trace " + (dir_ / "no" / "trace").string()),
            std::string::npos)
      << error;
}

}  // namespace
}  // namespace talvor
