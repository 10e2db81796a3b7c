// The record-file engine on 1,000,000 "ap"-shaped records: a full key-0 walk, random
// lookups, updates through a write handle during a walk on a read handle, and, as the
// yardstick for the walk, the same rows read by a bare SQLite statement.
//
// Run from a Release build:  bench/engine/engine_bench [--records=N]
// The file is built once in a temporary directory and removed at the end.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "legacy/engine.h"
#include "legacy/record_file.h"

namespace {

namespace fs = std::filesystem;

int g_records = 1000000;
fs::path g_dir;
std::string g_file;

// The key of record `i`: client lines of ten agencies, in key order for ascending `i`.
std::string Key(int i) {
  char text[32];
  std::snprintf(text, sizeof text, "001000%2d%6d00", 1 + i / 100000, i % 100000);
  return std::string(text, 16);
}

std::string Record(int i) {
  std::string record = Key(i) + "001";
  record.resize(128, ' ');
  std::memcpy(record.data() + 25, "CLIENT NAME OF A BENCHMARK", 25);
  return record;
}

bool BuildFile() {
  std::random_device random;
  g_dir = fs::temp_directory_path() / ("talvor-engine-bench-" + std::to_string(random()));
  fs::create_directories(g_dir);
  g_file = (g_dir / "ap").string();
  std::string error;
  if (!talvor::CreateRecordFile(g_file, *talvor::KnownFileDefinition("ap"), &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
  }
  constexpr int kBatch = 100000;
  for (int start = 0; start < g_records; start += kBatch) {
    std::vector<std::string> batch;
    for (int i = start; i < std::min(g_records, start + kBatch); ++i) batch.push_back(Record(i));
    if (!talvor::LoadRecords(g_file, batch, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return false;
    }
  }
  return true;
}

void BM_EngineScan(benchmark::State& state) {
  talvor::BtrHandle h;
  if (btrOpen(h, "", g_file.c_str(), 1, 1, 0) != talvor::kBtrOk) {
    state.SkipWithError("open failed");
    return;
  }
  char data[150];
  int length = 150;
  std::int64_t total = 0;
  for (auto _ : state) {
    std::int64_t n = 0;
    for (int status = btrGetFirst(h, data, &length, 0, 0); status == talvor::kBtrOk;
         status = btrGetNext(h, data, &length, 0)) {
      ++n;
    }
    benchmark::DoNotOptimize(data);
    if (n != g_records) state.SkipWithError("the walk missed records");
    total += n;
  }
  state.SetItemsProcessed(total);
}

void BM_BareSqliteScan(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(g_file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, "SELECT data FROM records ORDER BY k0", -1, &stmt, nullptr);
  char data[150];
  std::int64_t total = 0;
  for (auto _ : state) {
    std::int64_t n = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      std::memcpy(data, sqlite3_column_blob(stmt, 0),
                  static_cast<std::size_t>(sqlite3_column_bytes(stmt, 0)));
      ++n;
    }
    sqlite3_reset(stmt);
    benchmark::DoNotOptimize(data);
    total += n;
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  state.SetItemsProcessed(total);
}

void BM_EngineRandomGetEqual(benchmark::State& state) {
  talvor::BtrHandle h;
  btrOpen(h, "", g_file.c_str(), 1, 1, 0);
  std::mt19937 random(42);
  std::uniform_int_distribution<int> pick(0, g_records - 1);
  std::vector<std::string> keys;
  for (int i = 0; i < 100000; ++i) keys.push_back(Key(pick(random)));
  char data[150];
  int length = 150;
  std::int64_t total = 0;
  for (auto _ : state) {
    for (const std::string& key : keys) {
      if (btrGetEqual(h, data, &length, key.c_str(), 0, 0) != talvor::kBtrOk) {
        state.SkipWithError("a key was not found");
      }
    }
    total += static_cast<std::int64_t>(keys.size());
  }
  state.SetItemsProcessed(total);
}

// The read handle / write handle pair of the repair routines: walk on one handle, and for
// each record read it back on the other and update it.
void BM_EngineUpdatesDuringScan(benchmark::State& state) {
  talvor::BtrHandle read;
  talvor::BtrHandle write;
  btrOpen(read, "", g_file.c_str(), 1, 1, 0);
  btrOpen(write, "", g_file.c_str(), 1, 1, 0);
  constexpr int kUpdates = 100000;
  char data[150];
  char copy[150];
  char scratch[150];
  int length = 150;
  int copy_length = 150;
  int scratch_length = 150;
  std::int64_t total = 0;
  int pass = 0;
  for (auto _ : state) {
    ++pass;
    int n = 0;
    for (int status = btrGetFirst(read, data, &length, 0, 0);
         status == talvor::kBtrOk && n < kUpdates; status = btrGetNext(read, data, &length, 0)) {
      std::memcpy(copy, data, 128);
      copy[127] = static_cast<char>('A' + pass % 26);
      char key[20];
      std::memcpy(key, copy, 19);
      key[19] = '\0';
      if (btrGetEqual(write, scratch, &scratch_length, key, 0, 0) != talvor::kBtrOk ||
          btrUpdate(write, copy, &copy_length) != talvor::kBtrOk) {
        state.SkipWithError("readback or update failed");
        break;
      }
      ++n;
    }
    total += n;
  }
  state.SetItemsProcessed(total);
}

BENCHMARK(BM_EngineScan)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_BareSqliteScan)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_EngineRandomGetEqual)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_EngineUpdatesDuringScan)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--records=", 10) == 0) g_records = std::atoi(argv[i] + 10);
  }
  benchmark::Initialize(&argc, argv);
  if (g_records < 1 || !BuildFile()) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(g_dir, ec);
  return 0;
}
