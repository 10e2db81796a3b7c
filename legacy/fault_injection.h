// Faults on demand, for tests of routines: make a chosen engine call on a chosen file return
// a chosen status, so that every failure text a routine prints can be reached.
//
// A rule names a file (its last path component, matched without regard to letter case, as
// the routine spells it in btrOpen), a kind of call, which call of that kind to fail (the
// Nth one on that file after the rule was added, counted over every handle) and how many
// calls in a row to fail from there. A failing call does nothing but return the status: no
// record is read or written and the handle's position is unchanged; a failed open leaves the
// handle without a file, as a real failure would.
//
// Rules live in the process until cleared; a test clears them in its set-up or tear-down
// (or holds a ScopedFaults). With no rule present an engine call pays one branch.
// Threads: as the engine (calls are serialized with it).
#pragma once

#include <string>

namespace talvor {

enum class FaultOp {
  kOpen,    // btrOpen
  kRead,    // btrGetEqual, btrGetGreater, btrGetLess, btrGetFirst, btrGetLast, btrGetNext,
            // btrGetPrevious
  kInsert,  // btrInsert
  kUpdate,  // btrUpdate
  kDelete,  // btrDelete
};

struct FaultRule {
  std::string file;  // "ap", "POL", ...: the last component of the path given to btrOpen
  FaultOp op = FaultOp::kRead;
  int nth = 1;     // the first call to fail, counting from 1
  int status = 2;  // what the failing calls return
  int times = 1;   // how many calls in a row fail; 0 means every call from the nth on
};

// Adds a rule. REQUIRES: rule.nth >= 1, rule.times >= 0, rule.status != 0.
void AddFault(const FaultRule& rule);

// Removes every rule and its counts.
void ClearFaults();

// How many calls the rules have failed since the last ClearFaults (to check that a test
// reached the fault it arranged).
int FaultsTriggered();

// Clears the rules when created and when it goes out of scope.
class ScopedFaults {
 public:
  ScopedFaults() { ClearFaults(); }
  ~ScopedFaults() { ClearFaults(); }
  ScopedFaults(const ScopedFaults&) = delete;
  ScopedFaults& operator=(const ScopedFaults&) = delete;
};

namespace fault_internal {
// Used by the engine, under its lock: the status that the call of kind `op` on the file
// `file` must return, or 0 to go on. Counts the call against every rule it matches.
int Check(const std::string& file, FaultOp op);
// True when any rule is present.
bool Armed();
}  // namespace fault_internal

}  // namespace talvor
