// Private to legacy/: the engine's memory of key-0 lookups on one record file.
//
// Routines look the same few keys up again and again (a client's master record for each of
// its policies, the readback of the record a walk has just read), and each lookup through
// SQLite costs a seek and a read transaction. The cache answers those from memory: a fixed
// number of slots, each holding one key-0 value and either the record stored under it or
// the fact that none is. A slot is chosen by the key's hash; a new value takes the slot
// over. Memory is taken once, at the first Keep, and never per lookup.
//
// The cache knows nothing of writes: its owner drops a key before writing it and clears
// the whole cache when someone else may have written the file (legacy/engine.cpp).
// Single-threaded, like the engine's calls.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace talvor::store {

class LookupCache {
 public:
  // What a slot says of a key.
  enum class Answer { kUnknown, kRecord, kNoRecord };

  // For keys of `key_length` bytes and records of `record_length` bytes, at most `slots`
  // slots (rounded down to a power of two, at least one) and about `max_bytes` of memory.
  LookupCache(int key_length, int record_length, std::size_t slots, std::size_t max_bytes);

  // What the cache holds for `key` (key_length bytes). With kRecord, *record points at the
  // record_length bytes kept, valid until the next Keep, Drop or Clear.
  Answer Find(std::string_view key, const char** record) const;

  // Remembers that `key` holds `record` (record_length bytes), or, with a null `record`,
  // that no record has that key.
  void Keep(std::string_view key, const char* record);

  // Forgets `key`, if kept.
  void Drop(std::string_view key);

  // Forgets every key.
  void Clear();

  std::size_t slots() const { return mask_ + 1; }

 private:
  std::size_t SlotOf(std::string_view key) const;
  char* KeyAt(std::size_t slot) { return bytes_.data() + slot * stride_; }
  const char* KeyAt(std::size_t slot) const { return bytes_.data() + slot * stride_; }

  std::size_t key_length_;
  std::size_t record_length_;
  std::size_t stride_;
  std::size_t mask_;
  std::vector<unsigned char> state_;  // per slot: an Answer; empty until the first Keep
  std::vector<char> bytes_;           // per slot: the key, then the record
};

}  // namespace talvor::store
