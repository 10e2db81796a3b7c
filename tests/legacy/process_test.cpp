// Record files shared with other processes: a writer that holds the file, and a writer that
// is killed in the middle of its work. Child processes need fork, so these run on POSIX
// systems only.
#if defined(__unix__) || defined(__APPLE__)

#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "legacy/engine.h"
#include "legacy_test_support.h"

namespace talvor {
namespace {

using testing::ApRecord;
using testing::ReadAll;

// A one-way byte channel between a parent and its child.
class Channel {
 public:
  Channel() {
    if (pipe(fds_) != 0) fds_[0] = fds_[1] = -1;
  }
  ~Channel() {
    close(fds_[0]);
    close(fds_[1]);
  }
  // The parent keeps only its own end, so that a child that dies is seen as the end of data.
  void KeepReadEnd() { CloseEnd(1); }
  void KeepWriteEnd() { CloseEnd(0); }
  bool Send(const void* bytes, std::size_t n) { return write(fds_[1], bytes, n) == ssize_t(n); }
  bool Receive(void* bytes, std::size_t n) {
    auto* out = static_cast<char*>(bytes);
    while (n > 0) {
      ssize_t got = read(fds_[0], out, n);
      if (got <= 0) return false;
      out += got;
      n -= static_cast<std::size_t>(got);
    }
    return true;
  }

 private:
  void CloseEnd(int end) {
    close(fds_[end]);
    fds_[end] = -1;
  }
  int fds_[2] = {-1, -1};
};

// Runs `child` in a new process, which ends with the status `child` returns.
pid_t Spawn(const std::function<int()>& child) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) _exit(child());
  return pid;
}

int WaitFor(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

class ProcessTest : public testing::TempDirTest {};

// Another process holds a file's write lock until told to let go.
class LockHolder {
 public:
  // `sql` runs in the child before it reports that it holds the lock.
  explicit LockHolder(const char* sql) {
    pid_ = Spawn([&] {
      sqlite3* db = nullptr;
      if (sqlite3_open("ap", &db) != SQLITE_OK) return 2;
      if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) return 3;
      char c = 'r';
      held_.Send(&c, 1);
      release_.Receive(&c, 1);
      sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
      sqlite3_close(db);
      return 0;
    });
    held_.KeepReadEnd();
    release_.KeepWriteEnd();
    char c = 0;
    ready_ = held_.Receive(&c, 1) && c == 'r';
  }
  ~LockHolder() { Release(); }
  bool ready() const { return ready_; }
  // Lets the child roll back and end; returns its wait status.
  int Release() {
    if (pid_ <= 0) return status_;
    char c = 'd';
    release_.Send(&c, 1);
    status_ = WaitFor(pid_);
    pid_ = 0;
    return status_;
  }

 private:
  Channel held_;
  Channel release_;
  pid_t pid_ = 0;
  bool ready_ = false;
  int status_ = 0;
};

TEST_F(ProcessTest, AFileHeldByAnotherProcessIsReadableButWritesGiveLocked) {
  MakeFile("ap", "ap", {ApRecord("A"), ApRecord("B")});
  LockHolder holder("BEGIN IMMEDIATE; DELETE FROM records");
  ASSERT_TRUE(holder.ready());
  BtrHandle h;
  ASSERT_EQ(btrOpen(h, "", "ap", 1, 1, 0), kBtrOk);
  char data[150];
  int length = 150;
  ASSERT_EQ(btrGetFirst(h, data, &length, 0, 0), kBtrOk);
  // Writing back the bytes the record already holds needs no write, and so no lock.
  EXPECT_EQ(btrUpdate(h, data, &length), kBtrOk);
  data[20] = data[20] == 'x' ? 'y' : 'x';
  EXPECT_EQ(btrUpdate(h, data, &length), kBtrFileLocked);
  EXPECT_EQ(btrDelete(h), kBtrFileLocked);
  std::memcpy(data, ApRecord("C").data(), 128);
  EXPECT_EQ(btrInsert(h, data, &length, 0), kBtrFileLocked);
  EXPECT_EQ(ReadAll(h, 128).size(), 2u);
  int status = holder.Release();
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  std::memcpy(data, ApRecord("C").data(), 128);
  EXPECT_EQ(btrInsert(h, data, &length, 0), kBtrOk);
  EXPECT_EQ(ReadAll(h, 128).size(), 3u);
}

