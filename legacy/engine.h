// The record-file engine: keyed access to the legacy record files through integer handles.
//
// The btr* functions keep the legacy engine's names and argument orders so that routines
// read like the calls they were written with, and so that a binding to another engine can
// replace this one without touching a routine. They live in the global namespace; the
// status constants and the handle guard are in namespace talvor.
//
// Files. A record file holds fixed-length records (its record length) and one or more keys,
// each a run of bytes of the record (legacy/record_file.h). Key 0 never has duplicates; a
// key that allows duplicates orders records of equal value by key 0. Paths follow the rules
// of legacy/path_rules.h ("ap", "AP", "data\\AP", "c:\\DATA\\\\ap" may all name data/ap).
// The last component of the path (any letter case, as the path rules match it) is the name
// the file is opened by; a known name binds the record length (BindingRecordLength in
// legacy/record_file.h: "ap" 128, "POL" 120, ...), and a file of another record length
// under it does not open.
// A file without keys ("DiaData") only takes inserts: reads on it give
// kBtrInvalidKeyNumber.
//
// Keys. A key text is a NUL-terminated text owned by the caller. It is compared with a
// record's key as bytes over the key's length: a text shorter than the key counts as its
// bytes followed by NUL bytes, a longer one counts by its first key-length bytes only. So a
// 16- and a 19-character text copied from an "ap" record find the same record, and a prefix
// such as "001000" given to btrGetGreater finds the first record that starts with it.
//
// Buffers. `data` is a caller-owned buffer and `*length` (caller-owned) its usable size in
// bytes. Reads need `*length` >= the record length, copy exactly one record into `data` and
// set `*length` to the record length; bytes of `data` past the record are left alone.
// Writes take the record from the first record-length bytes of `data`; a larger `*length`
// is accepted and not changed. A shorter `*length` fails with kBtrDataBufferTooShort and
// nothing is read or written. The record length is the file's; under a name that binds one
// (see Files) it is that length.
//
// Position. Each handle has its own position, which is a key value, not a stored row: the
// key used by its last read and that key's value (plus the key-0 value when the key allows
// duplicates). btrGetNext / btrGetPrevious return the first record after / before that value
// in that key's order as the file holds it now, so a walk goes on correctly when records
// were updated, deleted, or deleted and inserted again under the same key through any
// handle, and never returns one record twice. btrUpdate and btrDelete act on the handle's
// current record, the one its last successful read returned. A call that fails leaves the
// position as it was. Operations on one handle never move another handle's position.
//
// Visibility and durability. All handles of a process on one file share one connection to
// it. Every write is one committed transaction: it is seen at once by every handle of this
// process and by the next read of any other process, and it survives a crash of the
// process (not necessarily a power cut); a crash never leaves a half-written record.
// Another process may have the same file open: its writes reach the reads here (a walk in
// progress, a btrGetEqual of a key read before) within about 0.2 s, not necessarily at
// once; a write of ours that it keeps waiting longer than about a second fails with
// kBtrFileLocked. Reads are never blocked by another process's writes.
//
// Threads. The functions may be called from any thread; calls are serialized.
#pragma once

namespace talvor {

// Statuses returned by the btr* functions. Stored in reports; do not change.
inline constexpr int kBtrOk = 0;
inline constexpr int kBtrIoError = 2;           // the file could not be read or written
inline constexpr int kBtrFileNotOpen = 3;       // unknown handle, or no file open on it
inline constexpr int kBtrKeyNotFound = 4;       // btrGetEqual: no record has that key
inline constexpr int kBtrDuplicateKey = 5;      // a key without duplicates already has the value
inline constexpr int kBtrInvalidKeyNumber = 6;  // not a key of the file
inline constexpr int kBtrNoCurrentRecord = 8;   // no record was read, or it is gone
inline constexpr int kBtrEndOfFile = 9;         // no record in that direction (or empty file)
inline constexpr int kBtrFileNotFound = 12;     // the path names no file
inline constexpr int kBtrDataBufferTooShort = 22;
inline constexpr int kBtrNotRecordFile = 30;  // not a record file (or a directory, or damaged)
inline constexpr int kBtrFileLocked = 85;     // another process kept the file locked

}  // namespace talvor

// A new handle with no file open on it. Handles are never reused within a process.
int CBtrvOapi();

// Opens the record file that `path` names on handle `h`. `owner` (always ""), `a`, `b` and
// `c` (always 1, 1, 0) are accepted and not used. A handle that already has a file open
// closes it first. Returns:
//   kBtrOk              the file is open on `h`; the handle has no position yet
//   kBtrFileNotOpen     `h` is not a handle
//   kBtrFileNotFound    `path` is null or names no existing file
//   kBtrNotRecordFile   the path names a directory, a file that is not a record file, or
//                       a record file whose record length is not the one its name binds
//                       (a copy of "POL" named "ap"); the file is left untouched
//   kBtrFileLocked      another process holds the file locked
//   kBtrIoError         the file could not be read
// On failure the handle has no file open: every later call on it except btrClose and
// btrDestroy returns kBtrFileNotOpen.
int btrOpen(int h, const char* owner, const char* path, int a, int b, int c);

