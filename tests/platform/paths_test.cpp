// The path resolver: how a path typed by an operator or stored by the legacy system names a
// file here, on a case-sensitive file system.
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

std::string Found(const fs::path& dir, std::string_view name) {
  const std::optional<fs::path> found = FindEntry(dir, name);
  return found ? found->generic_string() : "<none>";
}

// A working directory holding:
//   data/ap, data/AP          two files that differ in case only
//   data/POL                  one file
//   Data/                     a directory that differs from data/ in case only
//   mixed/Ab, mixed/aB, mixed/AB, mixed/ab.x
class PathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories("data");
    fs::create_directories("Data");
    fs::create_directories("mixed");
    for (const char* name : {"data/ap", "data/AP", "data/POL", "Data/inner", "mixed/aB", "mixed/Ab",
                             "mixed/AB", "mixed/ab.x"}) {
      dir_.Write(name, name);
    }
    // On a file system that ignores case, "data" and "Data" are one directory and the
    // rules under test cannot be seen.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(".")) ++entries;
    if (entries != 3) GTEST_SKIP() << "the temporary folder's file system ignores letter case";
  }

  TempWorkDir dir_;
};

struct ResolveCase {
  std::string path;
  std::string expected;  // generic form of the path found, or "<none>"
};

TEST_F(PathsTest, ExactNameWinsElseTheFirstCaseVariantInByteOrder) {
  const std::vector<ResolveCase> cases = {
      {"data/ap", "data/ap"},
      {"data/AP", "data/AP"},
      // No exact "Ap": of "AP" and "ap", "AP" comes first in byte order.
      {"data/Ap", "data/AP"},
      {"data/aP", "data/AP"},
      {"data/pol", "data/POL"},
      // "DATA" is "Data" ("Data" < "data" in byte order), which holds no POL: the first
      // variant is taken, not the one that would make the rest of the path resolve.
      {"DATA/POL", "<none>"},
      {"dAtA/inner", "Data/inner"},
      // Several variants, none exact: "AB" < "Ab" < "aB".
      {"mixed/ab", "mixed/AB"},
      {"mixed/aB", "mixed/aB"},
      {"MIXED/AB.X", "mixed/ab.x"},
  };
  for (const ResolveCase& c : cases) EXPECT_EQ(Resolved(c.path), c.expected) << c.path;
}

TEST_F(PathsTest, BothSeparatorsDoubledSeparatorsAndDotComponents) {
  const std::vector<ResolveCase> cases = {
      {"data\\ap", "data/ap"},
      {"data\\\\ap", "data/ap"},
      {"data//AP", "data/AP"},
      {"data/\\/pol", "data/POL"},
      {"./data/./ap", "data/ap"},
      {".\\data\\.\\ap", "data/ap"},
      {"data/", "data"},
      {"data\\", "data"},
      {".", "."},
      {"./", "."},
      {".\\", "."},
      {"", "<none>"},
  };
  for (const ResolveCase& c : cases) EXPECT_EQ(Resolved(c.path), c.expected) << c.path;
}

TEST_F(PathsTest, DotDotNamesTheParentAndTheNextComponentIsMatchedThere) {
  const std::vector<ResolveCase> cases = {
      {"data/..", "data/.."},
      {"data/../mixed/ab", "data/../mixed/AB"},
      {"data\\..\\dAtA\\inner", "data/../Data/inner"},
      {"mixed/../data/Ap", "mixed/../data/AP"},
      {"data/../nosuch", "<none>"},
  };
  for (const ResolveCase& c : cases) EXPECT_EQ(Resolved(c.path), c.expected) << c.path;
  // ".." alone is the working directory's parent, whatever it is called.
  const std::optional<fs::path> parent = ResolvePath("..");
  ASSERT_TRUE(parent);
  EXPECT_TRUE(fs::equivalent(*parent, dir_.path().parent_path()));
}

TEST_F(PathsTest, AbsolutePathsAndADriveLetterThatLinuxDoesNotHave) {
  std::string absolute = dir_.path().string();
  std::string windows = absolute;
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  EXPECT_EQ(Resolved(absolute + "/data/Ap"), (dir_.path() / "data/AP").generic_string());
  EXPECT_EQ(Resolved(windows + "\\DATA\\pol"), "<none>");
  EXPECT_EQ(Resolved(windows + "\\data\\pol"), (dir_.path() / "data/POL").generic_string());
#ifdef _WIN32
  GTEST_SKIP() << "drive letters name drives here";
#else
  // "c:" is dropped: what follows is absolute with a separator, relative without.
  EXPECT_EQ(Resolved("c:" + windows + "\\data\\pol"), (dir_.path() / "data/POL").generic_string());
  EXPECT_EQ(Resolved("Z:" + absolute + "/mixed/ab"), (dir_.path() / "mixed/AB").generic_string());
  EXPECT_EQ(Resolved("c:data\\ap"), "data/ap");
  EXPECT_EQ(Resolved("c:.\\data"), "data");
  // A drive letter alone, or with a root alone, names nothing; "1:" is no drive letter.
  EXPECT_EQ(Resolved("c:"), "<none>");
  EXPECT_EQ(Resolved("c:\\"), "<none>");
  EXPECT_EQ(Resolved("/"), "<none>");
  dir_.Write("1:data", "a file whose name starts like a drive");
  EXPECT_EQ(Resolved("1:data"), "1:data");
#endif
}

TEST_F(PathsTest, AComponentThatNamesNothingResolvesToNothing) {
  for (const char* path : {"nosuch", "data/nosuch", "nosuch/ap", "data/ap/ap", "data/ap/..",
                           "data/apx", "data/a", "mixed/ab.", "data/ap "}) {
    EXPECT_EQ(Resolved(path), "<none>") << path;
  }
}

TEST_F(PathsTest, FindEntryMatchesOneComponentInTheGivenDirectory) {
  EXPECT_EQ(Found("", "DATA"), "Data");
  EXPECT_EQ(Found("", "data"), "data");
  EXPECT_EQ(Found("data", "Ap"), "data/AP");
  EXPECT_EQ(Found("data", "pol"), "data/POL");
  EXPECT_EQ(Found(dir_.path() / "mixed", "ab"), (dir_.path() / "mixed/AB").generic_string());
  EXPECT_EQ(Found("data", "nosuch"), "<none>");
  EXPECT_EQ(Found("nosuch", "ap"), "<none>");
  EXPECT_EQ(Found("data/ap", "x"), "<none>") << "a file has no entries";
  // "." and ".." are taken as they stand, never matched against entries.
  EXPECT_EQ(Found("data", ".."), "data/..");
  EXPECT_EQ(Found("", "."), ".");
  // Letter case is ASCII's only: "é" and "É" are different names.
  dir_.Write("data/\xC3\xA9t\xC3\xA9", "accented");
  EXPECT_EQ(Found("data", "\xC3\xA9T\xC3\xA9"), "data/\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(Found("data", "\xC3\x89T\xC3\x89"), "<none>");
}

TEST(LastComponent, IsWhatFollowsTheLastSeparatorOfEitherKind) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"c:\\velmar\\data\\AP", "AP"},
      {"DATA\\\\ap", "ap"},
      {"data/ap", "ap"},
      {"data\\sub/POL", "POL"},
      {"data/sub\\POL", "POL"},
      {"ap", "ap"},
      {"c:ap", "c:ap"},
      {"data/", ""},
      {"data\\", ""},
      {"", ""},
  };
  for (const auto& [path, last] : cases) EXPECT_EQ(LastComponent(path), last) << path;
}

}  // namespace
}  // namespace talvor::platform
