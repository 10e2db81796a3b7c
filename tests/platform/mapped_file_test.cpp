// The mapped appender as the journal relies on it: bytes are in the file as soon as Append
// returns, the file grows as needed, Close leaves exactly what was appended, and a process
// killed without Close leaves its appends followed by zero bytes only.
#include "platform/mapped_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "tests/testing/temp_dir.h"

#if defined(__unix__) || defined(__APPLE__)
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#define TALVOR_HAVE_FORK 1
#endif

namespace talvor::platform {
namespace {

namespace fs = std::filesystem;
using talvor::testing::TempWorkDir;

// Read through a stream of its own, so that only what is in the file counts.
std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool AllZero(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == '\0'; });
}

// Numbered lines, so that a byte lost, doubled or moved shows in a comparison.
std::string Lines(int first, int count) {
  std::string text;
  char line[64];
  for (int i = first; i < first + count; ++i) {
    std::snprintf(line, sizeof line, "change %08d of the run, with some cells\n", i);
    text += line;
  }
  return text;
}

TEST(MappedAppenderTest, AppendedBytesAreInTheFileBeforeClose) {
  TempWorkDir dir;
  const fs::path path = dir.path() / "journal";
  MappedAppender out;
  std::string error;
  ASSERT_TRUE(out.Create(path, &error)) << error;
  ASSERT_TRUE(out.IsOpen());
  ASSERT_TRUE(out.Append("begin run\n"));
  ASSERT_TRUE(out.Append("change 1\n"));

  std::string seen = ReadFile(path);
  ASSERT_GE(seen.size(), 19u);
  EXPECT_EQ(seen.substr(0, 19), "begin run\nchange 1\n");
  EXPECT_GT(seen.size(), 19u) << "the reserved room is not in the file";
  EXPECT_TRUE(AllZero(std::string_view(seen).substr(19)));

  ASSERT_TRUE(out.Append("change 2\n"));
  seen = ReadFile(path);
  EXPECT_EQ(seen.substr(0, 28), "begin run\nchange 1\nchange 2\n");
  EXPECT_TRUE(AllZero(std::string_view(seen).substr(28)));
}

TEST(MappedAppenderTest, TheFileGrowsPastTheFirstReservedStepKeepingEveryByte) {
  TempWorkDir dir;
  const fs::path path = dir.path() / "journal";
  MappedAppender out;
  std::string error;
  ASSERT_TRUE(out.Create(path, &error)) << error;
  const std::uintmax_t firstStep = fs::file_size(path);
  ASSERT_GT(firstStep, 0u);

  // Many small appends across the first step's end, then one append longer than the first
  // step on its own, so that both a step and several steps at once are taken.
  std::string expected;
  int next = 0;
  while (expected.size() <= firstStep + firstStep / 2) {
    const std::string line = Lines(next++, 1);
    ASSERT_TRUE(out.Append(line)) << "at byte " << expected.size();
    expected += line;
  }
  const std::string big = Lines(next, static_cast<int>(2 * firstStep / 40));
  ASSERT_GT(big.size(), firstStep);
  ASSERT_TRUE(out.Append(big));
  expected += big;

  const std::string seen = ReadFile(path);
  ASSERT_GE(seen.size(), expected.size());
  EXPECT_TRUE(seen.compare(0, expected.size(), expected) == 0);
  EXPECT_TRUE(AllZero(std::string_view(seen).substr(expected.size())));

  ASSERT_TRUE(out.Close());
  EXPECT_EQ(fs::file_size(path), expected.size());
  EXPECT_TRUE(ReadFile(path) == expected);
}

TEST(MappedAppenderTest, CloseCutsTheFileToWhatWasAppended) {
  TempWorkDir dir;
  const fs::path path = dir.path() / "journal";
  MappedAppender out;
  std::string error;
  ASSERT_TRUE(out.Create(path, &error)) << error;
  ASSERT_TRUE(out.Append("abc"));
  ASSERT_TRUE(out.Append(""));
  ASSERT_TRUE(out.Append("defg\n"));
  ASSERT_TRUE(out.Close());
  EXPECT_FALSE(out.IsOpen());
  EXPECT_EQ(fs::file_size(path), 8u);
  EXPECT_EQ(ReadFile(path), "abcdefg\n");

  // A closed appender writes nothing more, and closing again changes nothing.
  EXPECT_FALSE(out.Append("more"));
  EXPECT_TRUE(out.Close());
  EXPECT_EQ(ReadFile(path), "abcdefg\n");
}

