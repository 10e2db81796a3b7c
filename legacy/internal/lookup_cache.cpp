#include "legacy/internal/lookup_cache.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace talvor::store {

LookupCache::LookupCache(int key_length, int record_length, std::size_t slots,
                         std::size_t max_bytes)
    : key_length_(static_cast<std::size_t>(key_length)),
      record_length_(static_cast<std::size_t>(record_length)),
      stride_(key_length_ + record_length_) {
  const std::size_t fit = std::max<std::size_t>(1, max_bytes / std::max<std::size_t>(1, stride_));
  std::size_t n = 1;
  while (n * 2 <= std::min(slots, fit)) n *= 2;
  mask_ = n - 1;
}

std::size_t LookupCache::SlotOf(std::string_view key) const {
  return std::hash<std::string_view>{}(key) & mask_;
}

LookupCache::Answer LookupCache::Find(std::string_view key, const char** record) const {
  if (state_.empty() || key.size() != key_length_) return Answer::kUnknown;
  const std::size_t slot = SlotOf(key);
  const auto answer = static_cast<Answer>(state_[slot]);
  if (answer == Answer::kUnknown) return answer;
  const char* kept = KeyAt(slot);
  if (std::memcmp(kept, key.data(), key_length_) != 0) return Answer::kUnknown;
  if (answer == Answer::kRecord) *record = kept + key_length_;
  return answer;
}

void LookupCache::Keep(std::string_view key, const char* record) {
  if (key.size() != key_length_) return;
  if (state_.empty()) {
    state_.assign(slots(), static_cast<unsigned char>(Answer::kUnknown));
    bytes_.resize(slots() * stride_);
  }
  const std::size_t slot = SlotOf(key);
  char* kept = KeyAt(slot);
  std::memcpy(kept, key.data(), key_length_);
  if (record != nullptr) std::memcpy(kept + key_length_, record, record_length_);
  state_[slot] = static_cast<unsigned char>(record != nullptr ? Answer::kRecord : Answer::kNoRecord);
}

void LookupCache::Drop(std::string_view key) {
  if (state_.empty() || key.size() != key_length_) return;
  const std::size_t slot = SlotOf(key);
  if (std::memcmp(KeyAt(slot), key.data(), key_length_) == 0) {
    state_[slot] = static_cast<unsigned char>(Answer::kUnknown);
  }
}

void LookupCache::Clear() {
  std::fill(state_.begin(), state_.end(), static_cast<unsigned char>(Answer::kUnknown));
}

}  // namespace talvor::store