// Reads the first record (in key `keyNum` order) whose key equals `key`. For a key with
// duplicates, the first of them in key-0 order. The handle then stands on it.
// Returns kBtrOk, or kBtrKeyNotFound when no record has that key, kBtrFileNotOpen,
// kBtrInvalidKeyNumber, kBtrDataBufferTooShort, kBtrIoError.
// `lock` (always 0) is accepted and not used; likewise for every read below.
int btrGetEqual(int h, void* data, int* length, const char* key, int keyNum, int lock);

// Reads the first record, in key `keyNum` order, whose key is greater than `key`
// (a prefix key finds the first record starting with the prefix). Returns kBtrOk, or
// kBtrEndOfFile when there is none; other failures as btrGetEqual.
int btrGetGreater(int h, void* data, int* length, const char* key, int keyNum, int lock);

// Reads the last record, in key `keyNum` order, whose key is less than `key`. Returns kBtrOk,
// or kBtrEndOfFile when there is none; other failures as btrGetEqual.
int btrGetLess(int h, void* data, int* length, const char* key, int keyNum, int lock);

// Reads the first / last record in key `keyNum` order. Returns kBtrOk, or kBtrEndOfFile for
// an empty file; other failures as btrGetEqual.
int btrGetFirst(int h, void* data, int* length, int keyNum, int lock);
int btrGetLast(int h, void* data, int* length, int keyNum, int lock);

// Reads the record after / before the handle's position in the order of the key of its
// last read. Returns kBtrOk, or kBtrEndOfFile when there is none (the position stays),
// kBtrNoCurrentRecord when the handle has no position yet, kBtrFileNotOpen,
// kBtrDataBufferTooShort, kBtrIoError.
int btrGetNext(int h, void* data, int* length, int lock);
int btrGetPrevious(int h, void* data, int* length, int lock);

// Adds the record in `data`. The handle then stands on it, in the key of its last read
// (key 0 when it has read nothing), so a walk on the handle goes on after it.
// Returns kBtrOk, or kBtrDuplicateKey when a key without duplicates already holds one of
// its values, kBtrFileNotOpen, kBtrDataBufferTooShort, kBtrFileLocked, kBtrIoError.
// On a file without keys the record is added and the handle has no position.
int btrInsert(int h, const void* data, int* length, int lock);

// Replaces the handle's current record by the record in `data` (its keys may change). The
// handle then stands on the new record. Returns kBtrOk, or kBtrNoCurrentRecord when the
// handle has read nothing or the record it read is no longer in the file (deleted, or its
// key 0 changed, through any handle), kBtrDuplicateKey, kBtrFileNotOpen,
// kBtrDataBufferTooShort, kBtrFileLocked, kBtrIoError.
int btrUpdate(int h, const void* data, int* length);

// Removes the handle's current record. The handle then stands on no record: btrUpdate and
// btrDelete return kBtrNoCurrentRecord, btrGetNext returns the first record after the
// deleted key (btrGetPrevious the last before it), and btrInsert may be used.
// Returns kBtrOk, or kBtrNoCurrentRecord, kBtrFileNotOpen, kBtrFileLocked, kBtrIoError.
int btrDelete(int h);

// Closes the file open on `h`; the handle stays and may open a file again.
// Returns kBtrOk, or kBtrFileNotOpen when no file was open (harmless).
int btrClose(int h);

// Releases `h` (closing its file first if one is open); the handle may not be used again:
// every later call with it returns kBtrFileNotOpen. Returns kBtrOk, or kBtrFileNotOpen
// when `h` is not a handle.
int btrDestroy(int h);

namespace talvor {

// Owns one engine handle: creates it, and at scope exit closes and releases it, whatever
// happened in between (an open that failed included). Converts to the handle's int so that
// it can be passed to the btr* functions directly.
//
//   talvor::BtrHandle ap;
//   int status = btrOpen(ap, "", path.c_str(), 1, 1, 0);
class BtrHandle {
 public:
  BtrHandle() : handle_(CBtrvOapi()) {}
  // Takes over `handle`, a value from CBtrvOapi.
  explicit BtrHandle(int handle) : handle_(handle) {}
  ~BtrHandle() { Reset(); }
  BtrHandle(const BtrHandle&) = delete;
  BtrHandle& operator=(const BtrHandle&) = delete;
  BtrHandle(BtrHandle&& other) noexcept : handle_(other.Release()) {}
  BtrHandle& operator=(BtrHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = other.Release();
    }
    return *this;
  }

  int get() const { return handle_; }
  operator int() const { return handle_; }  // NOLINT(google-explicit-constructor)

  // Gives up ownership; the caller must close and release the handle. Returns it.
  int Release() {
    int handle = handle_;
    handle_ = 0;
    return handle;
  }

 private:
  void Reset() {
    if (handle_ != 0) {
      btrClose(handle_);
      btrDestroy(handle_);
      handle_ = 0;
    }
  }

  int handle_;
};

}  // namespace talvor
