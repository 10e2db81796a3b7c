// Messages counted by text: a routine that fails on every record shows the same message a
// thousand times with another key or number in each; counted once, they say what happened.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace talvor {

// What stays of a message when its numbers and keys are set aside: each run of digits is
// one "#". "Client 000042 not found" and "Client 7 not found" have the same shape.
std::string MessageShape(std::string_view text);

class MessageTally {
 public:
  struct Entry {
    std::string text;  // the first text of its shape; where later ones differ, the bytes they
                       // all share followed by " ..."
    long long count = 0;
  };

  // Counts `text`; returns how many of its shape have been counted, this one included.
  long long Add(std::string_view text);
  // Each shape once, in the order first counted.
  const std::vector<Entry>& Entries() const { return entries_; }
  long long Total() const { return total_; }
  // True when some shape was counted more than once.
  bool Repeated() const { return repeated_; }

 private:
  std::vector<Entry> entries_;
  std::unordered_map<std::string, std::size_t> byShape_;
  long long total_ = 0;
  bool repeated_ = false;
};

}  // namespace talvor