TEST(MappedAppenderTest, CloseWithNothingAppendedLeavesAnEmptyFile) {
  TempWorkDir dir;
  const fs::path path = dir.path() / "journal";
  MappedAppender out;
  std::string error;
  ASSERT_TRUE(out.Create(path, &error)) << error;
  ASSERT_TRUE(out.Close());
  ASSERT_TRUE(fs::exists(path));
  EXPECT_EQ(fs::file_size(path), 0u);
}

TEST(MappedAppenderTest, TheDestructorCutsTheFileLikeClose) {
  TempWorkDir dir;
  const fs::path path = dir.path() / "journal";
  {
    MappedAppender out;
    std::string error;
    ASSERT_TRUE(out.Create(path, &error)) << error;
    ASSERT_TRUE(out.Append("end complete\n"));
  }
  EXPECT_EQ(ReadFile(path), "end complete\n");
}

TEST(MappedAppenderTest, CreateRefusesAnExistingFileAndNamesIt) {
  TempWorkDir dir;
  const fs::path path = dir.path() / "journal";
  dir.Write("journal", "an earlier run\n");
  MappedAppender out;
  std::string error;
  EXPECT_FALSE(out.Create(path, &error));
  EXPECT_NE(error.find(path.string()), std::string::npos) << error;
  EXPECT_FALSE(out.IsOpen());
  EXPECT_FALSE(out.Append("change 1\n"));
  EXPECT_EQ(ReadFile(path), "an earlier run\n");
}

TEST(MappedAppenderTest, CreateInAMissingFolderFailsNamingTheFile) {
  TempWorkDir dir;
  const fs::path path = dir.path() / "no-such-run" / "journal";
  MappedAppender out;
  std::string error;
  EXPECT_FALSE(out.Create(path, &error));
  EXPECT_NE(error.find(path.string()), std::string::npos) << error;
  EXPECT_FALSE(out.IsOpen());
  EXPECT_FALSE(fs::exists(path));
}

#ifdef TALVOR_HAVE_FORK

// Runs `child` in a forked process and returns its wait status; the child never returns
// into the test.
template <typename Child>
int InChild(Child child) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) _exit(child());
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

TEST(MappedAppenderTest, AKilledWriterLeavesZeroBytesAfterItsLastAppend) {
  TempWorkDir dir;
  const fs::path path = dir.path() / "journal";
  // Enough to take the file past its first step, so that the killed process had grown it.
  const std::string expected = Lines(0, 60000) + "last change";
  const int status = InChild([&] {
    MappedAppender out;
    std::string error;
    if (!out.Create(path, &error)) return 2;
    for (std::size_t at = 0; at < expected.size(); at += 4096) {
      if (!out.Append(std::string_view(expected).substr(at, 4096))) return 3;
    }
    kill(getpid(), SIGKILL);
    return 4;
  });
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "child status " << status;

  const std::string seen = ReadFile(path);
  ASSERT_GT(seen.size(), expected.size()) << "the reserved tail is gone";
  EXPECT_TRUE(seen.compare(0, expected.size(), expected) == 0);
  EXPECT_TRUE(AllZero(std::string_view(seen).substr(expected.size())));
}

// The file size limit stands in for a full disk: reserving the next step fails.
TEST(MappedAppenderTest, AnAppendThatCannotGrowTheFileAppendsNothingOfIt) {
  TempWorkDir dir;
  const fs::path path = dir.path() / "journal";
  const int status = InChild([&] {
    MappedAppender out;
    std::string error;
    if (!out.Create(path, &error)) return 2;
    const std::uintmax_t firstStep = fs::file_size(path);
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{firstStep + firstStep / 2, firstStep + firstStep / 2};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
    if (!out.Append("head\n")) return 4;
    if (out.Append(std::string(firstStep, 'x'))) return 5;
    if (!out.Append("tail\n")) return 6;
    return out.Close() ? 0 : 7;
  });
  ASSERT_TRUE(WIFEXITED(status)) << "child status " << status;
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadFile(path), "head\ntail\n");
}

#endif

}  // namespace
}  // namespace talvor::platform
