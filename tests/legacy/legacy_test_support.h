// Shared by the legacy suites: a fresh working directory per test, record files built from
// short descriptions, and whole-file reads through the engine.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "legacy/engine.h"
#include "legacy/fault_injection.h"
#include "legacy/record_file.h"

namespace talvor::testing {

namespace fs = std::filesystem;

// Runs each test in its own empty working directory, removed afterwards; clears fault
// rules before and after.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearFaults();
    std::random_device random;
    dir_ = fs::temp_directory_path() /
           ("talvor-legacy-" + std::to_string(random()) + "-" + std::to_string(random()));
    fs::create_directories(dir_);
    old_cwd_ = fs::current_path();
    fs::current_path(dir_);
  }
  void TearDown() override {
    ClearFaults();
    fs::current_path(old_cwd_);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  const fs::path& dir() const { return dir_; }

  // Creates `path` (relative to the test directory) with the definition of the known file
  // `known` and loads `records` into it.
  void MakeFile(const std::string& path, std::string_view known,
                const std::vector<std::string>& records = {}) {
    fs::create_directories(fs::path(path).parent_path().empty() ? fs::path(".")
                                                                : fs::path(path).parent_path());
    std::string error;
    ASSERT_TRUE(CreateRecordFile(path, *KnownFileDefinition(known), &error)) << error;
    if (!records.empty()) {
      ASSERT_TRUE(LoadRecords(path, records, &error)) << error;
    }
  }

 private:
  fs::path dir_;
  fs::path old_cwd_;
};

// An "ap"-shaped record: `key16` (16 bytes) then `body` at offset 16, blank-filled to 128.
inline std::string ApRecord(std::string_view key16, std::string_view body = "") {
  std::string record(128, ' ');
  record.replace(0, key16.size(), key16);
  record.replace(16, body.size(), body);
  return record;
}

// A client key "001000" + agency + number (RJ 6) + line.
inline std::string ClientKey(std::string_view agency, std::string_view number,
                             std::string_view line) {
  std::string key = "001000" + std::string(agency);
  key += std::string(6 - number.size(), ' ') + std::string(number) + std::string(line);
  return key;
}

// A "POL"-shaped record: key 0 = agency + policy number (LJ 20) + seq + "0", key 1 begins with
// agency + client number + invoice number.
inline std::string PolRecord(std::string_view agency, std::string_view pol_num,
                             std::string_view seq, std::string_view client,
                             std::string_view invoice = "000000") {
  std::string record(120, ' ');
  std::string key0 = std::string(agency) + std::string(pol_num) +
                     std::string(20 - pol_num.size(), ' ') + std::string(seq) + "0";
  record.replace(0, 25, key0);
  record.replace(25, 2, agency);
  record.replace(27, 6, std::string(6 - client.size(), ' ') + std::string(client));
  record.replace(33, 6, invoice);
  return record;
}

// Reads every record of the file open on `h` with btrGetFirst / btrGetNext on key 0.
inline std::vector<std::string> ReadAll(int h, int record_length, int key = 0) {
  std::vector<std::string> records;
  std::vector<char> buffer(static_cast<std::size_t>(record_length) + 32);
  int length = static_cast<int>(buffer.size());
  for (int status = btrGetFirst(h, buffer.data(), &length, key, 0); status == kBtrOk;
       status = btrGetNext(h, buffer.data(), &length, 0)) {
    records.emplace_back(buffer.data(), static_cast<std::size_t>(length));
  }
  return records;
}

}  // namespace talvor::testing
