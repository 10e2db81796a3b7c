// The path resolver on Windows: drive letters and shares are roots, both separators
// separate, and the file system matches names without regard to case and tells how the
// directory spells them.
#include "platform/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/testing/temp_dir.h"

namespace talvor::platform {
namespace {

namespace fs = std::filesystem;
using talvor::testing::TempWorkDir;

// What ResolvePath gave, as a generic string; "<none>" for nullopt.
std::string Resolved(std::string_view path) {
  const std::optional<fs::path> found = ResolvePath(path);
  return found ? found->generic_string() : "<none>";
}

std::string WithBackslashes(std::string text) {
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  return text;
}

// A working directory holding data/Ap, data/POL and Sub/Inner/x.
class WindowsPathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories("data");
    fs::create_directories("Sub/Inner");
    dir_.Write("data/Ap", "ap");
    dir_.Write("data/POL", "pol");
    dir_.Write("Sub/Inner/x", "x");
    absolute_ = fs::current_path().generic_string();
    ASSERT_GE(absolute_.size(), 3u);
    ASSERT_EQ(absolute_[1], ':') << "the working directory is on a drive";
  }

  // The working directory's absolute path with its drive letter in the given case.
  std::string OnDrive(char drive) const { return std::string(1, drive) + absolute_.substr(1); }
  std::string Here(const std::string& rest) const {
    return std::string(1, absolute_[0] & ~0x20) + absolute_.substr(1) + "/" + rest;
  }

  TempWorkDir dir_;
  std::string absolute_;
};

struct ResolveCase {
  std::string path;
  std::string expected;  // generic form of the path found, or "<none>"
};

TEST_F(WindowsPathsTest, TheFileSystemMatchesAnyCaseAndTheDirectorysSpellingIsKept) {
  const std::vector<ResolveCase> cases = {
      {"data\\Ap", "data/Ap"},     {"DATA\\AP", "data/Ap"},     {"data/ap", "data/Ap"},
      {"Data\\aP", "data/Ap"},     {"data\\pol", "data/POL"},   {"sub\\inner\\X", "Sub/Inner/x"},
      {"SUB/INNER/x", "Sub/Inner/x"}, {"data\\nosuch", "<none>"}, {"nosuch\\ap", "<none>"},
  };
  for (const ResolveCase& c : cases) EXPECT_EQ(Resolved(c.path), c.expected) << c.path;
}

TEST_F(WindowsPathsTest, BothSeparatorsDoubledSeparatorsAndDotComponents) {
  const std::vector<ResolveCase> cases = {
      {"data\\\\ap", "data/Ap"},  {"data//AP", "data/Ap"},        {"data/\\/pol", "data/POL"},
      {".\\data\\.\\ap", "data/Ap"}, {"data\\..\\data\\ap", "data/../data/Ap"},
      {"data\\", "data"},         {".", "."},                     {"", "<none>"},
  };
  for (const ResolveCase& c : cases) EXPECT_EQ(Resolved(c.path), c.expected) << c.path;
}

TEST_F(WindowsPathsTest, ADriveLetterIsKeptInUpperCase) {
  const char drive = absolute_[0];
  const char lower = static_cast<char>(drive | 0x20);
  const char upper = static_cast<char>(drive & ~0x20);
  const std::string expected = Here("data/Ap");
  EXPECT_EQ(Resolved(WithBackslashes(OnDrive(lower)) + "\\DATA\\AP"), expected);
  EXPECT_EQ(Resolved(OnDrive(upper) + "/data/ap"), expected);
  EXPECT_EQ(Resolved(OnDrive(lower) + "\\data/aP"), expected);
  // The drive's root alone names nothing, as a root alone does everywhere.
  EXPECT_EQ(Resolved(std::string{drive, ':'}), "<none>");
  EXPECT_EQ(Resolved(std::string{drive, ':', '\\'}), "<none>");
}

TEST_F(WindowsPathsTest, ADriveWithoutASeparatorIsThatDrivesWorkingDirectory) {
  const std::optional<fs::path> found = ResolvePath(std::string{absolute_[0], ':'} + "DATA\\ap");
  ASSERT_TRUE(found);
  const std::string drive{static_cast<char>(absolute_[0] & ~0x20), ':'};
  EXPECT_EQ(found->generic_string(), drive + "data/Ap");
  EXPECT_TRUE(fs::equivalent(*found, dir_.path() / "data" / "Ap"));
}

TEST_F(WindowsPathsTest, ARootedPathWithoutADriveIsOnTheWorkingDirectorysDrive) {
  const std::string rooted = WithBackslashes(absolute_.substr(2)) + "\\DATA\\POL";
  ASSERT_EQ(rooted[0], '\\');
  const std::optional<fs::path> found = ResolvePath(rooted);
  ASSERT_TRUE(found);
  EXPECT_TRUE(fs::equivalent(*found, dir_.path() / "data" / "POL"));
  EXPECT_EQ(found->filename().string(), "POL");
}

TEST_F(WindowsPathsTest, AShareIsARootAndNeverNamesAFileByItself) {
  // Parsed only: none of these reaches a server.
  for (const char* path : {"\\\\server", "\\\\server\\", "\\\\server\\share", "\\\\server\\share\\",
                           "//server/share", "\\\\server\\\\share"}) {
    EXPECT_EQ(Resolved(path), "<none>") << path;
  }
}

TEST_F(WindowsPathsTest, WildcardsNameNothing) {
  for (const char* path : {"data\\*", "data\\A?", "data\\<p", "data\\>p", "data\\\"Ap\"", "*\\ap"}) {
    EXPECT_EQ(Resolved(path), "<none>") << path;
  }
}

TEST_F(WindowsPathsTest, FindEntryTellsTheEntrysOwnSpelling) {
  auto found = [](const fs::path& dir, std::string_view name) {
    const std::optional<fs::path> entry = FindEntry(dir, name);
    return entry ? entry->generic_string() : "<none>";
  };
  EXPECT_EQ(found("", "DATA"), "data");
  EXPECT_EQ(found("data", "AP"), "data/Ap");
  EXPECT_EQ(found("data", "Pol"), "data/POL");
  EXPECT_EQ(found("data", "nosuch"), "<none>");
  EXPECT_EQ(found("nosuch", "ap"), "<none>");
  EXPECT_EQ(found("data", ".."), "data/..");
  EXPECT_EQ(found("", "."), ".");
}

}  // namespace
}  // namespace talvor::platform