TEST_F(ProcessTest, AFileLockedExclusivelyByAnotherProcessCannotBeOpened) {
  MakeFile("ap", "ap", {ApRecord("A")});
  LockHolder holder("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; DELETE FROM records");
  ASSERT_TRUE(holder.ready());
  BtrHandle h;
  EXPECT_EQ(btrOpen(h, "", "ap", 1, 1, 0), kBtrFileLocked);
  char data[150];
  int length = 150;
  EXPECT_EQ(btrGetFirst(h, data, &length, 0, 0), kBtrFileNotOpen);
  holder.Release();
  ASSERT_EQ(btrOpen(h, "", "ap", 1, 1, 0), kBtrOk);
  EXPECT_EQ(ReadAll(h, 128).size(), 1u);
}

TEST_F(ProcessTest, AnotherProcessWritesPastOurHeldReadsAndTheWritesReachOurLookupsSoon) {
  MakeFile("ap", "ap", {ApRecord("A"), ApRecord("B"), ApRecord("C")});
  // The child is made before this process opens the file: SQLite's state must not cross
  // a fork with a connection open. It writes when told, without waiting for any lock.
  Channel go;
  Channel done;
  pid_t pid = Spawn([&] {
    char c = 0;
    if (!go.Receive(&c, 1)) return 2;
    sqlite3* db = nullptr;
    int rc = sqlite3_open("ap", &db);
    if (rc == SQLITE_OK) sqlite3_busy_timeout(db, 0);
    const std::string changed = ApRecord("B", "NEW");
    const std::string added = ApRecord("BB");
    sqlite3_stmt* stmt = nullptr;
    if (rc == SQLITE_OK) {
      rc = sqlite3_prepare_v2(db, "UPDATE records SET data = ?1 WHERE k0 = substr(?1, 1, 16)",
                              -1, &stmt, nullptr);
    }
    if (rc == SQLITE_OK) {
      sqlite3_bind_blob(stmt, 1, changed.data(), 128, SQLITE_STATIC);
      rc = sqlite3_step(stmt) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db);
      sqlite3_finalize(stmt);
    }
    if (rc == SQLITE_OK) {
      rc = sqlite3_prepare_v2(db, "INSERT INTO records(k0, data) VALUES(substr(?1, 1, 16), ?1)",
                              -1, &stmt, nullptr);
    }
    if (rc == SQLITE_OK) {
      sqlite3_bind_blob(stmt, 1, added.data(), 128, SQLITE_STATIC);
      rc = sqlite3_step(stmt) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db);
      sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    done.Send(&rc, sizeof rc);
    return 0;
  });
  go.KeepWriteEnd();
  done.KeepReadEnd();

  BtrHandle walk;
  BtrHandle look;
  ASSERT_EQ(btrOpen(walk, "", "ap", 1, 1, 0), kBtrOk);
  ASSERT_EQ(btrOpen(look, "", "ap", 1, 1, 0), kBtrOk);
  const std::string b = ApRecord("B").substr(0, 16);
  const std::string bb = ApRecord("BB").substr(0, 16);
  char data[150];
  int length = 150;
  ASSERT_EQ(btrGetFirst(walk, data, &length, 0, 0), kBtrOk);
  ASSERT_EQ(btrGetEqual(look, data, &length, b.c_str(), 0, 0), kBtrOk);
  ASSERT_EQ(btrGetEqual(look, data, &length, bb.c_str(), 0, 0), kBtrKeyNotFound);
  char c = 'w';
  ASSERT_TRUE(go.Send(&c, 1));
  int rc = -1;
  ASSERT_TRUE(done.Receive(&rc, sizeof rc));
  EXPECT_EQ(rc, SQLITE_OK) << "the other process's write waited for our reads";
  int status = WaitFor(pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  // Within about 0.2 s the lookups and the walk see both writes.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_EQ(btrGetEqual(look, data, &length, b.c_str(), 0, 0), kBtrOk);
  EXPECT_EQ(std::string(data, 128), ApRecord("B", "NEW"));
  ASSERT_EQ(btrGetEqual(look, data, &length, bb.c_str(), 0, 0), kBtrOk);
  std::vector<std::string> walked;
  while (btrGetNext(walk, data, &length, 0) == kBtrOk) walked.emplace_back(data, 128);
  EXPECT_EQ(walked, (std::vector<std::string>{ApRecord("B", "NEW"), ApRecord("BB"), ApRecord("C")}));
}

