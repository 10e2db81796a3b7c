#include "legacy/fault_injection.h"
#include "shell/text/text.h"

#include <atomic>
#include <cassert>
#include <mutex>
#include <vector>

#include "legacy/path_rules.h"

namespace talvor {
namespace {

struct ArmedRule {
  FaultRule rule;
  int seen = 0;  // matching calls so far
};

std::mutex& Lock() {
  static std::mutex mutex;
  return mutex;
}
std::vector<ArmedRule>& Rules() {
  static std::vector<ArmedRule> rules;
  return rules;
}
std::atomic<bool> g_armed{false};
int g_triggered = 0;

}  // namespace

void AddFault(const FaultRule& rule) {
  assert(rule.nth >= 1 && rule.times >= 0 && rule.status != 0);
  std::lock_guard<std::mutex> guard(Lock());
  Rules().push_back({rule, 0});
  g_armed = true;
}

void ClearFaults() {
  std::lock_guard<std::mutex> guard(Lock());
  Rules().clear();
  g_triggered = 0;
  g_armed = false;
}

int FaultsTriggered() {
  std::lock_guard<std::mutex> guard(Lock());
  return g_triggered;
}

namespace fault_internal {

bool Armed() {
  return g_armed.load(std::memory_order_relaxed);
}

int Check(const std::string& file, FaultOp op) {
  std::lock_guard<std::mutex> guard(Lock());
  int status = 0;
  for (ArmedRule& armed : Rules()) {
    if (armed.rule.op != op || !EqualsIgnoringCase(armed.rule.file, file)) continue;
    int call = ++armed.seen;
    bool hit = call >= armed.rule.nth &&
               (armed.rule.times == 0 || call < armed.rule.nth + armed.rule.times);
    if (hit && status == 0) status = armed.rule.status;
  }
  if (status != 0) ++g_triggered;
  return status;
}

}  // namespace fault_internal
}  // namespace talvor
