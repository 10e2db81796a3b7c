// RoutineEntry: one routine button of the main window, as the run protocol, the window and
// the command line know it. The table of every button is the routines' registry
// (routines/registry.h).
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace talvor {

class TForm1;

enum class ButtonGroup {
  kGrid,    // the routine grid beside the settings
  kCommon,  // the "Common Post-Convert Utils" group box at the right edge
};

inline constexpr const char* kCommonGroupCaption = "Common Post-Convert Utils";

struct RoutineEntry {
  const char* caption;
  // Exactly one of these is set once the routine is built; flagRoutine gets `flag`.
  void (*routine)(TForm1&);
  void (*flagRoutine)(TForm1&, bool);
  bool flag;
  ButtonGroup group;
  bool visible;
  bool enabled;
  const char* hint;  // "" when the button has none

  bool Built() const { return routine != nullptr || flagRoutine != nullptr; }
  void Run(TForm1& form) const;
  std::string Slug() const;
};

// The caption lower-cased, each run of bytes other than ASCII letters and digits made one
// "-", leading and trailing "-" dropped: "Pop. CSR/SPRD/PRD" -> "pop-csr-sprd-prd".
std::string SlugOf(std::string_view caption);

// The entry of `entries` whose caption (any letter case) or slug is `name`; nullptr if none.
const RoutineEntry* FindRoutine(std::span<const RoutineEntry* const> entries,
                                std::string_view name);

}  // namespace talvor
