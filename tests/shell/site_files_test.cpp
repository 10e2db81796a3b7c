// SiteFiles: copies and deletions of a site's files, with and without a watcher, in a dry
// run (nothing touched, the watcher told what would have been done), and the reasons given
// when one is refused.
#include "shell/site_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tests/shell/recording_watcher.h"
#include "tests/testing/temp_dir.h"

namespace talvor {
namespace {

namespace fs = std::filesystem;
using testing::RecordingWatcher;
using testing::TempWorkDir;

const char* OutcomeName(FileOutcome outcome) {
  switch (outcome) {
    case FileOutcome::kDone:
      return "done";
    case FileOutcome::kFailed:
      return "failed";
    case FileOutcome::kDryRun:
      return "dry run";
  }
  return "?";
}

class SiteFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.Write("letter.doc", "the letter");
    dir_.Write("agreement.doc", "the agreement");
    dir_.Write("old.MKD", "work table");
    fs::create_directory("folder");
  }

  TempWorkDir dir_;
  SiteFiles files_;
  RecordingWatcher watcher_;
};

TEST_F(SiteFilesTest, CopiesAndDeletesWithoutAWatcher) {
  EXPECT_EQ(files_.Watcher(), nullptr);
  EXPECT_FALSE(files_.DryRun());
  std::string why = "left from before";
  EXPECT_TRUE(files_.Copy("letter.doc", "letter-copy.doc", &why));
  EXPECT_EQ(why, "");
  EXPECT_EQ(dir_.Read("letter-copy.doc"), "the letter");
  EXPECT_TRUE(files_.Copy("letter.doc", "agreement.doc", &why)) << why;
  EXPECT_EQ(dir_.Read("agreement.doc"), "the letter");
  EXPECT_TRUE(files_.Copy("letter.doc", "folder/letter.doc", &why)) << why;
  EXPECT_EQ(dir_.Read("folder/letter.doc"), "the letter");
  why = "left from before";
  EXPECT_TRUE(files_.Delete("old.MKD", &why));
  EXPECT_EQ(why, "");
  EXPECT_FALSE(fs::exists("old.MKD"));
}

TEST_F(SiteFilesTest, AWatcherIsToldOfEachCopyAndDeletion) {
  files_.Watch(&watcher_, false);
  EXPECT_EQ(files_.Watcher(), &watcher_);
  std::string why;
  ASSERT_TRUE(files_.Copy("letter.doc", "letter-copy.doc", &why)) << why;
  ASSERT_TRUE(files_.Copy("letter.doc", "agreement.doc", &why)) << why;
  ASSERT_TRUE(files_.Delete("old.MKD", &why)) << why;

  ASSERT_EQ(watcher_.told.size(), 3u);
  EXPECT_EQ(watcher_.told[0].what, "copy");
  EXPECT_EQ(watcher_.told[0].from, "letter.doc");
  EXPECT_EQ(watcher_.told[0].to, "letter-copy.doc");
  EXPECT_FALSE(watcher_.told[0].replaced);
  EXPECT_EQ(watcher_.told[0].outcome, FileOutcome::kDone);
  EXPECT_EQ(watcher_.told[0].why, "");
  EXPECT_TRUE(watcher_.told[1].replaced) << "a file was at the target";
  EXPECT_EQ(watcher_.told[1].outcome, FileOutcome::kDone);
  EXPECT_EQ(watcher_.told[2].what, "delete");
  EXPECT_EQ(watcher_.told[2].from, "old.MKD");
  EXPECT_EQ(watcher_.told[2].outcome, FileOutcome::kDone);

  // Watched by nobody again, nothing more is told.
  files_.Watch(nullptr, false);
  ASSERT_TRUE(files_.Copy("letter.doc", "third.doc", &why)) << why;
  EXPECT_EQ(watcher_.told.size(), 3u);
}

