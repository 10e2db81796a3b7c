#include "shell/startup.h"

#include <gtest/gtest.h>

#include "shell/form.h"
#include "tests/testing/scripted_frontend.h"
#include "tests/testing/temp_dir.h"

namespace talvor {
namespace {

using testing::TempWorkDir;

TEST(StartupSettings, NoConfigurationAndNoMarkerGiveTheDefaults) {
  TempWorkDir dir;
  std::string problem;
  const SiteSettings s = LoadStartupSettings(dir.path(), &problem);
  EXPECT_EQ(s.dataPath, "\\velmar\\data");
  EXPECT_EQ(s.odbcName, "AGYFORMS");
  EXPECT_EQ(s.agyCode, "01");
  EXPECT_EQ(s.serverName, "Server");
  EXPECT_EQ(s.prdCode, "QXT");
  EXPECT_EQ(s.newPath, "i:");
  EXPECT_EQ(problem, "");
}

TEST(StartupSettings, ConfigurationLinesAreTakenWholeInTheirOrder) {
  TempWorkDir dir;
  dir.Write("talvor.cfg", " X:\\site\\data \r\nSITEDB\nSRV1\r\n 1\n");
  const SiteSettings s = LoadStartupSettings(dir.path(), nullptr);
  EXPECT_EQ(s.dataPath, " X:\\site\\data ");  // no trimming
  EXPECT_EQ(s.odbcName, "SITEDB");
  EXPECT_EQ(s.serverName, "SRV1");
  EXPECT_EQ(s.agyCode, " 1");
  EXPECT_EQ(s.prdCode, "QXT");
}

TEST(StartupSettings, ShortConfigurationGivesEmptySettingsForMissingLines) {
  TempWorkDir dir;
  dir.Write("talvor.cfg", "D:\\data\nALIAS\n");
  const SiteSettings s = LoadStartupSettings(dir.path(), nullptr);
  EXPECT_EQ(s.dataPath, "D:\\data");
  EXPECT_EQ(s.odbcName, "ALIAS");
  EXPECT_EQ(s.serverName, "");
  EXPECT_EQ(s.agyCode, "");
}

TEST(StartupSettings, ConfigurationWinsOverAMarkerFile) {
  TempWorkDir dir;
  dir.Write(kSitePresets[1].markerFile, "");
  dir.Write("talvor.cfg", "P\nA\nFROMCFG\n10\n");
  const SiteSettings s = LoadStartupSettings(dir.path(), nullptr);
  EXPECT_EQ(s.serverName, "FROMCFG");
  EXPECT_EQ(s.dataPath, "P");
}

TEST(StartupSettings, FirstPresetWhoseMarkerExistsWins) {
  TempWorkDir dir;
  dir.Write(kSitePresets[2].markerFile, "");
  dir.Write(kSitePresets[1].markerFile, "");
  const SiteSettings s = LoadStartupSettings(dir.path(), nullptr);
  EXPECT_EQ(s.agyCode, "10");
  EXPECT_EQ(s.dataPath, kSitePresets[1].dataPath);
  EXPECT_EQ(s.odbcName, kSitePresets[1].alias);
  EXPECT_EQ(s.serverName, kSitePresets[1].serverName);
  EXPECT_EQ(s.prdCode, "QXT");
}

TEST(StartupSettings, PresetsKeepTheirAgencyCodesInOrder) {
  ASSERT_EQ(kSitePresets.size(), 3u);
  EXPECT_STREQ(kSitePresets[0].agyCode, "01");
  EXPECT_STREQ(kSitePresets[1].agyCode, "10");
  EXPECT_STREQ(kSitePresets[2].agyCode, "AS");
}

TEST(StartupSettings, UnreadableConfigurationIsReportedAndThePresetsApply) {
  TempWorkDir dir;
  std::filesystem::create_directory(dir.path() / "talvor.cfg");
  dir.Write(kSitePresets[0].markerFile, "");
  std::string problem;
  const SiteSettings s = LoadStartupSettings(dir.path(), &problem);
  EXPECT_NE(problem.find("talvor.cfg"), std::string::npos) << problem;
  EXPECT_EQ(s.dataPath, kSitePresets[0].dataPath);
}

TEST(MainForm, StartsWithTheInitialStatusAndDefaultBoxes) {
  ScriptedFrontend fe;
  FixedClock clock({{2026, 12, 8}, 10, 0, 0});
  TForm1 form(fe, clock);
  EXPECT_EQ(form.Label3.Caption(), "Select an Option to begin");
  EXPECT_EQ(form.edtNewPath, "i:");
  EXPECT_EQ(form.edtPrdCode, "QXT");
  EXPECT_EQ(form.Formats.shortDate, "M/d/yyyy");
  form.Label3 = "running.....";
  ASSERT_EQ(fe.Statuses().size(), 1u);
  EXPECT_EQ(fe.Statuses()[0], "running.....");
}

}  // namespace
}  // namespace talvor