// The body of a record written in round `round`: its number in eight digits, repeated.
std::string RoundBody(int round) {
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08d", round);
  std::string body;
  for (int i = 0; i < 14; ++i) body += digits;
  return body;
}

TEST_F(ProcessTest, AWriterKilledInTheMiddleOfItsUpdatesLeavesEveryRecordWhole) {
  constexpr int kRecords = 200;
  auto key = [](int i) {
    char text[17];
    std::snprintf(text, sizeof text, "REC%013d", i);
    return std::string(text, 16);
  };
  std::vector<std::string> records;
  for (int i = 0; i < kRecords; ++i) records.push_back(ApRecord(key(i), RoundBody(0)));
  MakeFile("ap", "ap", records);

  // The child rewrites every record, round after round, and reports each finished round.
  Channel progress;
  pid_t pid = Spawn([&] {
    BtrHandle h;
    if (btrOpen(h, "", "ap", 1, 1, 0) != kBtrOk) return 2;
    char data[150];
    int length = 150;
    for (int round = 1;; ++round) {
      for (int i = 0; i < kRecords; ++i) {
        if (btrGetEqual(h, data, &length, key(i).c_str(), 0, 0) != kBtrOk) return 3;
        std::memcpy(data + 16, RoundBody(round).data(), 112);
        if (btrUpdate(h, data, &length) != kBtrOk) return 4;
      }
      progress.Send(&round, sizeof round);
    }
  });
  progress.KeepReadEnd();
  int reported = 0;
  while (reported < 3) ASSERT_TRUE(progress.Receive(&reported, sizeof reported));
  kill(pid, SIGKILL);
  int status = WaitFor(pid);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended on its own with " << status;

  BtrHandle h;
  ASSERT_EQ(btrOpen(h, "", "ap", 1, 1, 0), kBtrOk);
  std::vector<std::string> after = ReadAll(h, 128);
  ASSERT_EQ(after.size(), static_cast<std::size_t>(kRecords));
  std::vector<int> rounds;
  for (int i = 0; i < kRecords; ++i) {
    ASSERT_EQ(after[i].substr(0, 16), key(i));
    int round = std::atoi(after[i].substr(16, 8).c_str());
    ASSERT_EQ(after[i].substr(16), RoundBody(round)) << "record " << i << " is torn";
    rounds.push_back(round);
  }
  // Every finished round survived; records were rewritten in key order, so the interrupted
  // round is a run of newer records followed by older ones.
  EXPECT_GE(rounds.back(), reported);
  for (int i = 1; i < kRecords; ++i) {
    EXPECT_TRUE(rounds[i] == rounds[i - 1] || rounds[i] == rounds[i - 1] - 1)
        << "record " << i << " round " << rounds[i] << " after " << rounds[i - 1];
  }
  char data[150];
  int length = 150;
  ASSERT_EQ(btrGetFirst(h, data, &length, 0, 0), kBtrOk);
  EXPECT_EQ(btrUpdate(h, data, &length), kBtrOk);
}

}  // namespace
}  // namespace talvor

#endif