TEST_F(SiteFilesTest, ADryRunTouchesNothingAndTellsWhatItWouldHaveDone) {
  files_.Watch(&watcher_, true);
  EXPECT_TRUE(files_.DryRun());
  const fs::file_time_type agreementTime = fs::last_write_time("agreement.doc");
  std::string why = "left from before";
  EXPECT_TRUE(files_.Copy("letter.doc", "letter-copy.doc", &why));
  EXPECT_EQ(why, "");
  EXPECT_TRUE(files_.Copy("letter.doc", "agreement.doc", &why)) << why;
  EXPECT_TRUE(files_.Delete("old.MKD", &why)) << why;

  EXPECT_FALSE(fs::exists("letter-copy.doc"));
  EXPECT_EQ(dir_.Read("agreement.doc"), "the agreement");
  EXPECT_EQ(fs::last_write_time("agreement.doc"), agreementTime);
  EXPECT_EQ(dir_.Read("old.MKD"), "work table");
  ASSERT_EQ(watcher_.told.size(), 3u);
  for (const RecordingWatcher::Told& t : watcher_.told) {
    EXPECT_EQ(t.outcome, FileOutcome::kDryRun) << t.what << " " << t.from;
    EXPECT_EQ(t.why, "");
  }
  EXPECT_FALSE(watcher_.told[0].replaced);
  EXPECT_TRUE(watcher_.told[1].replaced);

  // A dry run without a watcher touches nothing either.
  files_.Watch(nullptr, true);
  EXPECT_TRUE(files_.Delete("old.MKD", &why)) << why;
  EXPECT_TRUE(fs::exists("old.MKD"));
}

struct Refusal {
  const char* what;  // "copy" or "delete"
  std::string from, to;
  std::string why;
};

// Refused in a real run and in a dry run alike, for the same reason, and told as failed.
TEST_F(SiteFilesTest, RefusalsSayWhy) {
  std::error_code ec;
  fs::create_symlink("letter.doc", "link.doc", ec);
  const bool links = !ec;
  const std::string missing = std::make_error_code(std::errc::no_such_file_or_directory).message();
  std::vector<Refusal> cases = {
      {"copy", "nosuch.doc", "copy.doc", missing},
      {"copy", "folder", "copy.doc", "the file to copy is not there"},
      {"copy", "letter.doc", "folder", "the target is there and is not a plain file"},
      {"copy", "letter.doc", "letter.doc", "the target is the file to copy"},
      {"copy", "letter.doc", "./folder/../letter.doc", "the target is the file to copy"},
      {"copy", "letter.doc", "nosuch/letter.doc", missing},
      {"delete", "nosuch.doc", "", missing},
      {"delete", "folder", "", "it is no longer a plain file"},
  };
  if (links) {
    cases.push_back({"copy", "letter.doc", "link.doc", "the target is the file to copy"});
    cases.push_back({"delete", "link.doc", "", "it is no longer a plain file"});
  }
  for (const bool dry : {false, true}) {
    for (const Refusal& c : cases) {
      SCOPED_TRACE(std::string(dry ? "dry run: " : "") + c.what + " " + c.from + " " + c.to);
      watcher_.told.clear();
      files_.Watch(&watcher_, dry);
      std::string why;
      const bool done = std::string(c.what) == "copy" ? files_.Copy(c.from, c.to, &why)
                                                      : files_.Delete(c.from, &why);
      EXPECT_FALSE(done);
      EXPECT_EQ(why, c.why);
      ASSERT_EQ(watcher_.told.size(), 1u);
      EXPECT_EQ(watcher_.told[0].what, c.what);
      EXPECT_EQ(watcher_.told[0].outcome, FileOutcome::kFailed)
          << OutcomeName(watcher_.told[0].outcome);
      EXPECT_EQ(watcher_.told[0].why, c.why);
    }
  }
  // Nothing refused was touched.
  EXPECT_EQ(dir_.Read("letter.doc"), "the letter");
  EXPECT_TRUE(fs::is_directory("folder"));
  EXPECT_TRUE(fs::is_empty("folder"));
  EXPECT_FALSE(fs::exists("copy.doc"));
  if (links) {
    EXPECT_TRUE(fs::is_symlink("link.doc"));
  }
}

}  // namespace
}  // namespace talvor
